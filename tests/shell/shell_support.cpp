#include "tests/shell/shell_support.h"

#include "app/app_module.h"

namespace corvane::testing {

namespace {

std::function<bool()>* currentTimerAction = nullptr;
bool currentTimerFinished = false;

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

ThreadTimerAction::ThreadTimerAction(UINT periodMs, std::function<bool()> action) {
    currentTimerAction = new std::function<bool()>(std::move(action));
    currentTimerFinished = false;
    timer_ = ::SetTimer(nullptr, 0, periodMs, &ThreadTimerAction::onTimer);
}

ThreadTimerAction::~ThreadTimerAction() {
    if (timer_ != 0) {
        ::KillTimer(nullptr, timer_);
    }
    delete currentTimerAction;
    currentTimerAction = nullptr;
}

bool ThreadTimerAction::finished() const noexcept {
    return currentTimerFinished;
}

void CALLBACK ThreadTimerAction::onTimer(HWND /*window*/, UINT /*message*/, UINT_PTR id,
                                         DWORD /*time*/) {
    if (currentTimerAction == nullptr || currentTimerFinished) {
        return;
    }
    if ((*currentTimerAction)()) {
        currentTimerFinished = true;
        ::KillTimer(nullptr, id);
    }
}

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() > deadline) {
            return false;
        }
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

} // namespace corvane::testing
