# Off Windows: the conversion through iconv, for corvane-script.
add_library(corvane_encoding_posix STATIC ${CMAKE_CURRENT_LIST_DIR}/iconv_encoding_posix.cpp)
target_link_libraries(corvane_encoding_posix PUBLIC corvane_options)
