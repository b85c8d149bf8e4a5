#include "script/percent_references.h"

#include <algorithm>

namespace corvane {
namespace {

bool isDigit(wchar_t c) noexcept {
    return c >= L'0' && c <= L'9';
}

bool equalsIgnoringCase(std::wstring_view text, std::wstring_view upper) noexcept {
    return text.size() == upper.size() &&
           std::equal(text.begin(), text.end(), upper.begin(), [](wchar_t c, wchar_t u) {
               return (c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c) == u;
           });
}

} // namespace

PercentReference readPercent(std::wstring_view text, std::size_t at) noexcept {
    const std::size_t next = at + 1;
    if (next < text.size()) {
        const wchar_t c = text[next];
        if (c == L'%') {
            return {PercentReading::Literal, next + 1};
        }
        if (c == L'*' || isDigit(c)) {
            return {PercentReading::QuotesPossible, next + 1};
        }
        if (c == L'~') {
            // The path operators' modifiers; the argument must be the script itself, %0, whose
            // parts hold no quotes (an argument given to the script may).
            std::size_t end = next + 1;
            while (end < text.size() &&
                   std::wstring_view(L"fdpnxsatz").find(text[end]) != std::wstring_view::npos) {
                ++end;
            }
            const std::wstring_view modifiers = text.substr(next + 1, end - next - 1);
            const bool scriptPath = !modifiers.empty() && end < text.size() && text[end] == L'0';
            if (end < text.size() && isDigit(text[end])) {
                // Attributes (a), time (t) and size (z) come before the path, and the
                // attributes start with '-' ("--a------").
                const bool fromDrive = modifiers.find_first_of(L"df") != std::wstring_view::npos &&
                                       modifiers.find_first_of(L"atz") == std::wstring_view::npos;
                return {scriptPath ? PercentReading::ScriptPath : PercentReading::QuotesPossible,
                        end + 1, fromDrive};
            }
            // Anything else after "%~" is no path operator: Windows stops the script there.
            return {PercentReading::QuotesPossible, next + 1};
        }
    }
    const std::size_t closing = text.find(L'%', next);
    if (closing == std::wstring_view::npos) {
        return {PercentReading::Unpaired, closing};
    }
    const std::wstring_view name = text.substr(next, closing - next);
    const bool quotesPossible = name.find(L':') != std::wstring_view::npos ||
                                equalsIgnoringCase(name, L"CMDCMDLINE") ||
                                equalsIgnoringCase(name, L"PATH");
    return {quotesPossible ? PercentReading::QuotesPossible : PercentReading::Variable,
            closing + 1};
}

bool takesScriptPath(std::wstring_view text) noexcept {
    for (std::size_t i = text.find(L'%'); i < text.size(); i = text.find(L'%', i)) {
        const PercentReference reference = readPercent(text, i);
        if (reference.reading == PercentReading::ScriptPath) {
            return true;
        }
        i = reference.end;
    }
    return false;
}

} // namespace corvane
