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
    if(MINGW)
        # Static runtime: the programs run on Windows and under Wine without MinGW DLLs.
        target_link_options(corvane_options INTERFACE -static)
    endif()
endif()

if(CORVANE_SANITIZE AND NOT WIN32)
    target_compile_options(corvane_options INTERFACE -fsanitize=address,undefined
                                                     -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(corvane_options INTERFACE -fsanitize=address,undefined)
endif()
