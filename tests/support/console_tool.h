// Owners shared by the small console programs of the tests and benchmarks: kernel handles and the
// argument vector of the command line.
#pragma once

#include <windows.h>
#include <shellapi.h>

namespace corvane::testing {

// Owns a kernel handle. Both null and INVALID_HANDLE_VALUE mean none, so one owner serves the
// file calls and the others alike.
class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle = nullptr) noexcept : handle_(handle) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() {
        if (isOpen()) {
            CloseHandle(handle_);
        }
    }

    [[nodiscard]] bool isOpen() const noexcept {
        return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
    }
    [[nodiscard]] HANDLE get() const noexcept { return handle_; }

private:
    HANDLE handle_;
};

// The program's arguments as CommandLineToArgvW splits them, the program's own name first.
class CommandLineArguments {
public:
    CommandLineArguments() noexcept : vector_(CommandLineToArgvW(GetCommandLineW(), &count_)) {}
    CommandLineArguments(const CommandLineArguments&) = delete;
    CommandLineArguments& operator=(const CommandLineArguments&) = delete;
    ~CommandLineArguments() {
        if (vector_ != nullptr) {
            LocalFree(vector_);
        }
    }

    // Zero when the command line could not be split.
    [[nodiscard]] int count() const noexcept { return vector_ == nullptr ? 0 : count_; }
    [[nodiscard]] const wchar_t* operator[](int index) const noexcept { return vector_[index]; }

private:
    int count_ = 0;
    wchar_t** vector_;
};

} // namespace corvane::testing
