// Helpers for the shell tests: the module, windows of this thread or of a child process, and a
// thread timer that acts while a loop (ours or a modal one) runs.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace corvane::testing {

// Initialises the process's application module once for the whole test program.
void ensureAppModule();

// Full path of a program built next to the test programs' build root (corvane.exe and friends).
[[nodiscard]] std::wstring builtProgramPath(const wchar_t* fileName);

// The first top-level window of the thread with exactly this caption, or null.
[[nodiscard]] HWND findThreadWindow(DWORD threadId, const std::wstring& caption);
// Visible top-level windows that belong to the process.
[[nodiscard]] std::vector<HWND> visibleProcessWindows(DWORD processId);

[[nodiscard]] std::wstring windowText(HWND window);

// How long a test may wait for a loop or a modal run before it is ended as a failure.
inline constexpr DWORD kDefaultDeadlineMs = 10000;
// What a modal run or a message loop returns when a deadline had to end it.
inline constexpr int kGaveUpCode = -77;

// Fails the running test if this object still exists `limitMs` after its construction, and then
// ends what the thread is stuck in: every enabled dialog box of the thread gets EndDialog (a modal
// run returns kGaveUpCode) and a quit with kGaveUpCode ends a running message loop. A fault then
// fails the test instead of hanging the whole program.
class ThreadDeadline {
public:
    explicit ThreadDeadline(DWORD limitMs = kDefaultDeadlineMs);
    ~ThreadDeadline();
    ThreadDeadline(const ThreadDeadline&) = delete;
    ThreadDeadline& operator=(const ThreadDeadline&) = delete;

private:
    static void CALLBACK onTimer(HWND window, UINT message, UINT_PTR id, DWORD time);
    void expire();

    DWORD limitMs_;
    UINT_PTR timer_ = 0;
    bool expired_ = false;
};

// Calls `action` from WM_TIMER of a thread timer every `periodMs` until it returns true. The
// timer message is dispatched by whichever loop runs, modal loops included. A deadline guards the
// whole scope of the object, the wait after the action included.
class ThreadTimerAction {
public:
    ThreadTimerAction(UINT periodMs, std::function<bool()> action,
                      DWORD deadlineMs = kDefaultDeadlineMs);
    ~ThreadTimerAction();
    ThreadTimerAction(const ThreadTimerAction&) = delete;
    ThreadTimerAction& operator=(const ThreadTimerAction&) = delete;

    [[nodiscard]] bool finished() const noexcept { return finished_; }

private:
    static void CALLBACK onTimer(HWND window, UINT message, UINT_PTR id, DWORD time);

    std::function<bool()> action_;
    ThreadDeadline deadline_;
    UINT_PTR timer_ = 0;
    bool running_ = false;
    bool finished_ = false;
};

} // namespace corvane::testing
