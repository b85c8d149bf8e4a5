#include "settings/trace_settings.h"

#include "settings/number_text.h"

#include <cstddef>
#include <utility>

namespace corvane {

void appendTimestamp(std::wstring& text, const LocalTime& time) {
    appendDecimal(text, time.year, 4);
    appendDecimal(text, time.month, 2);
    appendDecimal(text, time.day, 2);
    text.push_back(L'_');
    appendDecimal(text, time.hour, 2);
    appendDecimal(text, time.minute, 2);
    appendDecimal(text, time.second, 2);
}

void defaultTraceSettings(TraceSettings& settings, const DefaultsEnvironment& environment) {
    settings.maxFileSizeMb = 256;
    settings.bufferSizeKb = 64;
    settings.maxBuffers = 320;
    settings.minBuffers = 64;
    settings.logStack = 0;
    // Root-relative on purpose: the drive is the one current when the script runs.
    settings.kernelPath = L"\\kernel.etl";
    settings.userPath = L"\\user.etl";
    settings.sessionName = L"Vell";
    settings.heapProcess = L"0";
    settings.heapSessionName = L"VellHeap";
    settings.heapPath = L"\\heap.etl";

    // Without a desktop folder the previous path stays; the OK command refuses an empty one.
    std::optional<std::wstring> folder;
    if (environment.desktopFolder) {
        folder = environment.desktopFolder();
    }
    if (!folder || !environment.localTime) {
        return;
    }
    std::wstring path = std::move(*folder);
    path.push_back(L'\\');
    appendTimestamp(path, environment.localTime());
    path += L".etl";
    settings.etlOutPath = std::move(path);
}

} // namespace corvane
