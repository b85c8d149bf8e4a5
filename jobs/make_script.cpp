#include "jobs/make_script.h"

#include "encoding/utf8.h"
#include "jobs/script_advice.h"
#include "jobs/script_refusal.h"
#include "script/capture_script.h"
#include "script/script_messages.h"

#include <optional>

namespace corvane {

ScriptEncoder scriptEncoder(CodePageCodec& codec, unsigned codePage) {
    if (codePage == 0) {
        return {};
    }
    return [&codec, codePage](std::wstring_view text) -> std::optional<std::string> {
        std::string bytes;
        if (codec.encode(std::wstring(text), codePage, bytes) != Encoding::Ok) {
            return std::nullopt;
        }
        return bytes;
    };
}

JobOutcome encodeScript(const std::wstring& script, unsigned codePage, CodePageCodec& codec,
                        std::string& bytes) {
    if (codePage == 0) {
        if (!isAscii(script)) {
            return JobOutcome::badInput(
                L"the script holds non-ASCII text, and there is no command prompt here to take "
                L"its code page from: give the code page of the machine that will run it (chcp "
                L"shows it there) with --code-page N");
        }
        bytes = toUtf8(script); // ASCII, the same in every code page
        return {};
    }
    const std::wstring inCodePage = L" (code page " + std::to_wstring(codePage) + L")";
    switch (codec.encode(script, codePage, bytes)) {
    case Encoding::Ok:
        return {};
    case Encoding::Unrepresentable:
        return JobOutcome::badInput(kUnrepresentableScriptMessage + inCodePage);
    case Encoding::ChangesAscii:
        return JobOutcome::badInput(kAsciiChangedMessage + inCodePage);
    case Encoding::UnknownCodePage:
        break;
    }
    return JobOutcome::badInput(L"code page " + std::to_wstring(codePage) +
                                L" is not available here");
}

JobOutcome makeXperfScript(const ProfileSettings& profile, unsigned codePage, CodePageCodec& codec,
                           MadeScript& made) {
    const TraceSettings& settings = profile.settings;
    // xperf's file modes have no flight recorder of this kind; keeping the events in memory is
    // a mode of WPR's alone.
    if (settings.wprLogging != kWprLoggingModes[0]) {
        return JobOutcome::badInput(
            L"wpr-logging = " + settings.wprLogging +
            L" is for --recorder wpr: xperf records to files alone; add --recorder wpr, or for "
            L"xperf drop the line and choose file-mode = Circular");
    }
    const std::optional<std::wstring> script = BuildCaptureScript(settings);
    if (!script) {
        return JobOutcome::badInput(kNothingToTrace);
    }
    // Lines are measured in the bytes they will have; without a code page the script is ASCII.
    const ScriptEncoder encoder = scriptEncoder(codec, codePage);
    if (const std::optional<std::wstring> refusal = unrunnableScriptMessage(
            settings, *script, profile.reader, profile.name, encoder, codePage)) {
        return JobOutcome::badInput(*refusal);
    }
    if (JobOutcome encoded = encodeScript(*script, codePage, codec, made.bytes); !encoded.done()) {
        return encoded;
    }
    made.warnings = recordingWarningTexts(settings);
    return {};
}

} // namespace corvane
