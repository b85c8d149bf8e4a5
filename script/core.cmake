# Script text, read back too, and its default file name: no Win32, built and tested on every platform.
add_library(corvane_script STATIC
    ${CMAKE_CURRENT_LIST_DIR}/capture_script.cpp
    ${CMAKE_CURRENT_LIST_DIR}/capture_script_reader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/provider_entries.cpp
    ${CMAKE_CURRENT_LIST_DIR}/percent_references.cpp
    ${CMAKE_CURRENT_LIST_DIR}/script_checks.cpp
    ${CMAKE_CURRENT_LIST_DIR}/script_file_name.cpp
    ${CMAKE_CURRENT_LIST_DIR}/script_line_lexer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/unsafe_values.cpp
)
target_link_libraries(corvane_script PUBLIC corvane_settings corvane_options)
