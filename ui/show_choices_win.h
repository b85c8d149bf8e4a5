// Puts opened choices into the main dialog's controls, as opening and Reset put the defaults.
#pragma once

#include "settings/trace_settings.h"

#include <windows.h>

namespace corvane {

// The thirteen held fields, the file mode and the selections of the three lists. A provider that
// the Providers list does not hold is added to it, selected, marked kNotRegisteredHere; those
// added for an earlier file go. The heap fields' enabled state is the caller's.
void showChoices(HWND dialog, TraceSettings& settings);

} // namespace corvane
