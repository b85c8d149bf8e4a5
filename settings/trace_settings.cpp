#include "settings/trace_settings.h"

#include <cstddef>
#include <utility>

namespace corvane {

namespace {

// Zero-padded to minDigits, like "%0Nu".
void appendPaddedDecimal(std::wstring& text, unsigned value, std::size_t minDigits) {
    wchar_t digits[16];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10U);
        value /= 10U;
    } while (value != 0U);
    for (std::size_t i = count; i < minDigits; ++i) {
        text.push_back(L'0');
    }
    while (count > 0) {
        text.push_back(digits[--count]);
    }
}

} // namespace

void appendTimestamp(std::wstring& text, const LocalTime& time) {
    appendPaddedDecimal(text, time.year, 4);
    appendPaddedDecimal(text, time.month, 2);
    appendPaddedDecimal(text, time.day, 2);
    text.push_back(L'_');
    appendPaddedDecimal(text, time.hour, 2);
    appendPaddedDecimal(text, time.minute, 2);
    appendPaddedDecimal(text, time.second, 2);
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
