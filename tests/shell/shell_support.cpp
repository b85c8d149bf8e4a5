#include "tests/shell/shell_support.h"

#include "app/app_module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace corvane::testing {

namespace {

// Live objects by address: a thread timer's callback knows only the timer id.
std::vector<ThreadDeadline*>& liveDeadlines() {
    static std::vector<ThreadDeadline*> live;
    return live;
}
std::vector<ThreadTimerAction*>& liveTimerActions() {
    static std::vector<ThreadTimerAction*> live;
    return live;
}

struct CaptionSearch {
    const std::wstring* caption;
    HWND found;
};

BOOL CALLBACK matchCaption(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<CaptionSearch*>(context);
    if (windowText(window) == *search->caption) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct ProcessSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK collectVisibleOfProcess(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<ProcessSearch*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && ::IsWindowVisible(window)) {
        search->found.push_back(window);
    }
    return TRUE;
}

BOOL CALLBACK collectEnabledDialog(HWND window, LPARAM context) {
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    if (std::wstring(className) == L"#32770" && ::IsWindowEnabled(window)) {
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    }
    return TRUE;
}

// Dialog boxes of this thread that take input: a modal one runs its loop; the owners it disabled
// are left alone.
std::vector<HWND> enabledThreadDialogs() {
    std::vector<HWND> found;
    ::EnumThreadWindows(::GetCurrentThreadId(), &collectEnabledDialog,
                        reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace

void ensureAppModule() {
    static const bool initialised = appModule.Init(::GetModuleHandleW(nullptr));
    static_cast<void>(initialised);
}

std::wstring builtProgramPath(const wchar_t* fileName) {
    wchar_t self[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    path.erase(path.find_last_of(L"\\/") + 1);
    path += CORVANE_PROGRAMS_RELATIVE_DIR;
    if (path.back() != L'/') {
        path += L'/';
    }
    path += fileName;
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

HWND findThreadWindow(DWORD threadId, const std::wstring& caption) {
    CaptionSearch search{&caption, nullptr};
    ::EnumThreadWindows(threadId, &matchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> visibleProcessWindows(DWORD processId) {
    ProcessSearch search{processId, {}};
    ::EnumWindows(&collectVisibleOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring windowText(HWND window) {
    wchar_t text[256] = {};
    const int length = ::GetWindowTextW(window, text, 256);
    return std::wstring(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

ThreadDeadline::ThreadDeadline(DWORD limitMs) : limitMs_(limitMs) {
    timer_ = ::SetTimer(nullptr, 0, limitMs, &ThreadDeadline::onTimer);
    liveDeadlines().push_back(this);
}

ThreadDeadline::~ThreadDeadline() {
    if (timer_ != 0) {
        ::KillTimer(nullptr, timer_);
    }
    std::vector<ThreadDeadline*>& live = liveDeadlines();
    live.erase(std::find(live.begin(), live.end(), this));
    if (expired_) {
        // A quit that no loop took would end the next test's loop or modal run at once.
        MSG leftover;
        ::PeekMessageW(&leftover, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }
}

void CALLBACK ThreadDeadline::onTimer(HWND /*window*/, UINT /*message*/, UINT_PTR id,
                                      DWORD /*time*/) {
    for (ThreadDeadline* deadline : liveDeadlines()) {
        if (deadline->timer_ == id) {
            deadline->expire();
            return;
        }
    }
    ::KillTimer(nullptr, id);
}

void ThreadDeadline::expire() {
    ::KillTimer(nullptr, timer_);
    timer_ = 0;
    expired_ = true;
    const std::vector<HWND> dialogs = enabledThreadDialogs();
    ADD_FAILURE() << "still waiting after " << limitMs_ << " ms; ending " << dialogs.size()
                  << " dialog box(es) and the message loop";
    for (const HWND dialog : dialogs) {
        ::EndDialog(dialog, kGaveUpCode);
    }
    ::PostQuitMessage(kGaveUpCode);
}

ThreadTimerAction::ThreadTimerAction(UINT periodMs, std::function<bool()> action, DWORD deadlineMs)
    : action_(std::move(action)), deadline_(deadlineMs) {
    timer_ = ::SetTimer(nullptr, 0, periodMs, &ThreadTimerAction::onTimer);
    liveTimerActions().push_back(this);
}

ThreadTimerAction::~ThreadTimerAction() {
    if (timer_ != 0) {
        ::KillTimer(nullptr, timer_);
    }
    std::vector<ThreadTimerAction*>& live = liveTimerActions();
    live.erase(std::find(live.begin(), live.end(), this));
}

void CALLBACK ThreadTimerAction::onTimer(HWND /*window*/, UINT /*message*/, UINT_PTR id,
                                         DWORD /*time*/) {
    for (ThreadTimerAction* timerAction : liveTimerActions()) {
        if (timerAction->timer_ != id) {
            continue;
        }
        // The action may run a nested loop that dispatches this timer again.
        if (timerAction->running_ || timerAction->finished_) {
            return;
        }
        timerAction->running_ = true;
        const bool done = timerAction->action_();
        timerAction->running_ = false;
        if (done) {
            timerAction->finished_ = true;
            ::KillTimer(nullptr, id);
            timerAction->timer_ = 0;
        }
        return;
    }
    ::KillTimer(nullptr, id);
}

} // namespace corvane::testing
