// Choices that a script carries out but that record nothing, or not what they seem to: the
// dialog's help and corvane-script's warnings speak of the same findings.
#pragma once

#include "settings/trace_settings.h"

#include <string_view>
#include <vector>

namespace corvane {

enum class RecordingWarning {
    StackwalkWithoutItsFlag,  // subject: the event; flag: the kernel flag that emits it
    StackwalksWithoutKernel,  // the script leaves the stack walks out
    NewFilePathWithoutNumber, // subject: the profile key of the path that lacks %d
    NoMaxFileSize,            // subject: the file mode, Circular or NewFile
    FewerMaxThanMinBuffers,
    AppendWithoutSystemClock,     // the script never sets a clock type
    CaptureStateWithoutProviders, // no user session, so no state to ask for
};

struct RecordingFinding {
    RecordingWarning warning;
    std::wstring_view subject;
    std::wstring_view flag;
};

// Every finding, in the order above and, for stack walks and paths, in the settings' order. Only
// the sessions that the script starts are looked at.
[[nodiscard]] std::vector<RecordingFinding> findRecordingWarnings(const TraceSettings& settings);

} // namespace corvane
