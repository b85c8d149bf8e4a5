# Run by CPack after it has written the zip: writes it again with the entries in name order.
# CPack adds files in the order the file system lists them, which differs between machines;
# the times come from SOURCE_DATE_EPOCH, which CPackProjectConfig.cmake has set.
# Files in folders (profiles/) go in under their paths; the folders get no entries of their own.
file(GLOB_RECURSE names LIST_DIRECTORIES false RELATIVE "${CPACK_TEMPORARY_DIRECTORY}"
     "${CPACK_TEMPORARY_DIRECTORY}/*")
list(SORT names)
foreach(zip IN LISTS CPACK_PACKAGE_FILES)
    file(REMOVE "${zip}")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${zip}" --format=zip -- ${names}
                    WORKING_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}"
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "could not write ${zip} in name order")
    endif()
endforeach()
