// Choices that a script carries out but that record nothing, or not what they seem to, or that
// make a session's start fail: the dialog's help and corvane-script's warnings speak of the same
// findings.
#pragma once

#include "settings/trace_settings.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace corvane {

enum class RecordingWarning {
    StackwalkWithoutItsFlag,  // subject: the event; flag: the kernel flag that emits it
    StackwalksWithoutKernel,  // the script leaves the stack walks out
    NewFilePathWithoutNumber, // subject: the profile key of the path that lacks %d
    NoMaxFileSize,            // subject: the file mode, Circular or NewFile
    FewerMaxThanMinBuffers,
    AppendWithoutSystemClock,            // the script never sets a clock type
    CaptureStateWithoutProviders,        // no user session, so no state to ask for
    StackwalksWithoutProcessesAndImages, // subject: the flag or flags missing
    SameSessionName,                     // Session name and Heap Session Name, case ignored
    SameLogFile,                         // subject and flag: the keys of the two paths
    NonPagedBuffers,                     // kilobytes: what the sessions' buffers may take
};

struct RecordingFinding {
    RecordingWarning warning;
    std::wstring_view subject;
    std::wstring_view flag;
    std::uint64_t kilobytes = 0;
};

// Past this the buffers of the script's sessions warn: about a gigabyte of memory that Windows
// never pages out.
inline constexpr std::uint64_t kNonPagedBufferWarningKb = 1024 * 1024;

// Every finding, in the order above and, for stack walks and paths, in the settings' order. Only
// the sessions that the script starts are looked at. `bufferKilobytes` is what another recorder's
// buffers take, as it takes them; without it, xperf's sessions are counted.
[[nodiscard]] std::vector<RecordingFinding>
findRecordingWarnings(const TraceSettings& settings,
                      std::optional<std::uint64_t> bufferKilobytes = std::nullopt);

} // namespace corvane
