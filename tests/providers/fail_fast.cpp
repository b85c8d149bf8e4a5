// Linked into the Windows test programs: an unhandled exception (a crash, or a Wine stub being
// called) ends the process at once with its code, instead of waiting for Wine's debugger.
#include <windows.h>

#include <cstdio>

namespace {

LONG WINAPI endOnUnhandledException(EXCEPTION_POINTERS* exception) {
    std::printf("unhandled exception 0x%08lX at %p\n", exception->ExceptionRecord->ExceptionCode,
                exception->ExceptionRecord->ExceptionAddress);
    std::fflush(stdout);
    return EXCEPTION_EXECUTE_HANDLER;
}

const LPTOP_LEVEL_EXCEPTION_FILTER previousFilter =
    SetUnhandledExceptionFilter(endOnUnhandledException);

} // namespace
