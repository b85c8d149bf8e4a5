// The form of a path that the plain file calls accept, even past MAX_PATH, and the way back.
#pragma once

#include <string>

namespace corvane {

// `path` made full (relative names and "." and ".." resolved), in the \\?\ form when it is too
// long for the plain file calls.
[[nodiscard]] std::wstring withLongPathPrefix(const std::wstring& path);
// A path as the user would write it, without the \\?\ form that the file calls were given.
[[nodiscard]] std::wstring withoutLongPathPrefix(const std::wstring& path);

} // namespace corvane
