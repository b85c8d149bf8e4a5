#include "settings/recording_checks.h"

#include "settings/stackwalk_events.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

namespace corvane {
namespace {

// The upper case in which Windows compares session names and file names, for the letters that
// names mostly use: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic. Any other character
// stands for itself, so a pair that Windows takes for one name may pass unnoticed, never the
// other way round.
std::uint32_t upperCase(wchar_t c) noexcept {
    const auto u = static_cast<std::uint32_t>(c);
    if ((u >= L'a' && u <= L'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7) ||
        (u >= 0x3B1 && u <= 0x3C9 && u != 0x3C2) || (u >= 0x430 && u <= 0x44F)) {
        return u - 0x20;
    }
    if (u >= 0x450 && u <= 0x45F) {
        return u - 0x50;
    }
    if (u == 0xFF) {
        return 0x178;
    }
    // Latin Extended-A pairs its letters upper first, lower second, except the letters with
    // neither (dotted and dotless i, kra, 'n).
    if (u >= 0x100 && u <= 0x17E && u != 0x130 && u != 0x131 && u != 0x138 && u != 0x149) {
        const bool upperOdd = (u >= 0x139 && u <= 0x148) || u >= 0x179;
        return (u % 2 == 1) != upperOdd ? u - 1 : u;
    }
    return u;
}

// As Windows compares them: letter case ignored, and in paths '/' taken for '\\'.
bool sameName(std::wstring_view left, std::wstring_view right, bool path = false) {
    const auto fold = [path](wchar_t c) {
        return path && c == L'/' ? upperCase(L'\\') : upperCase(c);
    };
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(),
                      [&](wchar_t a, wchar_t b) { return fold(a) == fold(b); });
}

} // namespace

std::vector<RecordingFinding> findRecordingWarnings(const TraceSettings& settings,
                                                    std::optional<std::uint64_t> bufferKilobytes) {
    std::vector<RecordingFinding> findings;
    const auto add = [&](RecordingWarning warning, std::wstring_view subject = {},
                         std::wstring_view flag = {}) {
        findings.push_back({warning, subject, flag});
    };

    if (settings.kernelFlags.empty()) {
        if (!settings.stackwalkEvents.empty()) {
            add(RecordingWarning::StackwalksWithoutKernel);
        }
    } else {
        for (const std::wstring& event : settings.stackwalkEvents) {
            const StackwalkEventSource* source = describeStackwalkEvent(event);
            if (source != nullptr && !source->flag.empty() &&
                !selectionIncludesFlag(settings.kernelFlags, source->flag)) {
                add(RecordingWarning::StackwalkWithoutItsFlag, source->name, source->flag);
            }
        }
    }

    // The sessions that the script starts, with their files.
    const struct {
        bool started;
        const std::wstring& path;
        std::wstring_view key;
    } sessions[] = {
        {!settings.kernelFlags.empty(), settings.kernelPath, L"kernel-path"},
        {!settings.providers.empty(), settings.userPath, L"user-path"},
        {settings.heapEnabled != 0, settings.heapPath, L"heap-path"},
    };
    const bool newFile = settings.fileMode == L"NewFile";
    if (newFile) {
        // ETW numbers the files through a %d in the name; cmd turns the %% typed into one %.
        for (const auto& path : sessions) {
            if (path.started && path.path.find(L"%%d") == std::wstring::npos) {
                add(RecordingWarning::NewFilePathWithoutNumber, path.key);
            }
        }
    }
    if ((newFile || settings.fileMode == L"Circular") && settings.maxFileSizeMb == 0) {
        add(RecordingWarning::NoMaxFileSize, newFile ? L"NewFile" : L"Circular");
    }
    if (settings.maxBuffers < settings.minBuffers) {
        add(RecordingWarning::FewerMaxThanMinBuffers);
    }
    if (settings.fileMode == L"Append") {
        add(RecordingWarning::AppendWithoutSystemClock);
    }
    if (settings.captureState != 0 && settings.providers.empty()) {
        add(RecordingWarning::CaptureStateWithoutProviders);
    }

    // The process and image events are what ties each stack to its process and module.
    if (!settings.kernelFlags.empty() && !settings.stackwalkEvents.empty()) {
        const bool processes = selectionIncludesFlag(settings.kernelFlags, L"PROC_THREAD");
        const bool images = selectionIncludesFlag(settings.kernelFlags, L"LOADER");
        if (!processes || !images) {
            add(RecordingWarning::StackwalksWithoutProcessesAndImages,
                processes ? L"LOADER"
                : images  ? L"PROC_THREAD"
                          : L"PROC_THREAD and LOADER");
        }
    }
    // ETW session names are unique, compared without case.
    if (!settings.providers.empty() && settings.heapEnabled != 0 && !settings.sessionName.empty() &&
        sameName(settings.sessionName, settings.heapSessionName)) {
        add(RecordingWarning::SameSessionName);
    }
    std::uint64_t started = 0;
    for (std::size_t i = 0; i < std::size(sessions); ++i) {
        started += sessions[i].started ? 1 : 0;
        for (std::size_t j = i + 1; j < std::size(sessions); ++j) {
            if (sessions[i].started && sessions[j].started && !sessions[i].path.empty() &&
                sameName(sessions[i].path, sessions[j].path, true)) {
                add(RecordingWarning::SameLogFile, sessions[i].key, sessions[j].key);
            }
        }
    }
    // Each session's buffers come from memory that is never paged out: as many as max-buffers,
    // and no fewer than min-buffers.
    const std::uint64_t kilobytes =
        bufferKilobytes.value_or(started * settings.bufferSizeKb *
                                 std::max<std::uint64_t>(settings.minBuffers, settings.maxBuffers));
    if (kilobytes > kNonPagedBufferWarningKb) {
        findings.push_back({RecordingWarning::NonPagedBuffers, {}, {}, kilobytes});
    }
    return findings;
}

} // namespace corvane
