// The main dialog's commands whatever their notification code, and its keyboard interface as real
// input reaches it: key messages queued for the focused control, taken by the thread's loop and
// handed to the dialog's filter. The dialog stays hidden; nothing here needs it on screen.
#include "app/app_module.h"
#include "app/message_loop.h"
#include "res/resource.h"
#include "tests/dialog/fake_script_ui.h"
#include "tests/shell/shell_support.h"
#include "ui/main_dlg.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvane {
namespace {

using testing::ensureAppModule;
using testing::FakeScriptUi;
using testing::findThreadWindow;
using testing::ThreadDeadline;
using testing::ThreadTimerAction;

// The quit values of a keyboard script: every key it queued has been handled, or one could not be
// queued at all.
constexpr int kKeysDone = 31;
constexpr int kInputNotQueued = 32;

constexpr int kHeapFieldIds[] = {IDC_HEAP_PROCESS, IDC_HEAP_SESSION_NAME, IDC_HEAP_PATH};

// Scan codes of the keys used here (set 1), as the keyboard puts them into lParam.
constexpr UINT kScanTab = 0x0F;
constexpr UINT kScanSpace = 0x39;
constexpr UINT kScanA = 0x1E;
constexpr UINT kScanF4 = 0x3E;

// lParam of a key message: repeat count 1, the scan code, bit 29 while Alt is held, and for a
// release the previous-state and transition bits.
LPARAM keyFlags(UINT scanCode, bool altHeld, bool release) {
    unsigned long flags = 1ul | (static_cast<unsigned long>(scanCode) << 16);
    if (altHeld) {
        flags |= 1ul << 29;
    }
    if (release) {
        flags |= (1ul << 30) | (1ul << 31);
    }
    return static_cast<LPARAM>(flags);
}

// One queued message: to the control with the focus, as keys go, or to the dialog itself.
struct QueuedInput {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool toDialog = false;
};
using Stroke = std::vector<QueuedInput>;

Stroke press(WPARAM key, UINT scanCode) {
    return {{WM_KEYDOWN, key, keyFlags(scanCode, false, false)},
            {WM_KEYUP, key, keyFlags(scanCode, false, true)}};
}

Stroke altPress(WPARAM key, UINT scanCode) {
    return {{WM_SYSKEYDOWN, key, keyFlags(scanCode, true, false)},
            {WM_SYSKEYUP, key, keyFlags(scanCode, true, true)}};
}

// Queues the strokes' messages one at a time from the loop's idle call, so each is posted only
// when everything the previous one set off has been handled and the queue ran empty; the target
// is the focused control at that moment, as for keys from the keyboard. `afterStroke` looks at
// the dialog after each stroke. Quits with kKeysDone after the last, with kInputNotQueued when
// a message cannot be posted, or with kGaveUpCode at the deadline.
class KeyboardScript : public CIdleHandler {
public:
    KeyboardScript(CMessageLoop& loop, HWND dialog, std::vector<Stroke> strokes,
                   std::function<void()> afterStroke = {})
        : loop_(loop), dialog_(dialog), strokes_(std::move(strokes)),
          afterStroke_(std::move(afterStroke)) {
        attached_ = loop_.AttachIdleHandler(this);
    }
    ~KeyboardScript() override {
        if (attached_) {
            static_cast<void>(loop_.DetachIdleHandler(this));
        }
    }
    KeyboardScript(const KeyboardScript&) = delete;
    KeyboardScript& operator=(const KeyboardScript&) = delete;

    [[nodiscard]] bool attached() const { return attached_; }

    bool DoIdle() override {
        if (stroke_ < strokes_.size() && nextInput_ == strokes_[stroke_].size()) {
            if (afterStroke_) {
                afterStroke_();
            }
            ++stroke_;
            nextInput_ = 0;
        }
        if (stroke_ == strokes_.size()) {
            if (!quitPosted_) {
                ::PostQuitMessage(kKeysDone);
                quitPosted_ = true;
            }
            return false;
        }
        const QueuedInput& input = strokes_[stroke_][nextInput_++];
        const HWND focus = ::GetFocus();
        const HWND target =
            input.toDialog || focus == nullptr || !::IsChild(dialog_, focus) ? dialog_ : focus;
        if (!::PostMessageW(target, input.message, input.wParam, input.lParam)) {
            // Nothing queued means no further idle call: end the run now instead of waiting.
            ADD_FAILURE() << "message " << input.message << " could not be queued";
            ::PostQuitMessage(kInputNotQueued);
            quitPosted_ = true;
        }
        return false;
    }

private:
    CMessageLoop& loop_;
    HWND dialog_;
    std::vector<Stroke> strokes_;
    std::function<void()> afterStroke_;
    ThreadDeadline deadline_;
    bool attached_ = false;
    std::size_t stroke_ = 0;
    std::size_t nextInput_ = 0;
    bool quitPosted_ = false;
};

DefaultsEnvironment fixedEnvironment() {
    return DefaultsEnvironment{[] { return std::optional<std::wstring>(L"D:\\traces"); },
                               [] { return LocalTime{2024, 1, 5, 9, 30, 0}; }};
}

// The main dialog, hidden, with its own registered loop, a fixed clock and desktop folder, and
// the fake message boxes and save dialog.
class MainDialogInput : public ::testing::Test {
protected:
    void SetUp() override {
        ensureAppModule();
        ASSERT_TRUE(appModule.RegisterLoop(&loop));
        ASSERT_TRUE(open());
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

    [[nodiscard]] bool open() {
        window = dialog.Create(nullptr);
        return window != nullptr;
    }
    [[nodiscard]] int focusedId() const {
        const HWND focus = ::GetFocus();
        return focus != nullptr && ::IsChild(window, focus) ? ::GetDlgCtrlID(focus) : 0;
    }
    void focus(int id) const { ::SetFocus(::GetDlgItem(window, id)); }
    [[nodiscard]] LRESULT heapCheck() const {
        return ::SendDlgItemMessageW(window, IDC_HEAP, BM_GETCHECK, 0, 0);
    }
    [[nodiscard]] int enabledHeapFields() const {
        int enabled = 0;
        for (const int id : kHeapFieldIds) {
            enabled += ::IsWindowEnabled(::GetDlgItem(window, id)) != FALSE ? 1 : 0;
        }
        return enabled;
    }

    FakeScriptUi ui;
    CMessageLoop loop;
    CMainDlg dialog{fixedEnvironment(), ui};
    HWND window = nullptr;
};

using MainDialogCommands = MainDialogInput;

TEST_F(MainDialogCommands, OkActsWhateverTheNotificationCode) {
    // Nothing is selected after opening, so each OK ends at "Please input parameters.".
    const WORD codes[] = {BN_CLICKED, BN_DOUBLECLICKED, 0x1234};
    for (const WORD code : codes) {
        ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, code), 0);
    }
    ASSERT_EQ(ui.messages.size(), std::size(codes));
    for (const FakeScriptUi::Message& message : ui.messages) {
        EXPECT_EQ(message.text, L"Please input parameters.");
        EXPECT_EQ(message.owner, window);
    }
    EXPECT_TRUE(ui.offeredNames.empty());
    EXPECT_TRUE(::IsWindow(window));
}

TEST_F(MainDialogCommands, AboutActsWithACodeOtherThanBnClicked) {
    HWND aboutOwner = nullptr;
    ThreadTimerAction closer(30, [&] {
        const HWND about = findThreadWindow(::GetCurrentThreadId(), L"About");
        if (about == nullptr || !::IsWindowVisible(about)) {
            return false;
        }
        aboutOwner = ::GetWindow(about, GW_OWNER);
        ::SendMessageW(::GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
        return true;
    });
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_APP_ABOUT, BN_DOUBLECLICKED), 0);
    EXPECT_TRUE(closer.finished()) << "no About box came up";
    EXPECT_EQ(findThreadWindow(::GetCurrentThreadId(), L"About"), nullptr);
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_TRUE(::IsWindowEnabled(window));
}

using MainDialogKeyboard = MainDialogInput;

TEST_F(MainDialogKeyboard, TabVisitsTheTabStopsInTableOrderAndSkipsTheDisabledHeapEdits) {
    focus(IDOK);
    ASSERT_EQ(focusedId(), IDOK);
    const std::vector<int> expected = {IDCANCEL,         ID_APP_ABOUT,     IDC_KERNEL_FLAGS,
                                       IDC_STACKWALK,    IDC_FILE_MODE,    IDC_MAX_FILE_SIZE,
                                       IDC_BUFFER_SIZE,  IDC_MIN_BUFFERS,  IDC_MAX_BUFFERS,
                                       IDC_ETL_OUT_PATH, IDC_KERNEL_PATH,  IDC_PROVIDERS,
                                       IDC_LOG_STACK,    IDC_SESSION_NAME, IDC_USER_PATH,
                                       IDC_RESET,        IDC_HEAP,         IDOK};
    std::vector<int> trail;
    KeyboardScript script(loop, window,
                          std::vector<Stroke>(expected.size(), press(VK_TAB, kScanTab)),
                          [&] { trail.push_back(focusedId()); });
    ASSERT_TRUE(script.attached());

    ASSERT_EQ(loop.Run(), kKeysDone);
    EXPECT_EQ(trail, expected);
}

TEST_F(MainDialogKeyboard, OnceHeapIsCheckedTabFromTheBoxReachesTheThreeHeapEditsInOrder) {
    ::SendDlgItemMessageW(window, IDC_HEAP, BM_CLICK, 0, 0);
    ASSERT_EQ(enabledHeapFields(), 3);
    focus(IDC_HEAP);
    std::vector<int> trail;
    KeyboardScript script(loop, window, std::vector<Stroke>(4, press(VK_TAB, kScanTab)),
                          [&] { trail.push_back(focusedId()); });
    ASSERT_TRUE(script.attached());

    ASSERT_EQ(loop.Run(), kKeysDone);
    EXPECT_EQ(trail,
              (std::vector<int>{IDC_HEAP_PROCESS, IDC_HEAP_SESSION_NAME, IDC_HEAP_PATH, IDOK}));
}

TEST_F(MainDialogKeyboard, SpaceOnTheFocusedHeapBoxTogglesItAndTheHeapEdits) {
    focus(IDC_HEAP);
    ASSERT_EQ(focusedId(), IDC_HEAP);
    struct HeapState {
        LRESULT check;
        int heapEnabled;
        int enabledFields;
        bool operator==(const HeapState& other) const {
            return check == other.check && heapEnabled == other.heapEnabled &&
                   enabledFields == other.enabledFields;
        }
    };
    std::vector<HeapState> states;
    KeyboardScript script(
        loop, window, {press(VK_SPACE, kScanSpace), press(VK_SPACE, kScanSpace)}, [&] {
            states.push_back({heapCheck(), dialog.Settings().heapEnabled, enabledHeapFields()});
        });
    ASSERT_TRUE(script.attached());

    ASSERT_EQ(loop.Run(), kKeysDone);
    ASSERT_EQ(states.size(), 2u);
    EXPECT_TRUE(states[0] == (HeapState{BST_CHECKED, 1, 3})) << "after the first Space";
    EXPECT_TRUE(states[1] == (HeapState{BST_UNCHECKED, 0, 0})) << "after the second Space";
    EXPECT_EQ(focusedId(), IDC_HEAP);
}

// Alt+A as the keyboard queues it (the loop's translation makes WM_SYSCHAR of it), and the
// WM_SYSCHAR itself.
TEST_F(MainDialogKeyboard, AltAOpensTheAboutBoxAndTheDialogCarriesOn) {
    const Stroke altA = altPress('A', kScanA);
    const Stroke sysChar = {{WM_SYSCHAR, 'a', keyFlags(kScanA, true, false)}};
    for (const Stroke& stroke : {altA, sysChar}) {
        const bool fromKeyDown = stroke.front().message == WM_SYSKEYDOWN;
        focus(IDC_SESSION_NAME);
        ASSERT_EQ(focusedId(), IDC_SESSION_NAME);
        ThreadTimerAction closer(30, [&] {
            const HWND about = findThreadWindow(::GetCurrentThreadId(), L"About");
            if (about == nullptr || !::IsWindowVisible(about)) {
                return false;
            }
            ::SendMessageW(::GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
            return true;
        });
        KeyboardScript script(loop, window, {stroke});
        ASSERT_TRUE(script.attached());

        EXPECT_EQ(loop.Run(), kKeysDone) << "from the key down " << fromKeyDown;
        EXPECT_TRUE(closer.finished()) << "no About box; from the key down " << fromKeyDown;
        EXPECT_TRUE(::IsWindow(window));
        EXPECT_EQ(loop.FilterCount(), 1u);
        EXPECT_TRUE(ui.messages.empty()) << "no OK command on the way";
    }
}

TEST_F(MainDialogKeyboard, AltF4AndTheSystemMenusCloseEndTheLoopWithTwo) {
    const Stroke altF4 = altPress(VK_F4, kScanF4);
    const Stroke systemMenuClose = {{WM_SYSCOMMAND, SC_CLOSE, 0, true}};
    for (const Stroke& stroke : {altF4, systemMenuClose}) {
        const bool byKey = stroke.front().message == WM_SYSKEYDOWN;
        if (!::IsWindow(window)) {
            ASSERT_TRUE(open());
        }
        focus(IDC_KERNEL_PATH);
        KeyboardScript script(loop, window, {stroke});
        ASSERT_TRUE(script.attached());

        EXPECT_EQ(loop.Run(), IDCANCEL) << "Alt+F4 " << byKey;
        EXPECT_FALSE(::IsWindow(window)) << "Alt+F4 " << byKey;
        EXPECT_EQ(loop.FilterCount(), 0u) << "WM_DESTROY detached the dialog";
    }
}

} // namespace
} // namespace corvane
