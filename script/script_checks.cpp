#include "script/script_checks.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <iterator>
#include <string>
#include <utility>

namespace corvane {
namespace {

const ScriptTextValue& textValue(std::wstring TraceSettings::*field) noexcept {
    return *std::find_if(std::begin(kScriptTextValues), std::end(kScriptTextValues),
                         [field](const ScriptTextValue& value) { return value.field == field; });
}

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
    {ScriptLine::CaptureState, L"the command that captures the providers' state",
     L"Select fewer providers, or use a shorter Session name."},
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

// Calls visit(index, line) for each line ended by CR LF, and for text after the last one, until
// it returns false.
template <typename Visit>
void forEachLine(std::wstring_view script, Visit visit) {
    std::size_t index = 0;
    std::size_t start = 0;
    while (start < script.size()) {
        std::size_t end = script.find(L"\r\n", start);
        if (end == std::wstring_view::npos) {
            end = script.size();
        }
        if (!visit(index, script.substr(start, end - start))) {
            return;
        }
        start = end + 2;
        ++index;
    }
}

// How far a line passes the prompt's limit: in UTF-16 units, else in bytes; nothing when it fits.
std::optional<std::pair<std::size_t, LineMeasure>> excess(std::wstring_view line,
                                                          const ScriptEncoder& encoder) {
    const std::size_t units = utf16Length(line);
    if (units > kCommandPromptLineLimit) {
        return std::make_pair(units, LineMeasure::Characters);
    }
    if (encoder) {
        const std::optional<std::string> bytes = encoder(line);
        if (bytes && bytes->size() > kCommandPromptLineLimit) {
            return std::make_pair(bytes->size(), LineMeasure::Bytes);
        }
    }
    return std::nullopt;
}

// The capture-state line carries the same entries with less around them, so the user session's
// line is always the first of the two to grow too long.
bool userLineFits(const TraceSettings& settings, const ScriptEncoder& encoder) {
    const std::optional<std::wstring> script = BuildCaptureScript(settings);
    const bool captureStateLine = hasCaptureStateLine(settings);
    bool fits = true;
    forEachLine(script.value_or(std::wstring()), [&](std::size_t index, std::wstring_view line) {
        if (scriptLineAt(index, captureStateLine) != ScriptLine::UserStart) {
            return true;
        }
        fits = !excess(line, encoder);
        return false;
    });
    return fits;
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

std::size_t utf16Length(std::wstring_view text) noexcept {
    std::size_t length = text.size();
#if WCHAR_MAX > 0xFFFF
    // wchar_t holds a whole code point here; UTF-16 needs a surrogate pair beyond the BMP.
    for (const wchar_t c : text) {
        length += static_cast<std::uint32_t>(c) > 0xFFFFU ? 1 : 0;
    }
#endif
    return length;
}

std::optional<OverlongLine> findOverlongLine(std::wstring_view script,
                                             const TraceSettings& settings,
                                             const ScriptEncoder& encoder) {
    const bool captureStateLine = hasCaptureStateLine(settings);
    std::optional<OverlongLine> found;
    forEachLine(script, [&](std::size_t index, std::wstring_view line) {
        const auto over = excess(line, encoder);
        if (!over) {
            return true;
        }
        found = OverlongLine{scriptLineAt(index, captureStateLine), index + 1, over->first,
                             over->second};
        return false;
    });
    return found;
}

CrowdingValue userLineCrowdingValue(const TraceSettings& settings) {
    CrowdingValue crowding{
        nullptr, settings.providers.empty() ? 0 : utf16Length(settings.providers.front())};
    for (const auto field : {&TraceSettings::sessionName, &TraceSettings::userPath}) {
        const std::size_t length = utf16Length(settings.*field);
        if (length > crowding.length) {
            crowding = CrowdingValue{&textValue(field), length};
        }
    }
    return crowding;
}

std::size_t providersThatFit(const TraceSettings& settings, const ScriptEncoder& encoder) {
    // Without providers the user session has no line at all, so none always fit.
    std::size_t fitting = 0;
    std::size_t tooMany = settings.providers.size() + 1;
    TraceSettings trial = settings;
    while (tooMany - fitting > 1) {
        const std::size_t count = fitting + (tooMany - fitting) / 2;
        trial.providers.assign(settings.providers.begin(),
                               settings.providers.begin() + static_cast<std::ptrdiff_t>(count));
        if (userLineFits(trial, encoder)) {
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

std::optional<std::wstring> scriptRefusal(const TraceSettings& settings, std::wstring_view script,
                                          const ScriptEncoder& encoder) {
    // Both findings name a value the same way, with what is wrong with it.
    const auto refuseValue = [&](const ScriptTextValue* value, std::size_t provider,
                                 const std::wstring& problem, const wchar_t* remedy) {
        if (value != nullptr) {
            return L"The \"" + std::wstring(value->label) + L"\" field " + problem + remedy;
        }
        return L"A provider name " + problem + L". Deselect that provider: it is number " +
               std::to_wstring(provider + 1) + L" of the " +
               std::to_wstring(settings.providers.size()) + L" selected.";
    };
    if (const std::optional<ControlCharacterFinding> found = findControlCharacter(settings)) {
        return refuseValue(found->value, found->provider, controlCharacterProblem(found->character),
                           L". Remove it.");
    }
    if (const std::optional<UnsafeValueFinding> found = findUnsafeValue(settings, encoder)) {
        // These messages end with what to type instead.
        const bool advised = found->rule == UnsafeValueRule::UnpairedPercent ||
                             found->rule == UnsafeValueRule::BareArgumentReference ||
                             found->rule == UnsafeValueRule::UnsafeReference ||
                             found->rule == UnsafeValueRule::ProviderColon ||
                             found->rule == UnsafeValueRule::ProviderCaseTwin;
        return refuseValue(found->value, found->provider, unsafeValueProblem(*found),
                           advised ? L"." : L". Remove it.");
    }
    const std::optional<OverlongLine> overlong = findOverlongLine(script, settings, encoder);
    if (!overlong) {
        return std::nullopt;
    }
    std::wstring message = scriptLineName(overlong->line);
    message[0] = static_cast<wchar_t>(message[0] - L'a' + L'A');
    message +=
        L" would be " + groupedNumber(overlong->length) +
        (overlong->measure == LineMeasure::Bytes ? L" bytes long in the command prompt's code page"
                                                 : L" characters long") +
        L"; the command prompt reads at most " + groupedNumber(kCommandPromptLineLimit) + L". ";
    if (overlong->line == ScriptLine::UserStart && providersThatFit(settings, encoder) == 0) {
        // Fewer providers would not help: say which value leaves no room.
        const CrowdingValue crowding = userLineCrowdingValue(settings);
        const std::wstring name = crowding.value != nullptr
                                      ? L"the " + std::wstring(crowding.value->label)
                                      : std::wstring(L"the first selected provider's name");
        return message + L"Not even one provider fits: " + name + L" alone is " +
               groupedNumber(crowding.length) + L" characters long. " +
               (crowding.value != nullptr ? L"Shorten it." : L"Deselect that provider.");
    }
    return message + scriptLineRemedy(overlong->line);
}

} // namespace corvane
