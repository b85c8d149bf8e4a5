// The terminate handler of corvane.exe and corvane-script.exe when built with MinGW-w64 (GCC or
// Clang).
//
// libstdc++'s default handler writes the type of the pending exception, demangled, to standard
// error before it aborts. A GUI program has no standard error to write to, and neither program
// throws, yet that handler drags the demangler and the C printf with its floating-point code into
// each program: about 60 KB.
// Defining the handler here keeps the library's one out of the link; the outcome of a call
// (abort) stays the same. Only std::terminate reaches it: the code itself throws nothing.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler();

void __verbose_terminate_handler() {
    std::abort();
}

} // namespace __gnu_cxx
