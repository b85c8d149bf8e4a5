# Compiler settings shared by every target of ours (not by third-party code such as GoogleTest).
add_library(corvane_options INTERFACE)
target_include_directories(corvane_options INTERFACE "${PROJECT_SOURCE_DIR}")

if(MSVC)
    target_compile_options(corvane_options INTERFACE /W4 /utf-8 /permissive- /EHsc)
    if(CORVANE_WERROR)
        target_compile_options(corvane_options INTERFACE /WX)
    endif()
else()
    target_compile_options(corvane_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow
                                                     -Wnon-virtual-dtor -Wconversion -Wsign-conversion)
    if(CORVANE_WERROR)
        target_compile_options(corvane_options INTERFACE -Werror)
    endif()
endif()

if(WIN32)
    target_compile_definitions(corvane_options INTERFACE UNICODE _UNICODE NOMINMAX
                                                         WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
endif()

# The oldest Windows a program starts on, written into its header as the subsystem version:
# 6.1 is Windows 7, the version the code is written for (_WIN32_WINNT above). Without it the
# linkers write 4.0 (NT 4), although the imports already need Vista. KIND is windows or console.
function(corvane_subsystem_version target kind)
    if(MSVC)
        string(TOUPPER "${kind}" kind)
        target_link_options(${target} PRIVATE "/SUBSYSTEM:${kind},6.01")
    elseif(MINGW)
        target_link_options(${target} PRIVATE "-Wl,--subsystem,${kind}:6.1")
    endif()
endfunction()

# MinGW-w64, with GCC or Clang.
if(MINGW)
    # Static runtime: the programs run on Windows and under Wine without MinGW DLLs.
    target_link_options(corvane_options INTERFACE -static)

    # Small programs. The code neither throws nor asks for types at run time, so it needs no
    # unwind tables; functions and data nobody calls are dropped at link time; release
    # programs are optimised for size and carry no symbols or debug sections.
    target_compile_options(corvane_options INTERFACE
        -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
        -ffunction-sections -fdata-sections
        $<$<CONFIG:Release,MinSizeRel>:-Os>)
    target_link_options(corvane_options INTERFACE
        -Wl,--gc-sections
        $<$<CONFIG:Release,MinSizeRel>:-s>)

    # Reproducible programs: the same sources give the same bytes in any folder at any time.
    target_compile_options(corvane_options INTERFACE
        "-ffile-prefix-map=${PROJECT_SOURCE_DIR}/="
        "-ffile-prefix-map=${PROJECT_BINARY_DIR}/=")
    target_link_options(corvane_options INTERFACE -Wl,--no-insert-timestamp)
endif()

if(CORVANE_SANITIZE AND NOT WIN32)
    target_compile_options(corvane_options INTERFACE -fsanitize=address,undefined
                                                     -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(corvane_options INTERFACE -fsanitize=address,undefined)
endif()
