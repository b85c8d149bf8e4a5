// Turns the user's settings into the text of the .cmd script that drives xperf.exe.
#pragma once

#include "settings/trace_settings.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// How the heap target text is read: a process id (anything a "%u" scan accepts at its start), or
// a program image name without ".exe".
enum class HeapTargetForm { Pid, Name };

[[nodiscard]] HeapTargetForm heapTargetForm(std::wstring_view heapProcess);

// The file name of the image that heap tracing by name registers: the name with ".exe", which a
// name that already ends in it (in any case: Microsoft's heap documentation writes it so) does
// not get a second time. The script's registry key and WPR's -heaptracingconfig both carry it.
[[nodiscard]] std::wstring heapImageFileName(std::wstring_view heapProcess);

// The name that gives `fileName` back through heapImageFileName, in the form without ".exe" where
// there is one; nothing for a file name that no name gives (one without ".exe" at its end).
[[nodiscard]] std::optional<std::wstring> heapProcessOfImage(std::wstring_view fileName);

// The whole script (UTF-16, CR LF line ends), or nothing when nothing would be traced.
[[nodiscard]] std::optional<std::wstring> BuildCaptureScript(const TraceSettings& settings);

// What a line of the script carries; every line but these holds fixed text or an empty slot.
enum class ScriptLine {
    Fixed,
    TracingFlagsSet,
    KernelStart,
    UserStart,
    HeapStart,
    StopCommand,
    ViewerCommand,
    TracingFlagsClear,
    CaptureState,
};

// Whether the script carries the line that asks the user session's providers for their state,
// right after that session's start line. Without it every later line sits one higher.
[[nodiscard]] bool hasCaptureStateLine(const TraceSettings& settings) noexcept;

// The line at a zero-based position in every script with or without the capture-state line.
[[nodiscard]] ScriptLine scriptLineAt(std::size_t index, bool captureStateLine) noexcept;

} // namespace corvane
