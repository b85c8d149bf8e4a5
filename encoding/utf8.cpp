#include "encoding/utf8.h"

#include <cstddef>
#include <cstdint>

namespace corvane {
namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;
constexpr char32_t kReplacement = 0xFFFD;

bool isSurrogate(char32_t c) noexcept {
    return c >= 0xD800 && c <= 0xDFFF;
}

void appendCodePoint(std::wstring& text, char32_t c) {
    if (kWideIsUtf16 && c > 0xFFFF) {
        c -= 0x10000;
        text.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
        text.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
    } else {
        text.push_back(static_cast<wchar_t>(c));
    }
}

void appendUtf8(std::string& bytes, char32_t c) {
    if (c < 0x80) {
        bytes.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        bytes.push_back(static_cast<char>(0xC0 | (c >> 6)));
        bytes.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        bytes.push_back(static_cast<char>(0xE0 | (c >> 12)));
        bytes.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        bytes.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        bytes.push_back(static_cast<char>(0xF0 | (c >> 18)));
        bytes.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        bytes.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        bytes.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace

bool fromUtf8(std::string_view bytes, std::wstring& text) {
    text.clear();
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<std::uint8_t>(bytes[i]);
        if (lead < 0x80) {
            text.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        std::size_t length = 0;
        char32_t c = 0;
        char32_t smallest = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            c = lead & 0x1FU;
            smallest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            c = lead & 0x0FU;
            smallest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            c = lead & 0x07U;
            smallest = 0x10000;
        } else {
            return false; // a continuation byte, an overlong two-byte lead or beyond U+10FFFF
        }
        if (bytes.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(bytes[i + k]);
            if ((next & 0xC0U) != 0x80U) {
                return false;
            }
            c = (c << 6) | (next & 0x3FU);
        }
        if (c < smallest || c > 0x10FFFF || isSurrogate(c)) {
            return false;
        }
        appendCodePoint(text, c);
        i += length;
    }
    return true;
}

std::string toUtf8(std::wstring_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<char32_t>(text[i]);
        if (kWideIsUtf16 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const auto low = static_cast<char32_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (isSurrogate(c) || c > 0x10FFFF) {
            c = kReplacement;
        }
        appendUtf8(bytes, c);
    }
    return bytes;
}

bool isAscii(std::wstring_view text) noexcept {
    for (const wchar_t c : text) {
        if (static_cast<std::uint32_t>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

} // namespace corvane
