// Saving through Wine's real save dialog and message box. A second thread answers them the way a
// user would, while the test thread runs SaveCaptureScript with the platform calls.
#include "tests/support/test_files.h"
#include "ui/save_dialog_win.h"
#include "ui/script_ui.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace corvane {
namespace {

using test_files::inOemCodePage;
using test_files::namesIn;
using test_files::readFileBytes;
using test_files::ScratchFolder;
using test_files::writeFileBytes;

using Names = std::vector<std::wstring>;
using WindowMatch = std::function<bool(HWND)>;

constexpr int kFileNameEditId = 1148;
constexpr int kMessageTextId = 65535;
constexpr int kMessageIconId = 1088;

std::wstring windowText(HWND window) {
    wchar_t text[512] = {};
    const int length = GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    return std::wstring(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    const int length = GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return std::wstring(name, static_cast<std::size_t>(length > 0 ? length : 0));
}

struct WindowSearch {
    const WindowMatch* match;
    HWND found;
};

BOOL CALLBACK stopAtMatch(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    if ((*search->match)(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK collectWindow(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

HWND findThreadWindow(DWORD threadId, const WindowMatch& match) {
    WindowSearch search{&match, nullptr};
    EnumThreadWindows(threadId, stopAtMatch, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls, because the dialogs come and go on the other thread whenever its modal loop gets there.
bool waitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

HWND waitForThreadWindow(DWORD threadId, const WindowMatch& match) {
    HWND found = nullptr;
    waitUntil([&] {
        found = findThreadWindow(threadId, match);
        return found != nullptr;
    });
    return found;
}

std::vector<HWND> descendants(HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(parent, collectWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND findDescendant(HWND parent, int id, const wchar_t* windowClass) {
    for (const HWND window : descendants(parent)) {
        if (GetDlgCtrlID(window) == id && className(window) == windowClass) {
            return window;
        }
    }
    return nullptr;
}

WindowMatch visibleDialogCaptioned(const wchar_t* caption) {
    return [caption](HWND window) {
        return IsWindowVisible(window) && className(window) == L"#32770" &&
               windowText(window) == caption;
    };
}

// A message box, told from other dialogs by its text field.
WindowMatch visibleMessageBoxOwnedBy(HWND owner) {
    return [owner](HWND window) {
        return IsWindowVisible(window) && className(window) == L"#32770" &&
               GetWindow(window, GW_OWNER) == owner &&
               findDescendant(window, kMessageTextId, L"Static") != nullptr;
    };
}

void clickButton(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Types `path` into the save dialog's file-name field and presses Save. The dialog, or nothing.
HWND answerSaveDialog(DWORD threadId, const std::wstring& path) {
    const HWND dialog = waitForThreadWindow(threadId, visibleDialogCaptioned(L"Save As"));
    if (!dialog) {
        return nullptr;
    }
    const HWND edit = findDescendant(dialog, kFileNameEditId, L"Edit");
    if (!edit || className(GetParent(GetParent(edit))) != L"ComboBoxEx32") {
        return nullptr;
    }
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    clickButton(dialog, IDOK);
    return dialog;
}

// A message box as the user sees it.
struct SeenMessageBox {
    bool found = false;
    std::wstring caption;
    std::wstring text;
    bool hasIcon = true;
    std::vector<int> visibleButtons;
    bool ownerDisabled = false;
};

SeenMessageBox readAndCloseMessageBox(DWORD threadId, HWND owner, int answer) {
    SeenMessageBox seen;
    const HWND box = waitForThreadWindow(threadId, visibleMessageBoxOwnedBy(owner));
    if (!box) {
        return seen;
    }
    seen.found = true;
    seen.caption = windowText(box);
    seen.text = windowText(GetDlgItem(box, kMessageTextId));
    seen.hasIcon = SendMessageW(GetDlgItem(box, kMessageIconId), STM_GETICON, 0, 0) != 0;
    for (const HWND child : descendants(box)) {
        if (className(child) == L"Button" && IsWindowVisible(child)) {
            seen.visibleButtons.push_back(GetDlgCtrlID(child));
        }
    }
    seen.ownerDisabled = !IsWindowEnabled(owner);
    clickButton(box, answer);
    return seen;
}

// Posts WM_CLOSE to every visible top-level window of the thread but `keep`; true when there was
// one.
bool closeVisibleWindows(DWORD threadId, HWND keep) {
    std::vector<HWND> windows;
    EnumThreadWindows(threadId, collectWindow, reinterpret_cast<LPARAM>(&windows));
    bool closed = false;
    for (const HWND window : windows) {
        if (window != keep && IsWindowVisible(window)) {
            PostMessageW(window, WM_CLOSE, 0, 0);
            closed = true;
        }
    }
    return closed;
}

// Runs the answers on a second thread. A window that is still open some time after them is closed,
// so that a wrong answer fails the test instead of leaving it waiting for a user.
class Answerer {
public:
    Answerer(DWORD testThread, HWND keep, std::function<void()> answers)
        : thread_([this, testThread, keep, answers = std::move(answers)] {
              answers();
              const auto grace = std::chrono::steady_clock::now() + std::chrono::seconds(10);
              while (!saveReturned_) {
                  if (std::chrono::steady_clock::now() > grace &&
                      closeVisibleWindows(testThread, keep)) {
                      closedLeftovers_ = true;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(100));
              }
          }) {}
    ~Answerer() { join(); }
    Answerer(const Answerer&) = delete;
    Answerer& operator=(const Answerer&) = delete;

    // Call once the save has returned.
    void join() {
        saveReturned_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    [[nodiscard]] bool closedLeftovers() const { return closedLeftovers_; }

private:
    std::atomic<bool> saveReturned_{false};
    std::atomic<bool> closedLeftovers_{false};
    std::thread thread_;
};

// "é" U+00E9 is 82 in code pages 437 and 850 and C3 A9 in UTF-8.
const std::wstring kScriptText = L"@echo off\r\necho caf\u00E9\r\n";
const std::optional<std::string> kScriptBytes =
    inOemCodePage("@echo off\r\necho caf\x82\r\n", "@echo off\r\necho caf\xC3\xA9\r\n");

class RealDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        if (!kScriptBytes) {
            GTEST_SKIP() << "no spelled-out bytes for OEM code page " << GetOEMCP();
        }
        ASSERT_TRUE(folder_.exists());
        mainDialog_ = CreateWindowExW(0, L"STATIC", L"Corvane main dialog stand-in",
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 400, 300, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(mainDialog_, nullptr);
        SetForegroundWindow(mainDialog_);
        SetActiveWindow(mainDialog_);
        ASSERT_EQ(GetActiveWindow(), mainDialog_);
    }

    void TearDown() override {
        if (mainDialog_) {
            DestroyWindow(mainDialog_);
        }
    }

    ScratchFolder folder_;
    HWND mainDialog_ = nullptr;
    const DWORD testThread_ = GetCurrentThreadId();
};

TEST_F(RealDialogs, SaveDialogWritesTheTypedNameWithTheDefaultExtension) {
    HWND dialog = nullptr;
    HWND dialogOwner = nullptr;
    Answerer answerer(testThread_, mainDialog_, [&] {
        dialog = answerSaveDialog(testThread_, folder_.file(L"typed"));
        dialogOwner = dialog ? GetWindow(dialog, GW_OWNER) : nullptr;
    });
    SaveCaptureScript(mainDialog_, kScriptText, platformScriptUi());
    answerer.join();

    ASSERT_NE(dialog, nullptr) << "no \"Save As\" dialog with a file-name field to answer";
    EXPECT_FALSE(answerer.closedLeftovers());
    EXPECT_EQ(dialogOwner, mainDialog_) << "owned by the window that was active";
    EXPECT_EQ(readFileBytes(folder_.file(L"typed.cmd")), kScriptBytes);
    EXPECT_EQ(namesIn(folder_.path()), Names{L"typed.cmd"});
}

TEST_F(RealDialogs, ChoosingAnExistingFileAsksBeforeReplacingIt) {
    const std::wstring path = folder_.file(L"existing.cmd");
    ASSERT_TRUE(writeFileBytes(path, "rem an earlier script that is longer\r\n"));
    SeenMessageBox prompt;
    Answerer answerer(testThread_, mainDialog_, [&] {
        if (const HWND dialog = answerSaveDialog(testThread_, path)) {
            prompt = readAndCloseMessageBox(testThread_, dialog, IDYES);
        }
    });
    SaveCaptureScript(mainDialog_, kScriptText, platformScriptUi());
    answerer.join();

    ASSERT_TRUE(prompt.found) << "no replace prompt owned by the save dialog";
    EXPECT_FALSE(answerer.closedLeftovers());
    EXPECT_FALSE(prompt.text.empty());
    EXPECT_EQ(prompt.visibleButtons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(readFileBytes(path), kScriptBytes);
    EXPECT_EQ(namesIn(folder_.path()), Names{L"existing.cmd"});
}

TEST_F(RealDialogs, DecliningTheReplacePromptAndCancellingKeepsTheEarlierFile) {
    const std::wstring path = folder_.file(L"existing.cmd");
    const std::string earlier = "rem an earlier script\r\n";
    ASSERT_TRUE(writeFileBytes(path, earlier));
    SeenMessageBox prompt;
    Answerer answerer(testThread_, mainDialog_, [&] {
        if (const HWND dialog = answerSaveDialog(testThread_, path)) {
            prompt = readAndCloseMessageBox(testThread_, dialog, IDNO);
            // No returns to the dialog, which the user then cancels.
            if (prompt.found && waitUntil([dialog] { return IsWindowEnabled(dialog) != FALSE; })) {
                clickButton(dialog, IDCANCEL);
            }
        }
    });
    SaveCaptureScript(mainDialog_, kScriptText, platformScriptUi());
    answerer.join();

    ASSERT_TRUE(prompt.found) << "no replace prompt owned by the save dialog";
    EXPECT_FALSE(answerer.closedLeftovers()) << "a message after the cancel, or no cancel";
    EXPECT_EQ(readFileBytes(path), earlier);
    EXPECT_EQ(namesIn(folder_.path()), Names{L"existing.cmd"});
}

// Answers the save dialog with `path`, then reads the message that the main dialog gets.
SeenMessageBox messageAfterSaving(DWORD testThread, HWND mainDialog, const std::wstring& path,
                                  const std::wstring& scriptText, bool& leftovers) {
    SeenMessageBox message;
    Answerer answerer(testThread, mainDialog, [&] {
        const HWND dialog = answerSaveDialog(testThread, path);
        if (dialog && waitUntil([dialog] { return !IsWindow(dialog); })) {
            message = readAndCloseMessageBox(testThread, mainDialog, IDOK);
        }
    });
    SaveCaptureScript(mainDialog, scriptText, platformScriptUi());
    answerer.join();
    leftovers = answerer.closedLeftovers();
    return message;
}

TEST_F(RealDialogs, FailedWriteShowsThePlainMessageOwnedByTheMainDialog) {
    bool leftovers = true;
    const SeenMessageBox message = messageAfterSaving(
        testThread_, mainDialog_, folder_.file(L"missing\\capture.cmd"), kScriptText, leftovers);

    ASSERT_TRUE(message.found) << "no message box owned by the main dialog";
    EXPECT_FALSE(leftovers);
    EXPECT_EQ(message.text, L"Failed to create cmd file.");
    EXPECT_EQ(message.caption, L"");
    EXPECT_FALSE(message.hasIcon);
    EXPECT_EQ(message.visibleButtons, std::vector<int>{IDOK});
    EXPECT_TRUE(message.ownerDisabled) << "modal to the main dialog";
    EXPECT_TRUE(namesIn(folder_.path()).empty());
}

TEST_F(RealDialogs, UnrepresentableScriptShowsItsOwnMessageWithoutASaveDialog) {
    SeenMessageBox message;
    bool saveDialogSeen = false;
    Answerer answerer(testThread_, mainDialog_, [&] {
        message = readAndCloseMessageBox(testThread_, mainDialog_, IDOK);
        saveDialogSeen =
            findThreadWindow(testThread_, visibleDialogCaptioned(L"Save As")) != nullptr;
    });
    // A lone high surrogate D83D has no bytes in any code page.
    SaveCaptureScript(mainDialog_, L"xperf -f \"a\xD83D.etl\"\r\n", platformScriptUi());
    answerer.join();

    ASSERT_TRUE(message.found) << "no message box owned by the main dialog";
    EXPECT_FALSE(saveDialogSeen);
    EXPECT_FALSE(answerer.closedLeftovers());
    EXPECT_EQ(message.text,
              L"The script contains characters that the command prompt's code page cannot "
              L"represent.");
    EXPECT_EQ(message.caption, L"");
    EXPECT_FALSE(message.hasIcon);
    EXPECT_EQ(message.visibleButtons, std::vector<int>{IDOK});
    EXPECT_TRUE(namesIn(folder_.path()).empty());
}

} // namespace
} // namespace corvane
