// The thread's message loop with its message filters and idle handlers.
#pragma once

#include "app/growable_array.h"

#include <windows.h>

namespace corvane {

// Sees each queued message before it is translated and dispatched.
class CMessageFilter {
public:
    // True: the message is handled completely and is neither translated nor dispatched.
    virtual bool FilterMessage(MSG& message) = 0;
    virtual ~CMessageFilter() = default;
};

// Called once each time the queue runs empty after a message that re-arms idle processing.
class CIdleHandler {
public:
    // The loop ignores the result.
    virtual bool DoIdle() = 0;
    virtual ~CIdleHandler() = default;
};

class CMessageLoop {
public:
    CMessageLoop() noexcept = default;
    virtual ~CMessageLoop() = default;

    CMessageLoop(const CMessageLoop&) = delete;
    CMessageLoop& operator=(const CMessageLoop&) = delete;

    [[nodiscard]] bool AttachFilter(CMessageFilter* filter) noexcept;
    [[nodiscard]] bool DetachFilter(CMessageFilter* filter) noexcept;
    [[nodiscard]] bool AttachIdleHandler(CIdleHandler* handler) noexcept;
    [[nodiscard]] bool DetachIdleHandler(CIdleHandler* handler) noexcept;

    // Runs until WM_QUIT and returns its wParam.
    int Run();

    // Asks the filters from the last attached to the first; true when one consumed the message.
    virtual bool FilterChain(MSG& message);
    // Calls every idle handler once, first attached first; always false.
    virtual bool IdleChain(int idlePass);

    [[nodiscard]] std::size_t FilterCount() const noexcept { return filters_.size(); }
    [[nodiscard]] std::size_t IdleHandlerCount() const noexcept { return idleHandlers_.size(); }

private:
    GrowableArray<CMessageFilter*> filters_;
    GrowableArray<CIdleHandler*> idleHandlers_;
    MSG message_{};
};

// Messages that do not re-arm idle processing: pointer movement, painting and caret blinking
// arrive constantly and would otherwise keep the idle handlers running.
[[nodiscard]] bool rearmsIdle(UINT message) noexcept;

} // namespace corvane
