#include "files/read_file_win.h"

#include "files/long_path_win.h"
#include "files/unique_file_win.h"

#include <windows.h>

#include <iterator>

namespace corvane {

std::wstring systemReason(unsigned long error) {
    wchar_t text[512] = {};
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       0, text, static_cast<DWORD>(std::size(text)), nullptr);
    std::wstring reason(text, length);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' ||
                               reason.back() == L' ' || reason.back() == L'.')) {
        reason.pop_back();
    }
    return reason.empty() ? L"error " + std::to_wstring(error) : reason;
}

bool readWholeFile(const std::wstring& path, std::size_t limit, std::string& bytes,
                   std::wstring& why) {
    bytes.clear();
    const std::wstring longPath = withLongPathPrefix(path);
    const UniqueFile file(CreateFileW(longPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen()) {
        const DWORD error = failedCallError();
        // A folder cannot be opened this way, and the system calls that "Access is denied".
        const DWORD attributes = GetFileAttributesW(longPath.c_str());
        why = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                  ? L"it is a folder"
                  : systemReason(error);
        return false;
    }
    char block[65536];
    while (bytes.size() <= limit) {
        DWORD count = 0;
        if (!ReadFile(file.get(), block, sizeof block, &count, nullptr)) {
            why = systemReason(failedCallError());
            return false;
        }
        if (count == 0) {
            break;
        }
        bytes.append(block, count);
    }
    return true;
}

} // namespace corvane
