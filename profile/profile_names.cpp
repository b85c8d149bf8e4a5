// The names a profile gives: the order the dialog's sorted list would show them in, and the
// nearest known name for a message about an unknown one.
#include "profile/profile.h"

#include "settings/visible_text.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace corvane {
namespace {

wchar_t foldCase(wchar_t c) noexcept {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// What the word sort passes over, so that "co-op" stays beside "coop".
bool isPassedOver(wchar_t c) noexcept {
    return c == L'-' || c == L'\'';
}

// Symbols, then digits, then letters with case ignored, then everything beyond ASCII.
std::uint32_t sortWeight(wchar_t c) noexcept {
    const auto code = static_cast<std::uint32_t>(c);
    if (code >= 0x80) {
        return 0x200 + code;
    }
    const wchar_t folded = foldCase(c);
    if (folded >= L'a' && folded <= L'z') {
        return 0x100 + static_cast<std::uint32_t>(folded);
    }
    if (c >= L'0' && c <= L'9') {
        return 0x80 + code;
    }
    return code;
}

std::size_t editDistance(std::wstring_view left, std::wstring_view right) {
    std::vector<std::size_t> row(right.size() + 1);
    for (std::size_t j = 0; j < row.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= left.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= right.size(); ++j) {
            const std::size_t above = row[j];
            const std::size_t substitution =
                diagonal + (foldCase(left[i - 1]) == foldCase(right[j - 1]) ? 0U : 1U);
            row[j] = std::min({above + 1, row[j - 1] + 1, substitution});
            diagonal = above;
        }
    }
    return row.back();
}

} // namespace

bool equalsFolded(std::wstring_view left, std::wstring_view right) {
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(),
                      [](wchar_t a, wchar_t b) { return foldCase(a) == foldCase(b); });
}

std::wstring folded(std::wstring_view text) {
    std::wstring result(text);
    for (wchar_t& c : result) {
        c = foldCase(c);
    }
    return result;
}

std::wstring shortened(std::wstring_view text, std::size_t length) {
    if (text.size() <= length) {
        return visibleText(text);
    }
    return visibleText(text.substr(0, length)) + L"...";
}

std::wstring quoted(std::wstring_view text, std::size_t length) {
    return L"'" + shortened(text, length) + L"'";
}

bool wordSortLess(const std::wstring& left, const std::wstring& right) {
    std::size_t i = 0;
    std::size_t j = 0;
    std::size_t leftSkipped = 0;
    std::size_t rightSkipped = 0;
    for (;;) {
        while (i < left.size() && isPassedOver(left[i])) {
            ++i;
            ++leftSkipped;
        }
        while (j < right.size() && isPassedOver(right[j])) {
            ++j;
            ++rightSkipped;
        }
        if (i == left.size() || j == right.size()) {
            break;
        }
        const std::uint32_t a = sortWeight(left[i++]);
        const std::uint32_t b = sortWeight(right[j++]);
        if (a != b) {
            return a < b;
        }
    }
    const bool leftEnded = i == left.size();
    const bool rightEnded = j == right.size();
    if (leftEnded != rightEnded) {
        return leftEnded;
    }
    if (leftSkipped != rightSkipped) {
        return leftSkipped < rightSkipped;
    }
    return left < right;
}

std::wstring nearestName(std::wstring_view name, const std::vector<std::wstring_view>& candidates) {
    std::wstring_view best;
    std::size_t bestDistance = std::numeric_limits<std::size_t>::max();
    for (const std::wstring_view candidate : candidates) {
        const std::size_t distance = editDistance(name, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return std::wstring(best);
}

} // namespace corvane
