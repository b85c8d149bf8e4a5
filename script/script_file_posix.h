// The POSIX counterparts of the script file's encoding and its replacing write, for making
// scripts on a build machine: the conversion goes through the C library's iconv.
#pragma once

#include <string>

namespace corvane {

enum class IconvConversion { Ok, Unrepresentable, UnknownCodePage };

// The iconv name of a Windows code page: "UTF-8" for 65001, otherwise "CP" and the number.
[[nodiscard]] std::string iconvNameOfCodePage(unsigned codePage);

// UTF-8 text into the code page, exactly or not at all: no transliteration, no replacement
// characters; `bytes` is empty unless the result is Ok.
[[nodiscard]] IconvConversion utf8ToCodePage(const std::string& utf8, unsigned codePage,
                                             std::string& bytes);

// Writes a new file in the destination's folder, syncs it to disk and only then renames it over
// `path`. A file that is replaced keeps its permissions; a symbolic link at `path` stays, and the
// file it names is replaced. On failure the temporary file is gone, whatever was at `path` is
// untouched and `error` holds the errno of the step that failed.
[[nodiscard]] bool writeFileReplacing(const std::string& path, const std::string& bytes,
                                      int& error) noexcept;

} // namespace corvane
