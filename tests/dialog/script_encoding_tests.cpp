// Non-ASCII names typed into the dialog or reported by the providers' library reach the script in
// the command prompt's code page, which is what cmd.exe hands on to xperf and reg.
#include "tests/dialog/main_dialog_driver.h"

#include "res/resource.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace corvane::testing {
namespace {

using test_files::inOemCodePage;

using OkCommandEncoding = MainDialogFixture;

// Spelled out for code pages 437 and 850 and for UTF-8: U+00E9 e acute is 82 or C3 A9, U+00FC
// u diaeresis is 81 or C3 BC.
struct Expected {
    std::optional<std::string> regAdd;
    std::optional<std::string> userLine;
    std::optional<std::string> stopLine;
    std::optional<std::string> viewerLine;
    std::optional<std::string> regDelete;
};

const std::string kImageOptions =
    R"(HKLM\Software\Microsoft\Windows NT\CurrentVersion\Image File Execution Options\)";
const std::string kSizes =
    " -BufferSize 64 -MinBuffers 64 -MaxBuffers 320 -MaxFile 256 -FileMode Sequential";

Expected expectedLines() {
    Expected lines;
    lines.regAdd = inOemCodePage(
        "reg add \"" + kImageOptions + "R\x82sum\x82.exe\" /v TracingFlags /t REG_DWORD /d 1 /f",
        "reg add \"" + kImageOptions +
            "R\xC3\xA9sum\xC3\xA9.exe\" /v TracingFlags /t REG_DWORD /d 1 /f");
    lines.userLine = inOemCodePage(R"(xperf.exe -start Vell -on "acme-Caf)"
                                   "\x82"
                                   R"(s":::'stack' -f "\user.etl")" +
                                       kSizes,
                                   R"(xperf.exe -start Vell -on "acme-Caf)"
                                   "\xC3\xA9"
                                   R"(s":::'stack' -f "\user.etl")" +
                                       kSizes);
    lines.stopLine = inOemCodePage(R"(xperf.exe -stop Vell -stop VellHeap -d "C:\Users\M)"
                                   "\x81"
                                   R"(ller\Desktop\trace.etl")",
                                   R"(xperf.exe -stop Vell -stop VellHeap -d "C:\Users\M)"
                                   "\xC3\xBC"
                                   R"(ller\Desktop\trace.etl")");
    lines.viewerLine = inOemCodePage(R"(xperf.exe "C:\Users\M)"
                                     "\x81"
                                     R"(ller\Desktop\trace.etl")",
                                     R"(xperf.exe "C:\Users\M)"
                                     "\xC3\xBC"
                                     R"(ller\Desktop\trace.etl")");
    lines.regDelete = inOemCodePage(
        "reg delete \"" + kImageOptions + "R\x82sum\x82.exe\" /v TracingFlags /f",
        "reg delete \"" + kImageOptions + "R\xC3\xA9sum\xC3\xA9.exe\" /v TracingFlags /f");
    return lines;
}

TEST_F(OkCommandEncoding, WritesNonAsciiProviderPathAndProcessInTheConsoleCodePage) {
    const Expected expected = expectedLines();
    if (!expected.userLine) {
        GTEST_SKIP() << "no spelled-out bytes for OEM code page " << GetOEMCP();
    }
    // The fixture reads its script as UTF-8: C3 A9 is U+00E9.
    ASSERT_TRUE(openWithProviders("provider acme-Caf\xC3\xA9s\n"
                                  "provider Microsoft-Windows-Win32k\n"));
    session.select(IDC_PROVIDERS, L"acme-Caf\u00E9s");
    session.click(IDC_LOG_STACK);
    session.type(IDC_ETL_OUT_PATH, L"C:\\Users\\M\u00FCller\\Desktop\\trace.etl");
    session.click(IDC_HEAP);
    session.type(IDC_HEAP_PROCESS, L"R\u00E9sum\u00E9");

    const std::vector<std::string> lines = pressOkSavingAs(L"encoded.cmd");

    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(lines.size(), 28u);
    EXPECT_EQ(lines[10], *expected.regAdd);
    EXPECT_EQ(lines[14], *expected.userLine);
    EXPECT_EQ(lines[24], *expected.stopLine);
    EXPECT_EQ(lines[26], *expected.viewerLine);
    EXPECT_EQ(lines[27], *expected.regDelete);
    // Every other line is plain ASCII.
    for (std::size_t index = 0; index < lines.size(); ++index) {
        if (index == 10 || index == 14 || index == 24 || index == 26 || index == 27) {
            continue;
        }
        for (const char byte : lines[index]) {
            EXPECT_LT(static_cast<unsigned char>(byte), 0x80u) << "line " << index + 1;
        }
    }
}

TEST_F(OkCommandEncoding, RefusesAProviderTheCodePageCannotHoldWithoutASaveDialog) {
    // E2 82 AC is U+20AC, the euro sign, which 437 and 850 lack; UTF-8 holds it.
    if (GetOEMCP() != 437 && GetOEMCP() != 850) {
        GTEST_SKIP() << "spelled out for OEM code pages 437 and 850 only, not " << GetOEMCP();
    }
    ASSERT_TRUE(openWithProviders("provider acme-\xE2\x82\xAC\n"));
    session.select(IDC_PROVIDERS, L"acme-\u20AC");

    EXPECT_TRUE(pressOkSavingAs(L"refused.cmd").empty());

    expectOnlyMessage(L"The script contains characters that the command prompt's code page cannot "
                      L"represent.");
}

} // namespace
} // namespace corvane::testing
