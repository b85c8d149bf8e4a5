// Entry point of corvane-script.exe, a console program: arguments arrive as UTF-16.
#include "cli/system_host.h"

#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    corvane::SystemScriptToolHost host;
    return corvane::runScriptTool(arguments, host);
}
