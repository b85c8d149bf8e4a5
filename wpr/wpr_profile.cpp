#include "wpr/wpr_profile.h"

#include "settings/number_text.h"
#include "wpr/wpr_plan.h"
#include "wpr/xml_writer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

namespace corvane {
namespace {

using namespace std::string_view_literals;

// The profile's name and the Ids of its two versions, in the form Name.DetailLevel.LoggingMode that
// "Profile definitions" gives. The name is what `wpr -start FILE!NAME` takes.
//
// Logging mode: wpr-logging = file has the script start the File version. xperf's Circular is a
// circular file of max-file-size-mb that keeps the newest events ("Logging mode constants");
// WPR's MaximumFileSize element with FileMode="Circular" is exactly that ("the file keeps the
// latest events"), and it is used only in file mode. Sequential is file mode with
// FileMode="Sequential": the trace stops at that size, as ETW's does. wpr-logging = memory has it
// start the Memory version, WPR's circular buffers in memory ("Logging mode"), written out only
// at wpr -stop: a flight recorder whose span follows the buffers, not max-file-size-mb.
//
// "Logging mode" asks for both versions in every .wprp, yet WPR loads one with File versions
// alone (Microsoft's WSL profile, diagnostics/wsl.wprp of microsoft/WSL, has no other). Both are
// written so that either mode can be started; they record the same collectors.
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

// BufferSize, the one Buffers count (wprBufferCount says how it follows min-buffers and
// max-buffers) and the file size of a collector.
void writeBuffers(XmlWriter& xml, const WprPlan& plan) {
    const TraceSettings& settings = plan.settings;
    xml.valueElement(L"BufferSize"sv, settings.bufferSizeKb);
    if (plan.buffers != 0U) {
        xml.valueElement(L"Buffers"sv, plan.buffers);
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
                    std::wstring_view name, const WprPlan& plan) {
    xml.open(element);
    xml.attribute(L"Id"sv, id);
    xml.attribute(L"Name"sv, name);
    xml.close();
    writeBuffers(xml, plan);
    xml.end(element);
}

void writeSystemProvider(XmlWriter& xml, const WprPlan& plan) {
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
void writeEventProvider(XmlWriter& xml, const WprPlan& plan, std::size_t index) {
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

// A heap traced by image name has no process ids: like WPR's inbox "Heap" profile, the provider
// then records the processes whose image has heap tracing set (`wpr -heaptracingconfig NAME.exe
// enable`, "WPR Command-Line Options"), which the script sets before the start. HeapProcessIds
// takes only running processes, so a program started during the recording needs the image form.
void writeHeapProvider(XmlWriter& xml, const WprPlan& plan) {
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

void writeProfile(XmlWriter& xml, const WprPlan& plan, std::wstring_view id,
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
void writeDocument(std::wstring& out, const WprPlan& plan) {
    const TraceSettings& settings = plan.settings;
    XmlWriter xml(out);
    // UTF-8, as Microsoft's published profiles declare it; the file is written in UTF-8.
    xml.declaration(L"utf-8"sv);
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
    WprPlan plan{settings};
    if (!planWprCapture(plan, refusal)) {
        return false;
    }
    writeDocument(profile.xml, plan);
    profile.profileName = kProfileName;
    profile.fileMode = !plan.memory;
    profile.warnings = std::move(plan.warnings);
    return true;
}

} // namespace corvane
