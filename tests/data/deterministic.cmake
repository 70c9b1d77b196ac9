# Runs make_art twice into two fresh directories and fails unless both runs wrote
# the same files with the same bytes: the seventeen images and the two sheets.
# cmake -DMAKE_ART=<make_art> -DWORK_DIR=<scratch directory> -P deterministic.cmake
set(expected
    afraid512.tga afraid64.tga brave.tga confidence.tga confidence512.tga creditifinali.tga
    credits.tga gatto.tga noise.tga noiseliscio.tga schizzi.tga scoramento.tga sprite.tga
    uncertainty64.tga vs.tga wisdom.tga wisdom64.tga contact-sheet.png scenes.png)
list(SORT expected)

file(REMOVE_RECURSE ${WORK_DIR})
foreach(run first second)
    file(MAKE_DIRECTORY ${WORK_DIR}/${run})
    execute_process(COMMAND ${MAKE_ART} ${WORK_DIR}/${run} ${WORK_DIR}/${run} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "make_art failed in the ${run} run: ${status}")
    endif()
    file(GLOB written RELATIVE ${WORK_DIR}/${run} ${WORK_DIR}/${run}/*)
    list(SORT written)
    if(NOT written STREQUAL expected)
        message(FATAL_ERROR "the ${run} run wrote ${written}, not ${expected}")
    endif()
endforeach()

set(differing)
foreach(name ${expected})
    file(SHA256 ${WORK_DIR}/first/${name} a)
    file(SHA256 ${WORK_DIR}/second/${name} b)
    if(NOT a STREQUAL b)
        list(APPEND differing ${name})
    endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
if(differing)
    message(FATAL_ERROR "make_art wrote different bytes on two runs: ${differing}")
endif()
message(STATUS "19 files, the same bytes on both runs")
