// The script text becomes bytes of the command prompt's code page exactly or not at all.
#include "encoding/script_encoding_win.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

using test_files::kEnglishUnitedStates;
using test_files::kJapanese;
using test_files::ScopedThreadLocale;

constexpr unsigned kUnitedStates = 437;
constexpr unsigned kWesternEurope = 850;
constexpr unsigned kShiftJis = 932;
constexpr unsigned kUtf8 = 65001;

const std::string kRefused = "<unrepresentable>";

// The bytes on success, kRefused otherwise.
std::string converted(const std::wstring& text, unsigned codePage) {
    std::string bytes;
    return toCodePage(text, codePage, bytes) == CodePageConversion::Ok ? bytes : kRefused;
}

std::wstring backFromCodePage(const std::string& bytes, unsigned codePage) {
    const int length = static_cast<int>(bytes.size());
    const int size =
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, text.data(), size);
    return text;
}

TEST(ScriptCodePage, IsTheConsoleDefaultWhateverTheThreadLocale) {
    // A thread locale changes CP_THREAD_ACP (932 for Japanese) but not what cmd.exe reads with.
    for (const LCID locale : {kEnglishUnitedStates, kJapanese}) {
        ScopedThreadLocale threadLocale(locale);
        ASSERT_TRUE(threadLocale.applied()) << "locale " << locale;
        EXPECT_EQ(scriptCodePage(), GetOEMCP()) << "locale " << locale;
    }
}

TEST(ScriptEncoding, WritesWesternLettersAsTheConsoleCodePagesHoldThem) {
    for (const unsigned codePage : {kUnitedStates, kWesternEurope}) {
        // U+00E9 e acute is 82 and U+00FC u diaeresis is 81 in both; 1252 would give E9 and FC.
        EXPECT_EQ(converted(L"Caf\u00E9 M\u00FCller", codePage), "Caf\x82 M\x81ller") << codePage;
        // CR LF line ends stay; no byte-order mark in front, no NUL behind.
        EXPECT_EQ(converted(L"@echo off\r\npause\r\n", codePage), "@echo off\r\npause\r\n");
        // A question mark of the text itself is not a replacement.
        EXPECT_EQ(converted(L"pause?", codePage), "pause?");
        EXPECT_EQ(converted(L"", codePage), "");
    }
    // The two differ above 0x9A: U+00A2 cent sign is 9B in 437 and BD in 850, U+00F8 o stroke
    // is 9B in 850 and absent from 437.
    EXPECT_EQ(converted(L"\u00A2", kUnitedStates), "\x9B");
    EXPECT_EQ(converted(L"\u00A2", kWesternEurope), "\xBD");
    EXPECT_EQ(converted(L"\u00F8", kWesternEurope), "\x9B");
    EXPECT_EQ(converted(L"\u00F8", kUnitedStates), kRefused);
}

TEST(ScriptEncoding, RefusesWhatTheCodePageLacksInsteadOfABestFit) {
    // U+20AC euro sign: 80 in 1252, nothing in 437 or 850.
    EXPECT_EQ(converted(L"\u20AC", kUnitedStates), kRefused);
    EXPECT_EQ(converted(L"\u20AC", kWesternEurope), kRefused);
    // U+FF02 FULLWIDTH QUOTATION MARK: best fit would make it a real quote, which changes what
    // the command line means.
    EXPECT_EQ(converted(L"xperf -f \uFF02C:\\a b\uFF02", kUnitedStates), kRefused);
    // U+0141 L with stroke: best fit would write a plain L.
    EXPECT_EQ(converted(L"\u0141\u00F3d\u017A", kUnitedStates), kRefused);
    // U+1F600 as the surrogate pair D83D DE00.
    EXPECT_EQ(converted(L"\xD83D\xDE00", kWesternEurope), kRefused);
}

TEST(ScriptEncoding, DoubleByteCodePageRoundTrips) {
    // In 932: U+3042 hiragana a is 82 A0, U+30BD katakana so is 83 5C (a trail byte that looks
    // like a backslash), U+6F22 is 8A BF, U+FF71 half-width katakana a is the single byte B1.
    const std::wstring text = L"C:\\\u3042\u30BD\\\u6F22\uFF71.etl";
    const std::string bytes = converted(text, kShiftJis);
    EXPECT_EQ(bytes, "C:\\\x82\xA0\x83\x5C\\\x8A\xBF\xB1.etl");
    EXPECT_EQ(backFromCodePage(bytes, kShiftJis), text);
    // U+00E9 has no 932 byte.
    EXPECT_EQ(converted(L"\u00E9", kShiftJis), kRefused);
}

TEST(ScriptEncoding, Utf8HoldsEveryCharacterButNoBrokenSurrogate) {
    // U+1F600 from the pair D83D DE00 is F0 9F 98 80; U+00E9 is C3 A9; U+20AC is E2 82 AC.
    EXPECT_EQ(converted(L"\xD83D\xDE00", kUtf8), "\xF0\x9F\x98\x80");
    EXPECT_EQ(converted(L"\u00E9\u20AC\r\n", kUtf8), "\xC3\xA9\xE2\x82\xAC\r\n");
    // A high surrogate D83D at the end, a low surrogate DE00 alone in the middle.
    for (const unsigned codePage : {kUtf8, kUnitedStates}) {
        EXPECT_EQ(converted(L"abc\xD83D", codePage), kRefused) << codePage;
        EXPECT_EQ(converted(L"a\xDE00z", codePage), kRefused) << codePage;
    }
}

TEST(ScriptCodePage, OnlyThoseThatWriteAsciiAsAsciiCarryAScript) {
    // EBCDIC writes "echo" as 85 83 88 96; UTF-7 writes '+' as "+-", which cmd.exe reads as is.
    // Wine converts to no EBCDIC code page from 1140 on.
    for (const unsigned codePage : {37u, 500u, 875u, 1026u, 65000u}) {
        std::string bytes = "stale";
        EXPECT_EQ(toCodePage(L"echo a+b\r\n", codePage, bytes), CodePageConversion::ChangesAscii)
            << codePage;
        EXPECT_TRUE(bytes.empty()) << codePage;
    }
    // A code page that the platform cannot convert to is not the text's fault.
    std::string bytes;
    EXPECT_EQ(toCodePage(L"echo", 12345, bytes), CodePageConversion::Unsupported);
}

TEST(ScriptEncoding, RefusalLeavesNoBytesBehind) {
    std::string bytes = "stale";
    EXPECT_EQ(toCodePage(L"\u20AC", kUnitedStates, bytes), CodePageConversion::Unrepresentable);
    EXPECT_TRUE(bytes.empty());
}

} // namespace
} // namespace corvane
