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
}

TraceSettings usualSettings() {
    TraceSettings settings;
    settings.maxFileSizeMb = 256;
    settings.maxBuffers = 320;
    settings.minBuffers = 64;
    settings.fileMode = L"Sequential";
    settings.kernelFlags = {L"DiagEasy", L"SysProf"}; // PROFILE is SysProf's last member
    settings.stackwalkEvents = {L"CSwitch", L"Mark", L"Profile"};
    return settings;
}

TEST(RecordingWarnings, NameEachChoiceThatRecordsNothing) {
    using W = RecordingWarning;
    const struct {
        const char* what;
        std::function<void(TraceSettings&)> change;
        std::vector<std::pair<W, std::wstring>> expected;
    } cases[] = {
        {"stack walks fed by groups, and one without a known flag", [](TraceSettings&) {}, {}},
        {"stack walks without their flags",
         [](TraceSettings& s) {
             s.kernelFlags = {L"Base"};
             s.stackwalkEvents.push_back(L"ReadyThread");
         },
         {{W::StackwalkWithoutItsFlag, L"CSwitch"}, {W::StackwalkWithoutItsFlag, L"ReadyThread"}}},
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
        {"buffers and Append",
         [](TraceSettings& s) {
             s.maxBuffers = 63;
             s.fileMode = L"Append";
         },
         {{W::FewerMaxThanMinBuffers, L""}, {W::AppendWithoutSystemClock, L""}}},
        {"capture state without providers",
         [](TraceSettings& s) { s.captureState = 1; },
         {{W::CaptureStateWithoutProviders, L""}}},
        {"stack walks without LOADER; a name and a file twice as Windows compares them",
         [](TraceSettings& s) {
             s.kernelFlags = {L"PROC_THREAD", L"CSWITCH", L"PROFILE"};
             s.providers = {L"P"};
             s.heapEnabled = 1;
             s.sessionName = L"Velléдĳ";
             s.heapSessionName = L"vELLÉДĲ";
             s.kernelPath = L"C:/T/k.ETL";
             s.heapPath = L"c:\\t\\K.etl";
         },
         {{W::StackwalksWithoutProcessesAndImages, L"LOADER"},
          {W::SameSessionName, L""},
          {W::SameLogFile, L"kernel-path"}}},
        {"two sessions of 512 buffers of 1 MB, no fewer than the minimum: a gigabyte",
         [](TraceSettings& s) {
             s.providers = {L"P"};
             s.bufferSizeKb = 1024;
             s.minBuffers = s.maxBuffers = 512;
         },
         {}},
        {"one buffer more",
         [](TraceSettings& s) {
             s.providers = {L"P"};
             s.bufferSizeKb = 1024;
             s.minBuffers = 513;
             s.maxBuffers = 512;
         },
         {{W::FewerMaxThanMinBuffers, L""}, {W::NonPagedBuffers, L""}}},
    };
    for (const auto& entry : cases) {
        TraceSettings settings = usualSettings();
        entry.change(settings);
        std::vector<std::pair<W, std::wstring>> found;
        for (const RecordingFinding& finding : findRecordingWarnings(settings)) {
            found.emplace_back(finding.warning, std::wstring(finding.subject));
        }
        EXPECT_EQ(found, entry.expected) << entry.what;
    }
}

} // namespace
} // namespace corvane
