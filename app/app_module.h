// The application module: the program's resource instance and the per-thread registry of
// message loops. One instance per process, `appModule`.
#pragma once

#include "app/critical_section.h"
#include "app/growable_array.h"

#include <windows.h>

#include <memory>
#include <optional>

namespace corvane {

class CMessageLoop;

class CAppModule {
public:
    CAppModule() noexcept;
    ~CAppModule();

    CAppModule(const CAppModule&) = delete;
    CAppModule& operator=(const CAppModule&) = delete;

    // Sets the resource instance and allocates the empty loop registry. False when the registry
    // cannot be allocated (the loop functions then fail).
    [[nodiscard]] bool Init(HINSTANCE instance) noexcept;
    // Frees the registry and deletes the module lock. Only the first call does anything.
    void Term() noexcept;

    // Appends (current thread id, loop). False when the registry cannot grow.
    [[nodiscard]] bool RegisterLoop(CMessageLoop* loop) noexcept;
    // Removes the first entry of the current thread. False when there is none.
    [[nodiscard]] bool UnregisterLoop() noexcept;
    // The loop of the first entry with that thread id, or null.
    [[nodiscard]] CMessageLoop* FindLoop(DWORD threadId) noexcept;

    [[nodiscard]] HINSTANCE GetResourceInstance() const noexcept { return resourceInstance_; }
    [[nodiscard]] bool IsTerminated() const noexcept { return terminated_; }

private:
    // Two parallel arrays in registration order, searched linearly: one entry per GUI thread.
    struct LoopRegistry {
        GrowableArray<DWORD> threadIds;
        GrowableArray<CMessageLoop*> loops;
    };

    std::optional<CriticalSection> lock_;
    std::unique_ptr<LoopRegistry> registry_;
    HINSTANCE resourceInstance_;
    bool terminated_ = false;
};

extern CAppModule appModule;

} // namespace corvane
