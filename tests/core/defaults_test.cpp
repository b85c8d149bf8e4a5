#include "script/script_file_name.h"
#include "settings/trace_settings.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace corvane {
namespace {

// A desktop folder and a clock that the test sets, counting how often each is asked.
struct FakePlatform {
    std::optional<std::wstring> folder = std::wstring(L"C:\\Users\\user\\Desktop");
    LocalTime now{2014, 3, 5, 9, 7, 3};
    int folderLookups = 0;
    int clockReads = 0;

    DefaultsEnvironment environment() {
        return DefaultsEnvironment{[this] {
                                       ++folderLookups;
                                       return folder;
                                   },
                                   [this] {
                                       ++clockReads;
                                       return now;
                                   }};
    }
};

// Every field set to something no default equals.
TraceSettings scribbledSettings() {
    TraceSettings settings;
    settings.maxFileSizeMb = 1;
    settings.bufferSizeKb = 2;
    settings.maxBuffers = 3;
    settings.minBuffers = 4;
    settings.logStack = 1;
    settings.heapEnabled = 2;
    settings.kernelPath = L"k";
    settings.userPath = L"u";
    settings.etlOutPath = L"X:\\kept.etl";
    settings.sessionName = L"s";
    settings.heapProcess = L"notepad";
    settings.heapSessionName = L"hs";
    settings.heapPath = L"h";
    settings.fileMode = L"Circular";
    settings.kernelFlags = {L"LOADER"};
    settings.stackwalkEvents = {L"CSwitch"};
    settings.providers = {L"P"};
    return settings;
}

void expectFixedDefaults(const TraceSettings& settings) {
    EXPECT_EQ(settings.maxFileSizeMb, 256U);
    EXPECT_EQ(settings.bufferSizeKb, 64U);
    EXPECT_EQ(settings.maxBuffers, 320U);
    EXPECT_EQ(settings.minBuffers, 64U);
    EXPECT_EQ(settings.logStack, 0);
    EXPECT_EQ(settings.kernelPath, L"\\kernel.etl");
    EXPECT_EQ(settings.userPath, L"\\user.etl");
    EXPECT_EQ(settings.sessionName, L"Vell");
    EXPECT_EQ(settings.heapProcess, L"0");
    EXPECT_EQ(settings.heapSessionName, L"VellHeap");
    EXPECT_EQ(settings.heapPath, L"\\heap.etl");
}

TEST(DefaultTraceSettings, SetsEveryHeldFieldAndNamesTheLogAfterTheDesktopAndTheTime) {
    FakePlatform platform;
    TraceSettings settings = scribbledSettings();
    defaultTraceSettings(settings, platform.environment());

    expectFixedDefaults(settings);
    EXPECT_EQ(settings.etlOutPath, L"C:\\Users\\user\\Desktop\\20140305_090703.etl");
    EXPECT_EQ(platform.clockReads, 1);
}

TEST(DefaultTraceSettings, LeavesHeapSwitchFileModeAndSelectionsAlone) {
    FakePlatform platform;
    TraceSettings settings = scribbledSettings();
    defaultTraceSettings(settings, platform.environment());

    EXPECT_EQ(settings.heapEnabled, 2);
    settings.heapEnabled = 1;
    defaultTraceSettings(settings, platform.environment());
    EXPECT_EQ(settings.heapEnabled, 1);

    EXPECT_EQ(settings.fileMode, L"Circular");
    EXPECT_EQ(settings.kernelFlags, std::vector<std::wstring>{L"LOADER"});
    EXPECT_EQ(settings.stackwalkEvents, std::vector<std::wstring>{L"CSwitch"});
    EXPECT_EQ(settings.providers, std::vector<std::wstring>{L"P"});
}

TEST(DefaultTraceSettings, WithoutADesktopFolderKeepsTheOutputPathButSetsTheRest) {
    FakePlatform platform;
    platform.folder.reset();

    TraceSettings settings = scribbledSettings();
    defaultTraceSettings(settings, platform.environment());
    expectFixedDefaults(settings);
    EXPECT_EQ(settings.etlOutPath, L"X:\\kept.etl");
    EXPECT_EQ(platform.folderLookups, 1);

    TraceSettings fresh;
    defaultTraceSettings(fresh, platform.environment());
    expectFixedDefaults(fresh);
    EXPECT_TRUE(fresh.etlOutPath.empty());
}

TEST(DefaultTraceSettings, ReadsTheClockEachTimeTheDefaultsAreApplied) {
    FakePlatform platform;
    platform.now = LocalTime{2014, 3, 5, 9, 7, 59};
    TraceSettings first;
    TraceSettings sameSecond;
    defaultTraceSettings(first, platform.environment());
    defaultTraceSettings(sameSecond, platform.environment());
    EXPECT_EQ(first.etlOutPath, sameSecond.etlOutPath);

    platform.now = LocalTime{2014, 3, 5, 9, 8, 0};
    TraceSettings nextSecond;
    defaultTraceSettings(nextSecond, platform.environment());
    EXPECT_EQ(first.etlOutPath, L"C:\\Users\\user\\Desktop\\20140305_090759.etl");
    EXPECT_EQ(nextSecond.etlOutPath, L"C:\\Users\\user\\Desktop\\20140305_090800.etl");
    EXPECT_EQ(platform.clockReads, 3);
}

TEST(DefaultTraceSettings, CopiesTheFolderAsTheLookupGaveIt) {
    FakePlatform platform;
    platform.folder = std::wstring(L"D:\\D\u00e9sktop 100%");
    platform.now = LocalTime{1999, 12, 31, 23, 59, 59};
    TraceSettings settings;
    defaultTraceSettings(settings, platform.environment());
    EXPECT_EQ(settings.etlOutPath, L"D:\\D\u00e9sktop 100%\\19991231_235959.etl");
}

TEST(DefaultScriptName, IsTheZeroPaddedLocalTimeWithCmdExtension) {
    EXPECT_EQ(DefaultScriptName(LocalTime{2023, 12, 31, 23, 59, 59}), L"20231231_235959.cmd");
    EXPECT_EQ(DefaultScriptName(LocalTime{2024, 1, 5, 9, 30, 0}), L"20240105_093000.cmd");
    EXPECT_EQ(DefaultScriptName(LocalTime{2000, 1, 1, 0, 0, 0}), L"20000101_000000.cmd");
    // Widths are minimums, as in "%04u": a wider value is written whole, never cut.
    EXPECT_EQ(DefaultScriptName(LocalTime{987, 2, 3, 4, 5, 6}), L"09870203_040506.cmd");
    EXPECT_EQ(DefaultScriptName(LocalTime{12345, 10, 11, 12, 13, 14}), L"123451011_121314.cmd");
}

} // namespace
} // namespace corvane
