// Opening a profile or a capture script that Corvane saved, for the main dialog: the open dialog,
// and the reading and checking of the file before any control shows its choices.
#pragma once

#include "settings/trace_settings.h"
#include "ui/script_ui.h"

#include <windows.h>

#include <optional>
#include <string>

namespace corvane {

// What the dialog takes from an opened file.
struct OpenedChoices {
    TraceSettings settings;
    // The profile's recorder, kept for saving it as a profile again; a script's is xperf.
    std::wstring recorder;
};

// The open dialog for profiles and capture scripts, starting in the `profiles` folder beside the
// program where there is one. The chosen path, or nothing when the user cancels.
[[nodiscard]] std::optional<std::wstring> askForChoicesFile(HWND owner, ScriptUi& ui);

// The choices of a profile, or of a capture script saved in the dialog's code page that Corvane
// would write again byte for byte; anything else is refused with the message to show. What the
// file does not set comes from the dialog's defaults.
[[nodiscard]] bool readChoicesFile(const std::wstring& path, const DefaultsEnvironment& environment,
                                   OpenedChoices& choices, std::wstring& refusal);

} // namespace corvane
