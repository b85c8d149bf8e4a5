# Off Windows: the replacing write of a script file, for corvane-script.
add_library(corvane_files_posix STATIC
    ${CMAKE_CURRENT_LIST_DIR}/destination_posix.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_attributes_posix.cpp
    ${CMAKE_CURRENT_LIST_DIR}/private_group_posix.cpp
    ${CMAKE_CURRENT_LIST_DIR}/script_file_posix.cpp
    ${CMAKE_CURRENT_LIST_DIR}/temporary_file_posix.cpp
)
target_link_libraries(corvane_files_posix PUBLIC corvane_options)
