// What the programs that write capture scripts tell the user when a script cannot be written as
// it is: the dialog in a message box, corvane-script on standard error.
#pragma once

namespace corvane {

inline constexpr wchar_t kUnrepresentableScriptMessage[] =
    L"The script contains characters that the command prompt's code page cannot represent.";
inline constexpr wchar_t kAsciiChangedMessage[] =
    L"The command prompt's code page does not write ASCII characters as ASCII (an EBCDIC code "
    L"page does not), so cmd.exe could not read the script.";

// Why corvane-script will not write at the chosen name, the same on every system.
inline constexpr wchar_t kReadOnlyReason[] = L"the file is read-only";
inline constexpr wchar_t kFolderReason[] = L"it is a folder";
inline constexpr wchar_t kDeviceReason[] = L"it is a device, not a file";
inline constexpr wchar_t kDanglingLinkReason[] =
    L"it is a symbolic link to a file that does not exist";
inline constexpr wchar_t kVolumeReason[] = L"it names a whole volume, not a file";
inline constexpr wchar_t kTakenMeanwhileReason[] =
    L"something else took that name while the script was being written, and was left as it is";
inline constexpr wchar_t kLinkMeanwhileReason[] =
    L"a symbolic link took that name while the script was being written, and was left as it is";
inline constexpr wchar_t kNoFreeNameReason[] =
    L"every name tried beside it for the new or the earlier file is taken";

} // namespace corvane
