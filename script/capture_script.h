// Turns the user's settings into the text of the .cmd script that drives xperf.exe.
#pragma once

#include "settings/trace_settings.h"

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// How the heap target text is read: a process id (anything a "%u" scan accepts at its start), or
// a program image name without ".exe".
enum class HeapTargetForm { Pid, Name };

[[nodiscard]] HeapTargetForm heapTargetForm(std::wstring_view heapProcess);

// The whole script (UTF-16, CR LF line ends), or nothing when nothing would be traced.
[[nodiscard]] std::optional<std::wstring> BuildCaptureScript(const TraceSettings& settings);

} // namespace corvane
