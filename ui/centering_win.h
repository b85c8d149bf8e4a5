// Centres a window over a reference window or its monitor's work area (the platform part of
// ui/centering.h).
#pragma once

#include <windows.h>

namespace corvane {

// With no reference, a child centres over its parent and a top-level window over its owner.
// A hidden or minimised top-level reference is ignored: the window then centres in the work area
// of the monitor nearest to it. False when the monitor or its information cannot be found (the
// window is then left where it is), otherwise the result of SetWindowPos.
[[nodiscard]] bool CenterOverWindow(HWND window, HWND reference = nullptr) noexcept;

} // namespace corvane
