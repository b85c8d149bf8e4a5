// Runs the main dialog on the calling thread until it is closed.
#pragma once

#include <windows.h>

namespace corvane {

// The loop's exit code (2 after a normal close), or 0 when the dialog cannot be created.
// The command line is not read: the program takes no arguments.
[[nodiscard]] int RunMainDialog(const wchar_t* commandLine, int showCommand) noexcept;

} // namespace corvane
