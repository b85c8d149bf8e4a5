#include "script/script_checks.h"

#include <string>

namespace corvane {
namespace {

// In the order in which the dialog checks its fields, so both programs name the same one first.
constexpr ScriptTextValue kScriptTextValues[] = {
    {&TraceSettings::kernelPath, L"Kernel Path"},
    {&TraceSettings::userPath, L"User Path"},
    {&TraceSettings::etlOutPath, L"ETL Out Path"},
    {&TraceSettings::sessionName, L"Session name"},
    {&TraceSettings::heapProcess, L"ProcessName or PID"},
    {&TraceSettings::heapSessionName, L"Heap Session Name"},
    {&TraceSettings::heapPath, L"Heap Path"},
    {&TraceSettings::fileMode, L"File Mode"},
};

struct LineWords {
    ScriptLine line;
    const wchar_t* name;
    const wchar_t* remedy;
};

constexpr LineWords kLineWords[] = {
    {ScriptLine::Fixed, L"a line of the script", L""},
    {ScriptLine::TracingFlagsSet, L"the registry line that turns heap tracing on",
     L"Use a shorter ProcessName or PID."},
    {ScriptLine::KernelStart, L"the kernel session's command line",
     L"Select fewer kernel flags or stack walks, or use a shorter Kernel Path."},
    {ScriptLine::UserStart, L"the user session's command line",
     L"Select fewer providers, or use a shorter User Path or Session name."},
    {ScriptLine::HeapStart, L"the heap session's command line",
     L"Use a shorter Heap Path, Heap Session Name or ProcessName or PID."},
    {ScriptLine::StopCommand, L"the stop command",
     L"Use a shorter ETL Out Path, Session name or Heap Session Name."},
    {ScriptLine::ViewerCommand, L"the command that opens the trace",
     L"Use a shorter ETL Out Path."},
    {ScriptLine::TracingFlagsClear, L"the registry line that turns heap tracing off",
     L"Use a shorter ProcessName or PID."},
};

const LineWords& wordsFor(ScriptLine line) noexcept {
    for (const LineWords& words : kLineWords) {
        if (words.line == line) {
            return words;
        }
    }
    return kLineWords[0];
}

bool holdsControlCharacter(std::wstring_view text, wchar_t& found) noexcept {
    for (const wchar_t c : text) {
        if (isRefusedControlCharacter(c)) {
            found = c;
            return true;
        }
    }
    return false;
}

// Calls visit(index, length) for each line ended by CR LF, and for text after the last one,
// until it returns false.
template <typename Visit>
void forEachLine(std::wstring_view script, Visit visit) {
    std::size_t index = 0;
    std::size_t start = 0;
    while (start < script.size()) {
        std::size_t end = script.find(L"\r\n", start);
        if (end == std::wstring_view::npos) {
            end = script.size();
        }
        if (!visit(index, end - start)) {
            return;
        }
        start = end + 2;
        ++index;
    }
}

std::size_t userLineLength(const TraceSettings& settings) {
    const std::optional<std::wstring> script = BuildCaptureScript(settings);
    std::size_t length = 0;
    forEachLine(script.value_or(std::wstring()), [&](std::size_t index, std::size_t lineLength) {
        if (scriptLineAt(index) != ScriptLine::UserStart) {
            return true;
        }
        length = lineLength;
        return false;
    });
    return length;
}

} // namespace

bool isRefusedControlCharacter(wchar_t c) noexcept {
    return (c < 0x20 && c != L'\t') || c == 0x7F;
}

std::optional<ControlCharacterFinding> findControlCharacter(const TraceSettings& settings) {
    wchar_t found = 0;
    for (const ScriptTextValue& value : kScriptTextValues) {
        if (holdsControlCharacter(settings.*(value.field), found)) {
            return ControlCharacterFinding{&value, 0, found};
        }
    }
    for (std::size_t i = 0; i < settings.providers.size(); ++i) {
        if (holdsControlCharacter(settings.providers[i], found)) {
            return ControlCharacterFinding{nullptr, i, found};
        }
    }
    return std::nullopt;
}

std::wstring controlCharacterProblem(wchar_t character) {
    constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";
    std::wstring code = L"U+0000";
    const auto value = static_cast<unsigned>(character);
    code[4] = kHexDigits[(value >> 4) & 0xFU];
    code[5] = kHexDigits[value & 0xFU];
    return L"holds a control character (" + code +
           L"), which the command prompt would not read as written";
}

std::optional<OverlongLine> findOverlongLine(std::wstring_view script) {
    std::optional<OverlongLine> found;
    forEachLine(script, [&](std::size_t index, std::size_t length) {
        if (length <= kCommandPromptLineLimit) {
            return true;
        }
        found = OverlongLine{scriptLineAt(index), index + 1, length};
        return false;
    });
    return found;
}

std::size_t providersThatFit(const TraceSettings& settings) {
    // Without providers the user session has no line at all, so none always fit.
    std::size_t fitting = 0;
    std::size_t tooMany = settings.providers.size() + 1;
    TraceSettings trial = settings;
    while (tooMany - fitting > 1) {
        const std::size_t count = fitting + (tooMany - fitting) / 2;
        trial.providers.assign(settings.providers.begin(),
                               settings.providers.begin() + static_cast<std::ptrdiff_t>(count));
        if (userLineLength(trial) <= kCommandPromptLineLimit) {
            fitting = count;
        } else {
            tooMany = count;
        }
    }
    return fitting;
}

const wchar_t* scriptLineName(ScriptLine line) noexcept {
    return wordsFor(line).name;
}

const wchar_t* scriptLineRemedy(ScriptLine line) noexcept {
    return wordsFor(line).remedy;
}

std::wstring groupedNumber(std::size_t number) {
    std::wstring digits = std::to_wstring(number);
    for (std::size_t end = digits.size(); end > 3; end -= 3) {
        digits.insert(end - 3, 1, L',');
    }
    return digits;
}

std::optional<std::wstring> scriptRefusal(const TraceSettings& settings, std::wstring_view script) {
    if (const std::optional<ControlCharacterFinding> found = findControlCharacter(settings)) {
        const std::wstring problem = controlCharacterProblem(found->character);
        if (found->value != nullptr) {
            return L"The \"" + std::wstring(found->value->label) + L"\" field " + problem +
                   L". Remove it.";
        }
        return L"A provider name " + problem + L". Deselect that provider: it is number " +
               std::to_wstring(found->provider + 1) + L" of the " +
               std::to_wstring(settings.providers.size()) + L" selected.";
    }
    if (const std::optional<OverlongLine> overlong = findOverlongLine(script)) {
        std::wstring message = scriptLineName(overlong->line);
        message[0] = static_cast<wchar_t>(message[0] - L'a' + L'A');
        return message + L" would be " + groupedNumber(overlong->length) +
               L" characters long; the command prompt reads at most " +
               groupedNumber(kCommandPromptLineLimit) + L". " + scriptLineRemedy(overlong->line);
    }
    return std::nullopt;
}

} // namespace corvane
