#include "wpr/wpr_plan.h"

#include "script/capture_script.h"
#include "settings/stackwalk_events.h"
#include "wpr/wpr_names.h"
#include "wpr/xml_writer.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <utility>

namespace corvane {
namespace {

using namespace std::string_view_literals;

// WPR's schema takes two heap process ids at most (HeapProcessIds).
constexpr std::size_t kMostHeapProcessIds = 2;
// Messages quote at most this much of a value, as the other refusals do.
constexpr std::size_t kQuotedValueLength = 64;

void appendQuotedValue(std::wstring& out, std::wstring_view value) {
    out.push_back(L'\'');
    out.append(value.substr(0, kQuotedValueLength));
    if (value.size() > kQuotedValueLength) {
        out += L"..."sv;
    }
    out.push_back(L'\'');
}

// The kernel events that tie the heap's stacks to processes and modules. Microsoft's heap
// profiles (the inbox "Heap" profile, "Record Heap") add both to their system collector, so a
// heap-only profile records them too.
constexpr std::wstring_view kHeapContextFlags[] = {L"PROC_THREAD", L"LOADER"};

// The keywords of the flags a selection turns on, groups expanded, each once, in table order; or
// false with the refusal of the first flag that has no keyword.
bool planKeywords(WprPlan& plan, std::wstring& refusal) {
    const bool heap = plan.settings.heapEnabled != 0;
    for (const WprKeywordName& row : WprKeywordTable) {
        const bool forHeap =
            heap && std::find(std::begin(kHeapContextFlags), std::end(kHeapContextFlags),
                              row.flag) != std::end(kHeapContextFlags);
        if (!forHeap && !selectionIncludesFlag(plan.settings.kernelFlags, row.flag)) {
            continue;
        }
        if (row.keyword.empty()) {
            refusal = row.noForm;
            return false;
        }
        plan.keywords.push_back(row.keyword);
    }
    return true;
}

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// The process ids of the PID form, as WPR's HeapProcessId takes them: whole decimal numbers of
// 32 bits, two at most. A lone 0 is xperf's "-pids 0": the processes whose image has heap
// tracing set, which WPR's heap provider without ids records as well.
bool planHeapProcessIds(WprPlan& plan, std::wstring& refusal) {
    const std::wstring& text = plan.settings.heapProcess;
    std::vector<std::uint32_t> ids;
    for (std::size_t i = 0; i < text.size();) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !isBlank(text[end])) {
            ++end;
        }
        const std::wstring_view token(text.data() + i, end - i);
        std::uint64_t value = 0;
        for (const wchar_t c : token) {
            if (c < L'0' || c > L'9') {
                refusal = L"process-name-or-pid ";
                appendQuotedValue(refusal, text);
                refusal += L" has no WPR form: WPR takes a heap process id as a whole decimal "
                           L"number, not "sv;
                appendQuotedValue(refusal, token);
                return false;
            }
            value = value * 10U + static_cast<std::uint64_t>(c - L'0');
            if (value > 0xFFFFFFFFULL) {
                refusal = L"process-name-or-pid ";
                appendQuotedValue(refusal, text);
                refusal += L" has no WPR form: "sv;
                appendQuotedValue(refusal, token);
                refusal += L" is larger than a process id can be (4294967295)"sv;
                return false;
            }
        }
        ids.push_back(static_cast<std::uint32_t>(value));
        i = end;
    }
    if (ids.size() == 1 && ids.front() == 0U) {
        plan.warnings.push_back(
            L"process-name-or-pid 0 names no process: as with xperf's -pids 0, the heap is traced "
            L"in the processes whose image has heap tracing enabled (wpr -heaptracingconfig "
            L"NAME.exe enable)");
        return true;
    }
    if (std::find(ids.begin(), ids.end(), 0U) != ids.end()) {
        refusal = L"process-name-or-pid ";
        appendQuotedValue(refusal, text);
        refusal += L" has no WPR form: 0 is no process, and WPR takes only the ids of running "
                   L"processes beside others"sv;
        return false;
    }
    if (ids.size() > kMostHeapProcessIds) {
        refusal = L"process-name-or-pid ";
        appendQuotedValue(refusal, text);
        refusal += L" has no WPR form: WPR traces the heap of at most two processes by id"sv;
        return false;
    }
    plan.heapProcessIds = std::move(ids);
    return true;
}

// WPR records each collector to a file of its own and merges them into the file named to
// `wpr -stop`, so the sessions' log paths have nowhere to go.
void warnAboutLogPaths(WprPlan& plan) {
    TraceSettings defaults;
    defaultTraceSettings(defaults, DefaultsEnvironment{});
    struct PathField {
        bool used;
        std::wstring_view key;
        const std::wstring& value;
        const std::wstring& byDefault;
    };
    const TraceSettings& settings = plan.settings;
    const PathField fields[] = {
        {!settings.kernelFlags.empty(), L"kernel-path", settings.kernelPath, defaults.kernelPath},
        {plan.eventCollector, L"user-path", settings.userPath, defaults.userPath},
        {plan.heap, L"heap-path", settings.heapPath, defaults.heapPath},
    };
    for (const PathField& field : fields) {
        if (!field.used || field.value == field.byDefault) {
            continue;
        }
        std::wstring warning(field.key);
        warning.push_back(L' ');
        appendQuotedValue(warning, field.value);
        warning += L" has no WPR form: WPR records to files of its own and merges them into "
                   L"etl-out-path at wpr -stop"sv;
        plan.warnings.push_back(std::move(warning));
    }
}

// The first value that XML cannot carry, named in `refusal`.
bool checkWritable(const TraceSettings& settings, std::wstring& refusal) {
    struct Field {
        std::wstring_view key;
        const std::wstring* value;
    };
    const Field fields[] = {
        {L"session-name", &settings.sessionName},
        {L"heap-session-name", &settings.heapSessionName},
    };
    const auto refuse = [&](std::wstring_view key, std::wstring_view value, std::size_t at) {
        refusal = key;
        refusal += L" holds a character that XML cannot carry (U+"sv;
        constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";
        const auto code = static_cast<unsigned>(value[at]);
        for (int shift = 12; shift >= 0; shift -= 4) {
            refusal.push_back(kHexDigits[(code >> static_cast<unsigned>(shift)) & 0xFU]);
        }
        refusal.push_back(L')');
        return false;
    };
    for (const Field& field : fields) {
        const std::size_t at = findXmlUnwritable(*field.value);
        if (at != std::wstring_view::npos) {
            return refuse(field.key, *field.value, at);
        }
    }
    for (const std::wstring& provider : settings.providers) {
        const std::size_t at = findXmlUnwritable(provider);
        if (at != std::wstring_view::npos) {
            return refuse(L"a provider name", provider, at);
        }
    }
    return true;
}

// The sessions that the settings start, as WPR's collectors: the kernel's also for a heap alone.
struct Collectors {
    bool system;
    bool event;
    bool heap;
};

Collectors collectorsOf(const TraceSettings& settings) {
    const bool heap = settings.heapEnabled != 0;
    return {!settings.kernelFlags.empty() || heap, !settings.providers.empty(), heap};
}

bool planFileMode(WprPlan& plan, std::wstring& refusal) {
    const std::wstring& mode = plan.settings.fileMode;
    if (mode == L"Sequential" || mode == L"Circular") {
        plan.circular = mode == L"Circular";
        return true;
    }
    refusal = L"file-mode ";
    refusal += mode;
    refusal += L" has no WPR form: WPR records each session to a new file of its own and merges "
               L"them when it stops, so it neither appends to a log nor starts numbered files; "
               L"choose Sequential or Circular"sv;
    return false;
}

} // namespace

// Microsoft's "Logging mode" page: WPR takes one buffer count, allocated when the collector
// starts, no minimum and maximum; "when logging to file, 10-50 MB of physical memory should be
// sufficient unless the recording profile is unusually verbose". ETW starts an xperf session with
// min-buffers and lets it grow to max-buffers under load ("EVENT_TRACE_PROPERTIES"), so in file
// mode Buffers starts from the 10 MB of that guidance, is raised to min-buffers where the profile
// asks for more at the start than that, and is never more than max-buffers, the most xperf would
// ever take. Events that would have needed xperf's growth may be lost; WPR's file mode writes the
// buffers out as they fill, and the 1 GB warning then speaks of what is taken at once.
// In memory mode the buffers are the whole recording ("Logging mode": how long WPR can log before
// old events are overwritten), so they get the most the profile allows, the larger count.
constexpr std::uint64_t kFileModeStartKb = 10 * 1024;

std::uint32_t wprBufferCount(const TraceSettings& settings) noexcept {
    const std::uint32_t most = std::max(settings.minBuffers, settings.maxBuffers);
    if (settings.wprLogging == kWprLoggingModes[1] || settings.bufferSizeKb == 0U) {
        return most;
    }
    const std::uint64_t forGuidance =
        (kFileModeStartKb + settings.bufferSizeKb - 1U) / settings.bufferSizeKb;
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(std::max<std::uint64_t>(forGuidance, settings.minBuffers), most));
}

std::uint64_t wprStartKilobytes(const TraceSettings& settings) noexcept {
    const Collectors collectors = collectorsOf(settings);
    const std::uint64_t count =
        std::uint64_t{collectors.system} + collectors.event + collectors.heap;
    // Without a count WPR takes its default of 64 ("Logging mode").
    const std::uint32_t buffers = wprBufferCount(settings);
    return count * settings.bufferSizeKb * (buffers != 0U ? buffers : 64U);
}

bool planWprCapture(WprPlan& plan, std::wstring& refusal) {
    const TraceSettings& settings = plan.settings;
    if (!planFileMode(plan, refusal) || !checkWritable(settings, refusal) ||
        !planKeywords(plan, refusal)) {
        return false;
    }
    const Collectors collectors = collectorsOf(settings);
    plan.eventCollector = collectors.event;
    plan.heap = collectors.heap;
    plan.systemCollector = collectors.system;
    if (!plan.systemCollector && !plan.eventCollector) {
        refusal = L"nothing would be traced: no kernel flag, no provider and no heap";
        return false;
    }
    plan.memory = settings.wprLogging == kWprLoggingModes[1];
    plan.buffers = wprBufferCount(settings);
    // Stack walks ride on the kernel flags, as in the xperf script, which drops them without one.
    if (!settings.kernelFlags.empty()) {
        for (const std::wstring& event : settings.stackwalkEvents) {
            plan.stacks.push_back(wprStackOfEvent(event));
        }
    }
    if (plan.heap) {
        if (heapTargetForm(settings.heapProcess) == HeapTargetForm::Pid &&
            !planHeapProcessIds(plan, refusal)) {
            return false;
        }
        plan.stacks.insert(plan.stacks.end(), WprHeapStacks.begin(), WprHeapStacks.end());
    }
    if (!plan.memory && plan.circular && settings.maxFileSizeMb == 0U) {
        plan.warnings.push_back(
            L"file-mode Circular with max-file-size-mb = 0: WPR's circular file needs a size, so "
            L"the profile records to files without a limit");
    }
    warnAboutLogPaths(plan);
    return true;
}

} // namespace corvane
