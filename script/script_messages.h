// What the programs that write capture scripts tell the user when a script cannot be written as
// it is: the dialog in a message box, corvane-script on standard error.
#pragma once

namespace corvane {

inline constexpr wchar_t kUnrepresentableScriptMessage[] =
    L"The script contains characters that the command prompt's code page cannot represent.";

// Why corvane-script will not write at the chosen name, the same on every system.
inline constexpr wchar_t kReadOnlyReason[] = L"the file is read-only";
inline constexpr wchar_t kFolderReason[] = L"it is a folder";
inline constexpr wchar_t kDeviceReason[] = L"it is a device, not a file";
inline constexpr wchar_t kDanglingLinkReason[] =
    L"it is a symbolic link to a file that does not exist";

} // namespace corvane
