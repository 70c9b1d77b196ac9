# Runs the data tools twice into two fresh directories and fails unless both runs wrote the same
# files with the same bytes (make_art's seventeen images and two sheets, compose_music's module),
# and those are the bytes recorded in REFERENCE: a change to the art or the music, meant or not,
# shows here. The files the build made for the show in DATA_DIR must be those bytes too (none
# stale, none but the tools' own). After a meant change, look at the sheets and listen, then
# record the new bytes (cmake --build build --target update-reference-data, which passes -DUPDATE=ON).
# cmake -DMAKE_ART=<make_art> -DCOMPOSE_MUSIC=<compose_music> -DWORK_DIR=<scratch directory>
#       -DREFERENCE=<reference/data.sha256> [-DDATA_DIR=<build/data>] [-DUPDATE=ON] -P deterministic.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/image_table.cmake)
k3l_image_files(shown)  # the seventeen images, from src/assets/image_table.h
list(APPEND shown zelto-07.tga)
set(expected ${shown} contact-sheet.png scenes.png)
list(SORT expected)

file(REMOVE_RECURSE ${WORK_DIR})
foreach(run first second)
    file(MAKE_DIRECTORY ${WORK_DIR}/${run})
    execute_process(COMMAND ${MAKE_ART} ${WORK_DIR}/${run} ${WORK_DIR}/${run} RESULT_VARIABLE art)
    execute_process(COMMAND ${COMPOSE_MUSIC} ${WORK_DIR}/${run}/zelto-07.tga RESULT_VARIABLE music)
    file(GLOB written RELATIVE ${WORK_DIR}/${run} ${WORK_DIR}/${run}/*)
    list(SORT written)
    if(NOT art EQUAL 0 OR NOT music EQUAL 0 OR NOT written STREQUAL expected)
        file(REMOVE_RECURSE ${WORK_DIR})
        message(FATAL_ERROR "the ${run} run (make_art ${art}, compose_music ${music}) wrote ${written}")
    endif()
endforeach()

set(differing)
set(hashes "")
foreach(name ${expected})
    file(SHA256 ${WORK_DIR}/first/${name} a)
    file(SHA256 ${WORK_DIR}/second/${name} b)
    if(NOT a STREQUAL b)
        list(APPEND differing ${name})
    endif()
    string(APPEND hashes "${a}  ${name}\n")
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
if(differing)
    message(FATAL_ERROR "the data tools wrote different bytes on two runs: ${differing}")
endif()
if(UPDATE)
    file(WRITE ${REFERENCE} "${hashes}")
    return()
endif()
file(READ ${REFERENCE} recorded)
if(NOT hashes STREQUAL recorded)
    file(WRITE ${WORK_DIR}.sha256 "${hashes}")
    message(FATAL_ERROR "the data tools' bytes differ from ${REFERENCE}; the new ones are in ${WORK_DIR}.sha256")
endif()
if(DATA_DIR)
    foreach(name ${shown})
        file(SHA256 ${DATA_DIR}/${name} hash)
        if(NOT recorded MATCHES "${hash}  ${name}\n")
            message(FATAL_ERROR "${DATA_DIR}/${name} is not the bytes recorded in ${REFERENCE}: a stale build?")
        endif()
    endforeach()
endif()
