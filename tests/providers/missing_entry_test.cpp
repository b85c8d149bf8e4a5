// Run beside a Tdh.dll that has no TdhEnumerateProviders.
#include "providers/provider_enumeration.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

std::wstring directoryOf(HMODULE module) {
    wchar_t path[MAX_PATH];
    const std::wstring file(path, GetModuleFileNameW(module, path, MAX_PATH));
    return file.substr(0, file.find_last_of(L'\\') + 1);
}

TEST(EnumerationWithoutTheEntryPoint, ReportsNoLibraryEveryTime) {
    ProviderBuffer buffer;
    EXPECT_EQ(enumerateProviders(buffer), static_cast<std::uint32_t>(ERROR_FUNCTION_FAILED));
    EXPECT_TRUE(buffer.empty());

    const HMODULE library = GetModuleHandleW(L"Tdh.dll");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(directoryOf(library), directoryOf(nullptr)); // the one beside this program
    EXPECT_NE(GetProcAddress(library, "TdhFixtureWithoutEnumeration"), nullptr);

    EXPECT_EQ(enumerateProviders(buffer), static_cast<std::uint32_t>(ERROR_FUNCTION_FAILED));
    EXPECT_TRUE(buffer.empty());
}

} // namespace
} // namespace corvane
