// Saving a capture script from the dialog: the save dialog with its timestamped default name, the
// conversion to the command prompt's code page without best fit, and the write that never leaves
// a damaged file at the chosen path.
#pragma once

#include "files/file_placement_win.h"
#include "ui/script_ui.h"

#include <windows.h>

#include <optional>
#include <string>

namespace corvane {

// Asks for a file name and writes the script there. A script that the command prompt's code page
// cannot hold is refused before the dialog opens. Failures are shown in messages owned by
// `owner`; a cancelled dialog and success are silent.
void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui);
void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui,
                       FilePlacement& placement);

// The save dialog for a script's name (*.cmd), offering the clock's timestamped name. The chosen
// path; nothing when the user cancels, or after "Failed to create cmd file." when the dialog fails.
[[nodiscard]] std::optional<std::wstring> AskForScriptPath(HWND owner, ScriptUi& ui);

// Asks for a file name for a profile (*.profile) and writes the text there in UTF-8, with the
// same writer; failures as for a script, in "Failed to create profile file.".
void SaveProfile(HWND owner, const std::wstring& profileText, ScriptUi& ui);

// `text` with its first letter a capital and a full stop at its end, as a line of a message box:
// the jobs' messages are clauses, written to follow the console program's name.
[[nodiscard]] std::wstring asSentence(std::wstring text);

} // namespace corvane
