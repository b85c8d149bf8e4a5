// Owner of a Win32 critical section and a scoped holder for it.
#pragma once

#include <windows.h>

namespace corvane {

class CriticalSection {
public:
    // Spin count 0: the locks here guard one short list operation on a single GUI thread.
    CriticalSection() noexcept { ::InitializeCriticalSectionAndSpinCount(&section_, 0); }
    ~CriticalSection() { ::DeleteCriticalSection(&section_); }

    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void lock() noexcept { ::EnterCriticalSection(&section_); }
    void unlock() noexcept { ::LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class CriticalSectionHold {
public:
    explicit CriticalSectionHold(CriticalSection& section) noexcept : section_(section) {
        section_.lock();
    }
    ~CriticalSectionHold() { section_.unlock(); }

    CriticalSectionHold(const CriticalSectionHold&) = delete;
    CriticalSectionHold& operator=(const CriticalSectionHold&) = delete;

private:
    CriticalSection& section_;
};

} // namespace corvane
