// Ownership of a file handle, and the error of a call that failed, for the file writers.
#pragma once

#include <windows.h>

#include <utility>

namespace corvane {

// Owns a file handle; INVALID_HANDLE_VALUE means none.
class UniqueFile {
public:
    UniqueFile() = default;
    explicit UniqueFile(HANDLE handle) : handle_(handle) {}
    UniqueFile(UniqueFile&& other) noexcept
        : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    UniqueFile& operator=(UniqueFile&& other) noexcept {
        if (this != &other) {
            static_cast<void>(close());
            handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;
    ~UniqueFile() { static_cast<void>(close()); }

    [[nodiscard]] bool isOpen() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
    [[nodiscard]] HANDLE get() const noexcept { return handle_; }

    // A close can still report a write that the system had deferred.
    [[nodiscard]] bool close() noexcept {
        if (!isOpen()) {
            return true;
        }
        return CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != FALSE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The last error of a call that reported failure; never 0, so that it cannot read as success.
[[nodiscard]] inline DWORD failedCallError() noexcept {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

} // namespace corvane
