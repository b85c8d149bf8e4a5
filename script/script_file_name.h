// The file name that the save dialog offers for a new capture script.
#pragma once

#include "settings/trace_settings.h"

#include <string>

namespace corvane {

// YYYYMMDD_HHMMSS.cmd from the given local time, without a folder (20240105_093000.cmd).
[[nodiscard]] std::wstring DefaultScriptName(const LocalTime& time);

} // namespace corvane
