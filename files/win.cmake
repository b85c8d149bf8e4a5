# The Windows writer: what is at the chosen path and its long form, the placement with retries and
# backups behind the FilePlacement seam, and the rewrite in place; and the reader of a chosen file.
add_library(corvane_files_win STATIC
    ${CMAKE_CURRENT_LIST_DIR}/file_at_path_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_placement_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/in_place_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/long_path_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/read_file_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/safe_write_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/write_outcome_win.cpp
)
target_link_libraries(corvane_files_win PUBLIC corvane_options)
