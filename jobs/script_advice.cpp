#include "jobs/script_advice.h"

#include "script/script_checks.h"
#include "settings/catalogues.h"
#include "settings/descriptions.h"
#include "settings/recording_checks.h"
#include "settings/stackwalk_events.h"
#include "settings/visible_text.h"
#include "wpr/wpr_plan.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace corvane {
namespace {

template <typename Catalogue, typename Describe>
std::vector<std::wstring> describedLines(const Catalogue& catalogue, Describe describe) {
    std::size_t width = 0;
    for (const std::wstring_view name : catalogue) {
        width = std::max(width, name.size());
    }
    std::vector<std::wstring> lines;
    for (const std::wstring_view name : catalogue) {
        std::wstring line(name);
        line.resize(width + 2, L' ');
        describe(name, line);
        lines.push_back(std::move(line));
    }
    return lines;
}

std::wstring warningText(const RecordingFinding& finding, const TraceSettings& settings,
                         bool forWpr) {
    const std::wstring subject(finding.subject);
    const std::wstring flag(finding.flag);
    switch (finding.warning) {
    case RecordingWarning::StackwalkWithoutItsFlag:
        return L"stackwalk " + subject + L" records no stacks: " + subject +
               L" is recorded only with " + flag + L", which is not selected (add kernel-flag = " +
               flag + L", or a group that holds it)";
    case RecordingWarning::StackwalksWithoutKernel:
        return L"stackwalk is set without any kernel-flag: the script starts no kernel session and "
               L"leaves the stack walks out";
    case RecordingWarning::NewFilePathWithoutNumber:
        return L"file-mode NewFile needs a %d in " + subject +
               L", which ETW replaces with the file's number: type it as %%d, since cmd reads "
               L"the script";
    case RecordingWarning::NoMaxFileSize:
        return L"file-mode " + subject + L" needs a max-file-size-mb above 0: " +
               (subject == L"NewFile" ? L"it starts a new file each time the file reaches it"
                                      : L"the newest events replace the oldest within it");
    case RecordingWarning::FewerMaxThanMinBuffers:
        return L"max-buffers (" + std::to_wstring(settings.maxBuffers) +
               L") is less than min-buffers (" + std::to_wstring(settings.minBuffers) +
               L"): ETW wants max-buffers at least min-buffers";
    case RecordingWarning::CaptureStateWithoutProviders:
        return L"capture-state is set without any provider: the script starts no provider "
               L"session, so there is no state to capture";
    case RecordingWarning::StackwalksWithoutProcessesAndImages:
        return L"the stack walks cannot be tied to processes and modules: " + subject +
               (subject.find(L' ') == std::wstring::npos
                    ? L", whose events name them, is not selected (add kernel-flag = " + subject +
                          L", or a group that holds it)"
                    : L", whose events name them, are not selected (add kernel-flag = "
                      L"PROC_THREAD and kernel-flag = LOADER, or a group that holds both, such "
                      L"as Base)");
    case RecordingWarning::SameSessionName:
        return L"session-name " + visibleText(settings.sessionName) + L" and heap-session-name " +
               visibleText(settings.heapSessionName) +
               L" name one session, as ETW compares session names without case: the second "
               L"start fails; give the heap session another name";
    case RecordingWarning::SameLogFile:
        return subject + L" and " + flag +
               L" name one file, as Windows compares file names without case, so two sessions "
               L"that the script starts would write one log; give each session a file of its own";
    case RecordingWarning::NonPagedBuffers: {
        const std::wstring megabytes =
            groupedNumber(static_cast<std::size_t>((finding.kilobytes + 1023) / 1024));
        if (forWpr) {
            return L"WPR's buffers take " + megabytes +
                   L" MB of memory that Windows never pages out, all of it at the start (its "
                   L"Buffers count times buffer-size-kb, for each collector), more than a "
                   L"gigabyte: lower min-buffers" +
                   (settings.wprLogging == kWprLoggingModes[1] ? L" and max-buffers" : L"") +
                   L" or buffer-size-kb unless the machine has that memory to spare";
        }
        return L"the sessions' buffers may take up to " + megabytes +
               L" MB of memory that Windows never pages out (buffer-size-kb times max-buffers, "
               L"for each session that the script starts), more than a gigabyte: lower "
               L"max-buffers or buffer-size-kb unless the machine has that memory to spare";
    }
    case RecordingWarning::AppendWithoutSystemClock:
        break;
    }
    return L"file-mode Append: ETW appends to the file, but gives the new events the right times "
           L"only with the system time as the clock, and only when the buffer size, processor "
           L"count and clock type match the file's; the script sets no clock (xperf -ClockType), "
           L"so xperf uses its default, the performance counter; prefer Sequential";
}

} // namespace

std::vector<std::wstring> describedKernelEntries() {
    return describedLines(KernelFlagCatalogue, [](std::wstring_view name, std::wstring& line) {
        if (const KernelEntryDescription* entry = describeKernelEntry(name)) {
            line += entry->description;
            if (!entry->members.empty()) {
                line += L" (" + std::wstring(entry->members) + L")";
            }
        }
    });
}

std::vector<std::wstring> describedStackwalkEvents() {
    return describedLines(StackwalkCatalogue, [](std::wstring_view name, std::wstring& line) {
        if (const StackwalkEventSource* event = describeStackwalkEvent(name)) {
            line += event->description;
            line += event->flag.empty() ? std::wstring(L"; its flag is not documented")
                                        : L"; recorded only with " + std::wstring(event->flag);
        }
    });
}

std::vector<std::wstring> recordingWarningTexts(const TraceSettings& settings, bool forWpr) {
    std::vector<std::wstring> texts;
    const std::optional<std::uint64_t> bufferKilobytes =
        forWpr ? std::optional<std::uint64_t>(wprStartKilobytes(settings)) : std::nullopt;
    for (const RecordingFinding& finding : findRecordingWarnings(settings, bufferKilobytes)) {
        if (forWpr && (finding.warning == RecordingWarning::NoMaxFileSize ||
                       finding.warning == RecordingWarning::FewerMaxThanMinBuffers ||
                       finding.warning == RecordingWarning::SameLogFile)) {
            continue;
        }
        texts.push_back(warningText(finding, settings, forWpr));
    }
    return texts;
}

} // namespace corvane
