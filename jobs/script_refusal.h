// The words for a script that the command prompt would not run as written: each names the profile
// line or --set that gave the value, as the dialog names the field.
#pragma once

#include "profile/profile.h"
#include "script/script_checks.h"
#include "settings/trace_settings.h"

#include <optional>
#include <string>

namespace corvane {

// The message about the first value, in the dialog's order, that no script could carry as data,
// or nothing when every value can be carried. `encoder` writes text in the script's code page
// (empty where none is known: the script must then be ASCII).
[[nodiscard]] std::optional<std::wstring> unsafeValueMessage(const TraceSettings& settings,
                                                             const ProfileReader& reader,
                                                             const std::wstring& profileName,
                                                             const ScriptEncoder& encoder);

// The message, or nothing when the script would run as written. `encoder` writes text in code
// page `codePage` (0 and an empty encoder where none is known).
[[nodiscard]] std::optional<std::wstring>
unrunnableScriptMessage(const TraceSettings& settings, const std::wstring& script,
                        const ProfileReader& reader, const std::wstring& profileName,
                        const ScriptEncoder& encoder, unsigned codePage);

} // namespace corvane
