#include "settings/platform_environment_win.h"

#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <string>

namespace corvane {
namespace {

std::optional<std::wstring> desktopFolder() {
    wchar_t folder[MAX_PATH] = {};
    const HRESULT result = SHGetFolderPathW(nullptr, CSIDL_DESKTOP | CSIDL_FLAG_CREATE, nullptr,
                                            SHGFP_TYPE_CURRENT, folder);
    if (FAILED(result)) {
        return std::nullopt;
    }
    return std::wstring(folder);
}

LocalTime localTimeNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

} // namespace

DefaultsEnvironment platformDefaultsEnvironment() {
    return DefaultsEnvironment{desktopFolder, localTimeNow};
}

} // namespace corvane
