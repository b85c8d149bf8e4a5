// The conversion through iconv into a Windows code page.
#include "encoding/iconv_encoding_posix.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

TEST(CodePageConversion, ExactBytesOrARefusal) {
    struct Case {
        const char* utf8;
        unsigned codePage;
        const char* bytes;
    };
    const Case cases[] = {
        {"\xC3\xA9\xC3\xBC", 437, "\x82\x81"}, // e-acute, u-umlaut
        {"\xC3\xA9\xC3\xBC", 850, "\x82\x81"},
        {"\xD0\x96", 866, "\x86"},                             // Cyrillic capital Zhe
        {"\xE6\x97\xA5\xE6\x9C\xAC", 932, "\x93\xFA\x96\x7B"}, // "Japan", two double-byte chars
        {"\xE2\x82\xAC", 1252, "\x80"},                        // the euro sign
        {"\xF0\x9F\x98\x80", 65001, "\xF0\x9F\x98\x80"},       // UTF-8 is written as it is
        {"plain", 437, "plain"},
        // A letter and a combining mark stay two characters, as Windows reads them back.
        {"e\xCC\x83", 1258, "e\xDE"},           // e, combining tilde
        {"\xD7\xA9\xD7\x81", 1255, "\xF9\xD1"}, // shin, shin dot
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.codePage);
        std::string bytes;
        ASSERT_EQ(utf8ToCodePage(entry.utf8, entry.codePage, bytes), IconvConversion::Ok);
        EXPECT_EQ(bytes, entry.bytes);
    }
    std::string bytes = "left over";
    EXPECT_EQ(utf8ToCodePage("\xE2\x82\xAC", 437, bytes), IconvConversion::Unrepresentable);
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(utf8ToCodePage("a\xE6\x97\xA5", 1252, bytes), IconvConversion::Unrepresentable);
    EXPECT_EQ(utf8ToCodePage("a", 1, bytes), IconvConversion::UnknownCodePage);
    // iconv's 932 writes these as bytes that read back as other characters (U+00A5 as 0x5C, a
    // backslash); Windows refuses them.
    for (const char* changed : {"\xC2\xA2", "\xC2\xA3", "\xC2\xA5", "\xC2\xAC", "\xE2\x80\x94",
                                "\xE2\x80\x96", "\xE2\x80\xBE", "\xE2\x88\x92", "\xE3\x80\x9C"}) {
        EXPECT_EQ(utf8ToCodePage(changed, 932, bytes), IconvConversion::Unrepresentable) << changed;
    }
}

TEST(CodePageConversion, RefusesCodePagesThatChangeAsciiAndCharactersWindowsReadsOtherwise) {
    const struct {
        const char* utf8;
        unsigned codePage;
        IconvConversion outcome;
    } cases[] = {
        {"echo", 500, IconvConversion::AsciiChanged}, // EBCDIC
        {"echo", 1026, IconvConversion::AsciiChanged},
        {"echo", 1140, IconvConversion::AsciiChanged},
        // iconv writes a base letter and a combining mark, which Windows does not compose.
        {"Nguy\xE1\xBB\x85n", 1258, IconvConversion::Unrepresentable}, // e, circumflex, tilde
        {"\xC3\x83", 1258, IconvConversion::Unrepresentable},          // A with tilde
        {"\xCD\x80", 1258, IconvConversion::Unrepresentable},     // grave tone mark, read as grave
        {"\xEF\xAC\xAA", 1255, IconvConversion::Unrepresentable}, // shin with shin dot
        {"\xEF\x9A\xB1", 950, IconvConversion::Unrepresentable},  // U+F6B1, first of the range
        {"\xEF\xA1\x88", 950, IconvConversion::Unrepresentable},  // U+F848, its last
        {"\xE2\x82\xAC\xE4\xB8\x80", 950, IconvConversion::Ok},   // the euro sign, "one"
    };
    for (const auto& entry : cases) {
        std::string bytes;
        EXPECT_EQ(utf8ToCodePage(entry.utf8, entry.codePage, bytes), entry.outcome)
            << entry.codePage << " " << entry.utf8;
    }
}

} // namespace
} // namespace corvane
