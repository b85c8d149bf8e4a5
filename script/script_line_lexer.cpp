#include "script/script_line_lexer.h"

#include "settings/visible_text.h"

#include <utility>

namespace corvane::script_lexer {
namespace {

// How much of a line a message shows.
constexpr std::size_t kShownLength = 64;

bool isControl(wchar_t c) noexcept {
    return (c < L' ' && c != L'\t') || c == 0x7F;
}

} // namespace

std::wstring shown(std::wstring_view text) {
    if (text.empty()) {
        return L"an empty line";
    }
    const bool cut = text.size() > kShownLength;
    return L"'" + visibleText(text.substr(0, kShownLength)) + (cut ? L"...'" : L"'");
}

bool splitLines(std::wstring_view script, std::vector<std::wstring_view>& lines,
                ScriptFormError& error) {
    using script_format::kLineEnd;
    while (!script.empty()) {
        const std::size_t end = script.find(kLineEnd);
        const std::wstring_view line = script.substr(0, end);
        const auto control = std::find_if(line.begin(), line.end(), isControl);
        if (control != line.end()) {
            const auto at = static_cast<std::size_t>(control - line.begin());
            error = {lines.size() + 1, L"no control character (Corvane writes none)",
                     shown(line.substr(at))};
            return false;
        }
        if (end == std::wstring_view::npos) {
            error = {lines.size() + 1, L"CR LF", L"the end of the script"};
            return false;
        }
        lines.push_back(line);
        script.remove_prefix(end + kLineEnd.size());
    }
    return true;
}

ScriptFormError firstDifference(const std::vector<std::wstring_view>& lines,
                                const std::wstring& expected) {
    std::vector<std::wstring_view> expectedLines;
    ScriptFormError ignored;
    static_cast<void>(splitLines(expected, expectedLines, ignored));
    for (std::size_t i = 0; i < std::max(lines.size(), expectedLines.size()); ++i) {
        if (i == lines.size()) {
            return {i + 1, shown(expectedLines[i]), L"the end of the script"};
        }
        if (i == expectedLines.size()) {
            return {i + 1, L"the end of the script", shown(lines[i])};
        }
        const std::wstring_view line = lines[i];
        const std::wstring_view wanted = expectedLines[i];
        if (line != wanted) {
            const auto mismatch =
                std::mismatch(line.begin(), line.end(), wanted.begin(), wanted.end());
            std::size_t at = static_cast<std::size_t>(mismatch.first - line.begin());
            const std::size_t blank = line.rfind(L' ', at == 0 ? 0 : at - 1);
            at = blank == std::wstring_view::npos || at == 0 ? 0 : blank + 1;
            return {i + 1, shown(wanted.substr(at)), shown(line.substr(at))};
        }
    }
    return {};
}

bool LineLexer::fail(std::wstring expected) {
    const std::wstring_view rest = line_.substr(at_);
    error_ = {number_, std::move(expected), rest.empty() ? L"the end of the line" : shown(rest)};
    return false;
}

bool LineLexer::skip(std::wstring_view literal) {
    if (line_.substr(at_, literal.size()) != literal) {
        return false;
    }
    at_ += literal.size();
    return true;
}

bool LineLexer::take(std::wstring_view literal) {
    return skip(literal) || fail(L"'" + std::wstring(literal) + L"'");
}

bool LineLexer::takeUntil(std::wstring_view delimiter, std::wstring& value, const wchar_t* what) {
    const std::size_t end = line_.find(delimiter, at_);
    if (end == std::wstring_view::npos || end == at_) {
        return fail(std::wstring(what) + L" and '" + std::wstring(delimiter) + L"'");
    }
    value = line_.substr(at_, end - at_);
    at_ = end;
    return true;
}

bool LineLexer::takeQuoted(std::wstring& value, const wchar_t* what) {
    return take(L"\"") && takeUntil(L"\"", value, what) && take(L"\"");
}

bool LineLexer::takeNumber(unsigned base, std::uint64_t largest, std::uint64_t& value,
                           const wchar_t* what) {
    const std::size_t start = at_;
    value = 0;
    for (; at_ < line_.size(); ++at_) {
        const auto c = static_cast<std::uint64_t>(line_[at_]);
        const std::uint64_t digit = c >= '0' && c <= '9'   ? c - '0'
                                    : c >= 'a' && c <= 'f' ? c - 'a' + 10U
                                    : c >= 'A' && c <= 'F' ? c - 'A' + 10U
                                                           : base;
        if (digit >= base) {
            break;
        }
        if (value > (largest - digit) / base) {
            at_ = start;
            return fail(what);
        }
        value = value * base + digit;
    }
    if (at_ == start) {
        return fail(what);
    }
    return true;
}

} // namespace corvane::script_lexer
