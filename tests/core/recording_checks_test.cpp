#include "settings/catalogues.h"
#include "settings/recording_checks.h"
#include "settings/stackwalk_events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace corvane {
namespace {

constexpr std::size_t kFlagCount = 50; // the groups follow the flags in the catalogue

TEST(StackwalkSources, EveryEventIsDescribedAndNeedsAKernelFlagOrNone) {
    const auto firstGroup = KernelFlagCatalogue.begin() + kFlagCount;
    for (const wchar_t* name : StackwalkCatalogue) {
        const StackwalkEventSource* event = describeStackwalkEvent(name);
        ASSERT_NE(event, nullptr) << name;
        EXPECT_EQ(event->name, name);
        EXPECT_FALSE(event->description.empty()) << name;
        EXPECT_EQ(event->description.find_first_of(L"\r\n\t"), std::wstring_view::npos) << name;
        // A flag, never a group: a group only stands for flags.
        EXPECT_TRUE(event->flag.empty() ||
                    std::find(KernelFlagCatalogue.begin(), firstGroup, event->flag) != firstGroup)
            << name << L" needs " << std::wstring(event->flag);
    }
    EXPECT_EQ(describeStackwalkEvent(L"readythread"), nullptr);
    // The pairs that the kernel event classes state outright.
    for (const auto& [event, flag] : {std::pair{L"ReadyThread", L"DISPATCHER"},
                                      {L"CSwitch", L"CSWITCH"},
                                      {L"Profile", L"PROFILE"},
                                      {L"FileCreate", L"FILE_IO_INIT"},
                                      {L"FileWrite", L"FILE_IO_INIT"},
                                      {L"DiskReadInit", L"DISK_IO_INIT"},
                                      {L"VirtualAlloc", L"VIRT_ALLOC"}}) {
        EXPECT_EQ(describeStackwalkEvent(event)->flag, flag) << event;
    }
}

TEST(StackwalkSources, AGroupSelectsEachOfItsMembers) {
    const struct {
        std::vector<std::wstring> selection;
        const wchar_t* flag;
        bool included;
    } cases[] = {
        {{L"DISPATCHER"}, L"DISPATCHER", true},
        {{L"LOADER", L"Diag"}, L"CSWITCH", true},
        {{L"Base"}, L"CSWITCH", false},
        {{L"ReferenceSet"}, L"PROC_THREAD", true}, // the first member
        {{L"ReferenceSet"}, L"MEMINFO_WS", true},  // the last member
        {{L"SysProf"}, L"PROF", false},            // a piece of a member is none
        {{}, L"CSWITCH", false},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(selectionIncludesFlag(entry.selection, entry.flag), entry.included) << entry.flag;
    }
}

TraceSettings usualSettings() {
    TraceSettings settings;
    settings.maxFileSizeMb = 256;
    settings.maxBuffers = 320;
    settings.minBuffers = 64;
    settings.kernelPath = L"\\kernel.etl";
    settings.userPath = L"\\user.etl";
    settings.heapPath = L"\\heap.etl";
    settings.fileMode = L"Sequential";
    settings.kernelFlags = {L"PROC_THREAD", L"Latency"};
    settings.stackwalkEvents = {L"CSwitch", L"Mark", L"ProcessCreate"};
    return settings;
}

TEST(RecordingWarnings, NameEachChoiceThatRecordsNothing) {
    using W = RecordingWarning;
    const struct {
        const char* what;
        std::function<void(TraceSettings&)> change;
        std::vector<std::pair<W, std::wstring>> expected;
    } cases[] = {
        {"fed stack walks, and one without a known flag", [](TraceSettings&) {}, {}},
        {"an unfed stack walk",
         [](TraceSettings& s) { s.stackwalkEvents.push_back(L"ReadyThread"); },
         {{W::StackwalkWithoutItsFlag, L"ReadyThread"}}},
        {"no kernel flag",
         [](TraceSettings& s) { s.kernelFlags.clear(); },
         {{W::StackwalksWithoutKernel, L""}}},
        {"NewFile",
         [](TraceSettings& s) {
             s.fileMode = L"NewFile";
             s.kernelPath = L"\\k%%d.etl";
             s.providers = {L"P"};
             s.heapEnabled = 1;
             s.heapPath = L"\\h%d.etl"; // cmd would drop the lone %
         },
         {{W::NewFilePathWithoutNumber, L"user-path"},
          {W::NewFilePathWithoutNumber, L"heap-path"}}},
        {"Circular without a size",
         [](TraceSettings& s) {
             s.fileMode = L"Circular";
             s.maxFileSizeMb = 0;
         },
         {{W::NoMaxFileSize, L"Circular"}}},
        {"buffers",
         [](TraceSettings& s) { s.maxBuffers = 63; },
         {{W::FewerMaxThanMinBuffers, L""}}},
        {"Append",
         [](TraceSettings& s) { s.fileMode = L"Append"; },
         {{W::AppendWithoutSystemClock, L""}}},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.what);
        TraceSettings settings = usualSettings();
        entry.change(settings);
        std::vector<std::pair<W, std::wstring>> found;
        for (const RecordingFinding& finding : findRecordingWarnings(settings)) {
            found.emplace_back(finding.warning, std::wstring(finding.subject));
        }
        EXPECT_EQ(found, entry.expected);
    }
}

} // namespace
} // namespace corvane
