// The profile's keys, shared by its reader, its template and its writer: what each key holds, how
// the reader takes its value and where that goes.
#pragma once

#include "settings/trace_settings.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvane::profile_keys {

enum class KeyKind {
    Number,
    Check,
    Text,
    FileMode,
    KernelFlag,
    Stackwalk,
    Provider,
    Recorder,
    WprLogging
};

// What a profile and its assignments have given so far: each key's reader adds its value here.
struct ProfileValues {
    TraceSettings settings;
    std::wstring recorder = L"xperf";
    std::vector<std::wstring> kernelOrigins; // per catalogue entry: empty while not selected
    std::vector<std::wstring> stackwalkOrigins;
    std::vector<std::wstring> providers; // in the order given
    std::unordered_map<std::wstring, std::wstring> providerOrigins;
    std::unordered_map<std::wstring, std::wstring> providerSpellings; // folded: as first given
};

// A key's value as its line gives it (quotes kept, as a provider's options follow its quoted
// name), without the quotes around all of it, and the line's place for messages ("line 7").
struct KeyValue {
    std::wstring_view given;
    std::wstring_view value;
    const std::wstring& where;
};

struct ProfileKey;
// Takes a key's value into `values`; false with the reason, for a message that names the line.
using ValueReader = bool (*)(const ProfileKey& key, const KeyValue& value, ProfileValues& values,
                             std::wstring& error);

// One profile key: its name, what it holds (which the template and the writer write by), how the
// reader takes it, and where that goes in the settings. Its help, which the template prints, is
// the dialog's (fieldHelp).
struct ProfileKey {
    const wchar_t* name;
    KeyKind kind;
    ValueReader read;
    // A key of a list takes one name per line, on any number of lines; any other key is set once.
    bool listed;
    std::uint32_t TraceSettings::*number;
    std::uint32_t minimum;
    std::uint32_t maximum;
    std::int32_t TraceSettings::*check;
    std::wstring TraceSettings::*text;
};

// Not a field of the dialog, so not among its help texts.
inline constexpr wchar_t kCaptureStateHelp[] =
    L"Capture state: yes makes the script ask the providers, right after the provider session "
    L"starts, to record the state they hold at that moment (the active window for "
    L"Microsoft-Windows-Win32k, the graphics adapters and their work for "
    L"Microsoft-Windows-DxgKrnl on Windows 8 and later), with the same keywords and levels. yes "
    L"or no; default no.";

// Not in the settings either: which program records, so which script corvane-script writes.
inline constexpr wchar_t kRecorderHelp[] =
    L"Recorder: xperf writes the script that runs xperf.exe (Windows Performance Toolkit); wpr "
    L"writes a WPR profile NAME.wprp and the script NAME.cmd that runs it with wpr.exe, which "
    L"ships with Windows 10 and later (see Capturing with the Windows Performance Recorder "
    L"below). xperf or wpr; default xperf.";
inline constexpr const wchar_t* kRecorderNames[] = {L"xperf", L"wpr"};

// Not a field of the dialog either: a choice of the WPR pair alone. The rates are the recipes'.
inline constexpr wchar_t kWprLoggingHelp[] =
    L"WPR logging (--recorder wpr only): file records to files as the events come, as xperf does; "
    L"memory is a flight recorder: WPR keeps only the newest events in its buffers, which it takes "
    L"whole at the start (the larger of min-buffers and max-buffers, times buffer-size-kb, for "
    L"each "
    L"session), and writes them to etl-out-path at the second key, so the trace ends when the "
    L"problem shows. The buffers fill at the rate of what is traced: 512 MB hold about 30 seconds "
    L"of first-look (17 MB a second), about 3 minutes of cpu-sampling (2.7 MB a second). file or "
    L"memory; default file.";

// In the field order of the settings record, which is also the template's order.
[[nodiscard]] const std::vector<ProfileKey>& profileKeys();

// "unknown file mode 'x'; did you mean 'y'?"
[[nodiscard]] std::wstring unknownName(const wchar_t* what, std::wstring_view name,
                                       const std::vector<std::wstring_view>& candidates);

[[nodiscard]] bool isBlank(wchar_t c) noexcept;
// Without the blanks at its ends.
[[nodiscard]] std::wstring_view trimmed(std::wstring_view text);
// A value as a profile line gives it, in double quotes where the reader would change it otherwise.
[[nodiscard]] std::wstring valueText(const std::wstring& value);

} // namespace corvane::profile_keys
