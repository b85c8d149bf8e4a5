#include "settings/recording_checks.h"

#include "settings/stackwalk_events.h"

#include <string>

namespace corvane {

std::vector<RecordingFinding> findRecordingWarnings(const TraceSettings& settings) {
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

    const bool newFile = settings.fileMode == L"NewFile";
    if (newFile) {
        // ETW numbers the files through a %d in the name; cmd turns the %% typed into one %.
        const struct {
            bool started;
            const std::wstring& path;
            std::wstring_view key;
        } paths[] = {
            {!settings.kernelFlags.empty(), settings.kernelPath, L"kernel-path"},
            {!settings.providers.empty(), settings.userPath, L"user-path"},
            {settings.heapEnabled != 0, settings.heapPath, L"heap-path"},
        };
        for (const auto& path : paths) {
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
    return findings;
}

} // namespace corvane
