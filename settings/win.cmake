# Exchange of the settings with the main dialog, its open and Reset sequences, and the platform's
# desktop folder and clock.
add_library(corvane_settings_win STATIC
    ${CMAKE_CURRENT_LIST_DIR}/exchange_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_sequences_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/platform_environment_win.cpp
)
target_link_libraries(corvane_settings_win
    PUBLIC corvane_settings corvane_providers corvane_options
    PRIVATE user32 shell32
)
