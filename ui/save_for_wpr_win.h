// Saving the dialog's choices for WPR: the script that runs wpr.exe and the .wprp profile beside
// it, made, checked and written by the same job as corvane-script's --recorder wpr.
#pragma once

#include "settings/trace_settings.h"
#include "ui/script_ui.h"

#include <windows.h>

namespace corvane {

// Refuses, in one message and before the save dialog, what WPR cannot take; otherwise asks for
// NAME.cmd and writes NAME.cmd and NAME.wprp, both or neither. What it wrote, with the warnings,
// or why nothing was written, is shown in a message owned by `owner`; a cancel is silent.
// `settings` have passed OK's checks.
void SaveForWpr(HWND owner, const TraceSettings& settings, ScriptUi& ui);

} // namespace corvane
