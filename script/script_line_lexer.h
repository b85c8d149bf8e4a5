// The lexer under the script reader: a script's lines as Corvane ends them, and the tokens and
// values of one line in the forms cmd and the writer give them.
#pragma once

#include "script/capture_script_reader.h"
#include "script/script_format.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::script_lexer {

// `text` as a message shows it: quoted and cut short, or named when empty.
[[nodiscard]] std::wstring shown(std::wstring_view text);

// The lines without their CR LF; false at a line that Corvane's lines never are.
[[nodiscard]] bool splitLines(std::wstring_view script, std::vector<std::wstring_view>& lines,
                              ScriptFormError& error);

// The first line where the script's `lines` differ from the script `expected`, shown from the
// word that differs.
[[nodiscard]] ScriptFormError firstDifference(const std::vector<std::wstring_view>& lines,
                                              const std::wstring& expected);

// One line, read from its start; a failure names what was expected where the reading stopped.
class LineLexer {
public:
    LineLexer(std::wstring_view line, std::size_t number, ScriptFormError& error)
        : line_(line), number_(number), error_(error) {}

    [[nodiscard]] bool fail(std::wstring expected);
    [[nodiscard]] bool skip(std::wstring_view literal);
    [[nodiscard]] bool skip(wchar_t c) { return skip(std::wstring_view(&c, 1)); }
    [[nodiscard]] bool take(std::wstring_view literal);
    // The non-empty text up to the first `delimiter`, which is left to read.
    [[nodiscard]] bool takeUntil(std::wstring_view delimiter, std::wstring& value,
                                 const wchar_t* what);
    [[nodiscard]] bool takeQuoted(std::wstring& value, const wchar_t* what);
    // Digits in `base`, at least one, up to `largest`.
    [[nodiscard]] bool takeNumber(unsigned base, std::uint64_t largest, std::uint64_t& value,
                                  const wchar_t* what);
    // Names of a catalogue joined by "+"; the first other name is refused where it stands.
    template <std::size_t N>
    [[nodiscard]] bool takeNames(const std::array<const wchar_t*, N>& catalogue,
                                 std::vector<std::wstring>& names, const wchar_t* what) {
        do {
            const std::size_t end = std::min(line_.find_first_of(L"+ ", at_), line_.size());
            const std::wstring_view name = line_.substr(at_, end - at_);
            if (std::find(catalogue.begin(), catalogue.end(), name) == catalogue.end()) {
                return fail(what);
            }
            names.emplace_back(name);
            at_ = end;
        } while (skip(script_format::kEntrySeparator));
        return true;
    }
    [[nodiscard]] std::wstring_view rest() const { return line_.substr(at_); }
    [[nodiscard]] bool end() { return at_ == line_.size() || fail(L"the end of the line"); }

private:
    std::wstring_view line_;
    std::size_t at_ = 0;
    std::size_t number_;
    ScriptFormError& error_;
};

} // namespace corvane::script_lexer
