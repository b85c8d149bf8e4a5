// The script text becomes bytes of the thread's ANSI code page exactly or not at all.
#include "script/script_file_win.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

using test_files::kEnglishUnitedStates;
using test_files::kJapanese;
using test_files::ScopedThreadLocale;

constexpr unsigned kWesternEuropean = 1252;
constexpr unsigned kUtf8 = 65001;

// Converts and expects success; the bytes on success, a marker otherwise.
std::string convertedOrMarker(const std::wstring& text, unsigned codePage) {
    std::string bytes;
    return toCodePage(text, codePage, bytes) == AnsiConversion::Ok ? bytes : "<unrepresentable>";
}

TEST(ThreadAnsiCodePage, IsTheCodePageThatCpThreadAcpStandsFor) {
    for (const LCID locale : {kEnglishUnitedStates, kJapanese}) {
        ScopedThreadLocale threadLocale(locale);
        ASSERT_TRUE(threadLocale.applied()) << "locale " << locale;
        CPINFOEXW resolved{};
        ASSERT_TRUE(GetCPInfoExW(CP_THREAD_ACP, 0, &resolved));
        EXPECT_EQ(threadAnsiCodePage(), resolved.CodePage) << "locale " << locale;
    }
    ScopedThreadLocale english(kEnglishUnitedStates);
    EXPECT_EQ(threadAnsiCodePage(), 1252u);
    ScopedThreadLocale japanese(kJapanese);
    EXPECT_EQ(threadAnsiCodePage(), 932u);
}

TEST(AnsiConversion, KeepsEveryCharacterThatTheCodePageHolds) {
    // "caf" U+00E9: the e acute is 0xE9 in 1252.
    EXPECT_EQ(convertedOrMarker(L"caf\u00E9", kWesternEuropean), "caf\xE9");
    // CR LF line ends stay as they are; no byte-order mark in front, no NUL behind.
    EXPECT_EQ(convertedOrMarker(L"@echo off\r\nxperf -stop\r\n", kWesternEuropean),
              "@echo off\r\nxperf -stop\r\n");
    // A question mark of the text itself is not a replacement.
    EXPECT_EQ(convertedOrMarker(L"pause?", kWesternEuropean), "pause?");
    // U+20AC EURO SIGN is 0x80 in 1252.
    EXPECT_EQ(convertedOrMarker(L"\u20AC", kWesternEuropean), "\x80");
    EXPECT_EQ(convertedOrMarker(L"", kWesternEuropean), "");
}

TEST(AnsiConversion, RefusesCharactersThatWouldOnlyHaveABestFit) {
    // U+FF02 FULLWIDTH QUOTATION MARK: best fit would turn it into a real quote, which changes
    // what the command line means.
    EXPECT_EQ(convertedOrMarker(L"xperf -f \uFF02C:\\a b\uFF02", kWesternEuropean),
              "<unrepresentable>");
    // U+0141 LATIN CAPITAL LETTER L WITH STROKE: best fit would write a plain L.
    EXPECT_EQ(convertedOrMarker(L"\u0141\u00F3d\u017A", kWesternEuropean), "<unrepresentable>");
    // U+1F600 as the surrogate pair D83D DE00: nothing in 1252.
    EXPECT_EQ(convertedOrMarker(L"\xD83D\xDE00", kWesternEuropean), "<unrepresentable>");
}

TEST(AnsiConversion, RefusesUnpairedSurrogates) {
    // A high surrogate D83D at the end, a low surrogate DE00 alone in the middle.
    for (const unsigned codePage : {kWesternEuropean, kUtf8}) {
        EXPECT_EQ(convertedOrMarker(L"abc\xD83D", codePage), "<unrepresentable>") << codePage;
        EXPECT_EQ(convertedOrMarker(L"a\xDE00z", codePage), "<unrepresentable>") << codePage;
    }
}

TEST(AnsiConversion, Utf8CodePageHoldsEveryCharacter) {
    // U+1F600 from the pair D83D DE00 is the four bytes F0 9F 98 80.
    EXPECT_EQ(convertedOrMarker(L"\xD83D\xDE00", kUtf8), "\xF0\x9F\x98\x80");
    // U+00E9 is C3 A9; U+FF02 is EF BC 82.
    EXPECT_EQ(convertedOrMarker(L"\u00E9\uFF02", kUtf8), "\xC3\xA9\xEF\xBC\x82");
    EXPECT_EQ(convertedOrMarker(L"a\r\n", kUtf8), "a\r\n");
}

TEST(AnsiConversion, RefusalLeavesNoBytesBehind) {
    std::string bytes = "stale";
    EXPECT_EQ(toCodePage(L"\uFF02", kWesternEuropean, bytes), AnsiConversion::Unrepresentable);
    EXPECT_TRUE(bytes.empty());
}

TEST(ThreadAnsiConversion, FollowsTheThreadLocale) {
    std::string bytes;
    {
        ScopedThreadLocale english(kEnglishUnitedStates);
        ASSERT_TRUE(english.applied());
        // U+FF02 has no 1252 byte; U+00E9 is 0xE9.
        EXPECT_EQ(toThreadAnsi(L"\uFF02", bytes), AnsiConversion::Unrepresentable);
        ASSERT_EQ(toThreadAnsi(L"\u00E9", bytes), AnsiConversion::Ok);
        EXPECT_EQ(bytes, "\xE9");
    }
    {
        ScopedThreadLocale japanese(kJapanese);
        ASSERT_TRUE(japanese.applied());
        // Code page 932 holds U+3042 HIRAGANA LETTER A as 82 A0 but has no e acute.
        ASSERT_EQ(toThreadAnsi(L"\u3042", bytes), AnsiConversion::Ok);
        EXPECT_EQ(bytes, "\x82\xA0");
        EXPECT_EQ(toThreadAnsi(L"\u00E9", bytes), AnsiConversion::Unrepresentable);
    }
}

} // namespace
} // namespace corvane
