// OK's tip ends with what the script that OK would write now records nothing of, or not what it
// seems to: the recording checks of corvane-script, made on the controls as they are.
#pragma once

#include "settings/trace_settings.h"

#include <windows.h>

#include <string>

namespace corvane {

// Appends to `tip` the warnings for the choices the controls hold now, read without a beep, a
// focus change or a change to `choices` (the dialog's record, for what has no control). Each is a
// sentence, in the words of corvane-script, which name the profile's keys. Those that would take
// the tip past what the tooltip shows are counted instead.
void appendOkWarnings(HWND dialog, const TraceSettings& choices, std::wstring& tip);

} // namespace corvane
