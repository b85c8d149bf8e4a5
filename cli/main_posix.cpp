// Entry point of corvane-script off Windows: arguments arrive as UTF-8 bytes.
#include "cli/system_host.h"
#include "encoding/utf8.h"
#include "files/temporary_file_posix.h"

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

// operator new calls this when an allocation fails; it must not allocate itself.
void stopForWantOfMemory() {
    if (write(STDERR_FILENO, corvane::kOutOfMemoryMessage,
              sizeof corvane::kOutOfMemoryMessage - 1) < 0) {
        // Nothing more can be said.
    }
    std::_Exit(corvane::kExitOutOfMemory);
}

} // namespace

int main(int argc, char** argv) {
    std::set_new_handler(stopForWantOfMemory);
    corvane::removeTemporaryFileOnSignals();
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) {
        std::wstring argument;
        if (!corvane::fromUtf8(argv[i], argument)) {
            std::fputs("corvane-script: the arguments must be UTF-8 text\n", stderr);
            return corvane::kExitBadInput;
        }
        arguments.push_back(std::move(argument));
    }
    corvane::SystemScriptToolHost host;
    return corvane::runScriptTool(arguments, host);
}
