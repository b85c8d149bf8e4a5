#include "app/dialog_impl.h"
#include "res/resource.h"
#include "tests/shell/shell_support.h"
#include "ui/about_dlg.h"
#include "ui/centering.h"
#include "ui/centering_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <vector>

namespace corvane {
namespace {

using testing::ensureAppModule;
using testing::findThreadWindow;
using testing::ThreadTimerAction;

constexpr UINT kStoreResult = WM_APP + 10;   // handled; result goes to DWLP_MSGRESULT
constexpr UINT kUnhandled = WM_APP + 11;     // not handled
constexpr UINT kDestroyInside = WM_APP + 12; // handler destroys its own window
constexpr LRESULT kStoredResult = 0x1234;
constexpr LRESULT kDirectResult = 0x5A5A;
constexpr LONG_PTR kUntouched = 0x77;

const UINT kDirectResultMessages[] = {WM_COMPAREITEM,  WM_VKEYTOITEM,        WM_CHARTOITEM,
                                      WM_INITDIALOG,   WM_QUERYDRAGICON,     WM_CTLCOLORMSGBOX,
                                      WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX,   WM_CTLCOLORBTN,
                                      WM_CTLCOLORDLG,  WM_CTLCOLORSCROLLBAR, WM_CTLCOLORSTATIC};
// Neighbours of the direct range and other everyday messages: their result is stored.
const UINT kStoredResultMessages[] = {WM_CTLCOLORMSGBOX - 1, WM_CTLCOLORSTATIC + 1, WM_NOTIFY,
                                      WM_GETDLGCODE, kStoreResult};

// A dialog on the About template that records its messages and answers as a test tells it.
class ProbeDlg : public CDialogImpl<ProbeDlg> {
public:
    static constexpr int IDD = IDD_ABOUTBOX;

    bool ProcessWindowMessage(HWND window, UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/,
                              LRESULT& result) override {
        seen.push_back(message);
        currentDuringHandler = GetCurrentMessage();
        if (answerEverything) {
            result = answer;
            return true;
        }
        switch (message) {
        case WM_INITDIALOG:
            result = TRUE;
            return true;
        case kStoreResult:
            result = kStoredResult;
            return true;
        case kDestroyInside:
            ::DestroyWindow(window);
            handleAfterNestedDestroy = Handle();
            finalCallsAfterNestedDestroy = finalCalls;
            result = 1;
            return true;
        default:
            return false;
        }
    }

    void OnFinalMessage(HWND window) override {
        ++finalCalls;
        finalWindow = window;
    }

    [[nodiscard]] bool saw(UINT message) const {
        for (const UINT m : seen) {
            if (m == message) {
                return true;
            }
        }
        return false;
    }

    std::vector<UINT> seen;
    const MSG* currentDuringHandler = nullptr;
    bool answerEverything = false;
    LRESULT answer = 0;
    HWND handleAfterNestedDestroy = nullptr;
    int finalCallsAfterNestedDestroy = -1;
    int finalCalls = 0;
    HWND finalWindow = nullptr;
};

// A template id that does not exist: creation fails before any message.
class MissingTemplateDlg : public CDialogImpl<MissingTemplateDlg> {
public:
    static constexpr int IDD = 4242;
    bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) override {
        ADD_FAILURE() << "a dialog that was never created got a message";
        return false;
    }
};

class DialogBinding : public ::testing::Test {
protected:
    void SetUp() override { ensureAppModule(); }
};

TEST_F(DialogBinding, FirstMessageBindsTheWindowToTheObject) {
    ProbeDlg probe;
    const HWND window = probe.Create(nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(probe.Handle(), window);
    EXPECT_TRUE(probe.saw(WM_INITDIALOG));
    EXPECT_EQ(probe.GetCurrentMessage(), nullptr) << "no message is in progress between messages";

    probe.seen.clear();
    ::SendMessageW(window, kUnhandled, 0, 0);
    ASSERT_EQ(probe.seen.size(), 1u);
    ASSERT_NE(probe.currentDuringHandler, nullptr);
    EXPECT_EQ(probe.currentDuringHandler->message, kUnhandled);
    EXPECT_EQ(probe.currentDuringHandler->hwnd, window);
    ::DestroyWindow(window);
}

TEST_F(DialogBinding, HandledResultsAreStoredOrReturnedDirectlyAsThePlatformExpects) {
    ProbeDlg probe;
    const HWND window = probe.Create(nullptr);
    ASSERT_NE(window, nullptr);
    const DLGPROC procedure = CDialogImplBase::GetDialogProc();
    probe.answerEverything = true;
    probe.answer = kDirectResult;

    for (const UINT message : kDirectResultMessages) {
        ::SetWindowLongPtrW(window, DWLP_MSGRESULT, kUntouched);
        EXPECT_EQ(procedure(window, message, 0, 0), kDirectResult) << std::hex << message;
        EXPECT_EQ(::GetWindowLongPtrW(window, DWLP_MSGRESULT), kUntouched) << std::hex << message;
    }
    for (const UINT message : kStoredResultMessages) {
        ::SetWindowLongPtrW(window, DWLP_MSGRESULT, kUntouched);
        EXPECT_EQ(procedure(window, message, 0, 0), TRUE) << std::hex << message;
        EXPECT_EQ(::GetWindowLongPtrW(window, DWLP_MSGRESULT), kDirectResult)
            << std::hex << message;
    }
    probe.answerEverything = false;
    ::DestroyWindow(window);
}

TEST_F(DialogBinding, UnhandledMessagesReturnFalseAndLeaveTheStoredResult) {
    ProbeDlg probe;
    const HWND window = probe.Create(nullptr);
    ASSERT_NE(window, nullptr);
    ::SetWindowLongPtrW(window, DWLP_MSGRESULT, kUntouched);
    EXPECT_EQ(CDialogImplBase::GetDialogProc()(window, kUnhandled, 0, 0), FALSE);
    EXPECT_EQ(::GetWindowLongPtrW(window, DWLP_MSGRESULT), kUntouched);
    ::DestroyWindow(window);
}

TEST_F(DialogBinding, SendMessageSeesTheStoredResult) {
    ProbeDlg probe;
    const HWND window = probe.Create(nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(::SendMessageW(window, kStoreResult, 0, 0), kStoredResult);
    EXPECT_EQ(::GetWindowLongPtrW(window, DWLP_MSGRESULT), kStoredResult);

    // A colour message's answer is the procedure's return value, not the stored result.
    probe.answerEverything = true;
    const HBRUSH brush = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    probe.answer = reinterpret_cast<LRESULT>(brush);
    ::SetWindowLongPtrW(window, DWLP_MSGRESULT, kUntouched);
    const HDC dc = ::GetDC(window);
    EXPECT_EQ(::SendMessageW(window, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                             reinterpret_cast<LPARAM>(window)),
              reinterpret_cast<LRESULT>(brush));
    ::ReleaseDC(window, dc);
    EXPECT_EQ(::GetWindowLongPtrW(window, DWLP_MSGRESULT), kUntouched);
    probe.answerEverything = false;
    ::DestroyWindow(window);
}

TEST_F(DialogBinding, HandleIsClearedOnceTheWindowIsGoneAndTheFinalHookRunsOnce) {
    ProbeDlg probe;
    const HWND window = probe.Create(nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(::DestroyWindow(window));
    EXPECT_TRUE(probe.saw(WM_NCDESTROY));
    EXPECT_EQ(probe.Handle(), nullptr);
    EXPECT_EQ(probe.finalCalls, 1);
    EXPECT_EQ(probe.finalWindow, window);

    // The object can make a new window afterwards.
    const HWND second = probe.Create(nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(probe.Handle(), second);
    ::DestroyWindow(second);
    EXPECT_EQ(probe.finalCalls, 2);
}

TEST_F(DialogBinding, WindowDestroyedInsideItsOwnHandlerIsReleasedAfterThatHandler) {
    ProbeDlg probe;
    const HWND window = probe.Create(nullptr);
    ASSERT_NE(window, nullptr);
    ::SendMessageW(window, kDestroyInside, 0, 0);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(probe.handleAfterNestedDestroy, window) << "cleared while a message was in progress";
    EXPECT_EQ(probe.finalCallsAfterNestedDestroy, 0);
    EXPECT_EQ(probe.Handle(), nullptr);
    EXPECT_EQ(probe.finalCalls, 1);
}

TEST_F(DialogBinding, CreationLeavesNoRecordBehindWhetherItWorkedOrNot) {
    {
        MissingTemplateDlg missing;
        EXPECT_EQ(missing.Create(nullptr), nullptr);
        // A record left here would point into this finished stack frame.
        EXPECT_EQ(CDialogImplBase::PendingCreationCount(), 0u);
        EXPECT_EQ(missing.RunModal(nullptr), -1);
        EXPECT_EQ(CDialogImplBase::PendingCreationCount(), 0u);
    }
    ProbeDlg probe;
    const HWND window = probe.Create(nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(probe.Handle(), window);
    EXPECT_TRUE(probe.saw(WM_INITDIALOG));
    EXPECT_EQ(CDialogImplBase::PendingCreationCount(), 0u);
    ::DestroyWindow(window);
}

TEST_F(DialogBinding, ObjectGoneBeforeItsWindowIsNoLongerReached) {
    HWND window = nullptr;
    {
        ProbeDlg probe;
        window = probe.Create(nullptr);
        ASSERT_NE(window, nullptr);
    }
    ASSERT_TRUE(::IsWindow(window));
    EXPECT_EQ(::SendMessageW(window, kStoreResult, 0, 0), 0);
    ::DestroyWindow(window);
}

// Closes the About box of this thread once it is up, in each way a user can: the OK button, and
// Escape, the close box, the system menu's Close and Alt+F4, which all arrive as IDCANCEL.
enum class CloseBy { OkButton, EscapeKey, CloseBox, SystemMenuClose, AltF4 };

struct AboutObservation {
    HWND window = nullptr;
    HWND owner = nullptr;
    RECT rect{};
};

// Key messages as the keyboard queues them: repeat count 1, the key's scan code, and for F4 the
// bit that says Alt is held.
constexpr LPARAM kEscapePressed = 0x00010001;
constexpr LPARAM kAltF4Pressed = 0x203E0001;

bool closeAbout(CloseBy how, AboutObservation& seen) {
    const HWND about = findThreadWindow(::GetCurrentThreadId(), L"About");
    if (about == nullptr || !::IsWindowVisible(about)) {
        return false;
    }
    seen.window = about;
    seen.owner = ::GetWindow(about, GW_OWNER);
    ::GetWindowRect(about, &seen.rect);
    const HWND ok = ::GetDlgItem(about, IDOK);
    const HWND focus = ::GetFocus();
    const HWND keyTarget = focus != nullptr && ::IsChild(about, focus) ? focus : ok;
    switch (how) {
    case CloseBy::OkButton:
        ::SendMessageW(ok, BM_CLICK, 0, 0);
        break;
    case CloseBy::EscapeKey:
        ::PostMessageW(keyTarget, WM_KEYDOWN, VK_ESCAPE, kEscapePressed);
        break;
    case CloseBy::CloseBox:
        ::PostMessageW(about, WM_CLOSE, 0, 0);
        break;
    case CloseBy::SystemMenuClose:
        ::PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case CloseBy::AltF4:
        ::PostMessageW(keyTarget, WM_SYSKEYDOWN, VK_F4, kAltF4Pressed);
        break;
    }
    return true;
}

TEST_F(DialogBinding, AboutEndsWithOneOnOkAndTwoOnEveryOtherCloseAndReleasesEachObject) {
    for (const CloseBy how : {CloseBy::OkButton, CloseBy::EscapeKey, CloseBy::CloseBox,
                              CloseBy::SystemMenuClose, CloseBy::AltF4}) {
        const int way = static_cast<int>(how);
        AboutObservation seen;
        ThreadTimerAction closer(30, [&] { return closeAbout(how, seen); });
        CAboutDlg about;
        const INT_PTR result = about.RunModal(nullptr);
        EXPECT_EQ(result, how == CloseBy::OkButton ? 1 : 2) << "closed by way " << way;
        EXPECT_TRUE(closer.finished()) << "closed by way " << way;
        EXPECT_EQ(about.Handle(), nullptr);
        EXPECT_FALSE(::IsWindow(seen.window));
    }
}

TEST_F(DialogBinding, AboutTextIsTheNameTheEmptyLineAndOurLine) {
    ProbeDlg probe; // same template, modeless, so the text can be read at leisure
    const HWND window = probe.Create(nullptr);
    ASSERT_NE(window, nullptr);
    HWND text = nullptr;
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_CENTER) {
            text = child;
        }
    }
    ASSERT_NE(text, nullptr);
    const std::wstring about = testing::windowText(text);
    EXPECT_EQ(about.rfind(L"Corvane Application v1.0\n\n", 0), 0u) << "three lines, LF only";
    EXPECT_EQ(about.find(L'\r'), std::wstring::npos);
    const std::wstring third = about.substr(about.find(L"\n\n") + 2);
    EXPECT_FALSE(third.empty());
    EXPECT_EQ(third.find(L'\n'), std::wstring::npos);
    ::DestroyWindow(window);
}

// A plain visible top-level window to own or parent the windows under test.
class TestWindow {
public:
    TestWindow(DWORD style, HWND parent, int x, int y, int width, int height) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = ::DefWindowProcW;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"CorvaneCentringTestWindow";
        ::RegisterClassW(&windowClass);
        window_ = ::CreateWindowExW(0, L"CorvaneCentringTestWindow", L"", style, x, y, width,
                                    height, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    }
    ~TestWindow() { ::DestroyWindow(window_); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    [[nodiscard]] HWND handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

CenteringRect toRect(const RECT& r) {
    return CenteringRect{r.left, r.top, r.right, r.bottom};
}

RECT workAreaOf(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return info.rcWork;
}

TEST_F(DialogBinding, AboutCentresOverItsVisibleOwner) {
    TestWindow owner(WS_POPUP | WS_VISIBLE, nullptr, 100, 120, 600, 400);
    ASSERT_NE(owner.handle(), nullptr);
    AboutObservation seen;
    ThreadTimerAction closer(30, [&] { return closeAbout(CloseBy::OkButton, seen); });
    CAboutDlg about;
    EXPECT_EQ(about.RunModal(owner.handle()), 1);
    EXPECT_EQ(seen.owner, owner.handle());

    RECT ownerRect{};
    ::GetWindowRect(owner.handle(), &ownerRect);
    const CenteringPoint expected =
        centeredPosition(seen.rect.right - seen.rect.left, seen.rect.bottom - seen.rect.top,
                         toRect(ownerRect), toRect(workAreaOf(owner.handle())));
    EXPECT_EQ(seen.rect.left, expected.x);
    EXPECT_EQ(seen.rect.top, expected.y);
}

TEST_F(DialogBinding, CentringIgnoresAHiddenOrMinimisedReferenceAndUsesTheWorkArea) {
    for (const bool minimised : {false, true}) {
        TestWindow reference(minimised ? WS_POPUP | WS_VISIBLE : WS_POPUP, nullptr, 0, 0, 200, 200);
        if (minimised) {
            ::ShowWindow(reference.handle(), SW_MINIMIZE);
            ASSERT_TRUE(::IsIconic(reference.handle()));
        }
        TestWindow window(WS_POPUP, nullptr, 5, 5, 300, 100);
        ASSERT_TRUE(CenterOverWindow(window.handle(), reference.handle()));
        RECT rect{};
        ::GetWindowRect(window.handle(), &rect);
        const RECT area = workAreaOf(window.handle());
        EXPECT_EQ(rect.left, (area.left + area.right) / 2 - 150) << "minimised " << minimised;
        EXPECT_EQ(rect.top, (area.top + area.bottom) / 2 - 50) << "minimised " << minimised;
        EXPECT_EQ(rect.right - rect.left, 300) << "the size is kept";
    }
}

TEST_F(DialogBinding, CentringAChildUsesItsParentsClientArea) {
    TestWindow parent(WS_POPUP | WS_VISIBLE, nullptr, 50, 60, 400, 300);
    TestWindow reference(WS_CHILD | WS_VISIBLE, parent.handle(), 300, 200, 100, 100);
    TestWindow child(WS_CHILD | WS_VISIBLE, parent.handle(), 0, 0, 80, 40);
    ASSERT_TRUE(CenterOverWindow(child.handle(), reference.handle()));
    RECT rect{};
    ::GetWindowRect(child.handle(), &rect);
    ::MapWindowPoints(nullptr, parent.handle(), reinterpret_cast<POINT*>(&rect), 2);
    // Centre (350, 250) would put the right edge at 390 <= 400 and the bottom at 270 <= 300.
    EXPECT_EQ(rect.left, 350 - 40);
    EXPECT_EQ(rect.top, 250 - 20);

    // Without a reference a child centres over its parent's client area.
    ASSERT_TRUE(CenterOverWindow(child.handle()));
    ::GetWindowRect(child.handle(), &rect);
    ::MapWindowPoints(nullptr, parent.handle(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 200 - 40);
    EXPECT_EQ(rect.top, 150 - 20);

    // A reference near the corner: clamped into the parent's client area.
    TestWindow corner(WS_CHILD | WS_VISIBLE, parent.handle(), 380, 290, 20, 10);
    ASSERT_TRUE(CenterOverWindow(child.handle(), corner.handle()));
    ::GetWindowRect(child.handle(), &rect);
    ::MapWindowPoints(nullptr, parent.handle(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 400 - 80);
    EXPECT_EQ(rect.top, 300 - 40);
}

} // namespace
} // namespace corvane
