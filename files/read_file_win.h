// Reading a whole file that the user chose, such as a profile or a saved script.
#pragma once

#include <cstddef>
#include <string>

namespace corvane {

// The file's bytes. Stops once the file has shown to be longer than `limit`, so that a huge file
// or an endless device costs no more than that: `bytes` then holds more than `limit`. false with
// the system's reason in words where it cannot be read.
[[nodiscard]] bool readWholeFile(const std::wstring& path, std::size_t limit, std::string& bytes,
                                 std::wstring& why);

// The system's words for an error code, without the closing full stop; "error N" without any.
[[nodiscard]] std::wstring systemReason(unsigned long error);

} // namespace corvane
