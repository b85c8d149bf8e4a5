// Puts a capture script on disk: the save dialog with its timestamped default name, the
// conversion to the thread's ANSI code page without best fit, and a write that never leaves a
// damaged file at the chosen path.
#pragma once

#include "script/script_ui.h"

#include <windows.h>

#include <string>

namespace corvane {

// Asks for a file name and writes the script there. Failures are shown in messages owned by
// `owner`; a cancelled dialog and success are silent.
void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui);

// Lower layers, tested on their own:

enum class AnsiConversion { Ok, Unrepresentable };

// The ANSI code page of the calling thread's locale, the one CP_THREAD_ACP stands for.
[[nodiscard]] unsigned threadAnsiCodePage() noexcept;

// Converts exactly or not at all: Unrepresentable, with `bytes` empty, when any character (an
// unpaired surrogate included) has no exact counterpart in the code page.
[[nodiscard]] AnsiConversion toCodePage(const std::wstring& text, unsigned codePage,
                                        std::string& bytes) noexcept;
[[nodiscard]] AnsiConversion toThreadAnsi(const std::wstring& text, std::string& bytes) noexcept;

// Writes to a new file in the destination folder, flushes it and only then moves it over `path`.
// On failure the temporary file is gone and whatever was at `path` is untouched.
[[nodiscard]] bool writeFileReplacing(const std::wstring& path, const std::string& bytes) noexcept;

// `path` in the \\?\ form when it is too long for the plain file calls; otherwise unchanged.
[[nodiscard]] std::wstring withLongPathPrefix(const std::wstring& path);

} // namespace corvane
