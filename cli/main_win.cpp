// Entry point of corvane-script.exe, a console program: arguments arrive as UTF-16.
#include "cli/system_host.h"

#include <windows.h>

#include <new>
#include <string>
#include <vector>

namespace {

// operator new calls this when an allocation fails; without it a build without exceptions
// aborts silently with status 3. It must not allocate itself.
void stopForWantOfMemory() {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), corvane::kOutOfMemoryMessage,
              sizeof corvane::kOutOfMemoryMessage - 1, &written, nullptr);
    ExitProcess(corvane::kExitOutOfMemory);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::set_new_handler(stopForWantOfMemory);
    const std::vector<std::wstring> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    corvane::SystemScriptToolHost host;
    return corvane::runScriptTool(arguments, host);
}
