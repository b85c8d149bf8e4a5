# Saving a capture script: the save dialog, the ANSI conversion and the file write.
add_library(corvane_script_win STATIC
    ${CMAKE_CURRENT_LIST_DIR}/script_ui.cpp
    ${CMAKE_CURRENT_LIST_DIR}/script_file_win.cpp
)
target_link_libraries(corvane_script_win
    PUBLIC corvane_script corvane_options
    PRIVATE comdlg32 user32
)
