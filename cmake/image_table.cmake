# Reads the show's image files (afraid512.tga ...) into OUT, in load order, from the one table of
# them, src/assets/image_table.h. Used by tools/CMakeLists.txt and tests/data/deterministic.cmake.
function(k3l_image_files OUT)
    file(STRINGS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../src/assets/image_table.h lines REGEX "^K3L_IMAGE\\(")
    set(files)
    foreach(line ${lines})
        if(NOT line MATCHES "^K3L_IMAGE\\([a-z0-9_]+, \"([^\"]+)\"\\)$")
            message(FATAL_ERROR "src/assets/image_table.h: cannot read the line ${line}")
        endif()
        list(APPEND files ${CMAKE_MATCH_1})
    endforeach()
    set(${OUT} ${files} PARENT_SCOPE)
endfunction()
