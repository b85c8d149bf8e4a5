// corvane.exe as a child process: how it ends, and what it shows.
#include "res/resource.h"
#include "tests/shell/shell_support.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 30000;

class ChildProcess {
public:
    ChildProcess(const std::wstring& program, const std::wstring& arguments, int showCommand = -1) {
        std::wstring commandLine = L"\"" + program + L"\"";
        if (!arguments.empty()) {
            commandLine += L" " + arguments;
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (showCommand >= 0) {
            startup.dwFlags = STARTF_USESHOWWINDOW;
            startup.wShowWindow = static_cast<WORD>(showCommand);
        }
        started_ = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                    nullptr, nullptr, &startup, &info_) != FALSE;
    }
    ~ChildProcess() {
        if (started_) {
            if (::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
                ::TerminateProcess(info_.hProcess, 99);
            }
            ::CloseHandle(info_.hThread);
            ::CloseHandle(info_.hProcess);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] bool started() const { return started_; }
    [[nodiscard]] DWORD processId() const { return info_.dwProcessId; }
    [[nodiscard]] DWORD threadId() const { return info_.dwThreadId; }

    // The main dialog once it is visible, or null after the timeout or when the process ended.
    [[nodiscard]] HWND waitForDialog() const {
        const ULONGLONG deadline = ::GetTickCount64() + kStartTimeoutMs;
        while (::GetTickCount64() < deadline) {
            for (const HWND window : testing::visibleProcessWindows(info_.dwProcessId)) {
                if (testing::windowText(window).rfind(L"Corvane - ", 0) == 0) {
                    return window;
                }
            }
            if (::WaitForSingleObject(info_.hProcess, 50) == WAIT_OBJECT_0) {
                return nullptr;
            }
        }
        return nullptr;
    }

    // Exit code, or -1 on timeout. Records every visible window of the process seen meanwhile.
    [[nodiscard]] long waitForExit(std::vector<HWND>* windowsSeen = nullptr) const {
        const ULONGLONG deadline = ::GetTickCount64() + kExitTimeoutMs;
        while (::WaitForSingleObject(info_.hProcess, 5) == WAIT_TIMEOUT) {
            if (windowsSeen != nullptr) {
                for (const HWND window : testing::visibleProcessWindows(info_.dwProcessId)) {
                    windowsSeen->push_back(window);
                }
            }
            if (::GetTickCount64() > deadline) {
                return -1;
            }
        }
        DWORD code = 0;
        ::GetExitCodeProcess(info_.hProcess, &code);
        return static_cast<long>(code);
    }

private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
};

enum class CloseBy { CancelButton, CancelCommand, EscapeKey, CloseMessage };

void closeDialog(const ChildProcess& child, HWND dialog, CloseBy how) {
    switch (how) {
    case CloseBy::CancelButton:
        ::SendMessageW(::GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        break;
    case CloseBy::CancelCommand:
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        break;
    case CloseBy::EscapeKey: {
        // Posted to the focused control, so it reaches the program through its loop's filter.
        GUITHREADINFO gui{};
        gui.cbSize = sizeof(gui);
        HWND target = ::GetDlgItem(dialog, IDOK);
        if (::GetGUIThreadInfo(child.threadId(), &gui) && gui.hwndFocus != nullptr &&
            ::IsChild(dialog, gui.hwndFocus)) {
            target = gui.hwndFocus;
        }
        ::PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        break;
    }
    case CloseBy::CloseMessage:
        ::PostMessageW(dialog, WM_CLOSE, 0, 0);
        break;
    }
}

TEST(Program, EveryWayOfClosingEndsWithExitCodeTwo) {
    const std::wstring program = testing::builtProgramPath(L"corvane.exe");
    for (const CloseBy how : {CloseBy::CancelButton, CloseBy::CancelCommand, CloseBy::EscapeKey,
                              CloseBy::CloseMessage}) {
        SCOPED_TRACE(static_cast<int>(how));
        ChildProcess child(program, L"");
        ASSERT_TRUE(child.started());
        const HWND dialog = child.waitForDialog();
        ASSERT_NE(dialog, nullptr);
        closeDialog(child, dialog, how);
        EXPECT_EQ(child.waitForExit(), 2);
    }
}

TEST(Program, FocusStartsOnOk) {
    ChildProcess child(testing::builtProgramPath(L"corvane.exe"), L"");
    ASSERT_TRUE(child.started());
    const HWND dialog = child.waitForDialog();
    ASSERT_NE(dialog, nullptr);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    ASSERT_TRUE(::GetGUIThreadInfo(child.threadId(), &gui));
    EXPECT_EQ(gui.hwndFocus, ::GetDlgItem(dialog, IDOK));
    closeDialog(child, dialog, CloseBy::CancelCommand);
    EXPECT_EQ(child.waitForExit(), 2);
}

TEST(Program, ArgumentsAreIgnored) {
    ChildProcess child(testing::builtProgramPath(L"corvane.exe"), L"/quiet --out x.cmd \"a b\"");
    ASSERT_TRUE(child.started());
    const HWND dialog = child.waitForDialog();
    ASSERT_NE(dialog, nullptr);
    closeDialog(child, dialog, CloseBy::CancelCommand);
    EXPECT_EQ(child.waitForExit(), 2);
}

TEST(Program, LaunchersShowCommandIsApplied) {
    ChildProcess child(testing::builtProgramPath(L"corvane.exe"), L"", SW_SHOWMINNOACTIVE);
    ASSERT_TRUE(child.started());
    HWND dialog = nullptr;
    const ULONGLONG deadline = ::GetTickCount64() + kStartTimeoutMs;
    while (dialog == nullptr && ::GetTickCount64() < deadline) {
        for (const HWND window : testing::visibleProcessWindows(child.processId())) {
            if (testing::windowText(window).rfind(L"Corvane - ", 0) == 0) {
                dialog = window;
            }
        }
        ::Sleep(50);
    }
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(::IsIconic(dialog));
    closeDialog(child, dialog, CloseBy::CancelCommand);
    EXPECT_EQ(child.waitForExit(), 2);
}

TEST(Program, WithoutItsDialogTemplateItEndsWithZeroAndShowsNothing) {
    ChildProcess child(testing::builtProgramPath(L"corvane_no_template.exe"), L"");
    ASSERT_TRUE(child.started());
    std::vector<HWND> windowsSeen;
    EXPECT_EQ(child.waitForExit(&windowsSeen), 0);
    EXPECT_TRUE(windowsSeen.empty());
}

} // namespace
} // namespace corvane
