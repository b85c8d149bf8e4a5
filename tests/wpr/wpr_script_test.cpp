// The runner's text: which programs it can start, and how its mode follows the profile's.
#include "wpr/wpr_script.h"

#include "wpr/wpr_profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace corvane {
namespace {

TraceSettings heapByName() {
    TraceSettings settings;
    settings.etlOutPath = L"C:\\t\\out.etl";
    settings.kernelFlags = {L"PROC_THREAD"};
    settings.heapEnabled = 1;
    settings.heapProcess = L"notepad";
    return settings;
}

std::vector<std::wstring> lines(const std::wstring& script) {
    std::vector<std::wstring> found;
    for (std::size_t start = 0; start < script.size();) {
        const std::size_t end = script.find(L"\r\n", start);
        found.push_back(script.substr(start, end - start));
        start = end + 2;
    }
    return found;
}

// The word cmd runs on a line, past its conditions: "if [/i] [not] (defined X | exist X | A op B)"
// and "for ... do". Words are split at blanks outside quotes and keep their quotes.
std::wstring commandWord(const std::wstring& line) {
    std::size_t at = 0;
    const auto next = [&line, &at] {
        at = std::min(line.find_first_not_of(L' ', at), line.size());
        std::wstring word;
        for (bool quoted = false; at < line.size() && (quoted || line[at] != L' '); ++at) {
            quoted = quoted != (line[at] == L'"');
            word.push_back(line[at]);
        }
        return word;
    };
    for (std::wstring word = next();; word = next()) {
        if (word == L"if") {
            word = next();
            word = word == L"/i" ? next() : word;
            word = word == L"not" ? next() : word;
            if (word == L"defined" || word == L"exist") {
                next();
            } else if (word.find(L"==") == std::wstring::npos) {
                next(); // the operator and the second operand
                next();
            }
        } else if (word == L"for") {
            while (at < line.size() && next() != L"do") {
            }
        } else if (word == L"call") {
            return L"call " + next(); // a label of the script, or a program
        } else {
            return word;
        }
    }
}

TEST(WprScript, StartsOnlyWprRegAndTheElevationProbeEachByItsFullPath) {
    WprProfile profile;
    profile.profileName = L"Corvane";
    profile.fileMode = true;
    const std::wstring script = *BuildWprScript(heapByName(), profile, L"capture.wprp");
    const std::set<std::wstring> builtIns = {L"",
                                             L"@echo",
                                             L"setlocal",
                                             L"set",
                                             L"rem",
                                             L"echo",
                                             L"pause",
                                             L"goto",
                                             L"exit",
                                             L"md",
                                             L"(",
                                             L")",
                                             L"call :HexOfStatus",
                                             L"call :HexDigit"};
    const std::set<std::wstring> programs = {L"\"%SystemRoot%\\System32\\wpr.exe\"",
                                             L"\"%SystemRoot%\\System32\\reg.exe\"",
                                             L"\"%SystemRoot%\\System32\\fltmc.exe\""};
    std::set<std::wstring> started;
    for (const std::wstring& line : lines(script)) {
        SCOPED_TRACE(std::string(line.begin(), line.end()));
        if (line.rfind(L"rem ", 0) == 0 || line.rfind(L":", 0) == 0) {
            continue;
        }
        const std::wstring word = commandWord(line);
        EXPECT_TRUE(builtIns.count(word) != 0 || programs.count(word) != 0);
        if (programs.count(word) != 0) {
            started.insert(word);
        }
        // Nothing that cmd looks up on the search path itself.
        EXPECT_EQ(line.find(L"$PATH"), std::wstring::npos);
    }
    EXPECT_EQ(started.size(), 2U); // wpr.exe and the probe; reg.exe is allowed, not needed
    // The script's arguments are read once, quoted, and only to be compared with "cancel".
    std::size_t reads = 0;
    for (std::size_t at = script.find(L"%~1"); at != std::wstring::npos;
         at = script.find(L"%~1", at + 1)) {
        ++reads;
    }
    EXPECT_EQ(reads, 1U);
    EXPECT_NE(script.find(L"if /i \"%~1\"==\"cancel\" goto Cancel"), std::wstring::npos);
    EXPECT_EQ(script.find(L"%1"), std::wstring::npos);
    EXPECT_EQ(script.find(L"%*"), std::wstring::npos);
}

TEST(WprScript, StartsInFileModeOnlyWhenTheProfileRecordsToAFile) {
    for (const bool fileMode : {true, false}) {
        SCOPED_TRACE(fileMode);
        WprProfile profile;
        profile.profileName = L"Corvane";
        profile.fileMode = fileMode;
        const std::vector<std::wstring> text =
            lines(*BuildWprScript(heapByName(), profile, L"capture.wprp"));
        const auto start = std::find_if(text.begin(), text.end(), [](const std::wstring& line) {
            return line.find(L"wpr.exe\" -start") != std::wstring::npos;
        });
        ASSERT_NE(start, text.end());
        EXPECT_EQ(start->find(L"-filemode") != std::wstring::npos, fileMode);
        const bool savesFromMemory =
            std::any_of(text.begin(), text.end(), [](const std::wstring& line) {
                return line.rfind(L"echo Press a key to save the last events", 0) == 0;
            });
        EXPECT_NE(savesFromMemory, fileMode);
    }
}

} // namespace
} // namespace corvane
