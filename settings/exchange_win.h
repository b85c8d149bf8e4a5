// Moves the thirteen held fields of TraceSettings between the record and the main dialog's
// controls, validating on the way out of the controls.
#pragma once

#include "settings/trace_settings.h"

#include <windows.h>

namespace corvane {

// Writes every held field into its control. A check state outside 0..2 becomes 0, in the record
// too. Stops at the first control that refuses its value, after signalFieldError on it.
[[nodiscard]] bool exchangeToControls(HWND dialog, TraceSettings& settings);

// Reads and checks every held field. Stops at the first bad value, after signalFieldError on its
// control; fields read before it keep their new values.
[[nodiscard]] bool exchangeFromControls(HWND dialog, TraceSettings& settings);

// Reads every held field for a look at the choices, such as a tip's: no beep, no focus change.
// A field that holds no good value keeps what the record had; false when there was such a field.
[[nodiscard]] bool readControlsQuietly(HWND dialog, TraceSettings& settings);

// The simple beep, then the keyboard focus on the control; its text is neither changed nor
// selected.
void signalFieldError(HWND dialog, int controlId);

} // namespace corvane
