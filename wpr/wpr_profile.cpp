#include "wpr/wpr_profile.h"

#include "script/capture_script.h"
#include "settings/number_text.h"
#include "settings/stackwalk_events.h"
#include "wpr/wpr_names.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane {
namespace {

using namespace std::string_view_literals;

// The profile's name and the Ids of its two versions, in the form Name.DetailLevel.LoggingMode that
// "Profile definitions" gives. The name is what `wpr -start FILE!NAME` takes.
//
// Logging mode: the script starts the File version. xperf's Circular is a circular file of
// max-file-size-mb that keeps the newest events ("Logging mode constants"); WPR's MaximumFileSize
// element with FileMode="Circular" is exactly that ("the file keeps the latest events"), and it is
// used only in file mode. WPR's Memory mode keeps the newest events in its buffers alone ("Logging
// mode"), so the span would follow the buffer count and max-file-size-mb would be lost.
// Sequential is file mode with FileMode="Sequential": the trace stops at that size, as ETW's does.
//
// WPR refuses a .wprp without both a File and a Memory version of its profile ("Logging mode": the
// constraint is enforced). The Memory version records the same collectors; `wpr -start FILE!NAME`
// without -filemode, or WPR's window, picks it, and it ignores MaximumFileSize.
constexpr std::wstring_view kProfileName = L"Corvane";
constexpr std::wstring_view kFileProfileId = L"Corvane.Verbose.File";
constexpr std::wstring_view kMemoryProfileId = L"Corvane.Verbose.Memory";

constexpr std::wstring_view kSystemCollectorId = L"Corvane_SystemCollector";
constexpr std::wstring_view kEventCollectorId = L"Corvane_EventCollector";
constexpr std::wstring_view kHeapCollectorId = L"Corvane_HeapEventCollector";
constexpr std::wstring_view kSystemProviderId = L"Corvane_SystemProvider";
constexpr std::wstring_view kEventProviderIdStem = L"Corvane_EventProvider_";
constexpr std::wstring_view kHeapProviderId = L"Corvane_HeapEventProvider";

// xperf's kernel logger, the session `xperf -on` starts and `xperf -stop` stops.
constexpr std::wstring_view kKernelLoggerName = L"NT Kernel Logger";

// WPR's schema takes two heap process ids at most (HeapProcessIds).
constexpr std::size_t kMostHeapProcessIds = 2;
// Messages quote at most this much of a value, as the other refusals do.
constexpr std::size_t kQuotedValueLength = 64;

constexpr std::wstring_view kLineEnd = L"\r\n";

// Whether XML 1.0 can carry the character at all, written out or as a reference: not the C0
// controls other than tab, LF and CR, nor U+FFFE and U+FFFF. Surrogates are checked in pairs.
bool isXmlChar(wchar_t c) {
    if (c < 0x20) {
        return c == L'\t' || c == L'\n' || c == L'\r';
    }
    return c != 0xFFFE && c != 0xFFFF;
}

bool isHighSurrogate(std::uint32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(std::uint32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// What XML cannot carry in an attribute: a character outside its set, or half of a surrogate
// pair. Returns its position, or npos.
std::size_t findUnwritable(std::wstring_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<std::uint32_t>(text[i]);
        if (isHighSurrogate(c) && i + 1 < text.size() &&
            isLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
            ++i;
            continue;
        }
        if (isHighSurrogate(c) || isLowSurrogate(c) || !isXmlChar(text[i])) {
            return i;
        }
    }
    return std::wstring_view::npos;
}

// An attribute value between double quotes. The five markup characters become entities; tab, LF
// and CR become character references, which attribute-value normalization leaves as they are
// (written out, a parser would read each as a space).
void appendEscaped(std::wstring& out, std::wstring_view text) {
    for (const wchar_t c : text) {
        switch (c) {
        case L'&':
            out += L"&amp;"sv;
            break;
        case L'<':
            out += L"&lt;"sv;
            break;
        case L'>':
            out += L"&gt;"sv;
            break;
        case L'\'':
            out += L"&apos;"sv;
            break;
        case L'"':
            out += L"&quot;"sv;
            break;
        case L'\t':
            out += L"&#9;"sv;
            break;
        case L'\n':
            out += L"&#10;"sv;
            break;
        case L'\r':
            out += L"&#13;"sv;
            break;
        default:
            out.push_back(c);
        }
    }
}

void appendQuotedValue(std::wstring& out, std::wstring_view value) {
    out.push_back(L'\'');
    out.append(value.substr(0, kQuotedValueLength));
    if (value.size() > kQuotedValueLength) {
        out += L"..."sv;
    }
    out.push_back(L'\'');
}

// Builds the text line by line: indentation, then the pieces, then CR LF.
class XmlWriter {
public:
    explicit XmlWriter(std::wstring& out) : m_out(out) {}

    // `<Name` at the current depth; attributes follow, then close() or closeEmpty().
    void open(std::wstring_view name) {
        m_out.append(2 * m_depth, L' ');
        m_out.push_back(L'<');
        m_out += name;
    }
    void attribute(std::wstring_view name, std::wstring_view value) {
        m_out.push_back(L' ');
        m_out += name;
        m_out += L"=\""sv;
        appendEscaped(m_out, value);
        m_out.push_back(L'"');
    }
    void attribute(std::wstring_view name, std::uint64_t value) {
        m_out.push_back(L' ');
        m_out += name;
        m_out += L"=\""sv;
        appendDecimal(m_out, value);
        m_out.push_back(L'"');
    }
    void close() {
        m_out += L">"sv;
        m_out += kLineEnd;
        ++m_depth;
    }
    void closeEmpty() {
        m_out += L"/>"sv;
        m_out += kLineEnd;
    }
    void end(std::wstring_view name) {
        --m_depth;
        m_out.append(2 * m_depth, L' ');
        m_out += L"</"sv;
        m_out += name;
        m_out += L">"sv;
        m_out += kLineEnd;
    }
    // `<Name Value="value"/>`, the form of most leaves of a profile.
    void valueElement(std::wstring_view name, std::wstring_view value) {
        open(name);
        attribute(L"Value"sv, value);
        closeEmpty();
    }
    void valueElement(std::wstring_view name, std::uint64_t value) {
        open(name);
        attribute(L"Value"sv, value);
        closeEmpty();
    }

private:
    std::wstring& m_out;
    std::size_t m_depth = 0;
};

// What the settings ask of WPR, worked out before a line is written.
struct Plan {
    const TraceSettings& settings;
    bool circular = false;
    std::vector<std::wstring_view> keywords{}; // in table order, each once
    std::vector<std::wstring_view> stacks{};   // kernel stack walks, then the heap's
    bool systemCollector = false;
    bool eventCollector = false;
    bool heap = false;
    std::vector<std::uint32_t> heapProcessIds{}; // empty: the processes set by image name
};

// The keywords of the flags a selection turns on, groups expanded, each once, in table order.
void planKeywords(Plan& plan, WprProfile& profile) {
    for (const WprKeywordName& row : WprKeywordTable) {
        if (!selectionIncludesFlag(plan.settings.kernelFlags, row.flag)) {
            continue;
        }
        plan.keywords.push_back(row.keyword);
        if (!row.knownBy.empty()) {
            std::wstring warning = L"kernel flag ";
            warning += row.flag;
            warning += L" becomes WPR's keyword "sv;
            warning += row.keyword;
            warning += L", which only "sv;
            warning += row.knownBy;
            warning += L" knows; another WPR refuses the profile"sv;
            profile.warnings.push_back(std::move(warning));
        }
    }
}

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// The process ids of the PID form, as WPR's HeapProcessId takes them: whole decimal numbers of
// 32 bits, two at most. A lone 0 is xperf's "-pids 0": the processes whose image has heap
// tracing set, which WPR's heap provider without ids records as well.
bool planHeapProcessIds(Plan& plan, WprProfile& profile, std::wstring& refusal) {
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
        profile.warnings.push_back(
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
void warnAboutLogPaths(const Plan& plan, WprProfile& profile) {
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
        profile.warnings.push_back(std::move(warning));
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
        const std::size_t at = findUnwritable(*field.value);
        if (at != std::wstring_view::npos) {
            return refuse(field.key, *field.value, at);
        }
    }
    for (const std::wstring& provider : settings.providers) {
        const std::size_t at = findUnwritable(provider);
        if (at != std::wstring_view::npos) {
            return refuse(L"a provider name", provider, at);
        }
    }
    return true;
}

bool planFileMode(Plan& plan, std::wstring& refusal) {
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

// BufferSize, one Buffers count and the file size of a collector. ETW starts a session with
// min-buffers and lets it grow to max-buffers; WPR takes one count, the buffers it allocates when
// the session starts ("Logging mode": no minimum and maximum; "Buffers"). The larger of the two,
// the most the xperf session could hold, keeps its room for bursts, so WPR loses no event that
// xperf would have kept; the price is that the memory is taken at the start, not as it is needed.
void writeBuffers(XmlWriter& xml, const Plan& plan) {
    const TraceSettings& settings = plan.settings;
    xml.valueElement(L"BufferSize"sv, settings.bufferSizeKb);
    const std::uint32_t buffers = std::max(settings.maxBuffers, settings.minBuffers);
    if (buffers != 0U) {
        xml.valueElement(L"Buffers"sv, buffers);
    }
    // 0 is ETW's "no limit"; WPR's file mode without the element has none either.
    if (settings.maxFileSizeMb != 0U) {
        xml.open(L"MaximumFileSize"sv);
        xml.attribute(L"Value"sv, settings.maxFileSizeMb);
        xml.attribute(L"FileMode"sv, plan.circular ? L"Circular"sv : L"Sequential"sv);
        xml.closeEmpty();
    }
}

void writeCollector(XmlWriter& xml, std::wstring_view element, std::wstring_view id,
                    std::wstring_view name, const Plan& plan) {
    xml.open(element);
    xml.attribute(L"Id"sv, id);
    xml.attribute(L"Name"sv, name);
    xml.close();
    writeBuffers(xml, plan);
    xml.end(element);
}

void writeSystemProvider(XmlWriter& xml, const Plan& plan) {
    xml.open(L"SystemProvider"sv);
    xml.attribute(L"Id"sv, kSystemProviderId);
    xml.close();
    if (!plan.keywords.empty()) {
        xml.open(L"Keywords"sv);
        xml.close();
        for (const std::wstring_view keyword : plan.keywords) {
            xml.valueElement(L"Keyword"sv, keyword);
        }
        xml.end(L"Keywords"sv);
    }
    if (!plan.stacks.empty()) {
        xml.open(L"Stacks"sv);
        xml.close();
        for (const std::wstring_view stack : plan.stacks) {
            xml.valueElement(L"Stack"sv, stack);
        }
        xml.end(L"Stacks"sv);
    }
    xml.end(L"SystemProvider"sv);
}

std::wstring eventProviderId(std::size_t index) {
    std::wstring id(kEventProviderIdStem);
    appendDecimal(id, index + 1U);
    return id;
}

// NonPagedMemory is always set. ETW lets a kernel-mode provider log only to a session whose
// buffers are not paged ("Logging mode constants", EVENT_TRACE_USE_PAGED_MEMORY), and Microsoft's
// WPR samples set the attribute for such providers. xperf's sessions use nonpaged buffers, so
// every provider, user or kernel mode, records there; a name does not tell which kind it is.
void writeEventProvider(XmlWriter& xml, const Plan& plan, std::size_t index) {
    const TraceSettings& settings = plan.settings;
    const std::wstring& name = settings.providers[index];
    const auto found = settings.providerOptions.find(name);
    const ProviderOptions options =
        found == settings.providerOptions.end() ? ProviderOptions{} : found->second;
    const bool stack = options.stack.value_or(settings.logStack != 0);
    const bool captureState = settings.captureState != 0;

    xml.open(L"EventProvider"sv);
    xml.attribute(L"Id"sv, eventProviderId(index));
    xml.attribute(L"Name"sv, name);
    xml.attribute(L"NonPagedMemory"sv, L"true"sv);
    if (options.level) {
        xml.attribute(L"Level"sv, *options.level);
    }
    if (stack) {
        xml.attribute(L"Stack"sv, L"true"sv);
    }
    if (!options.keywords && !captureState) {
        xml.closeEmpty();
        return;
    }
    xml.close();
    std::wstring mask;
    // Without keywords= the provider is enabled with a zero mask, which ETW reads as every
    // keyword, as when xperf is given no mask.
    mask += L"0x"sv;
    appendHexDigits(mask, options.keywords.value_or(0U));
    if (options.keywords) {
        xml.open(L"Keywords"sv);
        xml.close();
        xml.valueElement(L"Keyword"sv, mask);
        xml.end(L"Keywords"sv);
    }
    // xperf -capturestate with the same entries, right after the session starts.
    if (captureState) {
        xml.open(L"CaptureStateOnStart"sv);
        xml.close();
        xml.valueElement(L"Keyword"sv, mask);
        xml.end(L"CaptureStateOnStart"sv);
    }
    xml.end(L"EventProvider"sv);
}

void writeHeapProvider(XmlWriter& xml, const Plan& plan) {
    xml.open(L"HeapEventProvider"sv);
    xml.attribute(L"Id"sv, kHeapProviderId);
    if (plan.heapProcessIds.empty()) {
        xml.closeEmpty();
        return;
    }
    xml.close();
    xml.open(L"HeapProcessIds"sv);
    xml.close();
    for (const std::uint32_t id : plan.heapProcessIds) {
        xml.valueElement(L"HeapProcessId"sv, id);
    }
    xml.end(L"HeapProcessIds"sv);
    xml.end(L"HeapEventProvider"sv);
}

void writeProfile(XmlWriter& xml, const Plan& plan, std::wstring_view id,
                  std::wstring_view loggingMode) {
    xml.open(L"Profile"sv);
    xml.attribute(L"Id"sv, id);
    xml.attribute(L"Name"sv, kProfileName);
    xml.attribute(L"Description"sv, L"The capture of a Corvane profile"sv);
    xml.attribute(L"LoggingMode"sv, loggingMode);
    xml.attribute(L"DetailLevel"sv, L"Verbose"sv);
    xml.close();
    xml.open(L"Collectors"sv);
    xml.close();
    if (plan.systemCollector) {
        xml.open(L"SystemCollectorId"sv);
        xml.attribute(L"Value"sv, kSystemCollectorId);
        xml.close();
        xml.valueElement(L"SystemProviderId"sv, kSystemProviderId);
        xml.end(L"SystemCollectorId"sv);
    }
    if (plan.eventCollector) {
        xml.open(L"EventCollectorId"sv);
        xml.attribute(L"Value"sv, kEventCollectorId);
        xml.close();
        xml.open(L"EventProviders"sv);
        xml.close();
        for (std::size_t i = 0; i < plan.settings.providers.size(); ++i) {
            xml.valueElement(L"EventProviderId"sv, eventProviderId(i));
        }
        xml.end(L"EventProviders"sv);
        xml.end(L"EventCollectorId"sv);
    }
    if (plan.heap) {
        xml.open(L"HeapEventCollectorId"sv);
        xml.attribute(L"Value"sv, kHeapCollectorId);
        xml.close();
        xml.open(L"HeapEventProviders"sv);
        xml.close();
        xml.valueElement(L"HeapEventProviderId"sv, kHeapProviderId);
        xml.end(L"HeapEventProviders"sv);
        xml.end(L"HeapEventCollectorId"sv);
    }
    xml.end(L"Collectors"sv);
    xml.end(L"Profile"sv);
}

// Collectors, system provider, event providers, heap provider, then the profiles: the order that
// "System and Event Provider Definitions" asks for.
void writeDocument(std::wstring& out, const Plan& plan) {
    const TraceSettings& settings = plan.settings;
    // UTF-8, as Microsoft's published profiles declare it; the file is written in UTF-8.
    out += L"<?xml version=\"1.0\" encoding=\"utf-8\"?>"sv;
    out += kLineEnd;
    XmlWriter xml(out);
    xml.open(L"WindowsPerformanceRecorder"sv);
    xml.attribute(L"Version"sv, L"1.0"sv);
    xml.attribute(L"Author"sv, L"Corvane"sv);
    xml.close();
    xml.open(L"Profiles"sv);
    xml.close();
    if (plan.systemCollector) {
        writeCollector(xml, L"SystemCollector"sv, kSystemCollectorId, kKernelLoggerName, plan);
    }
    if (plan.eventCollector) {
        writeCollector(xml, L"EventCollector"sv, kEventCollectorId, settings.sessionName, plan);
    }
    if (plan.heap) {
        writeCollector(xml, L"HeapEventCollector"sv, kHeapCollectorId, settings.heapSessionName,
                       plan);
    }
    if (plan.systemCollector) {
        writeSystemProvider(xml, plan);
    }
    if (plan.eventCollector) {
        for (std::size_t i = 0; i < settings.providers.size(); ++i) {
            writeEventProvider(xml, plan, i);
        }
    }
    if (plan.heap) {
        writeHeapProvider(xml, plan);
    }
    writeProfile(xml, plan, kFileProfileId, L"File"sv);
    writeProfile(xml, plan, kMemoryProfileId, L"Memory"sv);
    xml.end(L"Profiles"sv);
    xml.end(L"WindowsPerformanceRecorder"sv);
}

} // namespace

bool BuildWprProfile(const TraceSettings& settings, WprProfile& profile, std::wstring& refusal) {
    profile = WprProfile{};
    refusal.clear();
    Plan plan{settings};
    if (!planFileMode(plan, refusal) || !checkWritable(settings, refusal)) {
        return false;
    }
    planKeywords(plan, profile);
    plan.eventCollector = !settings.providers.empty();
    plan.heap = settings.heapEnabled != 0;
    if (plan.keywords.empty() && !plan.eventCollector && !plan.heap) {
        refusal = L"nothing would be traced: no kernel flag, no provider and no heap";
        return false;
    }
    // Stack walks ride on the kernel flags, as in the xperf script, which drops them without one.
    if (!plan.keywords.empty()) {
        for (const std::wstring& event : settings.stackwalkEvents) {
            plan.stacks.push_back(wprStackOfEvent(event));
        }
    }
    if (plan.heap) {
        if (heapTargetForm(settings.heapProcess) == HeapTargetForm::Pid &&
            !planHeapProcessIds(plan, profile, refusal)) {
            profile = WprProfile{};
            return false;
        }
        plan.stacks.insert(plan.stacks.end(), WprHeapStacks.begin(), WprHeapStacks.end());
    }
    plan.systemCollector = !plan.keywords.empty() || plan.heap;
    if (plan.circular && settings.maxFileSizeMb == 0U) {
        profile.warnings.push_back(
            L"file-mode Circular with max-file-size-mb = 0: WPR's circular file needs a size, so "
            L"the profile records to files without a limit");
    }
    warnAboutLogPaths(plan, profile);

    writeDocument(profile.xml, plan);
    profile.profileName = kProfileName;
    profile.fileMode = true;
    return true;
}

} // namespace corvane
