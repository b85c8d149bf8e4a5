// Reads a capture script that Corvane wrote back into the settings it was made from, as far as the
// script carries them; anything else it names by its first line that Corvane would not write.
#pragma once

#include "settings/trace_settings.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace corvane {

// Where a script leaves Corvane's form: its line (1 first), what Corvane writes there and what the
// line holds from that point on (empty at the end of the script).
struct ScriptFormError {
    std::size_t line = 0;
    std::wstring expected;
    std::wstring found;
};

// The order in which the dialog's sorted Providers list shows two names.
using ProviderListOrder = std::function<bool(const std::wstring&, const std::wstring&)>;

// The settings whose script is exactly `script`: what the script does not carry (the kernel path
// without a kernel flag, the stack walks dropped with it, a session's values without that
// session) is taken from `base`. The lists are in the order the dialog's lists show them, so a
// script whose lists are in another order, or hold a name twice, is not one Corvane writes.
[[nodiscard]] bool readCaptureScript(std::wstring_view script, const TraceSettings& base,
                                     const ProviderListOrder& providerOrder,
                                     TraceSettings& settings, ScriptFormError& error);

} // namespace corvane
