// What is said beside the script: the described lists of kernel flags and stack walks, and the
// warnings about choices that record nothing, named by the profile's keys.
#pragma once

#include "settings/trace_settings.h"

#include <string>
#include <vector>

namespace corvane {

// One line per kernel flag or group: the name, blanks to a common column, what it records and,
// for a group, its flags.
[[nodiscard]] std::vector<std::wstring> describedKernelEntries();

// One line per stack walk: the name, blanks to a common column, what the event is and the kernel
// flag that emits it, or that no source names one.
[[nodiscard]] std::vector<std::wstring> describedStackwalkEvents();

// One sentence per finding of findRecordingWarnings, named by the profile's keys. For WPR's
// profile the file size, the buffer counts and the log paths are left to its own warnings: it
// takes one buffer count, says in its words what a circular file without a size does, and writes
// files of its own. Its memory is counted as WPR takes it, each collector's buffers at the start.
[[nodiscard]] std::vector<std::wstring> recordingWarningTexts(const TraceSettings& settings,
                                                              bool forWpr = false);

} // namespace corvane
