#include "ui/window_watch.h"

namespace corvane {

bool CWindowWatch::Watch(HWND window, WNDPROC procedure, void* owner) noexcept {
    if (window == nullptr || count_ == watched_.size() || OwnerOf(window) != nullptr) {
        return false;
    }
    // The owner is in place before the first message can reach the new procedure.
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    const auto previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
    if (previous == nullptr) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        return false;
    }
    watched_[count_++] = Watched{window, previous};
    return true;
}

void CWindowWatch::UnwatchAll() noexcept {
    while (count_ > 0) {
        const Watched& last = watched_[--count_];
        if (::IsWindow(last.window)) {
            ::SetWindowLongPtrW(last.window, GWLP_WNDPROC,
                                reinterpret_cast<LONG_PTR>(last.previous));
            ::SetWindowLongPtrW(last.window, GWLP_USERDATA, 0);
        }
        watched_[count_] = Watched{};
    }
}

void* CWindowWatch::OwnerOf(HWND window) noexcept {
    return reinterpret_cast<void*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CWindowWatch::CallPrevious(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) const noexcept {
    for (std::size_t index = 0; index < count_; ++index) {
        if (watched_[index].window == window) {
            // Taken before the call: the window may be given back its procedure meanwhile.
            const WNDPROC previous = watched_[index].previous;
            return ::CallWindowProcW(previous, window, message, wParam, lParam);
        }
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace corvane
