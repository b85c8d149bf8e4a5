// Writing a script's bytes into a file that is already there, for where no new file can take its
// place.
#pragma once

#include "files/file_placement_win.h"

#include <windows.h>

#include <cstddef>
#include <string>

namespace corvane {

// Every byte to `file`, or the error of the write that failed; a full disk that takes part of a
// write and reports success gives ERROR_DISK_FULL.
[[nodiscard]] DWORD writeAll(HANDLE file, const char* data, std::size_t size) noexcept;

// For a folder that lets its user change a file but not create one. Rewriting in place keeps the
// file's attributes, access rights and links, where CREATE_ALWAYS would refuse a hidden or system
// file. The part of the script beyond the earlier end goes first, so that a disk without room for
// it fails before a byte of the earlier text has changed; the earlier size is then given back.
[[nodiscard]] DWORD writeInPlace(const std::wstring& path, const std::string& bytes,
                                 FilePlacement& placement) noexcept;

} // namespace corvane
