#include "script/script_encoding_win.h"

#include <windows.h>

#include <climits>
#include <cstddef>
#include <utility>

namespace corvane {

unsigned scriptCodePage() noexcept {
    return GetOEMCP();
}

CodePageConversion toCodePage(const std::wstring& text, unsigned codePage,
                              std::string& bytes) noexcept {
    bytes.clear();
    if (text.empty()) {
        return CodePageConversion::Ok;
    }
    if (text.size() > static_cast<std::size_t>(INT_MAX)) {
        return CodePageConversion::Unrepresentable;
    }
    const int length = static_cast<int>(text.size());

    // UTF-8 holds every character, so only a broken surrogate can fail; the platform refuses the
    // best-fit flag and the used-default report for it.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* const usedDefaultReport = utf8 ? nullptr : &usedDefault;

    const int size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr,
                                         usedDefaultReport);
    if (size <= 0 || usedDefault) {
        return CodePageConversion::Unrepresentable;
    }
    std::string converted(static_cast<std::size_t>(size), '\0');
    const int written = WideCharToMultiByte(codePage, flags, text.data(), length, converted.data(),
                                            size, nullptr, usedDefaultReport);
    if (written != size || usedDefault) {
        return CodePageConversion::Unrepresentable;
    }
    bytes = std::move(converted);
    return CodePageConversion::Ok;
}

} // namespace corvane
