#include "encoding/script_encoding_win.h"

#include "encoding/ascii_kept.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <iterator>
#include <utility>

namespace corvane {
namespace {

// How a conversion shows that a character had no exact counterpart.
enum class ExactnessCheck {
    UsedDefault,  // WC_NO_BEST_FIT_CHARS and the used-default report
    InvalidChars, // every character fits; WC_ERR_INVALID_CHARS refuses a broken surrogate
    RoundTrip,    // the platform takes no flags here: convert back and compare
};

struct CodePageRange {
    unsigned first;
    unsigned last;
    ExactnessCheck check;
};

// The code pages for which WideCharToMultiByte refuses WC_NO_BEST_FIT_CHARS and a used-default
// report (ERROR_INVALID_FLAGS, ERROR_INVALID_PARAMETER); every other one takes both.
constexpr CodePageRange kRestrictedCodePages[] = {
    {42, 42, ExactnessCheck::RoundTrip},          // Symbol
    {50220, 50229, ExactnessCheck::RoundTrip},    // ISO-2022 Japanese, Korean and Chinese
    {54936, 54936, ExactnessCheck::InvalidChars}, // GB18030
    {57002, 57011, ExactnessCheck::RoundTrip},    // ISCII
    {65000, 65000, ExactnessCheck::RoundTrip},    // UTF-7
    {CP_UTF8, CP_UTF8, ExactnessCheck::InvalidChars},
};

ExactnessCheck exactnessCheck(unsigned codePage) noexcept {
    const auto* const found =
        std::find_if(std::begin(kRestrictedCodePages), std::end(kRestrictedCodePages),
                     [codePage](const CodePageRange& range) {
                         return codePage >= range.first && codePage <= range.last;
                     });
    return found != std::end(kRestrictedCodePages) ? found->check : ExactnessCheck::UsedDefault;
}

// A failed call: the characters, or a code page that the platform does not convert to.
CodePageConversion failedConversion() noexcept {
    return GetLastError() == ERROR_NO_UNICODE_TRANSLATION ? CodePageConversion::Unrepresentable
                                                          : CodePageConversion::Unsupported;
}

bool convertsBackTo(const std::wstring& text, unsigned codePage,
                    const std::string& bytes) noexcept {
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (length <= 0 || static_cast<std::size_t>(length) != text.size()) {
        return false;
    }
    std::wstring back(text.size(), L'\0');
    return MultiByteToWideChar(codePage, 0, bytes.data(), size, back.data(), length) == length &&
           back == text;
}

// Ok when `codePage` writes every ASCII character as that byte.
CodePageConversion asciiCheck(unsigned codePage) noexcept {
    const std::wstring ascii = asciiCharacters();
    const int length = static_cast<int>(ascii.size());
    char bytes[2 * kAsciiCount] = {};
    const int size = WideCharToMultiByte(codePage, 0, ascii.data(), length, bytes,
                                         static_cast<int>(sizeof bytes), nullptr, nullptr);
    if (size <= 0 && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return CodePageConversion::Unsupported;
    }
    return size > 0 && keepsAscii(std::string(bytes, static_cast<std::size_t>(size)))
               ? CodePageConversion::Ok
               : CodePageConversion::ChangesAscii;
}

} // namespace

unsigned scriptCodePage() noexcept {
    return GetOEMCP();
}

CodePageConversion toCodePage(const std::wstring& text, unsigned codePage,
                              std::string& bytes) noexcept {
    bytes.clear();
    if (const CodePageConversion ascii = asciiCheck(codePage); ascii != CodePageConversion::Ok) {
        return ascii;
    }
    if (text.empty()) {
        return CodePageConversion::Ok;
    }
    if (text.size() > static_cast<std::size_t>(INT_MAX)) {
        return CodePageConversion::Unrepresentable;
    }
    const int length = static_cast<int>(text.size());

    const ExactnessCheck check = exactnessCheck(codePage);
    const DWORD flags = check == ExactnessCheck::UsedDefault    ? WC_NO_BEST_FIT_CHARS
                        : check == ExactnessCheck::InvalidChars ? WC_ERR_INVALID_CHARS
                                                                : 0;
    BOOL usedDefault = FALSE;
    BOOL* const usedDefaultReport = check == ExactnessCheck::UsedDefault ? &usedDefault : nullptr;

    const int size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr,
                                         usedDefaultReport);
    if (size <= 0) {
        return failedConversion();
    }
    std::string converted(static_cast<std::size_t>(size), '\0');
    const int written = WideCharToMultiByte(codePage, flags, text.data(), length, converted.data(),
                                            size, nullptr, usedDefaultReport);
    if (written != size) {
        return failedConversion();
    }
    if (usedDefault ||
        (check == ExactnessCheck::RoundTrip && !convertsBackTo(text, codePage, converted))) {
        return CodePageConversion::Unrepresentable;
    }
    bytes = std::move(converted);
    return CodePageConversion::Ok;
}

CodePageConversion fromCodePage(const std::string& bytes, unsigned codePage,
                                std::wstring& text) noexcept {
    text.clear();
    if (bytes.size() > static_cast<std::size_t>(INT_MAX)) {
        return CodePageConversion::Unrepresentable;
    }
    if (bytes.empty()) {
        return CodePageConversion::Ok;
    }
    const int size = static_cast<int>(bytes.size());
    // The code pages that refuse it (UTF-7, ISO-2022 and others) are held to the way there by the
    // caller, which writes the text again and compares.
    DWORD flags = MB_ERR_INVALID_CHARS;
    int length = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
    if (length <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        length = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
    }
    if (length <= 0) {
        return failedConversion();
    }
    std::wstring converted(static_cast<std::size_t>(length), L'\0');
    if (MultiByteToWideChar(codePage, flags, bytes.data(), size, converted.data(), length) !=
        length) {
        return failedConversion();
    }
    text = std::move(converted);
    return CodePageConversion::Ok;
}

} // namespace corvane
