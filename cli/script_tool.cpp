#include "cli/script_tool.h"

#include "profile/recorder_help.h"
#include "cli/script_advice.h"
#include "cli/script_refusal.h"
#include "cli/script_to_profile.h"
#include "encoding/utf8.h"
#include "corvane_version.h"
#include "script/capture_script.h"
#include "script/script_checks.h"
#include "script/script_file_name.h"
#include "script/script_messages.h"
#include "settings/catalogues.h"
#include "wpr/wpr_profile.h"
#include "wpr/wpr_script.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string_view>
#include <utility>

namespace corvane {
namespace {

constexpr wchar_t kUsage[] =
    L"Usage:\n"
    L"  corvane-script PROFILE [-o FILE | --stdout] [--set key=value]... [--code-page N] "
    L"[--force] [--strict]\n"
    L"  corvane-script PROFILE --recorder wpr [-o NAME.cmd] ...  (a .wprp profile and its "
    L"script)\n"
    L"  corvane-script --profile-from SCRIPT.cmd [-o FILE | --stdout] [--code-page N] [--force]\n"
    L"  corvane-script --template\n"
    L"  corvane-script --list kernel|stackwalk|file-modes|providers\n"
    L"  corvane-script --list kernel|stackwalk --describe\n"
    L"  corvane-script --help | --version\n"
    L"\n"
    L"Writes the capture script that the Corvane dialog would write for the choices in PROFILE,\n"
    L"a UTF-8 text of 'key = value' lines (--template prints one with every key).\n"
    L"\n"
    L"  -o FILE          write the script to FILE (default: YYYYMMDD_HHMMSS.cmd here)\n"
    L"  --stdout         write the script to standard output instead\n"
    L"  --set key=value  as if the line were in the profile; wins over the profile's value\n"
    L"  --code-page N    the code page of the command prompt that will run the script (chcp);\n"
    L"                   needed off Windows when the script holds non-ASCII text\n"
    L"  --force          replace an existing FILE with a new file: names that are hard links\n"
    L"                   to the earlier file keep the earlier script\n"
    L"  --strict         refuse, writing nothing, a profile with a choice that records nothing\n"
    L"                   (without it such a choice is a warning on standard error)\n"
    L"  --recorder NAME  xperf (the default) or wpr; the same as --set recorder=NAME\n"
    L"  --profile-from SCRIPT\n"
    L"                   write the profile that makes SCRIPT, a script Corvane wrote, again\n"
    L"                   byte for byte (default: SCRIPT's name with .profile); --code-page is\n"
    L"                   then the code page SCRIPT was written in\n"
    L"  --template       print a profile with every key at its default\n"
    L"  --list NAME      print the names a list key accepts; providers only on Windows\n"
    L"  --describe       with --list kernel: also what each flag or group records, and the\n"
    L"                   flags of a group; with --list stackwalk: what each event is and the\n"
    L"                   flag it needs (the file modes' rules are in --template)\n"
    L"\n"
    L"A profile may hold up to 16 MiB, a line of it up to 64 KiB.\n"
    L"\n"
    L"Exit status: 0 written, 1 bad profile or arguments, 2 the file could not be written,\n"
    L"4 out of memory.\n";

constexpr wchar_t kDescribeOnlyKernel[] =
    L"--describe goes with --list kernel or --list stackwalk; the file modes' rules are in "
    L"--template (see --help)";

constexpr const wchar_t* kListNames[] = {L"kernel", L"stackwalk", L"file-modes", L"providers"};

struct CommandLine {
    bool help = false;
    bool version = false;
    bool printTemplate = false;
    bool describe = false;
    std::optional<std::wstring> list;
    std::optional<std::wstring> profile;
    std::optional<std::wstring> profileFrom;
    std::optional<std::wstring> output;
    bool toStandardOutput = false;
    std::vector<std::wstring> assignments;
    std::optional<unsigned> codePage;
    std::optional<std::wstring> recorder;
    bool force = false;
    bool strict = false;
};

// Reports problems on standard error, prefixed with the program's name.
class Reporter {
public:
    explicit Reporter(ScriptToolHost& host) : host_(host) {}
    int fail(int status, const std::wstring& message) {
        host_.writeError(L"corvane-script: " + message + L"\n");
        return status;
    }

private:
    ScriptToolHost& host_;
};

bool parseCodePage(const std::wstring& text, unsigned& codePage) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    unsigned value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        value = value * 10U + static_cast<unsigned>(c - L'0');
    }
    if (value == 0 || value > 65535) {
        return false;
    }
    codePage = value;
    return true;
}

// Takes an option's value into a slot that may be filled once.
bool takeOnce(const std::wstring& option, std::wstring value, std::optional<std::wstring>& slot,
              std::wstring& error) {
    if (slot) {
        error = option + L" is given twice";
        return false;
    }
    slot = std::move(value);
    return true;
}

// false with the message at the first argument that cannot be taken.
bool parseCommandLine(const std::vector<std::wstring>& arguments, CommandLine& line,
                      std::wstring& error) {
    static const std::vector<std::wstring_view> kOptions = {
        L"-o",         L"--stdout",   L"--set",         L"--code-page", L"--force",
        L"--template", L"--list",     L"--help",        L"--version",   L"--describe",
        L"--strict",   L"--recorder", L"--profile-from"};
    // The options that take no value, each setting one switch of the command line.
    static const struct {
        std::wstring_view name;
        bool CommandLine::*flag;
    } kSwitches[] = {
        {L"--help", &CommandLine::help},
        {L"-h", &CommandLine::help},
        {L"--version", &CommandLine::version},
        {L"--template", &CommandLine::printTemplate},
        {L"--stdout", &CommandLine::toStandardOutput},
        {L"--force", &CommandLine::force},
        {L"--describe", &CommandLine::describe},
        {L"--strict", &CommandLine::strict},
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        const auto isSwitch = [&](const auto& entry) { return entry.name == argument; };
        const auto found = std::find_if(std::begin(kSwitches), std::end(kSwitches), isSwitch);
        if (found != std::end(kSwitches)) {
            line.*(found->flag) = true;
            continue;
        }
        const bool takesValue = argument == L"--list" || argument == L"-o" ||
                                argument == L"--code-page" || argument == L"--set" ||
                                argument == L"--recorder" || argument == L"--profile-from";
        if (!takesValue) {
            if (argument.size() > 1 && argument[0] == L'-') {
                error = L"unknown option " + quoted(argument) + L"; did you mean '" +
                        nearestName(argument, kOptions) + L"'?";
                return false;
            }
            if (line.profile) {
                error = L"one profile at a time: " + quoted(*line.profile, kShownPathLength) +
                        L" and " + quoted(argument, kShownPathLength);
                return false;
            }
            line.profile = argument;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = argument + L" needs a value";
            return false;
        }
        std::wstring value = arguments[++i];
        if (argument == L"--set") {
            line.assignments.push_back(std::move(value));
        } else if (argument == L"--recorder") {
            if (value != L"xperf" && value != L"wpr") {
                error = L"--recorder takes xperf or wpr, not " + quoted(value);
                return false;
            }
            if (!takeOnce(argument, value, line.recorder, error)) {
                return false;
            }
            // The same as the profile key, so that both are checked in one place.
            line.assignments.push_back(L"recorder=" + value);
        } else if (argument == L"--list") {
            if (!takeOnce(argument, std::move(value), line.list, error)) {
                return false;
            }
        } else if (argument == L"--profile-from") {
            if (!takeOnce(argument, std::move(value), line.profileFrom, error)) {
                return false;
            }
        } else if (argument == L"-o") {
            if (value.empty()) {
                error = L"-o needs a file name, and '' names none";
                return false;
            }
            if (!takeOnce(argument, std::move(value), line.output, error)) {
                return false;
            }
        } else {
            unsigned codePage = 0;
            if (line.codePage || !parseCodePage(value, codePage)) {
                error = L"--code-page takes one code page number from 1 to 65535, such as 437 or "
                        L"65001, not " +
                        quoted(value);
                return false;
            }
            line.codePage = codePage;
        }
    }
    return true;
}

// Everything that belongs to writing a script, which --template and --list do not take.
bool hasScriptArguments(const CommandLine& line) {
    return line.profile || line.output || line.toStandardOutput || !line.assignments.empty() ||
           line.codePage || line.force || line.strict || line.recorder || line.profileFrom;
}

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

// The script's bytes in the code page of the command prompt that will run it.
int encodeScript(const std::wstring& script, unsigned codePage, ScriptToolHost& host,
                 Reporter& reporter, std::string& bytes) {
    if (codePage == 0) {
        if (!isAscii(script)) {
            return reporter.fail(
                kExitBadInput,
                L"the script holds non-ASCII text, and there is no command prompt here to take "
                L"its code page from: give the code page of the machine that will run it (chcp "
                L"shows it there) with --code-page N");
        }
        bytes = toUtf8(script); // ASCII, the same in every code page
        return kExitDone;
    }
    switch (host.encode(script, codePage, bytes)) {
    case Encoding::Ok:
        return kExitDone;
    case Encoding::Unrepresentable:
        return reporter.fail(kExitBadInput, std::wstring(kUnrepresentableScriptMessage) +
                                                L" (code page " + std::to_wstring(codePage) + L")");
    case Encoding::ChangesAscii:
        return reporter.fail(kExitBadInput, std::wstring(kAsciiChangedMessage) + L" (code page " +
                                                std::to_wstring(codePage) + L")");
    case Encoding::UnknownCodePage:
        break;
    }
    return reporter.fail(kExitBadInput,
                         L"code page " + std::to_wstring(codePage) + L" is not available here");
}

constexpr wchar_t kNothingToTrace[] =
    L"nothing to trace: select at least one kernel-flag or provider, or set heap = yes";
constexpr wchar_t kWprNoStandardOutput[] =
    L"--recorder wpr writes two files, a .wprp profile and the script that runs it, so it takes "
    L"-o NAME.cmd, not --stdout";

// The warnings on standard error; with --strict they refuse the profile.
int reportWarnings(const std::vector<std::wstring>& warnings, const CommandLine& line,
                   ScriptToolHost& host, Reporter& reporter) {
    for (const std::wstring& warning : warnings) {
        host.writeError(L"corvane-script: warning: " + warning + L"\n");
    }
    if (line.strict && !warnings.empty()) {
        return reporter.fail(kExitBadInput,
                             L"--strict: nothing written, as the profile has " +
                                 std::to_wstring(warnings.size()) +
                                 (warnings.size() == 1 ? L" warning" : L" warnings"));
    }
    return kExitDone;
}

std::wstring notWrittenMessage(const std::wstring& path, FileWrite written,
                               const std::wstring& why) {
    if (written == FileWrite::NameTaken) {
        return quoted(path, kShownPathLength) + L" exists; give --force to replace it";
    }
    return L"cannot write " + quoted(path, kShownPathLength) + (why.empty() ? L"" : L": " + why);
}

// What the run has read, for the writer of the chosen recorder.
struct ScriptJob {
    const CommandLine& line;
    const TraceSettings& settings;
    const ProfileReader& reader;
    LocalTime now;
    unsigned codePage;
    const ScriptEncoder& encoder;
};

// Where the file name starts in a path: after the last separator of either system.
std::size_t fileNameStart(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? 0 : separator + 1;
}

// NAME.wprp beside NAME.cmd: the script's extension, or none, gives way to .wprp.
std::wstring profilePathBeside(const std::wstring& scriptPath) {
    const std::size_t nameStart = fileNameStart(scriptPath);
    const std::size_t dot = scriptPath.rfind(L'.');
    const bool extension = dot != std::wstring::npos && dot > nameStart;
    return scriptPath.substr(0, extension ? dot : scriptPath.size()) + L".wprp";
}

// The profile's file name is written into the script, between quotes after %~dp0 and before
// the '!' that wpr takes for the end of the file's name.
std::optional<std::wstring> profileFileNameProblem(std::wstring_view name) {
    for (const wchar_t c : name) {
        if (isRefusedControlCharacter(c)) {
            return controlCharacterProblem(c);
        }
        if (c == L'"' || c == L'%' || c == L'!') {
            return std::wstring(L"holds '") + c +
                   (c == L'!' ? L"', which wpr takes for the end of the profile's file name"
                              : L"', which the command prompt would read as syntax in the script");
        }
    }
    return std::nullopt;
}

// The longest line of the WPR script against the prompt's limit. The values that reach its lines
// are the ETL Out Path, the image name and the profile's file name.
std::optional<std::wstring> overlongWprLine(const std::wstring& script,
                                            const ScriptEncoder& encoder, unsigned codePage) {
    std::size_t number = 0;
    for (std::size_t start = 0; start < script.size(); ++number) {
        const std::size_t end = script.find(L"\r\n", start);
        const std::wstring_view text(script.data() + start, end - start);
        start = end + 2;
        std::size_t length = utf16Length(text);
        bool bytes = false;
        if (length <= kCommandPromptLineLimit && encoder) {
            const std::optional<std::string> encoded = encoder(text);
            bytes = encoded && encoded->size() > kCommandPromptLineLimit;
            length = bytes ? encoded->size() : length;
        }
        if (length > kCommandPromptLineLimit) {
            return L"line " + std::to_wstring(number + 1) + L" of the script would be " +
                   groupedNumber(length) +
                   (bytes ? L" bytes long in code page " + std::to_wstring(codePage)
                          : std::wstring(L" characters long")) +
                   L", " + groupedNumber(length - kCommandPromptLineLimit) + L" more than the " +
                   groupedNumber(kCommandPromptLineLimit) +
                   L" that the command prompt reads. Use a shorter etl-out-path, "
                   L"process-name-or-pid or file name.";
        }
    }
    return std::nullopt;
}

// Writes the first file, keeping what it replaces so that it can be put back. `created` tells
// whether the name was free.
struct KeptEarlier {
    bool created = false;
    std::string earlier;
};

// The largest earlier .wprp that is kept to be put back; a real one is a few kilobytes.
constexpr std::size_t kLargestKeptFile = 64U << 20;

FileWrite writeUndoably(ScriptToolHost& host, const std::wstring& path, const std::string& bytes,
                        bool force, KeptEarlier& kept, std::wstring& why) {
    const FileWrite fresh = host.writeFile(path, bytes, false, why);
    if (fresh != FileWrite::NameTaken || !force) {
        kept.created = fresh == FileWrite::Written;
        return fresh;
    }
    std::wstring readWhy;
    if (!host.readFile(path, kLargestKeptFile, kept.earlier, readWhy) ||
        kept.earlier.size() > kLargestKeptFile) {
        why = L"the earlier file cannot be kept to be put back should the script not be written" +
              (readWhy.empty() ? std::wstring() : L" (" + readWhy + L")");
        return FileWrite::Failed;
    }
    return host.writeFile(path, bytes, true, why);
}

// Takes the first file of a pair back: removed where it was new, the earlier text put back.
std::wstring undoWrite(ScriptToolHost& host, const std::wstring& path, const KeptEarlier& kept) {
    std::wstring why;
    const bool undone = kept.created
                            ? host.removeFile(path, why)
                            : host.writeFile(path, kept.earlier, true, why) == FileWrite::Written;
    if (undone) {
        return L"; " + quoted(path, kShownPathLength) +
               (kept.created ? L", written before it, is removed again"
                             : L" holds its earlier text again");
    }
    return L"; " + quoted(path, kShownPathLength) + L", written before it, could not be " +
           (kept.created ? L"removed" : L"given its earlier text back") +
           (why.empty() ? L"" : L": " + why);
}

// The .wprp profile and the script that runs it with wpr.exe: both written, or neither.
int writeWprPair(const ScriptJob& job, ScriptToolHost& host, Reporter& reporter) {
    const CommandLine& line = job.line;
    if (line.toStandardOutput) {
        return reporter.fail(kExitBadInput, kWprNoStandardOutput);
    }
    const TraceSettings& settings = job.settings;
    if (settings.kernelFlags.empty() && settings.providers.empty() && settings.heapEnabled == 0) {
        return reporter.fail(kExitBadInput, kNothingToTrace);
    }
    // Every value passes the checks of the xperf script, also those only the profile carries, and
    // first, so that a refusal names the profile line as it does for xperf.
    if (const std::optional<std::wstring> unsafe =
            unsafeValueMessage(settings, job.reader, *line.profile, job.encoder)) {
        return reporter.fail(kExitBadInput, *unsafe);
    }
    WprProfile profile;
    std::wstring refusal;
    if (!BuildWprProfile(settings, profile, refusal)) {
        return reporter.fail(kExitBadInput, refusal);
    }
    const std::wstring scriptPath = line.output ? *line.output : DefaultScriptName(job.now);
    const std::wstring profilePath = profilePathBeside(scriptPath);
    if (equalsFolded(profilePath, scriptPath)) {
        return reporter.fail(kExitBadInput,
                             L"-o names the script, and its profile is written beside it with "
                             L"the extension .wprp: give a name that does not end in .wprp");
    }
    const std::wstring profileName = profilePath.substr(fileNameStart(profilePath));
    if (const std::optional<std::wstring> problem = profileFileNameProblem(profileName)) {
        return reporter.fail(kExitBadInput,
                             L"the profile's file name " + quoted(profileName) + L" " + *problem);
    }
    const std::optional<std::wstring> script = BuildWprScript(settings, profile, profileName);
    if (!script) {
        return reporter.fail(kExitBadInput, kNothingToTrace);
    }
    if (const std::optional<std::wstring> overlong =
            overlongWprLine(*script, job.encoder, job.codePage)) {
        return reporter.fail(kExitBadInput, *overlong);
    }
    std::string scriptBytes;
    if (const int status = encodeScript(*script, job.codePage, host, reporter, scriptBytes);
        status != kExitDone) {
        return status;
    }
    // The file says it is UTF-8, so it is; a character UTF-8 cannot hold would come back changed.
    const std::string profileBytes = toUtf8(profile.xml);
    std::wstring readBack;
    if (!fromUtf8(profileBytes, readBack) || readBack != profile.xml) {
        return reporter.fail(kExitBadInput, L"the WPR profile holds a character that UTF-8 cannot "
                                            L"hold (a lone surrogate)");
    }
    std::vector<std::wstring> warnings = recordingWarningTexts(settings, true);
    warnings.insert(warnings.end(), profile.warnings.begin(), profile.warnings.end());
    if (const int status = reportWarnings(warnings, line, host, reporter); status != kExitDone) {
        return status;
    }

    KeptEarlier kept;
    std::wstring why;
    const FileWrite first = writeUndoably(host, profilePath, profileBytes, line.force, kept, why);
    if (first != FileWrite::Written) {
        return reporter.fail(kExitNotWritten, notWrittenMessage(profilePath, first, why) +
                                                  L"; the script is not written either");
    }
    const FileWrite second = host.writeFile(scriptPath, scriptBytes, line.force, why);
    if (second != FileWrite::Written) {
        return reporter.fail(kExitNotWritten, notWrittenMessage(scriptPath, second, why) +
                                                  undoWrite(host, profilePath, kept));
    }
    return kExitDone;
}

int writeScript(const CommandLine& line, ScriptToolHost& host, Reporter& reporter) {
    std::string profileText;
    std::wstring why;
    const std::wstring shownProfile = quoted(*line.profile, kShownPathLength);
    if (!host.readFile(*line.profile, kLargestProfile, profileText, why)) {
        return reporter.fail(kExitBadInput, L"cannot read the profile " + shownProfile +
                                                (why.empty() ? L"" : L": " + why));
    }
    if (profileText.size() > kLargestProfile) {
        return reporter.fail(kExitBadInput, L"the profile " + shownProfile + L" is larger than " +
                                                std::to_wstring(kLargestProfile >> 20) +
                                                L" MiB, the most it may hold");
    }

    // One reading of the clock for the default output path and the default file name.
    const DefaultsEnvironment platform = host.defaultsEnvironment();
    const LocalTime now = platform.localTime ? platform.localTime() : LocalTime{};
    const DefaultsEnvironment environment{platform.desktopFolder, [now] { return now; }};

    ProfileReader reader(profileDefaults(environment));
    std::wstring error;
    if (!reader.readProfile(profileText, error)) {
        return reporter.fail(kExitBadInput,
                             shortened(*line.profile, kShownPathLength) + L": " + error);
    }
    for (const std::wstring& assignment : line.assignments) {
        if (!reader.readAssignment(assignment, error)) {
            return reporter.fail(kExitBadInput, error);
        }
    }
    const TraceSettings settings = reader.settings(host.providerOrder());
    if (settings.etlOutPath.empty()) {
        return reporter.fail(
            kExitBadInput,
            L"the profile sets no etl-out-path, and there is no desktop folder for its default "
            L"(there is one only on Windows): add 'etl-out-path = FILE'");
    }

    // Lines are measured in the bytes they will have; without a code page the script is ASCII.
    const unsigned codePage = line.codePage ? *line.codePage : host.scriptCodePage();
    ScriptEncoder encoder;
    if (codePage != 0) {
        encoder = [&host, codePage](std::wstring_view text) -> std::optional<std::string> {
            std::string textBytes;
            if (host.encode(std::wstring(text), codePage, textBytes) != Encoding::Ok) {
                return std::nullopt;
            }
            return textBytes;
        };
    }
    const ScriptJob job{line, settings, reader, now, codePage, encoder};
    if (reader.recorder() == L"wpr") {
        return writeWprPair(job, host, reporter);
    }

    const std::optional<std::wstring> script = BuildCaptureScript(settings);
    if (!script) {
        return reporter.fail(kExitBadInput, kNothingToTrace);
    }
    if (const std::optional<std::wstring> refusal =
            unrunnableScriptMessage(settings, *script, reader, *line.profile, encoder, codePage)) {
        return reporter.fail(kExitBadInput, *refusal);
    }
    std::string bytes;
    if (const int status = encodeScript(*script, codePage, host, reporter, bytes);
        status != kExitDone) {
        return status;
    }
    if (const int status = reportWarnings(recordingWarningTexts(settings), line, host, reporter);
        status != kExitDone) {
        return status;
    }

    if (line.toStandardOutput) {
        if (!host.writeOutput(bytes)) {
            return reporter.fail(kExitNotWritten, L"cannot write the script to standard output");
        }
        return kExitDone;
    }
    const std::wstring path = line.output ? *line.output : DefaultScriptName(now);
    const FileWrite written = host.writeFile(path, bytes, line.force, why);
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
        const std::wstring text = line.help ? std::wstring(kUsage) + L"\n" + kWprRecorderHelp
                                            : std::wstring(version.begin(), version.end()) + L"\n";
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
        return writeProfileOfScript(
            {*line.profileFrom, line.output, line.toStandardOutput, line.codePage, line.force},
            host);
    }
    if (line.recorder == L"wpr" && line.toStandardOutput) {
        return reporter.fail(kExitBadInput, kWprNoStandardOutput);
    }
    return writeScript(line, host, reporter);
}

} // namespace corvane
