// The command script that records the WPR profile beside it with wpr.exe, in the steps of the
// xperf script: a key to start, a key to stop, the trace merged into the ETL Out Path; run with
// the word cancel, it ends a recording that it left running.
#pragma once

#include "settings/trace_settings.h"
#include "wpr/wpr_profile.h"

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The whole script (UTF-16, CR LF line ends). `profileFileName` is the .wprp file's name without
// a folder: the script finds it in its own folder, so the pair can be moved together.
[[nodiscard]] std::optional<std::wstring> BuildWprScript(const TraceSettings& settings,
                                                         const WprProfile& profile,
                                                         std::wstring_view profileFileName);

} // namespace corvane
