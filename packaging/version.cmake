# K3L_VERSION, the release's version, from git describe: a tag v1.2.3 gives 1.2.3; N commits
# after it, 1.2.3+N.gSHA; a tree with no tag, 0.0.0~N.gSHA (N commits in all). Each sorts the way
# Debian compares versions (~ before anything, + after). Outside git, 0.0.0~unknown.
# -DK3L_VERSION=... sets it by hand.
set(K3L_VERSION "" CACHE STRING "The release's version (empty: from git describe)")
if(K3L_VERSION)
    return()
endif()
find_package(Git QUIET)
set(K3L_VERSION "0.0.0~unknown")
if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --match "v[0-9]*" --long
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE described
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
    if(NOT failed AND described MATCHES "^v([0-9][0-9.]*)-([0-9]+)-g([0-9a-f]+)$")
        if(CMAKE_MATCH_2 STREQUAL "0")
            set(K3L_VERSION "${CMAKE_MATCH_1}")
        else()
            set(K3L_VERSION "${CMAKE_MATCH_1}+${CMAKE_MATCH_2}.g${CMAKE_MATCH_3}")
        endif()
    else()
        execute_process(COMMAND ${GIT_EXECUTABLE} rev-list --count HEAD
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE commits
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed_count)
        execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --short=7 HEAD
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE sha
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed_sha)
        if(NOT failed_count AND NOT failed_sha)
            set(K3L_VERSION "0.0.0~${commits}.g${sha}")
        endif()
    endif()
endif()
# The configure step runs again when HEAD moves, so the version follows the checkout.
if(EXISTS ${PROJECT_SOURCE_DIR}/.git/HEAD)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/.git/HEAD)
    file(READ ${PROJECT_SOURCE_DIR}/.git/HEAD head)
    if(head MATCHES "^ref: ([^\n]+)" AND EXISTS ${PROJECT_SOURCE_DIR}/.git/${CMAKE_MATCH_1})
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/.git/${CMAKE_MATCH_1})
    endif()
endif()
unset(K3L_VERSION CACHE)
set(K3L_VERSION "${K3L_VERSION}")
message(STATUS "k3lvana version ${K3L_VERSION}")
