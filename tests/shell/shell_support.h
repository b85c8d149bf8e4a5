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

// Calls `action` from WM_TIMER of a thread timer every `periodMs` until it returns true. The
// timer message is dispatched by whichever loop runs, modal loops included. One at a time.
class ThreadTimerAction {
public:
    ThreadTimerAction(UINT periodMs, std::function<bool()> action);
    ~ThreadTimerAction();
    ThreadTimerAction(const ThreadTimerAction&) = delete;
    ThreadTimerAction& operator=(const ThreadTimerAction&) = delete;

    [[nodiscard]] bool finished() const noexcept;

private:
    static void CALLBACK onTimer(HWND window, UINT message, UINT_PTR id, DWORD time);
    UINT_PTR timer_ = 0;
};

// Runs a plain message loop until `done` or the timeout; false on timeout.
[[nodiscard]] bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

} // namespace corvane::testing
