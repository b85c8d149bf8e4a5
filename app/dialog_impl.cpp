#include "app/dialog_impl.h"

#include "app/critical_section.h"

namespace corvane {

namespace {

// A dialog object waiting for the first message of the window being created for it.
struct WindowCreationRecord {
    CDialogImplBase* dialog = nullptr;
    DWORD threadId = 0;
    WindowCreationRecord* next = nullptr;
};

// Newest first, under its own lock, held only for one list operation.
class WindowCreationList {
public:
    void push(WindowCreationRecord& record) noexcept {
        CriticalSectionHold hold(lock_);
        record.next = head_;
        head_ = &record;
    }

    // Unlinks the first record of the thread and returns its dialog, or null.
    [[nodiscard]] CDialogImplBase* takeForThread(DWORD threadId) noexcept {
        CriticalSectionHold hold(lock_);
        for (WindowCreationRecord** link = &head_; *link != nullptr; link = &(*link)->next) {
            if ((*link)->threadId == threadId) {
                WindowCreationRecord* record = *link;
                *link = record->next;
                return record->dialog;
            }
        }
        return nullptr;
    }

    // Unlinks the record if no window took it (creation failed before its first message).
    void remove(WindowCreationRecord& record) noexcept {
        CriticalSectionHold hold(lock_);
        for (WindowCreationRecord** link = &head_; *link != nullptr; link = &(*link)->next) {
            if (*link == &record) {
                *link = record.next;
                return;
            }
        }
    }

    [[nodiscard]] std::size_t size() noexcept {
        CriticalSectionHold hold(lock_);
        std::size_t count = 0;
        for (const WindowCreationRecord* record = head_; record != nullptr; record = record->next) {
            ++count;
        }
        return count;
    }

private:
    CriticalSection lock_;
    WindowCreationRecord* head_ = nullptr;
};

WindowCreationList& windowCreationList() noexcept {
    static WindowCreationList list;
    return list;
}

// Keeps a record in the list for the duration of one creation call. The record lives on the
// caller's stack, so it must never outlive that call, also when the window was never created.
class PendingWindowCreation {
public:
    explicit PendingWindowCreation(CDialogImplBase& dialog) noexcept {
        record_.dialog = &dialog;
        record_.threadId = ::GetCurrentThreadId();
        windowCreationList().push(record_);
    }
    ~PendingWindowCreation() { windowCreationList().remove(record_); }

    PendingWindowCreation(const PendingWindowCreation&) = delete;
    PendingWindowCreation& operator=(const PendingWindowCreation&) = delete;

private:
    WindowCreationRecord record_;
};

constexpr UINT kDirectResultMessages[] = {WM_COMPAREITEM, WM_VKEYTOITEM, WM_CHARTOITEM,
                                          WM_INITDIALOG, WM_QUERYDRAGICON};

} // namespace

bool dialogReturnsResultDirectly(UINT message) noexcept {
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        return true;
    }
    for (const UINT direct : kDirectResultMessages) {
        if (message == direct) {
            return true;
        }
    }
    return false;
}

CDialogImplBase::~CDialogImplBase() {
    // An object that goes away before its window must not be reached through it any more.
    if (hwnd_ != nullptr && ::IsWindow(hwnd_)) {
        ::SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
    }
}

void CDialogImplBase::OnFinalMessage(HWND /*window*/) {}

std::size_t CDialogImplBase::PendingCreationCount() noexcept {
    return windowCreationList().size();
}

DLGPROC CDialogImplBase::GetDialogProc() noexcept {
    return &CDialogImplBase::boundDialogProc;
}

HWND CDialogImplBase::createModeless(int templateId, HWND parent, LPARAM param) noexcept {
    if (hwnd_ != nullptr) {
        ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    PendingWindowCreation pending(*this);
    return ::CreateDialogParamW(appModule.GetResourceInstance(), MAKEINTRESOURCEW(templateId),
                                parent, &CDialogImplBase::startDialogProc, param);
}

INT_PTR CDialogImplBase::runModal(int templateId, HWND owner, LPARAM param) noexcept {
    if (hwnd_ != nullptr) {
        ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    PendingWindowCreation pending(*this);
    return ::DialogBoxParamW(appModule.GetResourceInstance(), MAKEINTRESOURCEW(templateId), owner,
                             &CDialogImplBase::startDialogProc, param);
}

INT_PTR CALLBACK CDialogImplBase::startDialogProc(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    CDialogImplBase* dialog = windowCreationList().takeForThread(::GetCurrentThreadId());
    if (dialog == nullptr) {
        return FALSE;
    }
    dialog->hwnd_ = window;
    ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
    ::SetWindowLongPtrW(window, DWLP_DLGPROC,
                        reinterpret_cast<LONG_PTR>(&CDialogImplBase::boundDialogProc));
    return dialog->routeMessage(window, message, wParam, lParam);
}

INT_PTR CALLBACK CDialogImplBase::boundDialogProc(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    auto* dialog = reinterpret_cast<CDialogImplBase*>(::GetWindowLongPtrW(window, DWLP_USER));
    if (dialog == nullptr) {
        return FALSE;
    }
    return dialog->routeMessage(window, message, wParam, lParam);
}

INT_PTR CDialogImplBase::routeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG current{};
    current.hwnd = window;
    current.message = message;
    current.wParam = wParam;
    current.lParam = lParam;
    const MSG* outer = currentMessage_;
    currentMessage_ = &current;

    LRESULT result = 0;
    const bool handled = ProcessWindowMessage(window, message, wParam, lParam, result);
    currentMessage_ = outer;

    INT_PTR answer = FALSE;
    if (handled) {
        if (dialogReturnsResultDirectly(message)) {
            answer = static_cast<INT_PTR>(result);
        } else {
            if (!destroyed_) {
                ::SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
            }
            answer = TRUE;
        }
    } else if (message == WM_NCDESTROY) {
        destroyed_ = true;
    }

    if (destroyed_ && currentMessage_ == nullptr) {
        hwnd_ = nullptr;
        destroyed_ = false;
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        // Last use of this object here: the hook may end its life.
        OnFinalMessage(window);
    }
    return answer;
}

} // namespace corvane
