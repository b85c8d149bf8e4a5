// The Providers list of the main dialog, filled from the fixture Tdh.dll beside the test program
// when the dialog opens and on every Reset.
#include "tests/dialog/main_dialog_driver.h"

#include "res/resource.h"
#include "settings/catalogues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace corvane::testing {
namespace {

using Names = std::vector<std::wstring>;

using ProviderList = MainDialogFixture;
using ProvidersAfterOpening = MainDialogTest;

TEST_F(ProviderList, ShowsThousandsOfProvidersSortedIgnoringCase) {
    // Registered in a scrambled order, the prefix's case alternating: only a case-blind sort
    // puts them back in the order of their numbers.
    constexpr unsigned kCount = 5000;
    constexpr unsigned kStride = 7919; // prime to kCount, so every number comes exactly once
    std::string script;
    Names sorted(kCount);
    for (unsigned step = 0; step < kCount; ++step) {
        const unsigned number = step * kStride % kCount;
        char name[32];
        std::snprintf(name, sizeof name, "%s-%05u", number % 2 == 0 ? "PROVIDER" : "provider",
                      number);
        script += std::string("provider ") + name + "\n";
        sorted[number] = std::wstring(name, name + std::char_traits<char>::length(name));
    }

    ASSERT_TRUE(openWithProviders(script));

    EXPECT_EQ(session.entries(IDC_PROVIDERS), sorted);
    EXPECT_EQ(session.selectedCount(IDC_PROVIDERS), 0);
}

TEST_F(ProvidersAfterOpening, AppearOnlyAfterResetWhenRegisteredSinceAndLoseTheirSelection) {
    session.select(IDC_PROVIDERS, L"Microsoft-Windows-Win32k");
    ASSERT_TRUE(providers.write(std::string(kTwoProviders) +
                                "provider Microsoft-Windows-Kernel-Process\n"));

    session.click(IDOK); // nothing but Reset asks again
    EXPECT_EQ(session.entries(IDC_PROVIDERS),
              (Names{L"Microsoft-Windows-Shell-Core", L"Microsoft-Windows-Win32k"}));
    EXPECT_EQ(session.selectedCount(IDC_PROVIDERS), 1);

    session.click(IDC_RESET);

    EXPECT_EQ(session.entries(IDC_PROVIDERS),
              (Names{L"Microsoft-Windows-Kernel-Process", L"Microsoft-Windows-Shell-Core",
                     L"Microsoft-Windows-Win32k"}));
    EXPECT_EQ(session.selectedCount(IDC_PROVIDERS), 0);
}

TEST_F(ProviderList, WritesTheGuidOfANameThatXperfWouldSplitAndShowsTheName) {
    // The fixture gives element N the GUID whose every byte is A0 + N.
    const std::wstring capture = L"Microsoft-Windows-Win32k+Microsoft-Windows-NDIS-PacketCapture:5";
    ASSERT_TRUE(
        openWithProviders("provider Microsoft-Windows-Win32k\nprovider IIS: WWW Server\n"
                          "provider Microsoft-Windows-Shell-Core\nprovider "
                          "Microsoft-Windows-Win32k+Microsoft-Windows-NDIS-PacketCapture:5\n"));
    for (const std::wstring name :
         {L"IIS: WWW Server", L"Microsoft-Windows-Win32k", capture.c_str()}) {
        session.select(IDC_PROVIDERS, name);
    }
    const std::vector<std::string> lines = pressOkSavingAs(L"guids.cmd");
    ASSERT_EQ(lines.size(), 27u);
    EXPECT_NE(lines[14].find(R"( -on "{A1A1A1A1-A1A1-A1A1-A1A1-A1A1A1A1A1A1}"+"Microsoft-Windows-)"
                             R"(Win32k"+"{A3A3A3A3-A3A3-A3A3-A3A3-A3A3A3A3A3A3}" -f)"),
              std::string::npos)
        << lines[14];
    const Names shown = session.entries(IDC_PROVIDERS); // the name as enumerated, once
    EXPECT_EQ(std::count(shown.begin(), shown.end(), capture), 1);
}

TEST_F(ProviderList, StaysEmptyWhenTheEnumerationFailsWhileTheRestWorks) {
    // The size request succeeds, the call with the buffer fails.
    ASSERT_TRUE(openWithProviders(std::string(kTwoProviders) + "fail 5\n"));

    EXPECT_EQ(session.entries(IDC_PROVIDERS), Names{});
    EXPECT_TRUE(ui.messages.empty()) << "nothing is reported";
    EXPECT_EQ(session.entries(IDC_KERNEL_FLAGS).size(), KernelFlagCatalogue.size());
    EXPECT_EQ(session.text(IDC_MAX_FILE_SIZE), L"256");

    session.select(IDC_KERNEL_FLAGS, L"PROC_THREAD");
    session.click(IDC_HEAP);
    const std::vector<std::string> lines = pressOkSavingAs(L"without-providers.cmd");
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(lines.size(), 27u);
    EXPECT_EQ(lines[24], R"(xperf.exe -stop VellHeap -stop -d "D:\traces\20240105_093000.etl")");

    // The next Reset asks afresh.
    ASSERT_TRUE(providers.write(kTwoProviders));
    session.click(IDC_RESET);
    EXPECT_EQ(session.entries(IDC_PROVIDERS),
              (Names{L"Microsoft-Windows-Shell-Core", L"Microsoft-Windows-Win32k"}));
}

TEST_F(ProvidersAfterOpening, EmptiedByAResetWhoseEnumerationFails) {
    session.select(IDC_PROVIDERS, L"Microsoft-Windows-Shell-Core");
    ASSERT_TRUE(providers.write(std::string(kTwoProviders) + "fail 1168 1\n"));

    session.click(IDC_RESET);

    EXPECT_EQ(session.entries(IDC_PROVIDERS), Names{});
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(session.entries(IDC_STACKWALK).size(), StackwalkCatalogue.size());
    EXPECT_EQ(session.fileModeSelection(), 0);
}

} // namespace
} // namespace corvane::testing
