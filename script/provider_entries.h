// The user session's providers as xperf's -on and -capturestate take them.
#pragma once

#include "settings/trace_settings.h"

#include <string>

namespace corvane {

// Appends each provider as "Name", or with what a profile chose for it as
// "Name":KEYWORDS:LEVEL:'stack', joined by "+".
void appendProviderEntries(std::wstring& out, const TraceSettings& settings);

// How the script names a provider of the dialog's list: by its name, or by its GUID (when known)
// where xperf would read a ':' in the name as the start of the entry's keywords.
[[nodiscard]] std::wstring providerAsWritten(std::wstring name, const std::wstring& guid);

} // namespace corvane
