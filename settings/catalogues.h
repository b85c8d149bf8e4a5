// The fixed name lists that the main dialog offers: kernel flags and groups, stack-walk events
// and log file modes. Each name is passed to xperf.exe letter for letter.
#pragma once

#include <array>

namespace corvane {

// 50 kernel flags followed by 11 kernel groups, in the order the list shows them.
extern const std::array<const wchar_t*, 61> KernelFlagCatalogue;

// Kernel events that can get stack walks, in the list's display order: ascending, ignoring case.
extern const std::array<const wchar_t*, 127> StackwalkCatalogue;

// The values of -FileMode; entry 0 is the default.
extern const std::array<const wchar_t*, 4> FileModeCatalogue;

} // namespace corvane
