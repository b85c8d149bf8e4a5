// Which characters a value may hold where the script writes it: the command prompt reads each
// line for its own syntax first, and xperf and reg then split what is left into arguments.
#include "script/script_checks.h"
#include "settings/visible_text.h"

#include "script/percent_references.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>

namespace corvane {
namespace {

// Outside quotes these end the command, pipe or redirect it, or escape the next character.
bool isCommandOperator(wchar_t c) noexcept {
    return c == L'&' || c == L'|' || c == L'<' || c == L'>' || c == L'^';
}

struct UnsafeCharacter {
    wchar_t character;
    UnsafeValueRule rule;
    std::string bytes = {};
};

bool isAscii(wchar_t c) noexcept {
    return static_cast<std::uint32_t>(c) < 0x80U;
}

// The character at `at` whole: a surrogate pair where wchar_t is UTF-16.
std::wstring_view characterAt(std::wstring_view text, std::size_t at) noexcept {
    const bool pair = at + 1 < text.size() && text[at] >= 0xD800 && text[at] <= 0xDBFF &&
                      text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF;
    return text.substr(at, pair ? 2 : 1);
}

// A character's last byte that a prompt reading the script in another code page (chcp) joins with
// what follows: 0x5C is '\' there (the second byte of ソ in 932), and 0x81 and above may be the
// first byte of a double-byte character in 932, 936, 949 or 950, which takes the next byte along.
bool joinsWhatFollows(const std::string& bytes) noexcept {
    const auto last = bytes.empty() ? 0U : static_cast<unsigned char>(bytes.back());
    return last == 0x5CU || last >= 0x81U;
}

// The characters and lone options that the value's placement makes unsafe, '%' aside.
std::optional<UnsafeCharacter> unsafeSyntaxIn(std::wstring_view text, ValuePlacement placement,
                                              bool bare, bool pidList) {
    for (const wchar_t c : text) {
        if (c == L'"') {
            return UnsafeCharacter{c, UnsafeValueRule::DoubleQuote};
        }
        if (c == L'!') {
            return UnsafeCharacter{c, UnsafeValueRule::DelayedExpansion};
        }
        if (bare && isCommandOperator(c)) {
            return UnsafeCharacter{c, UnsafeValueRule::BareArgumentOperator};
        }
        if (placement == ValuePlacement::BareName && (c == L' ' || c == L'\t')) {
            return UnsafeCharacter{c, UnsafeValueRule::BareArgumentBlank};
        }
        if (bare && !isAscii(c)) {
            return UnsafeCharacter{c, UnsafeValueRule::NonAsciiBareValue};
        }
    }
    // xperf takes an argument that starts with '-' for one of its options, whether the prompt saw
    // quotes around it or not: the C runtime removes them. A process id list is many arguments.
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool startsArgument =
            i == 0 || (pidList && (text[i - 1] == L' ' || text[i - 1] == L'\t'));
        if (text[i] == L'-' && startsArgument) {
            return UnsafeCharacter{L'-', UnsafeValueRule::LeadingDash};
        }
    }
    return std::nullopt;
}

std::optional<UnsafeCharacter> unsafeCharacterIn(std::wstring_view text, ValuePlacement placement,
                                                 const ScriptEncoder& encoder,
                                                 bool provider = false) {
    const bool pidList =
        placement == ValuePlacement::HeapTarget && heapTargetForm(text) == HeapTargetForm::Pid;
    const bool bare = placement == ValuePlacement::BareName || pidList;
    if (auto found = unsafeSyntaxIn(text, placement, bare, pidList)) {
        return found;
    }
    const bool endsAtQuote = placement == ValuePlacement::Quoted;
    bool endsInReference = false;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != L'%') {
            endsInReference = false;
            ++i;
            continue;
        }
        const PercentReference reference = readPercent(text, i);
        switch (reference.reading) {
        case PercentReading::Unpaired:
            return UnsafeCharacter{L'%', UnsafeValueRule::UnpairedPercent};
        case PercentReading::Literal:
            break;
        case PercentReading::ScriptPath:
            if (bare || provider) {
                return UnsafeCharacter{L'%', UnsafeValueRule::BareArgumentReference};
            }
            if (i == 0 && !reference.fromDrive) {
                // The script's name (%~n0) or folder without drive may start with '-'.
                return UnsafeCharacter{L'%', UnsafeValueRule::LeadingDash};
            }
            break;
        case PercentReading::Variable:
        case PercentReading::QuotesPossible:
            return UnsafeCharacter{L'%', bare ? UnsafeValueRule::BareArgumentReference
                                              : UnsafeValueRule::UnsafeReference};
        }
        endsInReference = reference.reading != PercentReading::Literal;
        i = reference.end;
    }
    if (endsAtQuote && endsInReference) {
        return UnsafeCharacter{L'%', UnsafeValueRule::TrailingBackslash};
    }
    if (endsAtQuote && !text.empty() && text.back() == L'\\') {
        return UnsafeCharacter{L'\\', UnsafeValueRule::TrailingBackslash};
    }
    // xperf splits its list of providers at '+' and each entry at ':', quotes or not.
    for (const wchar_t c : provider ? text : std::wstring_view()) {
        if (c == L'+' || c == L':') {
            return UnsafeCharacter{c, c == L'+' ? UnsafeValueRule::ProviderPlus
                                                : UnsafeValueRule::ProviderColon};
        }
    }
    // Bare values are ASCII by now. Without an encoder the script must be ASCII as a whole, which
    // its writer sees to.
    for (std::size_t i = 0; encoder && i < text.size(); ++i) {
        const std::wstring_view character = characterAt(text, i);
        const std::size_t next = i + character.size();
        const bool beforeQuoteOrPercent = next < text.size() ? text[next] == L'%' : endsAtQuote;
        if (isAscii(text[i]) || !beforeQuoteOrPercent) {
            continue;
        }
        std::optional<std::string> bytes = encoder(character);
        if (bytes && joinsWhatFollows(*bytes)) {
            return UnsafeCharacter{text[i], UnsafeValueRule::CodePageByte, std::move(*bytes)};
        }
    }
    return std::nullopt;
}

struct OperatorWords {
    wchar_t character;
    const wchar_t* meaning;
};

constexpr OperatorWords kOperatorWords[] = {
    {L'&', L"the start of another command"},
    {L'|', L"a pipe into another command"},
    {L'<', L"a file to read the command's input from"},
    {L'>', L"a file to write the command's output to"},
    {L'^', L"an escape, and drops it"},
};

// "'ポ' (U+30DD)": a character for a message, with its code.
std::wstring codePoint(wchar_t character) {
    constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";
    const auto value = static_cast<std::uint32_t>(character);
    std::wstring code = L"U+0000";
    for (std::size_t i = 0; i < 4; ++i) {
        code[5 - i] = kHexDigits[(value >> (4 * i)) & 0xFU];
    }
    const bool whole = value < 0xD800U || (value > 0xDFFFU && value <= 0xFFFFU);
    if (whole && isHiddenCharacter(character)) {
        return code; // shown, it would act on the terminal or turn the message around
    }
    return whole ? L"'" + std::wstring(1, character) + L"' (" + code + L")"
                 : L"a character beyond U+FFFF";
}

std::wstring lastByte(const std::string& bytes) {
    constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";
    const auto value = bytes.empty() ? 0U : static_cast<unsigned char>(bytes.back());
    return std::wstring(L"0x") + kHexDigits[value >> 4] + kHexDigits[value & 0xFU];
}

} // namespace

std::optional<ProviderCaseTwins> findProviderCaseTwins(const std::vector<std::wstring>& names) {
    // Sorted by the folded name, twins stand side by side; the same name twice is no twin.
    std::vector<std::pair<std::wstring, std::size_t>> folded;
    folded.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::wstring upper = names[i];
        for (wchar_t& c : upper) {
            c = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
        }
        folded.emplace_back(std::move(upper), i);
    }
    std::sort(folded.begin(), folded.end());
    std::optional<ProviderCaseTwins> found;
    for (std::size_t start = 0, end = 0; start < folded.size(); start = end) {
        // In each run of one folded name, the first entry written otherwise than the run's
        // first is the earliest twin.
        const std::size_t first = folded[start].second;
        for (end = start + 1; end < folded.size() && folded[end].first == folded[start].first;
             ++end) {
            const std::size_t index = folded[end].second;
            if (names[index] != names[first] && (!found || index < found->second)) {
                found = ProviderCaseTwins{first, index};
            }
        }
    }
    return found;
}

std::optional<UnsafeValueFinding> findUnsafeValue(const TraceSettings& settings,
                                                  const ScriptEncoder& encoder) {
    for (const ScriptTextValue& value : kScriptTextValues) {
        if (auto found = unsafeCharacterIn(settings.*(value.field), value.placement, encoder)) {
            return UnsafeValueFinding{&value, 0, found->character, found->rule,
                                      std::move(found->bytes)};
        }
    }
    for (std::size_t i = 0; i < settings.providers.size(); ++i) {
        if (auto found =
                unsafeCharacterIn(settings.providers[i], ValuePlacement::Quoted, encoder, true)) {
            return UnsafeValueFinding{nullptr, i, found->character, found->rule,
                                      std::move(found->bytes)};
        }
    }
    if (const std::optional<ProviderCaseTwins> twins = findProviderCaseTwins(settings.providers)) {
        return UnsafeValueFinding{nullptr, twins->second, 0, UnsafeValueRule::ProviderCaseTwin,
                                  {},      twins->first};
    }
    return std::nullopt;
}

std::wstring unsafeValueProblem(const UnsafeValueFinding& finding) {
    switch (finding.rule) {
    case UnsafeValueRule::DoubleQuote:
        return L"holds '\"', which the command prompt and xperf read as the start or end of "
               L"quotes, so the rest of the line would not be read as written";
    case UnsafeValueRule::TrailingBackslash:
        return std::wstring(finding.character == L'%'
                                ? L"ends in the script's folder (%~dp0), whose text ends in '\\', "
                                  L"and a '\\'"
                                : L"ends in '\\', which") +
               L" together with the closing quote after it reads as a '\"' inside the value, so "
               L"xperf would take the rest of the line into it";
    case UnsafeValueRule::BareArgumentReference:
        if (finding.value == nullptr) {
            return L"holds a part of the script's path, whose drive holds ':' and whose name may "
                   L"hold '+', which xperf reads as the end of a provider's name; type %% for one "
                   L"%";
        }
        return L"holds a '%' reference, whose text the command prompt puts in before it reads the "
               L"line, and a value written without quotes must not change: the text may hold "
               L"blanks or operators, or be empty; type %% for one %";
    case UnsafeValueRule::UnsafeReference:
        return L"holds a '%' reference, which the command prompt replaces by text from its "
               L"environment or the script's arguments. The environment of the prompt that runs "
               L"the script is not Corvane's to trust: any program the user runs can set a "
               L"variable there that ends the quotes and starts a command of its own. Only %% (one "
               L"%) and the script's folder (%~dp0) may stand";
    case UnsafeValueRule::LeadingDash:
        return finding.character == L'%'
                   ? L"starts with a part of the script's path that may start with '-' (its "
                     L"name, for one; %~dp0 starts with the drive), which xperf would read as the "
                     L"start of one of its options"
                   : L"starts with '-', which xperf reads as the start of one of its options "
                     L"(quotes around a value do not reach xperf)";
    case UnsafeValueRule::DelayedExpansion:
        return L"holds '!', which a command prompt with delayed expansion (the DelayedExpansion "
               L"registry value, or cmd /V:ON) reads as the start of a variable, whose text may "
               L"end the quotes or be any other argument. The script turns delayed expansion "
               L"off only when a value takes in its own folder (%~dp0)";
    case UnsafeValueRule::NonAsciiBareValue:
        return L"holds " + codePoint(finding.character) +
               L", which is not ASCII, in a value written without quotes: a command prompt that "
               L"reads the script in another code page (chcp) may read one of its bytes as '|', "
               L"'^' or '\\'";
    case UnsafeValueRule::CodePageByte:
        return L"holds " + codePoint(finding.character) + L", whose last byte is " +
               lastByte(finding.bytes) + L" in the script's code page, before " +
               L"a closing quote or a '%': a command prompt that reads the script in another " +
               L"code page (chcp) takes " +
               (lastByte(finding.bytes) == L"0x5C"
                    ? L"that byte for '\\', which with a closing quote reads as '\"'"
                    : L"that byte for the first half of a double-byte character (code pages 932, "
                      L"936, 949, 950), which swallows the quote or '%' after it");
    case UnsafeValueRule::ProviderPlus:
        return L"holds '+', which xperf reads as the start of another provider, enabled as the "
               L"rest of the name says";
    case UnsafeValueRule::ProviderColon:
        return L"holds ':', which xperf reads as the end of the name and the start of the "
               L"provider's keywords and level, quoted or not. Give the provider by its GUID "
               L"instead, such as {22fb2cd6-0e7b-422b-a0c7-2fad1fd0e716} (xperf -providers "
               L"shows the GUID of each)";
    case UnsafeValueRule::ProviderCaseTwin:
        return L"differs only in case from provider number " + std::to_wstring(finding.twin + 1) +
               L", and xperf reads names without regard to case: both would set the same "
               L"provider, and the second entry's keywords and level would win";
    case UnsafeValueRule::BareArgumentBlank:
        return std::wstring(L"holds a ") + (finding.character == L'\t' ? L"tab" : L"space") +
               L", which splits it into two arguments for xperf";
    case UnsafeValueRule::UnpairedPercent:
        return L"holds a '%' without a partner, which the command prompt would pair with a '%' "
               L"further along the line; type %% for one %";
    case UnsafeValueRule::BareArgumentOperator:
        break;
    }
    const auto* const words = std::find_if(
        std::begin(kOperatorWords), std::end(kOperatorWords),
        [&](const OperatorWords& entry) { return entry.character == finding.character; });
    const wchar_t* const meaning = words != std::end(kOperatorWords) ? words->meaning : L"syntax";
    return L"holds '" + std::wstring(1, finding.character) +
           L"', which the command prompt reads as " + meaning;
}

} // namespace corvane
