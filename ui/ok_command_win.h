// The main dialog's OK command: validate the controls, read the selections, build the capture
// script and offer to save it. The dialog stays open whatever happens.
#pragma once

#include "providers/provider_enumeration.h"
#include "settings/trace_settings.h"
#include "ui/script_ui.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace corvane {

// Shows "Please input valid data." when a control holds a bad value, "Please input parameters."
// when nothing would be traced, and why when the command prompt would not run the script as
// written; otherwise hands the script to SaveCaptureScript. `guids` are the Providers list's.
void runOkCommand(HWND dialog, TraceSettings& settings, const ProviderGuids& guids, ScriptUi& ui);

// The OK command up to the save dialog: the controls and selections read into `settings` (the
// options of providers not selected dropped), and the script they make. Nothing, after the same
// message OK shows, when OK would refuse them.
[[nodiscard]] std::optional<std::wstring> checkedCaptureScript(HWND dialog, TraceSettings& settings,
                                                               const ProviderGuids& guids,
                                                               ScriptUi& ui);

// The file mode and the three lists' selections read into `settings` as OK reads them (the
// options of providers not selected dropped); nothing is shown and the focus stays.
void readSelections(HWND dialog, const ProviderGuids& guids, TraceSettings& settings);

// The selected entries' texts of one of the dialog's lists, top to bottom as the list shows them.
[[nodiscard]] std::vector<std::wstring> selectedEntries(HWND dialog, int listId);

} // namespace corvane
