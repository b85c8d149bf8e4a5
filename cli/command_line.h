// corvane-script's command line: what each option asks for, its parser and the usage text.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace corvane {

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
    std::vector<std::wstring> assignments; // --recorder NAME among them, as recorder=NAME
    std::optional<unsigned> codePage;
    std::optional<std::wstring> recorder;
    bool force = false;
    bool strict = false;
};

// false with the message at the first argument that cannot be taken.
[[nodiscard]] bool parseCommandLine(const std::vector<std::wstring>& arguments, CommandLine& line,
                                    std::wstring& error);

// Everything that belongs to writing a script, which --template and --list do not take.
[[nodiscard]] bool hasScriptArguments(const CommandLine& line);

// What --help prints, the recording with wpr.exe included.
[[nodiscard]] std::wstring usageText();

} // namespace corvane
