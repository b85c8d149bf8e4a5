#include "jobs/script_to_profile.h"

#include "encoding/utf8.h"
#include "jobs/make_script.h"
#include "jobs/profile_settings.h"
#include "jobs/wpr_pair.h"
#include "profile/profile.h"
#include "script/capture_script_reader.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

namespace corvane {
namespace {

// The command prompt reads lines of at most 8,191 characters, and a script has 28 at most; this
// leaves room for every code page and refuses a wrong file before it costs much memory.
constexpr std::size_t kLargestScript = 16U << 20;

// The line by which the WPR runner says what it needs; the xperf script's says xperf.exe.
constexpr std::string_view kWprRunnerLine = "\nrem It needs wpr.exe";

// Files that people give for a saved script by mistake, named for what they are, with what to do:
// each would otherwise be refused at its first line with words about the script's form.
std::optional<std::wstring> mistakenFile(const std::string& bytes, const std::wstring& shownScript,
                                         SettingsEnvironment& environment) {
    ProfileReader reader(profileDefaults(environment.defaultsEnvironment()));
    std::wstring ignored;
    if (bytes.find('=') != std::string::npos && reader.readProfile(bytes, ignored)) {
        return shownScript + L" is a profile: give it to corvane-script as PROFILE";
    }
    if (isWprRunner(bytes)) {
        return shownScript + L" is a WPR runner: read back the xperf script, or keep the profile "
                             L"that made it";
    }
    std::size_t bare = bytes.find('\n');
    while (bare != std::string::npos && bare != 0 && bytes[bare - 1] == '\r') {
        bare = bytes.find('\n', bare + 1);
    }
    if (bare == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t line =
        1 + static_cast<std::size_t>(
                std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bare), '\n'));
    const std::wstring lines =
        bytes.find("\r\n") == std::string::npos
            ? L"its lines end in LF alone: a script Corvane writes ends them"
            : L"line " + std::to_wstring(line) +
                  L" ends in LF alone: a script Corvane writes ends every line";
    return shownScript + L": " + lines + L" in CR LF; it was changed by an editor or a transfer";
}

// The script's text, from bytes in its code page (none: ASCII alone).
JobOutcome decodeScript(const std::string& bytes, unsigned codePage,
                        const std::wstring& shownScript, CodePageCodec& codec, std::wstring& text) {
    if (codePage == 0) {
        if (std::any_of(bytes.begin(), bytes.end(),
                        [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
            return JobOutcome::badInput(
                shownScript + L" holds bytes beyond ASCII, and there is no command prompt here to "
                              L"take its code page from: give the code page it was written in "
                              L"with --code-page N");
        }
        text.assign(bytes.begin(), bytes.end());
        return {};
    }
    switch (codec.decode(bytes, codePage, text)) {
    case Encoding::Ok:
        return {};
    case Encoding::UnknownCodePage:
        return JobOutcome::badInput(L"code page " + std::to_wstring(codePage) +
                                    L" is not available here");
    default:
        break;
    }
    return JobOutcome::badInput(shownScript + L" is not text in code page " +
                                std::to_wstring(codePage) +
                                L": give the code page it was written in with --code-page N");
}

// The script the profile makes, as the user's second step will make it from the profile.
JobOutcome scriptOfProfile(const std::string& profile, const SavedScript& script,
                           CodePageCodec& codec, SettingsEnvironment& environment,
                           std::string& bytes) {
    std::optional<ProfileSettings> read;
    if (JobOutcome outcome = readProfileText(profile, script.profileName, {}, environment, read);
        !outcome.done()) {
        return outcome;
    }
    if (read->reader.recorder() == L"wpr") {
        return JobOutcome::badInput(kWprNoStandardOutput); // the check asks for one script
    }
    MadeScript made;
    JobOutcome outcome = makeXperfScript(*read, script.codePage, codec, made);
    bytes = std::move(made.bytes);
    return outcome;
}

// Whether the profile makes the script's bytes again.
JobOutcome checkProfile(const std::string& profile, const std::string& scriptBytes,
                        const SavedScript& script, const std::wstring& shownScript,
                        CodePageCodec& codec, SettingsEnvironment& environment) {
    std::string again;
    if (const JobOutcome made = scriptOfProfile(profile, script, codec, environment, again);
        !made.done()) {
        return JobOutcome::badInput(shownScript +
                                    L": its profile would not make it again, so nothing is "
                                    L"written: " +
                                    made.message.substr(0, made.message.find(L'\n')));
    }
    if (again == scriptBytes) {
        return {};
    }
    return JobOutcome::badInput(
        shownScript + L": line " + std::to_wstring(firstDifferentLine(scriptBytes, again)) +
        L" is not as Corvane writes it: its profile makes the line otherwise in this code page, "
        L"so nothing is written");
}

} // namespace

bool isWprRunner(std::string_view bytes) {
    return bytes.find(kWprRunnerLine) != std::string_view::npos;
}

std::wstring scriptFormMessage(const std::wstring& shownScript, const ScriptFormError& error) {
    return shownScript + L": line " + std::to_wstring(error.line) +
           L" is not as Corvane writes it: expected " + error.expected + L", not " + error.found;
}

std::size_t firstDifferentLine(std::string_view saved, std::string_view again) {
    const auto differ = std::mismatch(saved.begin(), saved.end(), again.begin(), again.end());
    return 1 + static_cast<std::size_t>(std::count(saved.begin(), differ.first, '\n'));
}

JobOutcome readSavedScript(FileReader& files, const std::wstring& path, std::string& bytes) {
    std::wstring why;
    if (!files.readFile(path, kLargestScript, bytes, why)) {
        return JobOutcome::badInput(L"cannot read the script " + quoted(path, kShownPathLength) +
                                    (why.empty() ? L"" : L": " + why));
    }
    if (bytes.size() > kLargestScript) {
        return JobOutcome::badInput(shortened(path, kShownPathLength) + L" is larger than " +
                                    std::to_wstring(kLargestScript >> 20) +
                                    L" MiB, far more than a script that Corvane writes");
    }
    return {};
}

std::wstring defaultProfileName(const std::wstring& scriptPath) {
    const std::size_t folder = scriptPath.find_last_of(L"/\\");
    const std::size_t dot = scriptPath.rfind(L'.');
    const bool hasExtension =
        dot != std::wstring::npos && dot != 0 && (folder == std::wstring::npos || dot > folder + 1);
    return (hasExtension ? scriptPath.substr(0, dot) : scriptPath) + L".profile";
}

JobOutcome profileOfSavedScript(const std::string& bytes, const SavedScript& script,
                                CodePageCodec& codec, SettingsEnvironment& environment,
                                std::string& profile) {
    const std::wstring shownScript = shortened(script.path, kShownPathLength);
    if (std::optional<std::wstring> mistaken = mistakenFile(bytes, shownScript, environment)) {
        return JobOutcome::badInput(std::move(*mistaken));
    }
    std::wstring text;
    if (JobOutcome decoded = decodeScript(bytes, script.codePage, shownScript, codec, text);
        !decoded.done()) {
        return decoded;
    }
    const TraceSettings defaults = profileDefaults(environment.defaultsEnvironment());
    TraceSettings settings;
    ScriptFormError error;
    if (!readCaptureScript(text, defaults, environment.providerOrder(), settings, error)) {
        return JobOutcome::badInput(scriptFormMessage(shownScript, error));
    }
    profile = toUtf8(profileOfScript(settings, defaults, script.path));
    return checkProfile(profile, bytes, script, shownScript, codec, environment);
}

} // namespace corvane
