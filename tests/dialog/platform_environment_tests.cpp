// The platform's desktop folder and clock, as the defaults receive them.
#include "settings/platform_environment_win.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdint>

namespace corvane::testing {
namespace {

std::uint64_t ticks(const SYSTEMTIME& time) {
    FILETIME file{};
    EXPECT_TRUE(SystemTimeToFileTime(&time, &file));
    return (std::uint64_t{file.dwHighDateTime} << 32) | file.dwLowDateTime;
}

SYSTEMTIME asSystemTime(const LocalTime& time) {
    SYSTEMTIME result{};
    result.wYear = static_cast<WORD>(time.year);
    result.wMonth = static_cast<WORD>(time.month);
    result.wDay = static_cast<WORD>(time.day);
    result.wHour = static_cast<WORD>(time.hour);
    result.wMinute = static_cast<WORD>(time.minute);
    result.wSecond = static_cast<WORD>(time.second);
    return result;
}

TEST(PlatformDefaultsEnvironment, FindsAnExistingDesktopFolder) {
    const DefaultsEnvironment environment = platformDefaultsEnvironment();

    const std::optional<std::wstring> folder = environment.desktopFolder();

    ASSERT_TRUE(folder.has_value());
    ASSERT_FALSE(folder->empty());
    const DWORD attributes = GetFileAttributesW(folder->c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NE(folder->back(), L'\\') << "the defaults add the separator themselves";

    // The desktop, as the newer known-folder call names it, and not some other shell folder.
    PWSTR desktop = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &desktop), S_OK);
    const std::wstring expected = desktop;
    CoTaskMemFree(desktop);
    EXPECT_EQ(CompareStringOrdinal(folder->c_str(), -1, expected.c_str(), -1, TRUE), CSTR_EQUAL)
        << "got " << ::testing::PrintToString(*folder) << ", desktop is "
        << ::testing::PrintToString(expected);
}

TEST(PlatformDefaultsEnvironment, ReadsTheLocalWallClock) {
    const DefaultsEnvironment environment = platformDefaultsEnvironment();
    SYSTEMTIME before{};
    GetLocalTime(&before);
    before.wMilliseconds = 0; // the environment reports whole seconds

    const LocalTime now = environment.localTime();

    SYSTEMTIME after{};
    GetLocalTime(&after);
    EXPECT_LE(ticks(before), ticks(asSystemTime(now)));
    EXPECT_LE(ticks(asSystemTime(now)), ticks(after));
}

} // namespace
} // namespace corvane::testing
