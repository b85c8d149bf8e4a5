// The runner's text: which programs it can start, and how its mode follows the profile's.
#include "wpr/wpr_script.h"

#include "wpr/wpr_profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
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

TEST(WprScript, StartsOnlyWprRegAndTheElevationProbeEachByItsFullPath) {
    WprProfile profile;
    profile.profileName = L"Corvane";
    profile.fileMode = true;
    const std::wstring script = *BuildWprScript(heapByName(), profile, L"capture.wprp");
    // What cmd runs on a line, past "if [/i] [not] CONDITION" and "for ... do" (quotes kept).
    const std::wregex conditions(
        LR"(^((if (/i )?(not )?(defined \S+|exist "[^"]*"|"[^"]*"=="[^"]*")"
        LR"(|\S+ (equ|neq) \S+)|for .*? do) )*)");
    const std::wregex command(LR"(^("[^"]*"|[^ ]*( :\w+)?))");
    const std::wstring allowed =
        L"||@echo|setlocal|set|echo|pause|goto|exit|md|(|)|call :HexOfStatus"
        L"|call :HexDigit|\"%SystemRoot%\\System32\\wpr.exe\""
        L"|\"%SystemRoot%\\System32\\reg.exe\""
        L"|\"%SystemRoot%\\System32\\fltmc.exe\"|";
    std::set<std::wstring> programs;
    for (const std::wstring& line : lines(script)) {
        SCOPED_TRACE(std::string(line.begin(), line.end()));
        if (line.rfind(L"rem ", 0) == 0 || line.rfind(L":", 0) == 0) {
            continue;
        }
        std::wsmatch word;
        const std::wstring rest = std::regex_replace(line, conditions, L"");
        ASSERT_TRUE(std::regex_search(rest, word, command));
        const std::wstring started = word[1];
        EXPECT_NE(allowed.find(L"|" + started + L"|"), std::wstring::npos);
        programs.insert(started.find(L".exe") != std::wstring::npos ? started : L"");
        // Nothing that cmd looks up on the search path itself.
        EXPECT_EQ(line.find(L"$PATH"), std::wstring::npos);
    }
    EXPECT_EQ(programs.size(), 3U); // wpr.exe, the probe and "": reg.exe is allowed, not needed
    // The script's arguments are read once, quoted, and only to be compared with "cancel".
    const std::size_t compared = script.find(L"if /i \"%~1\"==\"cancel\" goto Cancel");
    EXPECT_NE(compared, std::wstring::npos);
    EXPECT_EQ(script.find(L"%~1", compared + 8), std::wstring::npos);
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
