#include "files/in_place_win.h"

#include "files/unique_file_win.h"

#include <algorithm>
#include <cstdint>

namespace corvane {
namespace {

[[nodiscard]] bool seek(HANDLE file, std::uint64_t offset) noexcept {
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) != FALSE;
}

[[nodiscard]] DWORD writeAt(HANDLE file, std::uint64_t offset, const char* data,
                            std::size_t size) noexcept {
    return seek(file, offset) ? writeAll(file, data, size) : failedCallError();
}

} // namespace

DWORD writeAll(HANDLE file, const char* data, std::size_t size) noexcept {
    constexpr std::size_t kLargestWrite = 1u << 30;
    std::size_t written = 0;
    while (written < size) {
        const auto chunk = static_cast<DWORD>(std::min(size - written, kLargestWrite));
        DWORD done = 0;
        if (!WriteFile(file, data + written, chunk, &done, nullptr)) {
            return failedCallError();
        }
        // A full disk can take part of a write and report success; the next call then fails.
        if (done == 0) {
            return ERROR_DISK_FULL;
        }
        written += done;
    }
    return ERROR_SUCCESS;
}

DWORD writeInPlace(const std::wstring& path, const std::string& bytes,
                   FilePlacement& placement) noexcept {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.isOpen() || !GetFileSizeEx(file.get(), &size)) {
        return failedCallError();
    }
    const auto earlierSize = static_cast<std::uint64_t>(size.QuadPart);
    const std::size_t overlap =
        static_cast<std::size_t>(std::min<std::uint64_t>(earlierSize, bytes.size()));
    if (overlap < bytes.size()) {
        const DWORD error =
            writeAt(file.get(), overlap, bytes.data() + overlap, bytes.size() - overlap);
        if (error != ERROR_SUCCESS) {
            static_cast<void>(seek(file.get(), earlierSize) && SetEndOfFile(file.get()));
            return error;
        }
    }
    if (const DWORD error = writeAt(file.get(), 0, bytes.data(), overlap); error != ERROR_SUCCESS) {
        return error;
    }
    if (!seek(file.get(), bytes.size()) || !SetEndOfFile(file.get())) {
        return failedCallError();
    }
    if (const DWORD error = placement.flush(file.get()); error != ERROR_SUCCESS) {
        return error;
    }
    return file.close() ? ERROR_SUCCESS : failedCallError();
}

} // namespace corvane
