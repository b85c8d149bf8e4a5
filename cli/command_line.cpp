#include "cli/command_line.h"

#include "profile/profile.h"
#include "profile/recorder_help.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
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

// Names other programs give these options, which the nearest name by spelling would miss.
constexpr struct {
    std::wstring_view name;
    std::wstring_view ours;
} kKnownAliases[] = {{L"--out", L"-o"}, {L"--output", L"-o"}};

std::wstring unknownOptionMessage(const std::wstring& argument,
                                  const std::vector<std::wstring_view>& options) {
    const auto alias =
        std::find_if(std::begin(kKnownAliases), std::end(kKnownAliases),
                     [&](const auto& entry) { return equalsFolded(entry.name, argument); });
    const std::wstring suggestion(
        alias != std::end(kKnownAliases) ? alias->ours : nearestName(argument, options));
    return L"unknown option " + quoted(argument) + L"; did you mean '" + suggestion + L"'?";
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

} // namespace

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
                error = unknownOptionMessage(argument, kOptions);
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
            // "--set kernel-flag CSWITCH" would otherwise take CSWITCH for a second profile.
            const bool split = value.find(L'=') == std::wstring::npos && i + 1 < arguments.size() &&
                               !arguments[i + 1].empty() && arguments[i + 1][0] != L'-';
            if (split) {
                error = L"--set takes key=value as one argument: --set " +
                        shortened(value + L"=" + arguments[i + 1]);
                return false;
            }
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

bool hasScriptArguments(const CommandLine& line) {
    return line.profile || line.output || line.toStandardOutput || !line.assignments.empty() ||
           line.codePage || line.force || line.strict || line.recorder || line.profileFrom;
}

std::wstring usageText() {
    return std::wstring(kUsage) + L"\n" + kWprRecorderHelp;
}

} // namespace corvane
