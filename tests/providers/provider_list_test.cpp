// Filling a sorting list box, like the main dialog's Providers list, from enumerations of the
// test Tdh.dll. Needs a screen (under Wine, an X display).
#include "providers/provider_enumeration.h"
#include "tests/providers/tdh_fixture_control.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace corvane {
namespace {

using Names = std::vector<std::wstring>;

class ListBoxWindow {
public:
    ListBoxWindow()
        : window_(CreateWindowExW(0, L"LISTBOX", L"",
                                  WS_POPUP | LBS_SORT | LBS_MULTIPLESEL | LBS_HASSTRINGS, 0, 0, 300,
                                  200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)) {}
    ~ListBoxWindow() {
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
    }
    ListBoxWindow(const ListBoxWindow&) = delete;
    ListBoxWindow& operator=(const ListBoxWindow&) = delete;

    [[nodiscard]] HWND handle() const { return window_; }

    [[nodiscard]] Names items() const {
        Names items;
        const auto count = SendMessageW(window_, LB_GETCOUNT, 0, 0);
        for (LRESULT index = 0; index < count; ++index) {
            const auto length = SendMessageW(window_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
            std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
            SendMessageW(window_, LB_GETTEXT, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(text.data()));
            text.resize(static_cast<std::size_t>(length));
            items.push_back(std::move(text));
        }
        return items;
    }

private:
    HWND window_;
};

class ProviderList : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(list_.handle(), nullptr) << "no list box: is there a display?";
    }

    void fillFromScript(std::string_view utf8Text) {
        ASSERT_TRUE(script_.write(utf8Text));
        ProviderBuffer buffer;
        ASSERT_EQ(enumerateProviders(buffer), 0u);
        ProviderGuids guids;
        fillProviderList(list_.handle(), std::move(buffer), guids);
        EXPECT_TRUE(buffer.empty()); // NOLINT(bugprone-use-after-move): the list released it
    }

    ListBoxWindow list_;

private:
    tdh_fixture::ScriptFile script_;
};

TEST_F(ProviderList, ListsEveryNameSortedIgnoringCaseWithDuplicates) {
    fillFromScript("provider Microsoft-Windows-Kernel-Process\n"
                   "provider ACPI Driver Trace Provider\n"
                   "zero-offset\n"
                   "provider microsoft-windows-dns-client\n"
                   "provider Zeta Provider\n"
                   "provider ACPI Driver Trace Provider\n");
    EXPECT_EQ(list_.items(), (Names{L"ACPI Driver Trace Provider", L"ACPI Driver Trace Provider",
                                    L"microsoft-windows-dns-client",
                                    L"Microsoft-Windows-Kernel-Process", L"Zeta Provider"}));
}

TEST_F(ProviderList, KeepsNamesOutsideAsciiIntact) {
    fillFromScript("provider Fournisseur-\xC3\xA9v\xC3\xA9nements\n" // U+00E9 twice
                   "provider Provider-\xF0\x9F\x98\x80\n");          // U+1F600: D83D DE00
    EXPECT_EQ(list_.items(),
              (Names{L"Fournisseur-\u00e9v\u00e9nements", L"Provider-\xD83D\xDE00"}));
}

TEST_F(ProviderList, HoldsThousandsOfProviders) {
    fillFromScript("providers 3000 Microsoft-Windows-Test-\n");
    const Names items = list_.items();
    ASSERT_EQ(items.size(), 3000u);
    EXPECT_EQ(items.front(), L"Microsoft-Windows-Test-00000");
    EXPECT_EQ(items.back(), L"Microsoft-Windows-Test-02999");
}

TEST_F(ProviderList, AddsNothingForAnEmptyEnumeration) {
    fillFromScript("succeed-without-buffer\nprovider Alpha\n");
    EXPECT_TRUE(list_.items().empty());
    fillFromScript("");
    EXPECT_TRUE(list_.items().empty());
}

TEST_F(ProviderList, AProviderRegisteredLaterAppearsAfterTheListIsFilledAgain) {
    fillFromScript("provider Beta\n");
    EXPECT_EQ(list_.items(), (Names{L"Beta"}));

    // The caller empties the list before filling it again, as Reset does.
    SendMessageW(list_.handle(), LB_RESETCONTENT, 0, 0);
    fillFromScript("provider Beta\nprovider Alpha\n");
    EXPECT_EQ(list_.items(), (Names{L"Alpha", L"Beta"}));
}

} // namespace
} // namespace corvane
