// libFuzzer target for the profile reader, a parser of files users write: any bytes must be read
// or refused with a line-numbered message, never crash; what is accepted must hold only values
// the dialog accepts, lists in the dialog's order, and survive a trip through the template.
#include "profile/profile.h"
#include "encoding/utf8.h"
#include "script/capture_script.h"
#include "settings/catalogues.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using corvane::TraceSettings;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

template <typename Catalogue>
void requireCatalogueOrder(const std::vector<std::wstring>& names, const Catalogue& catalogue) {
    auto next = catalogue.begin();
    for (const std::wstring& name : names) {
        next = std::find(next, catalogue.end(), name);
        require(next != catalogue.end());
        ++next; // strictly after: no name twice
    }
}

TraceSettings defaults() {
    return corvane::profileDefaults(
        corvane::DefaultsEnvironment{[] { return std::optional<std::wstring>(L"C:\\Desktop"); },
                                     [] { return corvane::LocalTime{2024, 1, 5, 9, 30, 0}; }});
}

std::vector<std::wstring> linesOf(const std::wstring& script) {
    std::vector<std::wstring> lines;
    for (std::size_t start = 0; start < script.size();) {
        const std::size_t end = std::min(script.find(L"\r\n", start), script.size());
        lines.push_back(script.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

// What only a profile can choose changes the user session's provider entries and adds the
// capture-state line, which hands xperf the same entries; every other line stays the dialog's.
void requireOnlyTheProviderEntriesDiffer(const TraceSettings& settings) {
    constexpr std::size_t kUserLine = 14;
    TraceSettings plain = settings;
    plain.providerOptions.clear();
    plain.captureState = 0;
    const std::vector<std::wstring> lines =
        linesOf(corvane::BuildCaptureScript(settings).value_or(L""));
    const std::vector<std::wstring> before =
        linesOf(corvane::BuildCaptureScript(plain).value_or(L""));
    const bool captureLine = settings.captureState != 0 && !settings.providers.empty();
    require(lines.size() == before.size() + (captureLine ? 1 : 0));
    for (std::size_t i = 0, j = 0; i < lines.size(); ++i, ++j) {
        if (captureLine && i == kUserLine + 1) {
            --j;
        } else if (i != kUserLine || settings.providerOptions.empty()) {
            require(lines[i] == before[j]);
        }
    }
    if (captureLine) {
        const std::wstring start = L"xperf.exe -start " + settings.sessionName + L" -on ";
        const std::wstring capture = L"xperf.exe -capturestate " + settings.sessionName + L" ";
        require(lines[kUserLine + 1].rfind(capture, 0) == 0);
        const std::wstring entries = lines[kUserLine + 1].substr(capture.size());
        require(lines[kUserLine].rfind(start + entries + L" -f \"", 0) == 0);
        const std::wstring options = lines[kUserLine].substr(start.size() + entries.size());
        require(before[kUserLine].size() > options.size() &&
                before[kUserLine].compare(before[kUserLine].size() - options.size(), options.size(),
                                          options) == 0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    corvane::ProfileReader reader(defaults());
    std::wstring error;
    if (!reader.readProfile(text, error)) {
        require(error.rfind(L"line ", 0) == 0);
        return 0;
    }
    const TraceSettings settings = reader.settings(corvane::wordSortLess);
    // The new forms need a quoted name or the capture-state key: without them, nothing new.
    if (text.find('"') == std::string_view::npos &&
        text.find("capture-state") == std::string_view::npos) {
        require(settings.providerOptions.empty() && settings.captureState == 0);
    }
    requireOnlyTheProviderEntriesDiffer(settings);
    require(settings.bufferSizeKb >= 4 && settings.bufferSizeKb <= 1024);
    require(settings.logStack == 0 || settings.logStack == 1);
    require(settings.heapEnabled == 0 || settings.heapEnabled == 1);
    for (const std::wstring* value :
         {&settings.kernelPath, &settings.userPath, &settings.etlOutPath, &settings.sessionName,
          &settings.heapProcess, &settings.heapSessionName, &settings.heapPath}) {
        require(!value->empty());
    }
    requireCatalogueOrder({settings.fileMode}, corvane::FileModeCatalogue);
    requireCatalogueOrder(settings.kernelFlags, corvane::KernelFlagCatalogue);
    requireCatalogueOrder(settings.stackwalkEvents, corvane::StackwalkCatalogue);
    require(std::is_sorted(settings.providers.begin(), settings.providers.end(),
                           corvane::wordSortLess));
    for (const std::wstring& provider : settings.providers) {
        require(!provider.empty());
    }

    // Every value the reader took comes back unchanged from a template that holds it.
    corvane::ProfileReader again(defaults());
    require(again.readProfile(corvane::toUtf8(corvane::profileTemplate(settings)), error));
    const TraceSettings back = again.settings(corvane::wordSortLess);
    require(back.maxFileSizeMb == settings.maxFileSizeMb &&
            back.bufferSizeKb == settings.bufferSizeKb && back.maxBuffers == settings.maxBuffers &&
            back.minBuffers == settings.minBuffers && back.logStack == settings.logStack &&
            back.heapEnabled == settings.heapEnabled && back.kernelPath == settings.kernelPath &&
            back.userPath == settings.userPath && back.sessionName == settings.sessionName &&
            back.heapProcess == settings.heapProcess &&
            back.heapSessionName == settings.heapSessionName &&
            back.heapPath == settings.heapPath && back.fileMode == settings.fileMode);
    return 0;
}
