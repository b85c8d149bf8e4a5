# The script's bytes in the code page cmd.exe reads them with; on its own so that a console
# program can share it.
add_library(corvane_script_encoding STATIC
    ${CMAKE_CURRENT_LIST_DIR}/script_encoding_win.cpp
)
target_link_libraries(corvane_script_encoding PUBLIC corvane_options)
