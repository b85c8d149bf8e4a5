// The record of everything the user sets in the main dialog, and its defaults.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

// What a profile may choose for one provider beyond its name; the dialog chooses none of it, and
// what is not chosen is left to xperf.
struct ProviderOptions {
    std::optional<std::uint64_t> keywords; // the keyword mask
    std::optional<std::uint8_t> level;     // 0-255; 1 critical to 5 verbose
    std::optional<bool> stack;             // overrides logStack for this provider
};

struct TraceSettings {
    // Held by the dialog between commands and exchanged with its controls.
    std::uint32_t maxFileSizeMb = 0;
    std::uint32_t bufferSizeKb = 0;
    std::uint32_t maxBuffers = 0;
    std::uint32_t minBuffers = 0;
    std::int32_t logStack = 0;    // check state: 0 clear, 1 checked, 2 indeterminate
    std::int32_t heapEnabled = 0; // check state, as logStack
    std::wstring kernelPath;
    std::wstring userPath;
    std::wstring etlOutPath;
    std::wstring sessionName;
    std::wstring heapProcess;
    std::wstring heapSessionName;
    std::wstring heapPath;

    // Read from the combo box and the three lists when a script is built.
    std::wstring fileMode;
    std::vector<std::wstring> kernelFlags;
    std::vector<std::wstring> stackwalkEvents;
    std::vector<std::wstring> providers;

    // Set from a profile only. Options by provider name; a provider without an entry gets the
    // entry the dialog writes.
    std::map<std::wstring, ProviderOptions> providerOptions;
    // When set, the script asks the providers for their state once the user session has started.
    std::int32_t captureState = 0; // check state, as logStack
    // How WPR records, one of kWprLoggingModes: "file" writes the events to files as they come;
    // "memory" keeps only the newest in its buffers and writes them at wpr -stop. xperf has no
    // such choice, so a saved script reads back with the default.
    std::wstring wprLogging = L"file";
};

inline constexpr const wchar_t* kWprLoggingModes[] = {L"file", L"memory"};

// A local wall-clock time, as the platform reports it.
struct LocalTime {
    unsigned year = 0;
    unsigned month = 0; // 1..12
    unsigned day = 0;   // 1..31
    unsigned hour = 0;  // 0..23
    unsigned minute = 0;
    unsigned second = 0;
};

// The two things the defaults need from the platform, passed in so tests can fix them.
struct DefaultsEnvironment {
    // The user's desktop folder, or nothing when the lookup fails.
    std::function<std::optional<std::wstring>()> desktopFolder;
    std::function<LocalTime()> localTime;
};

// Sets every held field except heapEnabled to its default. etlOutPath is left alone when the
// desktop folder cannot be found; otherwise it names a file on the desktop after the time now.
void defaultTraceSettings(TraceSettings& settings, const DefaultsEnvironment& environment);

// Appends the time as YYYYMMDD_HHMMSS (24-hour clock), the stem of the default log and script
// names. A field wider than its width is written in full, never cut.
void appendTimestamp(std::wstring& text, const LocalTime& time);

} // namespace corvane
