// Entry point of corvane-script off Windows: arguments arrive as UTF-8 bytes.
#include "cli/system_host.h"
#include "cli/utf8.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char** argv) {
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
