// Puts a capture script on disk: the save dialog with its timestamped default name, the
// conversion to the command prompt's code page without best fit, and a write that never leaves a
// damaged file at the chosen path.
#pragma once

#include "script/script_ui.h"

#include <windows.h>

#include <string>

namespace corvane {

// Asks for a file name and writes the script there. A script that the command prompt's code page
// cannot hold is refused before the dialog opens. Failures are shown in messages owned by
// `owner`; a cancelled dialog and success are silent.
void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui);

// Lower layers, tested on their own:

// Writes to a new file in the destination folder, flushes it and only then moves it over `path`.
// On failure the temporary file is gone and whatever was at `path` is untouched.
[[nodiscard]] bool writeFileReplacing(const std::wstring& path, const std::string& bytes) noexcept;

// `path` in the \\?\ form when it is too long for the plain file calls; otherwise unchanged.
[[nodiscard]] std::wstring withLongPathPrefix(const std::wstring& path);

} // namespace corvane
