// Saving a capture script from the dialog: the save dialog with its timestamped default name, the
// conversion to the command prompt's code page without best fit, and the write that never leaves
// a damaged file at the chosen path.
#pragma once

#include "files/file_placement_win.h"
#include "ui/script_ui.h"

#include <windows.h>

#include <string>

namespace corvane {

// Asks for a file name and writes the script there. A script that the command prompt's code page
// cannot hold is refused before the dialog opens. Failures are shown in messages owned by
// `owner`; a cancelled dialog and success are silent.
void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui);
void SaveCaptureScript(HWND owner, const std::wstring& scriptText, ScriptUi& ui,
                       FilePlacement& placement);

// Asks for a file name for a profile (*.profile) and writes the text there in UTF-8, with the
// same writer; failures as for a script, in "Failed to create profile file.".
void SaveProfile(HWND owner, const std::wstring& profileText, ScriptUi& ui);

} // namespace corvane
