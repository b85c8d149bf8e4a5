// The platform's answers to what the defaults need: the user's desktop folder and the local time.
#pragma once

#include "settings/trace_settings.h"

namespace corvane {

// Desktop folder from SHGetFolderPathW (created when missing), time from GetLocalTime.
[[nodiscard]] DefaultsEnvironment platformDefaultsEnvironment();

} // namespace corvane
