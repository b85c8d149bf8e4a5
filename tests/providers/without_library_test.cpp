// Run from a directory without a Tdh.dll of its own. Under Wine the search then finds Wine's
// builtin tdh.dll, whose TdhEnumerateProviders is a stub that ends the process when called:
// reaching the expectations after an enumeration shows it was not called.
#include "providers/provider_enumeration.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

bool runningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST(EnumerationWithoutALibrary, WineBuiltinTdhCountsAsNoLibrary) {
    if (!runningUnderWine()) {
        GTEST_SKIP() << "the builtin tdh.dll exists only under Wine";
    }
    ProviderBuffer buffer;
    EXPECT_EQ(enumerateProviders(buffer), static_cast<std::uint32_t>(ERROR_FUNCTION_FAILED));
    EXPECT_TRUE(buffer.empty());

    const HMODULE library = GetModuleHandleW(L"Tdh.dll");
    // Asked of Windows rather than through getenv, which MSVC flags as unsafe (C4996).
    if (GetEnvironmentVariableW(L"CORVANE_EXPECT_NO_TDH", nullptr, 0) != 0) {
        // Wine's tdh.dll disabled (WINEDLLOVERRIDES=tdh=d): no library at all, the same answer.
        EXPECT_EQ(library, nullptr);
    } else {
        ASSERT_NE(library, nullptr);
        EXPECT_TRUE(isWineBuiltinModule(library));
    }

    // Again, now through the module that is already loaded.
    EXPECT_EQ(enumerateProviders(buffer), static_cast<std::uint32_t>(ERROR_FUNCTION_FAILED));
    EXPECT_TRUE(buffer.empty());
}

TEST(EnumerationWithoutALibrary, TellsBuiltinModulesFromOthers) {
    EXPECT_FALSE(isWineBuiltinModule(GetModuleHandleW(nullptr))); // this program
    EXPECT_FALSE(isWineBuiltinModule(nullptr));
    if (runningUnderWine()) {
        EXPECT_TRUE(isWineBuiltinModule(GetModuleHandleW(L"kernel32.dll")));
    }
}

} // namespace
} // namespace corvane
