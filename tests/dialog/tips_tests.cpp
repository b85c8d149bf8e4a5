// The help under the pointer, read in the process as the tooltip hands it out: TTM_GETTEXTW asks
// the dialog for the text just as showing the tip does.
#include "tests/dialog/main_dialog_driver.h"

#include "res/resource.h"
#include "settings/descriptions.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace corvane::testing {
namespace {

class TipsTest : public MainDialogTest {
protected:
    void SetUp() override {
        MainDialogTest::SetUp();
        // The tips are made when the pointer first comes over the dialog.
        const HWND dialog = session.window();
        SendMessageW(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(dialog),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EnumThreadWindows(GetCurrentThreadId(), &TipsTest::takeTooltip,
                          reinterpret_cast<LPARAM>(this));
        ASSERT_NE(tooltip_, nullptr);
    }

    [[nodiscard]] std::wstring tipOf(HWND window, UINT_PTR id) const {
        wchar_t text[1024] = {}; // the tooltip's own limit for a callback's text
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = window;
        tool.uId = id;
        tool.lpszText = text;
        SendMessageW(tooltip_, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
        return text;
    }

    // The tip of a list where the pointer rests at `point`, in the list's client coordinates.
    [[nodiscard]] std::wstring listTipAt(int listId, POINT point) const {
        const HWND list = session.control(listId);
        SendMessageW(list, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
        return tipOf(list, 1);
    }

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

    [[nodiscard]] std::wstring entryTip(int listId, const wchar_t* entry) const {
        const RECT rect = entryRect(listId, entry);
        return listTipAt(listId, {rect.left + 2, (rect.top + rect.bottom) / 2});
    }

private:
    static BOOL CALLBACK takeTooltip(HWND window, LPARAM self) {
        wchar_t className[64] = {};
        GetClassNameW(window, className, static_cast<int>(std::size(className)));
        auto& test = *reinterpret_cast<TipsTest*>(self);
        if (std::wstring(className) == TOOLTIPS_CLASSW &&
            GetWindow(window, GW_OWNER) == test.session.window()) {
            test.tooltip_ = window;
        }
        return TRUE;
    }

    HWND tooltip_ = nullptr;
};

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
    EXPECT_GE(shownBy.size(), 19U);
}

TEST_F(TipsTest, AGroupEntryListsItsMembersAndTheBandBelowTheLastEntryShowsTheListsHelp) {
    const HWND list = session.control(IDC_KERNEL_FLAGS);
    // A height that leaves half an entry below the last one once the list is scrolled to its end.
    RECT window{};
    RECT client{};
    GetWindowRect(list, &window);
    GetClientRect(list, &client);
    const auto entryHeight = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    SetWindowPos(list, nullptr, 0, 0, window.right - window.left,
                 (window.bottom - window.top - client.bottom) + 10 * entryHeight + entryHeight / 2,
                 SWP_NOMOVE | SWP_NOZORDER);

    const std::wstring network = entryTip(IDC_KERNEL_FLAGS, L"Network");
    EXPECT_EQ(network.substr(network.find(L'\n') + 1),
              L"Members: PROC_THREAD, LOADER, NETWORKTRACE");
    const RECT last = entryRect(IDC_KERNEL_FLAGS, L"Network");
    GetClientRect(list, &client);
    ASSERT_GT(client.bottom, last.bottom + 2) << "no band below the last entry";
    EXPECT_EQ(listTipAt(IDC_KERNEL_FLAGS, {last.left + 2, last.bottom + 2}),
              fieldHelp(L"kernel-flag")->text);
}

TEST_F(TipsTest, AStackWalkEntrySaysWhetherItsFlagIsSelectedNow) {
    const struct {
        const wchar_t* event;
        const wchar_t* selected; // a kernel flag or group, or nullptr
        const wchar_t* flagLine;
    } cases[] = {
        {L"ReadyThread", nullptr, L"Recorded only with DISPATCHER, which is not selected."},
        {L"ReadyThread", L"DISPATCHER", L"Recorded only with DISPATCHER."},
        {L"CSwitch", L"Diag", L"Recorded only with CSWITCH."},
        {L"CSwitch", L"Base", L"Recorded only with CSWITCH, which is not selected."},
        {L"Mark", nullptr, L"Which kernel flag records it is not documented."},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.flagLine);
        if (entry.selected != nullptr) {
            session.select(IDC_KERNEL_FLAGS, entry.selected);
        }
        const std::wstring tip = entryTip(IDC_STACKWALK, entry.event);
        EXPECT_EQ(tip.substr(tip.find(L'\n') + 1), entry.flagLine);
        if (entry.selected != nullptr) {
            session.select(IDC_KERNEL_FLAGS, entry.selected, false);
        }
    }
}

} // namespace
} // namespace corvane::testing
