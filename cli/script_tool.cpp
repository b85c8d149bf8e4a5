#include "cli/script_tool.h"

#include "cli/command_line.h"
#include "corvane_version.h"
#include "jobs/job_outcome.h"
#include "jobs/make_script.h"
#include "jobs/profile_settings.h"
#include "jobs/script_advice.h"
#include "jobs/script_to_profile.h"
#include "jobs/wpr_pair.h"
#include "script/script_file_name.h"
#include "settings/catalogues.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {
namespace {

constexpr wchar_t kDescribeOnlyKernel[] =
    L"--describe goes with --list kernel or --list stackwalk; the file modes' rules are in "
    L"--template (see --help)";

constexpr const wchar_t* kListNames[] = {L"kernel", L"stackwalk", L"file-modes", L"providers"};

// Reports problems on standard error, prefixed with the program's name.
class Reporter {
public:
    explicit Reporter(ScriptToolHost& host) : host_(host) {}
    int fail(int status, const std::wstring& message) {
        host_.writeError(L"corvane-script: " + message + L"\n");
        return status;
    }
    // A job's outcome as the exit status, its message on standard error.
    int report(const JobOutcome& outcome) {
        switch (outcome.status) {
        case JobStatus::Done:
            return kExitDone;
        case JobStatus::BadInput:
            return fail(kExitBadInput, outcome.message);
        case JobStatus::NotWritten:
            break;
        }
        return fail(kExitNotWritten, outcome.message);
    }

private:
    ScriptToolHost& host_;
};

int printList(const std::wstring& name, bool describe, ScriptToolHost& host, Reporter& reporter) {
    std::vector<std::wstring> names;
    if (name == L"kernel") {
        names = describe ? describedKernelEntries()
                         : std::vector<std::wstring>(KernelFlagCatalogue.begin(),
                                                     KernelFlagCatalogue.end());
    } else if (name == L"stackwalk") {
        names = describe ? describedStackwalkEvents()
                         : std::vector<std::wstring>(StackwalkCatalogue.begin(),
                                                     StackwalkCatalogue.end());
    } else if (name == L"file-modes") {
        names.assign(FileModeCatalogue.begin(), FileModeCatalogue.end());
    } else if (name == L"providers") {
        std::wstring why;
        if (!host.listProviders(names, why)) {
            return reporter.fail(kExitBadInput, L"cannot list the providers: " + why);
        }
        std::stable_sort(names.begin(), names.end(), host.providerOrder());
    } else {
        const std::vector<std::wstring_view> known(std::begin(kListNames), std::end(kListNames));
        return reporter.fail(kExitBadInput, L"unknown list " + quoted(name) + L"; did you mean '" +
                                                nearestName(name, known) + L"'?");
    }
    std::wstring text;
    for (const std::wstring& entry : names) {
        text += entry;
        text += L'\n';
    }
    if (!host.writeOutputText(text)) {
        return reporter.fail(kExitNotWritten, L"cannot write to standard output");
    }
    return kExitDone;
}

// The warnings on standard error; with --strict they refuse the profile.
std::optional<std::wstring> reportWarnings(const std::vector<std::wstring>& warnings, bool strict,
                                           ScriptToolHost& host) {
    for (const std::wstring& warning : warnings) {
        host.writeError(L"corvane-script: warning: " + warning + L"\n");
    }
    if (strict && !warnings.empty()) {
        return L"--strict: nothing written, as the profile has " +
               std::to_wstring(warnings.size()) +
               (warnings.size() == 1 ? L" warning" : L" warnings");
    }
    return std::nullopt;
}

int writeScript(const CommandLine& line, ScriptToolHost& host, Reporter& reporter) {
    std::optional<ProfileSettings> profile;
    if (const JobOutcome read =
            readProfileFile(host, *line.profile, line.assignments, host, profile);
        !read.done()) {
        return reporter.report(read);
    }
    const unsigned codePage = line.codePage ? *line.codePage : host.scriptCodePage();
    if (profile->reader.recorder() == L"wpr") {
        if (line.toStandardOutput) {
            return reporter.fail(kExitBadInput, kWprNoStandardOutput);
        }
        const WarningsHandOver handOver = [&](const std::vector<std::wstring>& warnings) {
            return reportWarnings(warnings, line.strict, host);
        };
        return reporter.report(writeWprPair(*profile, {line.output, line.force, codePage}, host,
                                            host, host, handOver));
    }

    MadeScript script;
    if (const JobOutcome made = makeXperfScript(*profile, codePage, host, script); !made.done()) {
        return reporter.report(made);
    }
    if (const std::optional<std::wstring> refused =
            reportWarnings(script.warnings, line.strict, host)) {
        return reporter.fail(kExitBadInput, *refused);
    }
    if (line.toStandardOutput) {
        if (!host.writeOutput(script.bytes)) {
            return reporter.fail(kExitNotWritten, L"cannot write the script to standard output");
        }
        return kExitDone;
    }
    const std::wstring path = line.output ? *line.output : DefaultScriptName(profile->now);
    std::wstring why;
    const FileWrite written = host.writeFile(path, script.bytes, line.force, why);
    return written == FileWrite::Written
               ? kExitDone
               : reporter.fail(kExitNotWritten, notWrittenMessage(path, written, why));
}

// --profile-from: the profile of a saved script, checked to make the script again.
int writeProfileOfScript(const CommandLine& line, ScriptToolHost& host, Reporter& reporter) {
    const std::wstring& scriptPath = *line.profileFrom;
    std::string bytes;
    if (const JobOutcome read = readSavedScript(host, scriptPath, bytes); !read.done()) {
        return reporter.report(read);
    }
    const std::wstring path = line.output ? *line.output : defaultProfileName(scriptPath);
    // The check reads the profile by the name the user's next command line gives it, where a
    // leading '-' would be taken for an option.
    std::wstring checkedName = line.toStandardOutput ? L"the profile" : path;
    if (!checkedName.empty() && checkedName.front() == L'-') {
        checkedName.insert(0, L"./");
    }
    const unsigned codePage = line.codePage ? *line.codePage : host.scriptCodePage();
    std::string profile;
    if (const JobOutcome made =
            profileOfSavedScript(bytes, {scriptPath, codePage, checkedName}, host, host, profile);
        !made.done()) {
        return reporter.report(made);
    }

    if (line.toStandardOutput) {
        if (!host.writeOutput(profile)) {
            return reporter.fail(kExitNotWritten, L"cannot write the profile to standard output");
        }
        return kExitDone;
    }
    std::wstring why;
    const FileWrite written = host.writeFile(path, profile, line.force, why);
    return written == FileWrite::Written
               ? kExitDone
               : reporter.fail(kExitNotWritten, notWrittenMessage(path, written, why));
}

} // namespace

int runScriptTool(const std::vector<std::wstring>& arguments, ScriptToolHost& host) {
    Reporter reporter(host);
    CommandLine line;
    std::wstring error;
    if (!parseCommandLine(arguments, line, error)) {
        return reporter.fail(kExitBadInput, error + L" (see --help)");
    }

    if (line.help || line.version) {
        const std::string version = CORVANE_VERSION_TEXT;
        const std::wstring text =
            line.help ? usageText() : std::wstring(version.begin(), version.end()) + L"\n";
        return host.writeOutputText(text) ? kExitDone : kExitNotWritten;
    }
    if (line.describe && line.list != L"kernel" && line.list != L"stackwalk") {
        return reporter.fail(kExitBadInput, kDescribeOnlyKernel);
    }
    if (line.printTemplate || line.list) {
        if ((line.printTemplate && line.list) || hasScriptArguments(line)) {
            return reporter.fail(kExitBadInput,
                                 std::wstring(line.list ? L"--list" : L"--template") +
                                     L" takes nothing else (see --help)");
        }
        if (line.list) {
            return printList(*line.list, line.describe, host, reporter);
        }
        const std::wstring text = profileTemplate(profileDefaults(host.defaultsEnvironment()));
        return host.writeOutputText(text) ? kExitDone : kExitNotWritten;
    }
    if (!line.profile && !line.profileFrom) {
        return reporter.fail(kExitBadInput, L"no profile given (see --help)");
    }
    if (line.output && line.toStandardOutput) {
        return reporter.fail(kExitBadInput, L"give -o FILE or --stdout, not both");
    }
    if (line.profileFrom) {
        if (line.profile || !line.assignments.empty() || line.strict || line.recorder) {
            return reporter.fail(kExitBadInput,
                                 L"--profile-from takes -o FILE or --stdout, --code-page and "
                                 L"--force, nothing else (see --help)");
        }
        return writeProfileOfScript(line, host, reporter);
    }
    if (line.recorder == L"wpr" && line.toStandardOutput) {
        return reporter.fail(kExitBadInput, kWprNoStandardOutput);
    }
    return writeScript(line, host, reporter);
}

} // namespace corvane
