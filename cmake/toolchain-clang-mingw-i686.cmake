# Cross-compiles 32-bit Windows programs with Clang on Linux, against the same MinGW-w64 headers,
# runtime and libstdc++ (posix thread model) as toolchain-mingw-i686.cmake. A second compiler
# catches code that only GCC accepts.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CORVANE_MINGW_PREFIX i686-w64-mingw32)
set(CORVANE_MINGW_SYSROOT /usr/${CORVANE_MINGW_PREFIX})
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${CORVANE_MINGW_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${CORVANE_MINGW_PREFIX})
set(CMAKE_RC_COMPILER ${CORVANE_MINGW_PREFIX}-windres)
set(CMAKE_SYSROOT ${CORVANE_MINGW_SYSROOT})

# Clang does not find Debian's GCC directory for this target (its name, "12-posix", carries the
# thread model), so libstdc++'s headers and libraries are named here. -pthread links
# winpthreads, which that libstdc++ needs.
file(GLOB corvane_gcc_dirs LIST_DIRECTORIES true "/usr/lib/gcc/${CORVANE_MINGW_PREFIX}/*-posix")
list(SORT corvane_gcc_dirs COMPARE NATURAL ORDER DESCENDING)
list(GET corvane_gcc_dirs 0 CORVANE_MINGW_GCC_DIR)
set(corvane_cxx_include "${CORVANE_MINGW_GCC_DIR}/include/c++")
set(CMAKE_CXX_FLAGS_INIT "-isystem ${corvane_cxx_include} -isystem ${corvane_cxx_include}/${CORVANE_MINGW_PREFIX} -isystem ${corvane_cxx_include}/backward -pthread")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-L${CORVANE_MINGW_GCC_DIR} -pthread")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-L${CORVANE_MINGW_GCC_DIR} -pthread")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-L${CORVANE_MINGW_GCC_DIR} -pthread")

set(CMAKE_FIND_ROOT_PATH ${CORVANE_MINGW_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
