#include "app/app_module.h"

#include <new>

namespace corvane {

CAppModule appModule;

CAppModule::CAppModule() noexcept : resourceInstance_(::GetModuleHandleW(nullptr)) {
    lock_.emplace();
}

CAppModule::~CAppModule() {
    Term();
}

bool CAppModule::Init(HINSTANCE instance) noexcept {
    resourceInstance_ = instance;
    if (terminated_ || !lock_) {
        return false;
    }
    CriticalSectionHold hold(*lock_);
    registry_.reset(new (std::nothrow) LoopRegistry);
    return registry_ != nullptr;
}

void CAppModule::Term() noexcept {
    if (terminated_) {
        return;
    }
    registry_.reset();
    lock_.reset();
    terminated_ = true;
}

bool CAppModule::RegisterLoop(CMessageLoop* loop) noexcept {
    if (!lock_) {
        return false;
    }
    CriticalSectionHold hold(*lock_);
    if (!registry_) {
        return false;
    }
    if (!registry_->threadIds.append(::GetCurrentThreadId())) {
        return false;
    }
    if (!registry_->loops.append(loop)) {
        // Keep the arrays the same length.
        registry_->threadIds.removeAt(registry_->threadIds.size() - 1);
        return false;
    }
    return true;
}

bool CAppModule::UnregisterLoop() noexcept {
    if (!lock_) {
        return false;
    }
    CriticalSectionHold hold(*lock_);
    if (!registry_) {
        return false;
    }
    const std::size_t index = registry_->threadIds.find(::GetCurrentThreadId());
    if (index == registry_->threadIds.size()) {
        return false;
    }
    registry_->threadIds.removeAt(index);
    registry_->loops.removeAt(index);
    return true;
}

CMessageLoop* CAppModule::FindLoop(DWORD threadId) noexcept {
    if (!lock_) {
        return nullptr;
    }
    CriticalSectionHold hold(*lock_);
    if (!registry_) {
        return nullptr;
    }
    const std::size_t index = registry_->threadIds.find(threadId);
    return index == registry_->threadIds.size() ? nullptr : registry_->loops[index];
}

} // namespace corvane
