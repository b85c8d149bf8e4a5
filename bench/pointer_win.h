// The pointer as a user's rests on the dialog: the main dialog makes its help tips at the first
// hover, and a benchmark that never moves the pointer measures a dialog without them.
#pragma once

#include "bench/clock_win.h"

#include <windows.h>

#include <cwchar>

namespace corvane::bench {

inline void pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

inline void pumpFor(double milliseconds) {
    const double end = millisecondsNow() + milliseconds;
    while (millisecondsNow() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        pumpMessages();
    }
}

// Moves the pointer to the middle of a shown control and lets the platform deliver its arrival.
inline void restPointerOn(HWND control) {
    // Long enough for the arrival to be delivered and the tips to be made.
    constexpr double kSettleMs = 400;
    RECT rect{};
    GetWindowRect(control, &rect);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    pumpFor(kSettleMs);
}

inline BOOL CALLBACK findTooltip(HWND window, LPARAM found) {
    wchar_t className[32] = {};
    if (GetClassNameW(window, className, 32) > 0 &&
        std::wcscmp(className, L"tooltips_class32") == 0) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

// Whether the thread has made a tooltip control, as the main dialog does for its tips.
inline bool threadHasTooltip() {
    bool found = false;
    EnumThreadWindows(GetCurrentThreadId(), findTooltip, reinterpret_cast<LPARAM>(&found));
    return found;
}

} // namespace corvane::bench
