// The profile's keys, shared by its reader and its template: what each key holds and where it
// goes in the settings.
#pragma once

#include "settings/trace_settings.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::profile_keys {

enum class KeyKind { Number, Check, Text, FileMode, KernelFlag, Stackwalk, Provider, Recorder };

// One profile key: its name, what it holds and where that goes in the settings. Its help, which
// the template prints, is the dialog's (fieldHelp).
struct ProfileKey {
    const wchar_t* name;
    KeyKind kind;
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

// In the field order of the settings record, which is also the template's order.
[[nodiscard]] const std::vector<ProfileKey>& profileKeys();

[[nodiscard]] bool isBlank(wchar_t c) noexcept;
// Without the blanks at its ends.
[[nodiscard]] std::wstring_view trimmed(std::wstring_view text);
// A value as a profile line gives it, in double quotes where the reader would change it otherwise.
[[nodiscard]] std::wstring valueText(const std::wstring& value);

} // namespace corvane::profile_keys
