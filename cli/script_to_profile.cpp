#include "cli/script_to_profile.h"

#include "encoding/utf8.h"
#include "profile/profile.h"
#include "script/capture_script_reader.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace corvane {
namespace {

// The command prompt reads lines of at most 8,191 characters, and a script has 28 at most; this
// leaves room for every code page and refuses a wrong file before it costs much memory.
constexpr std::size_t kLargestScript = 16U << 20;

int fail(ScriptToolHost& host, int status, const std::wstring& message) {
    host.writeError(L"corvane-script: " + message + L"\n");
    return status;
}

// Serves the new profile to a run of corvane-script and keeps the script it makes; everything
// else is the system's, so the profile is checked as the user's second step will read it.
class ProfileCheckHost : public ScriptToolHost {
public:
    ProfileCheckHost(ScriptToolHost& host, std::wstring name, std::string profile)
        : host_(host), name_(std::move(name)), profile_(std::move(profile)) {}

    bool readFile(const std::wstring& path, std::size_t limit, std::string& bytes,
                  std::wstring& why) override {
        if (path != name_) {
            return host_.readFile(path, limit, bytes, why);
        }
        bytes = profile_;
        return true;
    }
    FileWrite writeFile(const std::wstring&, const std::string&, bool, std::wstring&) override {
        return FileWrite::Failed; // the run writes to standard output only
    }
    bool removeFile(const std::wstring&, std::wstring&) override { return false; }
    DefaultsEnvironment defaultsEnvironment() override { return host_.defaultsEnvironment(); }
    unsigned scriptCodePage() override { return host_.scriptCodePage(); }
    Encoding encode(const std::wstring& text, unsigned codePage, std::string& bytes) override {
        return host_.encode(text, codePage, bytes);
    }
    Encoding decode(const std::string& bytes, unsigned codePage, std::wstring& text) override {
        return host_.decode(bytes, codePage, text);
    }
    bool listProviders(std::vector<std::wstring>& names, std::wstring& why) override {
        return host_.listProviders(names, why);
    }
    ProviderOrder providerOrder() override { return host_.providerOrder(); }
    bool writeOutput(std::string_view bytes) override {
        script.append(bytes);
        return true;
    }
    bool writeOutputText(std::wstring_view text) override {
        script += toUtf8(text);
        return true;
    }
    void writeError(std::wstring_view text) override { errors.append(text); }

    std::string script;
    std::wstring errors;

private:
    ScriptToolHost& host_;
    std::wstring name_;
    std::string profile_;
};

// SCRIPT.cmd gives SCRIPT.profile, beside it.
std::wstring defaultProfileName(const std::wstring& script) {
    const std::size_t folder = script.find_last_of(L"/\\");
    const std::size_t dot = script.rfind(L'.');
    const bool hasExtension =
        dot != std::wstring::npos && dot != 0 && (folder == std::wstring::npos || dot > folder + 1);
    return (hasExtension ? script.substr(0, dot) : script) + L".profile";
}

// The script's text, from bytes in its code page (none: ASCII alone).
int decodeScript(const std::string& bytes, unsigned codePage, const std::wstring& shownScript,
                 ScriptToolHost& host, std::wstring& text) {
    if (codePage == 0) {
        if (std::any_of(bytes.begin(), bytes.end(),
                        [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
            return fail(host, kExitBadInput,
                        shownScript + L" holds bytes beyond ASCII, and there is no command prompt "
                                      L"here to take its code page from: give the code page it "
                                      L"was written in with --code-page N");
        }
        text.assign(bytes.begin(), bytes.end());
        return kExitDone;
    }
    switch (host.decode(bytes, codePage, text)) {
    case Encoding::Ok:
        return kExitDone;
    case Encoding::UnknownCodePage:
        return fail(host, kExitBadInput,
                    L"code page " + std::to_wstring(codePage) + L" is not available here");
    default:
        break;
    }
    return fail(host, kExitBadInput,
                shownScript + L" is not text in code page " + std::to_wstring(codePage) +
                    L": give the code page it was written in with --code-page N");
}

// Whether the profile makes the script's bytes again, through the same run as the user's.
int checkProfile(const ProfileFromScript& request, const std::string& profile,
                 const std::string& scriptBytes, const std::wstring& shownScript,
                 ScriptToolHost& host) {
    std::wstring name = request.toStandardOutput ? L"the profile" : *request.output;
    if (!name.empty() && name.front() == L'-') {
        name.insert(0, L"./"); // a profile's name, not an option
    }
    ProfileCheckHost check(host, name, profile);
    std::vector<std::wstring> arguments = {name, L"--stdout"};
    if (request.codePage) {
        arguments.insert(arguments.end(), {L"--code-page", std::to_wstring(*request.codePage)});
    }
    if (runScriptTool(arguments, check) != kExitDone) {
        std::wstring reason = check.errors.substr(0, check.errors.find(L'\n'));
        const std::wstring_view prefix = L"corvane-script: ";
        if (reason.rfind(prefix, 0) == 0) {
            reason.erase(0, prefix.size());
        }
        return fail(host, kExitBadInput,
                    shownScript +
                        L": its profile would not make it again, so nothing is "
                        L"written: " +
                        reason);
    }
    if (check.script == scriptBytes) {
        return kExitDone;
    }
    const auto differ = std::mismatch(scriptBytes.begin(), scriptBytes.end(), check.script.begin(),
                                      check.script.end());
    const std::size_t line =
        1 + static_cast<std::size_t>(std::count(scriptBytes.begin(), differ.first, '\n'));
    return fail(host, kExitBadInput,
                shownScript + L": line " + std::to_wstring(line) +
                    L" is not as Corvane writes it: its profile makes the line otherwise in this "
                    L"code page, so nothing is written");
}

} // namespace

int writeProfileOfScript(const ProfileFromScript& request, ScriptToolHost& host) {
    const std::wstring shownScript = shortened(request.script, kShownPathLength);
    std::string bytes;
    std::wstring why;
    if (!host.readFile(request.script, kLargestScript, bytes, why)) {
        return fail(host, kExitBadInput,
                    L"cannot read the script " + quoted(request.script, kShownPathLength) +
                        (why.empty() ? L"" : L": " + why));
    }
    if (bytes.size() > kLargestScript) {
        return fail(host, kExitBadInput,
                    shownScript + L" is larger than " + std::to_wstring(kLargestScript >> 20) +
                        L" MiB, far more than a script that Corvane writes");
    }
    const unsigned codePage = request.codePage ? *request.codePage : host.scriptCodePage();
    std::wstring text;
    if (const int status = decodeScript(bytes, codePage, shownScript, host, text);
        status != kExitDone) {
        return status;
    }

    const TraceSettings defaults = profileDefaults(host.defaultsEnvironment());
    TraceSettings settings;
    ScriptFormError error;
    if (!readCaptureScript(text, defaults, host.providerOrder(), settings, error)) {
        return fail(host, kExitBadInput,
                    shownScript + L": line " + std::to_wstring(error.line) +
                        L" is not as Corvane writes it: expected " + error.expected + L", not " +
                        error.found);
    }
    ProfileFromScript resolved = request;
    if (!resolved.toStandardOutput && !resolved.output) {
        resolved.output = defaultProfileName(request.script);
    }
    const std::wstring profile = profileOfScript(settings, defaults, request.script);
    const std::string profileBytes = toUtf8(profile);
    if (const int status = checkProfile(resolved, profileBytes, bytes, shownScript, host);
        status != kExitDone) {
        return status;
    }

    if (resolved.toStandardOutput) {
        if (!host.writeOutput(profileBytes)) {
            return fail(host, kExitNotWritten, L"cannot write the profile to standard output");
        }
        return kExitDone;
    }
    const std::wstring& path = *resolved.output;
    switch (host.writeFile(path, profileBytes, request.force, why)) {
    case FileWrite::Written:
        return kExitDone;
    case FileWrite::NameTaken:
        return fail(host, kExitNotWritten,
                    quoted(path, kShownPathLength) + L" exists; give --force to replace it");
    case FileWrite::Failed:
        break;
    }
    return fail(host, kExitNotWritten,
                L"cannot write " + quoted(path, kShownPathLength) +
                    (why.empty() ? L"" : L": " + why));
}

} // namespace corvane
