// The two sequences that put the defaults into the main dialog and fill its lists: one when the
// dialog opens, one for the Reset button. They differ in what they leave alone.
#pragma once

#include "providers/provider_enumeration.h"
#include "settings/trace_settings.h"

#include <windows.h>

namespace corvane {

// First step of opening, run before the window steps (centring, icons, loop): heap tracing off,
// then the defaults.
void applyOpeningDefaults(TraceSettings& settings, const DefaultsEnvironment& environment);

// The rest of opening: the held fields into the controls, then the kernel lists, the file modes
// (entry 0 selected) and the registered providers, whose GUIDs go to `guids`. The lists are filled
// even when a control refused its value.
void runDialogOpenSequence(HWND dialog, TraceSettings& settings, ProviderGuids& guids);

// The Reset button: defaults except heapEnabled (so the Heap box and the heap edits keep their
// state), the lists emptied and refilled, providers enumerated afresh, File Mode back to entry 0.
void resetSettings(HWND dialog, TraceSettings& settings, const DefaultsEnvironment& environment,
                   ProviderGuids& guids);

} // namespace corvane
