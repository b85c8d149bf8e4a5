# The Windows release: a ZIP made by CPack (`--target package`) with the programs, the licence and
# a short read-me at its root, and a SHA-256 checksum file beside it.
#
# One line per file of the zip:
#   corvane_package_program(TARGET)        an executable target, as TARGET.exe
#   corvane_package_text(SOURCE NAME)      a text file of the source tree as NAME (which may
#                                          name a folder: profiles/x.profile), with CR LF line
#                                          ends and @PROJECT_VERSION@ filled in
# The list of names is written to package-files.txt for the release check.

set(CORVANE_PACKAGE_FILES_LIST "${PROJECT_BINARY_DIR}/package-files.txt")
set_property(GLOBAL PROPERTY corvane_package_files "")
# Builds just what the zip holds (the package target builds everything, tests included).
add_custom_target(corvane_release_programs)

function(corvane_package_program target)
    install(TARGETS ${target} RUNTIME DESTINATION . COMPONENT release)
    add_dependencies(corvane_release_programs ${target})
    set_property(GLOBAL APPEND PROPERTY corvane_package_files "$<TARGET_FILE_NAME:${target}>")
endfunction()

function(corvane_package_text source name)
    set(text "${PROJECT_BINARY_DIR}/package-text/${name}")
    configure_file("${source}" "${text}" @ONLY NEWLINE_STYLE CRLF)
    get_filename_component(folder "${name}" DIRECTORY)
    if(folder STREQUAL "")
        set(folder .)
    endif()
    install(FILES "${text}" DESTINATION "${folder}" COMPONENT release)
    set_property(GLOBAL APPEND PROPERTY corvane_package_files "${name}")
endfunction()

corvane_package_program(corvane)
corvane_package_program(corvane-script)
corvane_package_text("${PROJECT_SOURCE_DIR}/LICENSE" LICENSE.txt)
corvane_package_text("${PROJECT_SOURCE_DIR}/packaging/README.txt" README.txt)
# The recipes: every profile of the folder, as profiles\NAME.
file(GLOB corvane_profiles CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/profiles/*.profile")
foreach(profile IN LISTS corvane_profiles)
    get_filename_component(profile_name "${profile}" NAME)
    corvane_package_text("${profile}" "profiles/${profile_name}")
endforeach()

get_property(corvane_package_files GLOBAL PROPERTY corvane_package_files)
list(JOIN corvane_package_files "\n" corvane_package_lines)
file(GENERATE OUTPUT "${CORVANE_PACKAGE_FILES_LIST}" CONTENT "${corvane_package_lines}\n")

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Corvane)
set(CPACK_PACKAGE_VENDOR "the Corvane developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "Corvane-${PROJECT_VERSION}-win32")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# Only the files named above, whatever else other parts of the build install.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};Corvane;release;/")
set(CPACK_PACKAGE_CHECKSUM SHA256)

# Fixed times inside the zip: CPack stamps every entry with SOURCE_DATE_EPOCH. It is taken from
# the environment when set, otherwise from the time of the last commit, and handed to CPack's run
# through the project config file; TZ=UTC there keeps the zip's local-time fields alike on every
# machine. The entries are then put in name order (CPackSortedZip.cmake).
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(CORVANE_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
    find_package(Git QUIET)
    if(GIT_FOUND AND EXISTS "${PROJECT_SOURCE_DIR}/.git")
        # A new commit or checkout configures again, so the time follows it.
        if(EXISTS "${PROJECT_SOURCE_DIR}/.git/logs/HEAD")
            set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                         "${PROJECT_SOURCE_DIR}/.git/logs/HEAD")
        endif()
        execute_process(COMMAND "${GIT_EXECUTABLE}" log -1 --format=%ct
                        WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
                        OUTPUT_VARIABLE CORVANE_SOURCE_DATE_EPOCH
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    endif()
endif()
if(NOT CORVANE_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    # No commit to take the time from (a source archive): 2000-01-01 00:00 UTC.
    set(CORVANE_SOURCE_DATE_EPOCH 946684800)
endif()
configure_file("${PROJECT_SOURCE_DIR}/cmake/CPackProjectConfig.cmake.in"
               "${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake" @ONLY)
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake")
set(CPACK_POST_BUILD_SCRIPTS "${PROJECT_SOURCE_DIR}/cmake/CPackSortedZip.cmake")

include(CPack)
