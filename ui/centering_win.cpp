#include "ui/centering_win.h"

#include "ui/centering.h"

namespace corvane {

namespace {

CenteringRect toCenteringRect(const RECT& rect) noexcept {
    return CenteringRect{static_cast<std::int32_t>(rect.left), static_cast<std::int32_t>(rect.top),
                         static_cast<std::int32_t>(rect.right),
                         static_cast<std::int32_t>(rect.bottom)};
}

bool isChildStyle(LONG style) noexcept {
    return (static_cast<DWORD>(style) & WS_CHILD) != 0;
}

} // namespace

bool CenterOverWindow(HWND window, HWND reference) noexcept {
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    const bool child = isChildStyle(style);
    if (reference == nullptr) {
        reference = child ? ::GetParent(window) : ::GetWindow(window, GW_OWNER);
    }

    RECT windowRect{};
    ::GetWindowRect(window, &windowRect);

    RECT area{};
    RECT centre{};
    if (child) {
        const HWND parent = ::GetParent(window);
        ::GetClientRect(parent, &area);
        ::GetClientRect(reference, &centre);
        ::MapWindowPoints(reference, parent, reinterpret_cast<POINT*>(&centre), 2);
    } else {
        if (reference != nullptr) {
            const auto referenceStyle = static_cast<DWORD>(::GetWindowLongW(reference, GWL_STYLE));
            if ((referenceStyle & WS_VISIBLE) == 0 || (referenceStyle & WS_MINIMIZE) != 0) {
                reference = nullptr;
            }
        }
        const HMONITOR monitor = ::MonitorFromWindow(reference != nullptr ? reference : window,
                                                     MONITOR_DEFAULTTONEAREST);
        if (monitor == nullptr) {
            return false;
        }
        MONITORINFO info{};
        static_assert(sizeof(info) == 40, "the monitor record without the device name");
        info.cbSize = sizeof(info);
        if (!::GetMonitorInfoW(monitor, &info)) {
            return false;
        }
        area = info.rcWork;
        if (reference == nullptr) {
            centre = area;
        } else {
            ::GetWindowRect(reference, &centre);
        }
    }

    const CenteringPoint position =
        centeredPosition(static_cast<std::int32_t>(windowRect.right - windowRect.left),
                         static_cast<std::int32_t>(windowRect.bottom - windowRect.top),
                         toCenteringRect(centre), toCenteringRect(area));
    return ::SetWindowPos(window, nullptr, position.x, position.y, -1, -1,
                          SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

} // namespace corvane
