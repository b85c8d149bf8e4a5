#include "app/app_module.h"
#include "app/message_loop.h"
#include "app/run_main_dialog.h"
#include "res/resource.h"
#include "tests/shell/shell_support.h"
#include "ui/centering.h"
#include "ui/main_dlg.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace corvane {
namespace {

using testing::ensureAppModule;
using testing::findThreadWindow;
using testing::ThreadTimerAction;

const wchar_t kMainCaption[] = L"Corvane - Trace Capture";
constexpr int kHeapFieldIds[] = {IDC_HEAP_PROCESS, IDC_HEAP_SESSION_NAME, IDC_HEAP_PATH};

// A main dialog with its own registered loop, as RunMainDialog sets it up, but driven here.
class MainDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ensureAppModule();
        ASSERT_TRUE(appModule.RegisterLoop(&loop));
        window = dialog.Create(nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (::IsWindow(window)) {
            ::DestroyWindow(window);
        }
        EXPECT_TRUE(appModule.UnregisterLoop());
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    [[nodiscard]] bool heapFieldsEnabled(bool expected) const {
        bool all = true;
        for (const int id : kHeapFieldIds) {
            all = all && (::IsWindowEnabled(::GetDlgItem(window, id)) != FALSE) == expected;
        }
        return all;
    }
    [[nodiscard]] LRESULT checkState(int id) const {
        return ::SendDlgItemMessageW(window, id, BM_GETCHECK, 0, 0);
    }

    CMessageLoop loop;
    CMainDlg dialog;
    HWND window = nullptr;
};

TEST_F(MainDialog, OpensHiddenCentredWithIconsAndJoinsTheLoop) {
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_EQ(testing::windowText(window), kMainCaption);
    EXPECT_EQ(loop.FilterCount(), 1u);
    EXPECT_EQ(loop.IdleHandlerCount(), 1u);
    EXPECT_NE(::SendMessageW(window, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(::SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0);

    RECT rect{};
    ::GetWindowRect(window, &rect);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info));
    const CenteringRect area{info.rcWork.left, info.rcWork.top, info.rcWork.right,
                             info.rcWork.bottom};
    const CenteringPoint expected =
        centeredPosition(rect.right - rect.left, rect.bottom - rect.top, area, area);
    EXPECT_EQ(rect.left, expected.x);
    EXPECT_EQ(rect.top, expected.y);

    EXPECT_EQ(dialog.Settings().heapEnabled, 0);
    EXPECT_TRUE(heapFieldsEnabled(false));
    EXPECT_EQ(checkState(IDC_HEAP), BST_UNCHECKED);
    EXPECT_EQ(checkState(IDC_LOG_STACK), BST_UNCHECKED);
    const DWORD style = static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE));
    EXPECT_NE(style & WS_MINIMIZEBOX, 0u);
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0u) << "no maximising or resizing";
}

TEST_F(MainDialog, FocusStartsOnOkOnceShown) {
    ::ShowWindow(window, SW_SHOWNORMAL);
    EXPECT_EQ(::GetFocus(), ::GetDlgItem(window, IDOK));
}

TEST_F(MainDialog, HeapBoxClicksToggleTheHeapFields) {
    const HWND heapBox = ::GetDlgItem(window, IDC_HEAP);
    ::SendMessageW(heapBox, BM_CLICK, 0, 0);
    EXPECT_EQ(checkState(IDC_HEAP), BST_CHECKED);
    EXPECT_EQ(dialog.Settings().heapEnabled, 1);
    EXPECT_TRUE(heapFieldsEnabled(true));

    ::SendMessageW(heapBox, BM_CLICK, 0, 0);
    EXPECT_EQ(checkState(IDC_HEAP), BST_UNCHECKED);
    EXPECT_EQ(dialog.Settings().heapEnabled, 0);
    EXPECT_TRUE(heapFieldsEnabled(false));
}

TEST_F(MainDialog, HeapAndResetReactToBnClickedOnly) {
    const WPARAM notClicked = MAKEWPARAM(IDC_HEAP, BN_DOUBLECLICKED);
    ::SendMessageW(window, WM_COMMAND, notClicked, 0);
    EXPECT_EQ(dialog.Settings().heapEnabled, 0);
    EXPECT_TRUE(heapFieldsEnabled(false));

    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_HEAP, BN_CLICKED), 0);
    EXPECT_EQ(dialog.Settings().heapEnabled, 1);
    EXPECT_TRUE(heapFieldsEnabled(true));

    // What the user typed survives Reset with another code and gives way to the default on a click.
    const HWND sessionName = ::GetDlgItem(window, IDC_SESSION_NAME);
    const std::wstring defaultName = testing::windowText(sessionName);
    const std::wstring typed = L"typed by the user";
    ASSERT_NE(defaultName, typed);
    ::SetWindowTextW(sessionName, typed.c_str());
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_RESET, BN_DOUBLECLICKED), 0);
    EXPECT_EQ(testing::windowText(sessionName), typed);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_RESET, BN_CLICKED), 0);
    EXPECT_EQ(testing::windowText(sessionName), defaultName);
}

TEST_F(MainDialog, CancelWithAnyCodeDestroysTheDialogAndQuitsWithTwo) {
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0x1234), 0);
    EXPECT_EQ(loop.Run(), 2);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(dialog.Handle(), nullptr);
    EXPECT_EQ(loop.FilterCount(), 0u) << "WM_DESTROY detaches the filter";
    EXPECT_EQ(loop.IdleHandlerCount(), 0u);
}

TEST_F(MainDialog, EscapeThroughTheLoopsFilterCloses) {
    ::ShowWindow(window, SW_SHOWNORMAL);
    const HWND focus = ::GetFocus();
    const HWND target =
        focus != nullptr && ::IsChild(window, focus) ? focus : ::GetDlgItem(window, IDOK);
    ::PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    EXPECT_EQ(loop.Run(), 2);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(loop.FilterCount(), 0u);
}

TEST_F(MainDialog, CancelButtonAndCloseBoxClose) {
    for (const bool useCloseBox : {false, true}) {
        if (!::IsWindow(window)) {
            window = dialog.Create(nullptr);
            ASSERT_NE(window, nullptr);
        }
        ::ShowWindow(window, SW_SHOWNORMAL);
        if (useCloseBox) {
            ::PostMessageW(window, WM_CLOSE, 0, 0);
        } else {
            ::PostMessageW(::GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
        }
        EXPECT_EQ(loop.Run(), 2) << "close box " << useCloseBox;
        EXPECT_FALSE(::IsWindow(window));
    }
}

TEST_F(MainDialog, AboutRunsModallyOwnedByTheActiveWindowAndTheDialogCarriesOn) {
    ::ShowWindow(window, SW_SHOWNORMAL);
    HWND aboutOwner = nullptr;
    bool mainDisabledMeanwhile = false;
    ThreadTimerAction closer(30, [&] {
        const HWND about = findThreadWindow(::GetCurrentThreadId(), L"About");
        if (about == nullptr || !::IsWindowVisible(about)) {
            return false;
        }
        aboutOwner = ::GetWindow(about, GW_OWNER);
        mainDisabledMeanwhile = !::IsWindowEnabled(window);
        ::SendMessageW(::GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
        return true;
    });
    // Alt+A would do the same through IsDialogMessageW; the command itself is what matters here.
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_APP_ABOUT, BN_CLICKED), 0);
    EXPECT_TRUE(closer.finished());
    EXPECT_EQ(aboutOwner, window);
    EXPECT_TRUE(mainDisabledMeanwhile);
    EXPECT_TRUE(::IsWindowEnabled(window));
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_EQ(loop.FilterCount(), 1u);
}

TEST(RunMainDialog, ReturnsTwoAfterCancelAndLeavesNoLoopRegistered) {
    ensureAppModule();
    const DWORD thread = ::GetCurrentThreadId();
    bool wasVisible = false;
    ThreadTimerAction closer(30, [&] {
        const HWND main = findThreadWindow(thread, kMainCaption);
        if (main == nullptr) {
            return false;
        }
        wasVisible = ::IsWindowVisible(main) != FALSE;
        ::PostMessageW(main, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    EXPECT_EQ(RunMainDialog(L"ignored arguments", SW_SHOWNORMAL), 2);
    EXPECT_TRUE(closer.finished());
    EXPECT_TRUE(wasVisible);
    EXPECT_EQ(findThreadWindow(thread, kMainCaption), nullptr);
    EXPECT_EQ(appModule.FindLoop(thread), nullptr);
}

} // namespace
} // namespace corvane
