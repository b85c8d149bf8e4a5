// Run with a system tdh.dll that has no TdhEnumerateProviders.
#include "providers/provider_enumeration.h"
#include "tests/providers/tdh_fixture_control.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(EnumerationWithoutTheEntryPoint, ReportsNoLibraryEveryTime) {
    ProviderBuffer buffer;
    EXPECT_EQ(enumerateProviders(buffer), static_cast<std::uint32_t>(ERROR_FUNCTION_FAILED));
    EXPECT_TRUE(buffer.empty());

    const HMODULE library = GetModuleHandleW(L"Tdh.dll");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(tdh_fixture::moduleDirectory(library), tdh_fixture::systemDirectory());
    EXPECT_NE(GetProcAddress(library, "TdhFixtureWithoutEnumeration"), nullptr);

    EXPECT_EQ(enumerateProviders(buffer), static_cast<std::uint32_t>(ERROR_FUNCTION_FAILED));
    EXPECT_TRUE(buffer.empty());
}

} // namespace
} // namespace corvane
