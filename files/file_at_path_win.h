// What is at the path a script is to be written to, as the file calls see it.
#pragma once

#include "files/write_outcome_win.h"

#include <windows.h>

#include <string>

namespace corvane {

// What is at the chosen path: the file that is really written there and its attributes.
struct Destination {
    std::wstring path; // full and prefixed; the file that a symbolic link there leads to
    bool exists = false;
    DWORD attributes = 0;
    WriteRefusal refusal = WriteRefusal::None;
};

// The chosen path made full, the file a symbolic link there leads to, and why it may not be
// written when it may not: a volume, a device, a folder, a read-only file or a dangling link.
[[nodiscard]] Destination examineDestination(const std::wstring& chosen);

// Whether anything has the name `path`.
[[nodiscard]] bool pathExists(const std::wstring& path) noexcept;

} // namespace corvane
