#include "app/message_loop.h"

namespace corvane {

namespace {

// The platform's internal system timer that drives caret blinking.
constexpr UINT kSystemTimerMessage = 0x0118;

constexpr UINT kMessagesThatKeepIdleDisarmed[] = {WM_MOUSEMOVE, WM_NCMOUSEMOVE, WM_PAINT,
                                                  kSystemTimerMessage};

} // namespace

bool rearmsIdle(UINT message) noexcept {
    for (const UINT quiet : kMessagesThatKeepIdleDisarmed) {
        if (message == quiet) {
            return false;
        }
    }
    return true;
}

bool CMessageLoop::AttachFilter(CMessageFilter* filter) noexcept {
    return filters_.append(filter);
}

bool CMessageLoop::DetachFilter(CMessageFilter* filter) noexcept {
    return filters_.removeFirst(filter);
}

bool CMessageLoop::AttachIdleHandler(CIdleHandler* handler) noexcept {
    return idleHandlers_.append(handler);
}

bool CMessageLoop::DetachIdleHandler(CIdleHandler* handler) noexcept {
    return idleHandlers_.removeFirst(handler);
}

int CMessageLoop::Run() {
    bool idleArmed = true;
    int idlePass = 0;
    for (;;) {
        // PM_NOREMOVE only tests for an empty queue; the message is taken by GetMessageW.
        while (idleArmed && !::PeekMessageW(&message_, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!IdleChain(idlePass++)) {
                idleArmed = false;
            }
        }

        const BOOL got = ::GetMessageW(&message_, nullptr, 0, 0);
        if (got == -1) {
            continue;
        }
        if (got == 0) {
            return static_cast<int>(message_.wParam);
        }

        if (!FilterChain(message_)) {
            ::TranslateMessage(&message_);
            ::DispatchMessageW(&message_);
        }

        if (rearmsIdle(message_.message)) {
            idleArmed = true;
            idlePass = 0;
        }
    }
}

bool CMessageLoop::FilterChain(MSG& message) {
    // A filter may detach itself or others while it runs (its window being destroyed), so the
    // length is read again at every step and entries beyond it are skipped.
    for (std::size_t index = filters_.size(); index > 0; --index) {
        if (index > filters_.size()) {
            continue;
        }
        CMessageFilter* filter = filters_[index - 1];
        if (filter != nullptr && filter->FilterMessage(message)) {
            return true;
        }
    }
    return false;
}

bool CMessageLoop::IdleChain(int /*idlePass*/) {
    for (std::size_t index = 0; index < idleHandlers_.size(); ++index) {
        CIdleHandler* handler = idleHandlers_[index];
        if (handler != nullptr) {
            handler->DoIdle();
        }
    }
    return false;
}

} // namespace corvane
