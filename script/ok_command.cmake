# The main dialog's OK command: exchange, selections, script assembly, saving.
add_library(corvane_ok_command STATIC
    ${CMAKE_CURRENT_LIST_DIR}/ok_command_win.cpp
)
target_link_libraries(corvane_ok_command
    PUBLIC corvane_settings_win corvane_save_dialog corvane_script corvane_options
    PRIVATE user32
)
