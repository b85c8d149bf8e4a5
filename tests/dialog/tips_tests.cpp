// The help under the pointer, read in the process as the tooltip hands it out: TTM_GETTEXTW asks
// the dialog for the text just as showing the tip does.
#include "tests/dialog/main_dialog_driver.h"

#include "res/resource.h"
#include "settings/descriptions.h"
#include "tests/support/test_files.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <string>

namespace corvane::testing {
namespace {

LRESULT CALLBACK passOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                        DWORD_PTR) {
    return DefSubclassProc(window, message, wParam, lParam);
}

class TipsTest : public MainDialogTest {
protected:
    void SetUp() override {
        MainDialogTest::SetUp();
        // The tips are made when the pointer first comes over the dialog.
        const HWND dialog = session.window();
        SendMessageW(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(dialog),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        do {
            tooltip_ = FindWindowExW(nullptr, tooltip_, TOOLTIPS_CLASSW, nullptr);
        } while (tooltip_ != nullptr && GetWindow(tooltip_, GW_OWNER) != dialog);
        ASSERT_NE(tooltip_, nullptr);
    }

    [[nodiscard]] std::wstring tipOf(HWND window, UINT_PTR id) const {
        wchar_t text[1024] = {}; // the tooltip's own limit for a callback's text
        TTTOOLINFOW tool{sizeof(TTTOOLINFOW), 0, window, id, {}, nullptr, text, 0, nullptr};
        SendMessageW(tooltip_, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
        return text;
    }

    // The tip of a list where the pointer rests at `point`, in the list's client coordinates.
    [[nodiscard]] std::wstring listTipAt(int listId, POINT point) const {
        const HWND list = session.control(listId);
        SendMessageW(list, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
        return tipOf(list, 1);
    }

    // The entry scrolled to the top, or as near as the list goes.
    [[nodiscard]] RECT entryRect(int listId, const wchar_t* entry) const {
        const HWND list = session.control(listId);
        const LRESULT index = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(entry));
        SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
        RECT rect{};
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&rect));
        return rect;
    }

    [[nodiscard]] std::wstring entryTipEnd(int listId, const wchar_t* entry) const {
        const RECT rect = entryRect(listId, entry);
        const std::wstring tip = listTipAt(listId, {rect.left + 2, (rect.top + rect.bottom) / 2});
        return tip.substr(tip.find(L'\n') + 1);
    }

    HWND tooltip_ = nullptr;
};

// Through comctl32's subclass chain each message of a window costs a call into the server under
// Wine, and Reset's refill of the shown lists took eight times as long.
TEST_F(TipsTest, WatchEveryWindowWithoutComctlSubclassing) {
    // comctl32 puts one and the same procedure in front of every window it subclasses.
    const HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                       nullptr, nullptr);
    ASSERT_TRUE(SetWindowSubclass(other, passOn, 1, 0));
    const LONG_PTR chain = GetWindowLongPtrW(other, GWLP_WNDPROC);
    DestroyWindow(other);
    const HWND dialog = session.window();
    EXPECT_NE(GetWindowLongPtrW(dialog, GWLP_WNDPROC), chain);
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        EXPECT_NE(GetWindowLongPtrW(child, GWLP_WNDPROC), chain)
            << "control " << GetDlgCtrlID(child);
    }
}

TEST_F(TipsTest, NoTwoControlsShowTheSameHelp) {
    std::map<std::wstring, int> shownBy;
    for (HWND child = GetWindow(session.window(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring tip = tipOf(session.window(), reinterpret_cast<UINT_PTR>(child));
        if (tip.empty()) {
            continue; // a label, or a list whose entries have tips of their own
        }
        const auto [first, added] = shownBy.emplace(tip, GetDlgCtrlID(child));
        EXPECT_TRUE(added) << "controls " << first->second << " and " << GetDlgCtrlID(child)
                           << " show the same help";
    }
    EXPECT_GE(shownBy.size(), 18U);
}

TEST_F(TipsTest, AGroupEntryListsItsMembersAndTheBandBelowTheLastEntryShowsTheListsHelp) {
    const HWND list = session.control(IDC_KERNEL_FLAGS);
    // A height that leaves half an entry below the last one once the list is scrolled to its end.
    RECT window{}, client{};
    GetWindowRect(list, &window);
    GetClientRect(list, &client);
    const auto entryHeight = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    SetWindowPos(list, nullptr, 0, 0, window.right - window.left,
                 (window.bottom - window.top - client.bottom) + 10 * entryHeight + entryHeight / 2,
                 SWP_NOMOVE | SWP_NOZORDER);

    EXPECT_EQ(entryTipEnd(IDC_KERNEL_FLAGS, L"Network"),
              L"Members: PROC_THREAD, LOADER, NETWORKTRACE");
    const RECT last = entryRect(IDC_KERNEL_FLAGS, L"Network");
    GetClientRect(list, &client);
    ASSERT_GT(client.bottom, last.bottom + 2) << "no band below the last entry";
    EXPECT_EQ(listTipAt(IDC_KERNEL_FLAGS, {last.left + 2, last.bottom + 2}),
              fieldHelp(L"kernel-flag")->text);
}

TEST_F(TipsTest, AProviderEntryShowsWhatTheOpenedProfileChoseAndWhetherItIsRegistered) {
    const std::wstring profile = scratch.file(L"options.profile");
    ASSERT_TRUE(test_files::writeFileBytes(
        profile, "provider = \"Microsoft-Windows-Win32k\" keywords=0x10 level=5 stack=on\n"
                 "provider = Acme-Not-Here\n"));
    session.dialog().OpenChoicesFile(profile);
    ASSERT_TRUE(ui.messages.empty()) << ui.messages[0].text;
    const auto tipOver = [this](const wchar_t* entry) {
        const RECT rect = entryRect(IDC_PROVIDERS, entry);
        return listTipAt(IDC_PROVIDERS, {rect.left + 2, (rect.top + rect.bottom) / 2});
    };
    EXPECT_EQ(tipOver(L"Microsoft-Windows-Win32k"), L"keywords=0x10 level=5 stack=yes");
    EXPECT_EQ(tipOver(L"Acme-Not-Here"), L"Not registered on this machine.");
    EXPECT_EQ(tipOver(L"Microsoft-Windows-Shell-Core"), fieldHelp(L"provider")->text);
}

TEST_F(TipsTest, AStackWalkEntrySaysWhetherItsFlagIsSelectedNow) {
    const struct {
        const wchar_t* selectedFirst; // one more kernel flag or group, or nullptr
        const wchar_t* event;
        const wchar_t* flagLine;
    } cases[] = {
        {nullptr, L"ReadyThread", L"Recorded only with DISPATCHER, which is not selected."},
        {L"DISPATCHER", L"ReadyThread", L"Recorded only with DISPATCHER."},
        {L"Base", L"CSwitch", L"Recorded only with CSWITCH, which is not selected."},
        {L"Diag", L"CSwitch", L"Recorded only with CSWITCH."},
        {nullptr, L"Mark", L"Which kernel flag records it is not documented."},
    };
    for (const auto& entry : cases) {
        if (entry.selectedFirst != nullptr) {
            session.select(IDC_KERNEL_FLAGS, entry.selectedFirst);
        }
        EXPECT_EQ(entryTipEnd(IDC_STACKWALK, entry.event), entry.flagLine);
    }
}

TEST_F(TipsTest, SetTheirWrapWidthAgainBeforeEachShow) {
    const LRESULT width = SendMessageW(tooltip_, TTM_GETMAXTIPWIDTH, 0, 0);
    ASSERT_GT(width, 0);
    // As if worked out for the font the dialog had on another screen.
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, width / 2);
    const HWND field = session.control(IDC_BUFFER_SIZE);
    EXPECT_FALSE(tipOf(session.window(), reinterpret_cast<UINT_PTR>(field)).empty());
    EXPECT_EQ(SendMessageW(tooltip_, TTM_GETMAXTIPWIDTH, 0, 0), width);
}

TEST_F(TipsTest, OverAListDescribeTheEntryThatScrolledUnderAStillPointer) {
    ShowWindow(session.window(), SW_SHOW);
    const HWND list = session.control(IDC_KERNEL_FLAGS);
    POINT onScreen{4, 4};
    ClientToScreen(list, &onScreen);
    ASSERT_TRUE(SetCursorPos(onScreen.x, onScreen.y));
    const auto describesTopEntry = [&](const std::wstring& tip) {
        const auto top = static_cast<std::size_t>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
        return tip.find(
                   describeKernelEntry(session.entries(IDC_KERNEL_FLAGS).at(top))->description) ==
               0;
    };
    EXPECT_TRUE(describesTopEntry(listTipAt(IDC_KERNEL_FLAGS, {4, 4})));

    // By the keyboard, then by the program, while the pointer stays on the top row.
    SendMessageW(list, WM_KEYDOWN, VK_END, 0);
    ASSERT_GT(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
    EXPECT_TRUE(describesTopEntry(tipOf(list, 1)));
    SendMessageW(list, LB_SETTOPINDEX, 0, 0);
    EXPECT_TRUE(describesTopEntry(tipOf(list, 1)));
}

// The tip looks the entry up again when it is asked for its text, so only the tool's rectangle
// shows whether a key that scrolls the list moved the tool under a pointer that stayed still.
TEST_F(TipsTest, OverAListAKeyboardScrollMovesTheToolAtOnce) {
    ShowWindow(session.window(), SW_SHOW);
    const HWND list = session.control(IDC_KERNEL_FLAGS);
    RECT window{}, client{};
    GetWindowRect(list, &window);
    GetClientRect(list, &client);
    const auto height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    SetWindowPos(list, nullptr, 0, 0, window.right - window.left,
                 (window.bottom - window.top - client.bottom) + 10 * height + height / 2,
                 SWP_NOMOVE | SWP_NOZORDER);
    // On the eleventh entry, half shown; once scrolled to the end, on the band below the last.
    POINT point{4, 10 * height + height / 4};
    SendMessageW(list, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
    ClientToScreen(list, &point);
    ASSERT_TRUE(SetCursorPos(point.x, point.y));
    const auto toolIsOn = [&](const RECT& area) {
        TTTOOLINFOW tool{sizeof(TTTOOLINFOW), 0, list, 1, {}, nullptr, nullptr, 0, nullptr};
        SendMessageW(tooltip_, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool));
        return EqualRect(&tool.rect, &area) != FALSE;
    };
    RECT entry{};
    SendMessageW(list, LB_GETITEMRECT, 10, reinterpret_cast<LPARAM>(&entry));
    EXPECT_TRUE(toolIsOn(entry));

    SendMessageW(list, WM_KEYDOWN, VK_END, 0);
    GetClientRect(list, &client);
    EXPECT_TRUE(toolIsOn(client));
}

// The warnings come from the controls as they are when the tip is asked for, read without a beep,
// a focus change or a change to the dialog's record.
TEST_F(TipsTest, OkWarnsOfAStackWalkWithoutItsFlagUntilTheFlagIsSelected) {
    const HWND ok = session.control(IDOK);
    const std::wstring ownHelp = tipOf(session.window(), reinterpret_cast<UINT_PTR>(ok));
    ASSERT_EQ(ownHelp.find(L"Warnings"), std::wstring::npos) << "nothing is selected yet";
    for (const wchar_t* flag : {L"PROC_THREAD", L"LOADER"}) {
        session.select(IDC_KERNEL_FLAGS, flag);
    }
    session.select(IDC_STACKWALK, L"CSwitch");
    session.type(IDC_BUFFER_SIZE, L"2"); // OK would refuse it
    SetFocus(session.control(IDC_SESSION_NAME));
    const TraceSettings recorded = session.settings();

    const std::wstring warned = tipOf(session.window(), reinterpret_cast<UINT_PTR>(ok));
    EXPECT_EQ(warned.rfind(ownHelp + L"\n\nWarnings:\nStackwalk CSwitch records no stacks: ", 0),
              0u)
        << std::string(warned.begin(), warned.end());
    EXPECT_EQ(session.focusedId(), IDC_SESSION_NAME);
    EXPECT_EQ(session.settings().bufferSizeKb, recorded.bufferSizeKb);
    EXPECT_EQ(session.settings().kernelFlags, recorded.kernelFlags);

    session.select(IDC_KERNEL_FLAGS, L"CSWITCH");
    EXPECT_EQ(tipOf(session.window(), reinterpret_cast<UINT_PTR>(ok)), ownHelp);
}

} // namespace
} // namespace corvane::testing
