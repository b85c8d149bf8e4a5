// Run with a Tdh.dll beside this program, as one planted in a Downloads folder would be, and the
// fixture as the system's tdh.dll. The planted library creates a marker file when it is loaded.
#include "providers/provider_enumeration.h"
#include "tests/providers/tdh_fixture_control.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring newMarkerPath() {
    wchar_t directory[MAX_PATH];
    wchar_t path[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH || GetTempFileNameW(directory, L"pla", 0, path) == 0) {
        return {};
    }
    DeleteFileW(path); // only the name is wanted; the planted library creates the file
    return path;
}

TEST(PlantedLibrary, BesideTheProgramItIsNeverLoadedThoughItWouldRun) {
    const std::wstring planted = tdh_fixture::programDirectory() + L"Tdh.dll";
    ASSERT_TRUE(fileExists(planted));
    const std::wstring marker = newMarkerPath();
    ASSERT_FALSE(marker.empty());
    ASSERT_TRUE(SetEnvironmentVariableW(L"CORVANE_PLANTED_TDH_MARKER", marker.c_str()));
    tdh_fixture::ScriptFile script;
    ASSERT_TRUE(script.write("provider Alpha\n"));

    ProviderBuffer buffer;
    EXPECT_EQ(enumerateProviders(buffer), 0u); // the system's library answered
    EXPECT_FALSE(buffer.empty());
    EXPECT_FALSE(fileExists(marker));
    const HMODULE library = GetModuleHandleW(L"Tdh.dll");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(tdh_fixture::moduleDirectory(library), tdh_fixture::systemDirectory());
    EXPECT_EQ(GetProcAddress(library, "TdhPlantedLibrary"), nullptr);

    // Again, through the library already loaded.
    EXPECT_EQ(enumerateProviders(buffer), 0u);
    EXPECT_FALSE(fileExists(marker));

    // The marker is no empty promise: loaded on purpose, the planted library does run.
    const HMODULE loaded = LoadLibraryW(planted.c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_NE(loaded, library);
    EXPECT_NE(GetProcAddress(loaded, "TdhPlantedLibrary"), nullptr);
    EXPECT_TRUE(fileExists(marker));
    FreeLibrary(loaded);
    DeleteFileW(marker.c_str());
    SetEnvironmentVariableW(L"CORVANE_PLANTED_TDH_MARKER", nullptr);
}

} // namespace
} // namespace corvane
