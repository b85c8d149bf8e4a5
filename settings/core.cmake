# Catalogues and their descriptions, the settings record and its defaults: no Win32, built and
# tested on every platform.
add_library(corvane_settings STATIC
    ${CMAKE_CURRENT_LIST_DIR}/catalogues.cpp
    ${CMAKE_CURRENT_LIST_DIR}/descriptions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/recording_checks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/stackwalk_events.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trace_settings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/visible_text.cpp
)
target_link_libraries(corvane_settings PUBLIC corvane_options)
