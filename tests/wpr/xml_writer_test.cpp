// What XML 1.0 cannot carry, found before a value reaches the profile: the profile's tests build
// it from names that are all writable, so the refusals rest on this search alone.
#include "wpr/xml_writer.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane {
namespace {

constexpr std::size_t kNone = std::wstring_view::npos;

TEST(XmlWriter, FindsTheFirstCharacterXmlCannotCarry) {
    // Surrogates are spelled as code units, so the test means the same with a 16-bit wchar_t.
    const std::wstring pair = {L'a', wchar_t(0xD83D), wchar_t(0xDE00), L'b'}; // U+1F600
    const std::wstring loneHigh = {L'a', wchar_t(0xD83D), L'b'};
    const std::wstring highAtEnd = {L'a', wchar_t(0xD83D)};
    const std::wstring loneLow = {L'a', wchar_t(0xDE00), wchar_t(0xD83D)};
    const std::wstring reversed = {wchar_t(0xDE00), wchar_t(0xD83D)};
    const std::wstring nonCharacter = {L'a', L'b', wchar_t(0xFFFE)};
    const std::wstring control = {L'a', L'\t', L'\r', L'\n', wchar_t(0x1F)};
    const std::wstring nul(3, L'\0');

    EXPECT_EQ(findXmlUnwritable(L""), kNone);
    EXPECT_EQ(findXmlUnwritable(L"plain & <marked> 'text'\t\r\n"), kNone);
    EXPECT_EQ(findXmlUnwritable(pair), kNone);
    EXPECT_EQ(findXmlUnwritable(loneHigh), 1U);
    EXPECT_EQ(findXmlUnwritable(highAtEnd), 1U);
    EXPECT_EQ(findXmlUnwritable(loneLow), 1U);
    EXPECT_EQ(findXmlUnwritable(reversed), 0U);
    EXPECT_EQ(findXmlUnwritable(nonCharacter), 2U);
    EXPECT_EQ(findXmlUnwritable(control), 4U);
    EXPECT_EQ(findXmlUnwritable(nul), 0U);
}

} // namespace
} // namespace corvane
