#include "script/capture_script.h"

#include "script/percent_references.h"
#include "script/provider_entries.h"
#include "script/script_format.h"
#include "settings/number_text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

namespace corvane {

namespace {

using namespace script_format;

// The lines that the stop section brings, in order; the last only for heap tracing by name.
constexpr ScriptLine kStopSectionLines[] = {ScriptLine::StopCommand, ScriptLine::Fixed,
                                            ScriptLine::ViewerCommand,
                                            ScriptLine::TracingFlagsClear};

// The facts of one assembly that decide which pieces are present.
struct Assembly {
    const TraceSettings& settings;
    bool kernel = false;
    bool user = false;
    bool heap = false;
    bool registryLines = false; // heap tracing by image name
    bool captureState = false;
};

constexpr std::size_t captureStateIndex() noexcept {
    std::size_t index = 0;
    while (kScriptTemplate[index].piece != Piece::CaptureState) {
        ++index;
    }
    return index;
}

// The white space that "%u" skips (iswspace in the C locale). Wider Unicode spaces are left out
// so that the form does not depend on a C runtime's locale tables.
bool isScanSpace(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

bool isDecimalDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

void appendQuoted(std::wstring& out, std::wstring_view text) {
    out.push_back(L'"');
    out.append(text);
    out.push_back(L'"');
}

// A "+" goes before a name only when the text gathered for this list is not empty.
void appendJoined(std::wstring& out, const std::vector<std::wstring>& names) {
    const std::size_t start = out.size();
    for (const std::wstring& name : names) {
        if (out.size() != start) {
            out.push_back(L'+');
        }
        out += name;
    }
}

void appendLogFileOptions(std::wstring& out, const TraceSettings& settings,
                          std::wstring_view path) {
    out += kLogPathOption;
    appendQuoted(out, path);
    for (const NumberOption& number : kLogFileNumbers) {
        out += number.option;
        appendDecimal(out, settings.*(number.field));
    }
    out += kFileModeOption;
    out += settings.fileMode;
}

void appendTracingFlagsSetLine(std::wstring& out, const TraceSettings& settings) {
    out += kTracingFlagsSetStart;
    out += heapImageFileName(settings.heapProcess);
    out += kTracingFlagsSetEnd;
}

void appendTracingFlagsClearLine(std::wstring& out, const TraceSettings& settings) {
    out += kTracingFlagsClearStart;
    out += heapImageFileName(settings.heapProcess);
    out += kTracingFlagsClearEnd;
}

void appendKernelStartLine(std::wstring& out, const TraceSettings& settings) {
    out += kKernelStart;
    appendJoined(out, settings.kernelFlags);
    if (!settings.stackwalkEvents.empty()) {
        out += kStackwalkOption;
        appendJoined(out, settings.stackwalkEvents);
    }
    appendLogFileOptions(out, settings, settings.kernelPath);
}

void appendUserStartLine(std::wstring& out, const TraceSettings& settings) {
    out += kSessionStart;
    out += settings.sessionName;
    out += kProvidersOption;
    appendProviderEntries(out, settings);
    appendLogFileOptions(out, settings, settings.userPath);
}

// Asks the providers, with the same entries, to log their state into the running session: the
// active window, for one, is otherwise recorded only when the focus moves. It follows the
// session's start because it names that session, which must be running by then; xperf enables
// the listed providers while it captures their state.
void appendCaptureStateLine(std::wstring& out, const TraceSettings& settings) {
    out += kCaptureStateStart;
    out += settings.sessionName;
    out.push_back(L' ');
    appendProviderEntries(out, settings);
}

void appendHeapStartLine(std::wstring& out, const Assembly& assembly) {
    const TraceSettings& settings = assembly.settings;
    out += kSessionStart;
    out += settings.heapSessionName;
    out += kHeapPids;
    out += assembly.registryLines ? kHeapPidOfName : std::wstring_view(settings.heapProcess);
    out += kHeapStackwalk;
    appendLogFileOptions(out, settings, settings.heapPath);
}

void appendStopSection(std::wstring& out, const Assembly& assembly) {
    const TraceSettings& settings = assembly.settings;
    out += kXperf;
    if (assembly.user) {
        out += kStop;
        out.push_back(L' ');
        out += settings.sessionName;
    }
    if (assembly.heap) {
        out += kStop;
        out.push_back(L' ');
        out += settings.heapSessionName;
    }
    if (assembly.kernel) {
        out += kStop; // the kernel logger has no session name
    }
    out += kMergeOption;
    appendQuoted(out, settings.etlOutPath);
    out += kLineEnd;
    out += kLineEnd;
    out += kXperf;
    out.push_back(L' ');
    appendQuoted(out, settings.etlOutPath);
    if (assembly.registryLines) {
        out += kLineEnd;
        appendTracingFlagsClearLine(out, settings);
    }
}

// Appends the line's text or piece (the empty slot when the piece is absent), without its CR LF.
void appendLine(std::wstring& out, const FrameLine& line, const Assembly& assembly) {
    const TraceSettings& settings = assembly.settings;
    switch (line.piece) {
    case Piece::Text:
        out += line.text;
        return;
    case Piece::ExpansionGuard:
        return; // filled in once the whole script shows whether it takes in its own path
    case Piece::TracingFlagsSet:
        if (assembly.registryLines) {
            appendTracingFlagsSetLine(out, settings);
            return;
        }
        break;
    case Piece::KernelStart:
        if (assembly.kernel) {
            appendKernelStartLine(out, settings);
            return;
        }
        break;
    case Piece::UserStart:
        if (assembly.user) {
            appendUserStartLine(out, settings);
            return;
        }
        break;
    case Piece::CaptureState:
        appendCaptureStateLine(out, settings);
        return;
    case Piece::HeapStart:
        if (assembly.heap) {
            appendHeapStartLine(out, assembly);
            return;
        }
        break;
    case Piece::StopSection:
        appendStopSection(out, assembly);
        return;
    }
    out += kEmptySlot;
}

std::size_t totalLength(const std::vector<std::wstring>& names, std::size_t extraPerName) {
    std::size_t length = 0;
    for (const std::wstring& name : names) {
        length += name.size() + extraPerName;
    }
    return length;
}

// Enough for the usual script in one allocation; the string still grows if it is short.
// Providers are not measured one by one: with many thousands selected, a second walk over their
// names costs more than the rare regrowth when names run longer than usual.
std::size_t estimatedLength(const TraceSettings& settings) {
    constexpr std::size_t kFixedText = 1536;
    constexpr std::size_t kTypicalProviderEntry =
        56; // a 40-character name, quotes, ":::'stack'", "+"
    const std::size_t providerLists = settings.captureState != 0 ? 2 : 1;
    return kFixedText + totalLength(settings.kernelFlags, 1) +
           totalLength(settings.stackwalkEvents, 1) +
           providerLists * settings.providers.size() * kTypicalProviderEntry +
           settings.kernelPath.size() + settings.userPath.size() + settings.heapPath.size() +
           3 * settings.fileMode.size() + 3 * settings.etlOutPath.size() +
           2 * settings.sessionName.size() + 2 * settings.heapSessionName.size() +
           3 * settings.heapProcess.size();
}

bool endsWithImageExtension(std::wstring_view name) {
    if (name.size() < kImageExtension.size()) {
        return false;
    }
    const std::wstring_view end = name.substr(name.size() - kImageExtension.size());
    return std::equal(end.begin(), end.end(), kImageExtension.begin(), [](wchar_t c, wchar_t e) {
        return (c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c) == e;
    });
}

// Whether cmd puts a part of the script's own path into one of its lines.
bool takesScriptPathOnSomeLine(std::wstring_view script) {
    for (std::size_t start = 0; start < script.size();) {
        const std::size_t end = std::min(script.find(kLineEnd, start), script.size());
        if (takesScriptPath(script.substr(start, end - start))) {
            return true;
        }
        start = end + kLineEnd.size();
    }
    return false;
}

} // namespace

std::wstring heapImageFileName(std::wstring_view heapProcess) {
    std::wstring fileName(heapProcess);
    if (!endsWithImageExtension(heapProcess)) {
        fileName += kImageExtension;
    }
    return fileName;
}

std::optional<std::wstring> heapProcessOfImage(std::wstring_view fileName) {
    if (!endsWithImageExtension(fileName)) {
        return std::nullopt;
    }
    // "notepad.exe" comes from "notepad" as well as from itself; the short name is the profile's
    // usual one. "notepad.exe.exe", or "notepad.EXE", only from itself.
    const std::wstring_view stem = fileName.substr(0, fileName.size() - kImageExtension.size());
    if (heapImageFileName(stem) == fileName) {
        return std::wstring(stem);
    }
    return std::wstring(fileName);
}

HeapTargetForm heapTargetForm(std::wstring_view heapProcess) {
    std::size_t i = 0;
    while (i < heapProcess.size() && isScanSpace(heapProcess[i])) {
        ++i;
    }
    if (i < heapProcess.size() && (heapProcess[i] == L'+' || heapProcess[i] == L'-')) {
        ++i;
    }
    const bool startsWithNumber = i < heapProcess.size() && isDecimalDigit(heapProcess[i]);
    return startsWithNumber ? HeapTargetForm::Pid : HeapTargetForm::Name;
}

bool hasCaptureStateLine(const TraceSettings& settings) noexcept {
    return settings.captureState != 0 && !settings.providers.empty();
}

ScriptLine scriptLineAt(std::size_t index, bool captureStateLine) noexcept {
    if (!captureStateLine && index >= captureStateIndex()) {
        ++index; // the template's position of the line
    }
    constexpr std::size_t kStopSectionStart = std::size(kScriptTemplate) - 1;
    if (index >= kStopSectionStart) {
        const std::size_t inSection = index - kStopSectionStart;
        return inSection < std::size(kStopSectionLines) ? kStopSectionLines[inSection]
                                                        : ScriptLine::Fixed;
    }
    switch (kScriptTemplate[index].piece) {
    case Piece::TracingFlagsSet:
        return ScriptLine::TracingFlagsSet;
    case Piece::KernelStart:
        return ScriptLine::KernelStart;
    case Piece::UserStart:
        return ScriptLine::UserStart;
    case Piece::HeapStart:
        return ScriptLine::HeapStart;
    case Piece::CaptureState:
        return ScriptLine::CaptureState;
    default:
        return ScriptLine::Fixed;
    }
}

std::optional<std::wstring> BuildCaptureScript(const TraceSettings& settings) {
    Assembly assembly{settings};
    assembly.kernel = !settings.kernelFlags.empty();
    assembly.user = !settings.providers.empty();
    assembly.heap = settings.heapEnabled != 0;
    // Stack walks alone trace nothing: they ride on the kernel logger.
    if (!assembly.kernel && !assembly.user && !assembly.heap) {
        return std::nullopt;
    }
    assembly.registryLines =
        assembly.heap && heapTargetForm(settings.heapProcess) == HeapTargetForm::Name;
    assembly.captureState = hasCaptureStateLine(settings);

    std::wstring script;
    script.reserve(estimatedLength(settings));
    std::size_t guard = 0;
    for (const FrameLine& line : kScriptTemplate) {
        if (line.piece == Piece::CaptureState && !assembly.captureState) {
            continue;
        }
        guard = line.piece == Piece::ExpansionGuard ? script.size() : guard;
        appendLine(script, line, assembly);
        script += kLineEnd;
    }
    if (takesScriptPathOnSomeLine(script)) {
        script.insert(guard, kDelayedExpansionOff);
    }
    return script;
}

} // namespace corvane
