#include "settings/catalogues.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>

namespace corvane {
namespace {

wchar_t asciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
}

std::wstring asciiLower(std::wstring text) {
    for (wchar_t& c : text) {
        c = asciiLower(c);
    }
    return text;
}

bool isAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

template <std::size_t N>
std::size_t indexOf(const std::array<const wchar_t*, N>& catalogue, std::wstring_view name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (catalogue[i] != nullptr && name == catalogue[i]) {
            return i;
        }
    }
    return N;
}

template <std::size_t N>
void expectNonEmptyAndUnique(const std::array<const wchar_t*, N>& catalogue) {
    std::set<std::wstring> seen;
    for (const wchar_t* name : catalogue) {
        ASSERT_NE(name, nullptr);
        EXPECT_FALSE(std::wstring(name).empty());
        EXPECT_TRUE(seen.insert(name).second) << "duplicate: " << name;
    }
    EXPECT_EQ(seen.size(), N);
}

TEST(KernelFlagCatalogue, HoldsFiftyFlagsThenElevenGroupsInListOrder) {
    expectNonEmptyAndUnique(KernelFlagCatalogue);
    EXPECT_STREQ(KernelFlagCatalogue[0], L"PROC_THREAD");
    EXPECT_STREQ(KernelFlagCatalogue[1], L"LOADER");
    EXPECT_STREQ(KernelFlagCatalogue[26], L"NETWORKTRACE");
    EXPECT_STREQ(KernelFlagCatalogue[49], L"HAL_CLOCK");
    EXPECT_STREQ(KernelFlagCatalogue[50], L"Base");
    EXPECT_STREQ(KernelFlagCatalogue[52], L"DiagEasy");
    EXPECT_STREQ(KernelFlagCatalogue[60], L"Network");
}

TEST(KernelFlagCatalogue, FlagsAreUpperCaseWordsAndGroupsAreMixedCaseLetters) {
    for (std::size_t i = 0; i < KernelFlagCatalogue.size(); ++i) {
        const std::wstring name = KernelFlagCatalogue[i];
        for (wchar_t c : name) {
            if (i < 50) {
                EXPECT_TRUE((c >= L'A' && c <= L'Z') || c == L'_') << name;
            } else {
                EXPECT_TRUE(isAsciiLetter(c)) << name;
            }
        }
        if (i >= 50) {
            EXPECT_NE(name, asciiLower(name)) << "a group keeps its capitals: " << name;
        }
    }
}

TEST(StackwalkCatalogue, IsInDisplayOrderFromAlpcClosePortToVirtualFree) {
    expectNonEmptyAndUnique(StackwalkCatalogue);
    EXPECT_STREQ(StackwalkCatalogue[0], L"AlpcClosePort");
    EXPECT_STREQ(StackwalkCatalogue[126], L"VirtualFree");
    EXPECT_EQ(indexOf(StackwalkCatalogue, L"CSwitch"), 19U);
    EXPECT_EQ(indexOf(StackwalkCatalogue, L"ProcessCreate"), 81U);
    EXPECT_EQ(indexOf(StackwalkCatalogue, L"PageAccess"), 51U);
    EXPECT_EQ(indexOf(StackwalkCatalogue, L"PagefaultAV"), 52U);
    // Ignoring case puts these before "CSwitch", unlike a plain code-unit order.
    EXPECT_LT(indexOf(StackwalkCatalogue, L"CcWriteBehind"),
              indexOf(StackwalkCatalogue, L"CSwitch"));
    EXPECT_LT(indexOf(StackwalkCatalogue, L"ContiguousMemoryGeneration"),
              indexOf(StackwalkCatalogue, L"CSwitch"));
    EXPECT_LT(indexOf(StackwalkCatalogue, L"CSwitch"),
              indexOf(StackwalkCatalogue, L"VirtualAlloc"));
}

TEST(StackwalkCatalogue, IsSortedIgnoringCaseAndMadeOfAsciiLettersOnly) {
    std::set<std::wstring> folded;
    for (std::size_t i = 0; i < StackwalkCatalogue.size(); ++i) {
        const std::wstring name = StackwalkCatalogue[i];
        for (wchar_t c : name) {
            EXPECT_TRUE(isAsciiLetter(c)) << name;
        }
        EXPECT_TRUE(folded.insert(asciiLower(name)).second) << "differs only in case: " << name;
        if (i > 0) {
            EXPECT_LT(asciiLower(StackwalkCatalogue[i - 1]), asciiLower(name))
                << StackwalkCatalogue[i - 1] << L" before " << name;
        }
    }
}

TEST(FileModeCatalogue, OffersSequentialFirstThenCircularAppendNewFile) {
    expectNonEmptyAndUnique(FileModeCatalogue);
    EXPECT_STREQ(FileModeCatalogue[0], L"Sequential");
    EXPECT_STREQ(FileModeCatalogue[1], L"Circular");
    EXPECT_STREQ(FileModeCatalogue[2], L"Append");
    EXPECT_STREQ(FileModeCatalogue[3], L"NewFile");
}

} // namespace
} // namespace corvane
