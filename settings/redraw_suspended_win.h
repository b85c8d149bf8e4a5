// Holds a shown control's painting while it is changed, then asks for one repaint.
#pragma once

#include <windows.h>

namespace corvane {

// A visible list box otherwise repaints on every insertion, which under Wine costs seconds per
// thousand entries. A control without WS_VISIBLE is left alone: WM_SETREDRAW TRUE may set that
// style.
class RedrawSuspended {
public:
    explicit RedrawSuspended(HWND control) noexcept
        : control_((GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0 ? control : nullptr) {
        if (control_ != nullptr) {
            SendMessageW(control_, WM_SETREDRAW, FALSE, 0);
        }
    }
    ~RedrawSuspended() {
        if (control_ != nullptr) {
            SendMessageW(control_, WM_SETREDRAW, TRUE, 0);
            RedrawWindow(control_, nullptr, nullptr,
                         RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
        }
    }
    RedrawSuspended(const RedrawSuspended&) = delete;
    RedrawSuspended& operator=(const RedrawSuspended&) = delete;

private:
    HWND control_;
};

} // namespace corvane
