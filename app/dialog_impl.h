// Dialog objects bound to their windows: a window-creation record hands the object to the
// window's first message, after which the object is found through a pointer kept in DWLP_USER.
#pragma once

#include "app/app_module.h"

#include <windows.h>

#include <cstddef>

namespace corvane {

// A borrowed window handle.
class CWindow {
public:
    CWindow() noexcept = default;
    explicit CWindow(HWND window) noexcept : hwnd_(window) {}

    [[nodiscard]] HWND Handle() const noexcept { return hwnd_; }
    [[nodiscard]] HWND GetDlgItem(int id) const noexcept { return ::GetDlgItem(hwnd_, id); }

protected:
    HWND hwnd_ = nullptr;
};

// Messages whose handled result a dialog procedure returns itself instead of storing it in
// DWLP_MSGRESULT (the platform reads their answer from the procedure's return value).
[[nodiscard]] bool dialogReturnsResultDirectly(UINT message) noexcept;

class CDialogImplBase : public CWindow {
public:
    CDialogImplBase() noexcept = default;
    virtual ~CDialogImplBase();

    CDialogImplBase(const CDialogImplBase&) = delete;
    CDialogImplBase& operator=(const CDialogImplBase&) = delete;

    // The message map: true when handled, with the handler's result in `result`.
    virtual bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result) = 0;
    // Called once the window is gone and none of its messages is still being handled.
    virtual void OnFinalMessage(HWND window);

    // The procedure of a bound window: routes every message to the object's message map.
    [[nodiscard]] static DLGPROC GetDialogProc() noexcept;

    // Window-creation records not yet taken by a window; 0 whenever no creation call is running.
    [[nodiscard]] static std::size_t PendingCreationCount() noexcept;

    // The message being handled, or null between messages.
    [[nodiscard]] const MSG* GetCurrentMessage() const noexcept { return currentMessage_; }

protected:
    [[nodiscard]] HWND createModeless(int templateId, HWND parent, LPARAM param) noexcept;
    [[nodiscard]] INT_PTR runModal(int templateId, HWND owner, LPARAM param) noexcept;

private:
    static INT_PTR CALLBACK startDialogProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    static INT_PTR CALLBACK boundDialogProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    INT_PTR routeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    const MSG* currentMessage_ = nullptr;
    bool destroyed_ = false; // WM_NCDESTROY seen; the handle is cleared when no message is active
};

// T names its template with `static constexpr int IDD`.
template <class T>
class CDialogImpl : public CDialogImplBase {
public:
    // Modeless window from template T::IDD; null on failure.
    [[nodiscard]] HWND Create(HWND parent, LPARAM param = 0) noexcept {
        return createModeless(T::IDD, parent, param);
    }
    // Modal run; the EndDialog code, or the platform's failure value (-1, or 0 for a bad owner).
    INT_PTR RunModal(HWND owner, LPARAM param = 0) noexcept {
        return runModal(T::IDD, owner, param);
    }
};

} // namespace corvane
