#include "settings/visible_text.h"

#include <cstdint>

namespace corvane {

bool isHiddenCharacter(wchar_t c) noexcept {
    const auto value = static_cast<std::uint32_t>(c);
    return value < 0x20U || (value >= 0x7FU && value <= 0x9FU) || value == 0x061CU ||
           value == 0x200EU || value == 0x200FU || (value >= 0x202AU && value <= 0x202EU) ||
           (value >= 0x2066U && value <= 0x2069U);
}

std::wstring visibleText(std::wstring_view text) {
    // "\x1b" as a shell or a C string writes it; "U+009B" as Unicode does.
    constexpr wchar_t kLowerDigits[] = L"0123456789abcdef";
    constexpr wchar_t kUpperDigits[] = L"0123456789ABCDEF";
    std::wstring shown;
    shown.reserve(text.size());
    for (const wchar_t c : text) {
        const auto value = static_cast<std::uint32_t>(c);
        if (!isHiddenCharacter(c)) {
            shown.push_back(c);
        } else if (c == L'\t') {
            shown += L"\\t";
        } else if (value <= 0x7FU) {
            shown += L"\\x";
            shown.push_back(kLowerDigits[value >> 4]);
            shown.push_back(kLowerDigits[value & 0xFU]);
        } else {
            shown += L"U+";
            for (int shift = 12; shift >= 0; shift -= 4) {
                shown.push_back(kUpperDigits[(value >> shift) & 0xFU]);
            }
        }
    }
    return shown;
}

} // namespace corvane
