// The user session's providers as xperf's -on and -capturestate take them.
#pragma once

#include "settings/trace_settings.h"

#include <string>

namespace corvane {

// Appends each provider as "Name", or with what a profile chose for it as
// "Name":KEYWORDS:LEVEL:'stack', joined by "+".
void appendProviderEntries(std::wstring& out, const TraceSettings& settings);

} // namespace corvane
