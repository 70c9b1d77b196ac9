# What make install / cmake --install puts under the prefix, and the Debian package CPack makes of
# the same files (cpack -G DEB in the build directory; scripts/dist.sh), in Debian's layout for games:
#   games/k3lvana, games/k3lvana-capture    launchers (k3lvana.sh.in, k3lvana-capture.sh.in)
#   lib/games/k3lvana/                      the programs
#   share/games/k3lvana/data/               the images and the module
#   share/applications, share/icons, share/man/man6, share/doc/k3lvana
# K3L_VERSION: version.cmake, included by the top CMakeLists.txt.

set(K3L_PROGRAM_DIR lib/games/k3lvana)
set(K3L_SHARE_DIR share/games/k3lvana)
set(K3L_DOC_DIR share/doc/k3lvana)
set(K3L_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)

# The launchers find the programs and the data relative to their own place, so any prefix works.
set(K3L_TO_PROGRAMS ../${K3L_PROGRAM_DIR})
set(K3L_TO_SHARE ../${K3L_SHARE_DIR})
file(WRITE ${K3L_PACKAGING_OUT}/version "${K3L_VERSION}\n")  # read by scripts/dist.sh
foreach(command k3lvana k3lvana-capture)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/${command}.sh.in ${K3L_PACKAGING_OUT}/${command} @ONLY)
endforeach()

# The icon, drawn from the show's own images (make_icon), the manual pages gzipped as Debian wants
# them, and the changelog Debian's tools look for.
set(K3L_ICON ${K3L_PACKAGING_OUT}/k3lvana.png)
add_custom_command(OUTPUT ${K3L_ICON} COMMAND make_icon ${K3L_ICON} DEPENDS make_icon
                   COMMENT "Drawing the icon")
set(K3L_MANUALS "")
foreach(page k3lvana.6 k3lvana-capture.6)
    add_custom_command(OUTPUT ${K3L_PACKAGING_OUT}/${page}.gz
                       COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/${page} > ${K3L_PACKAGING_OUT}/${page}.gz
                       DEPENDS ${CMAKE_CURRENT_LIST_DIR}/${page})
    list(APPEND K3L_MANUALS ${K3L_PACKAGING_OUT}/${page}.gz)
endforeach()
string(TIMESTAMP K3L_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${K3L_PACKAGING_OUT}/changelog @ONLY)
add_custom_command(OUTPUT ${K3L_PACKAGING_OUT}/changelog.gz
                   COMMAND gzip -9n -c ${K3L_PACKAGING_OUT}/changelog > ${K3L_PACKAGING_OUT}/changelog.gz
                   DEPENDS ${K3L_PACKAGING_OUT}/changelog)
add_custom_target(packaging_files ALL DEPENDS ${K3L_ICON} ${K3L_MANUALS} ${K3L_PACKAGING_OUT}/changelog.gz)

install(TARGETS k3lvana k3lvana-capture RUNTIME DESTINATION ${K3L_PROGRAM_DIR})
install(DIRECTORY ${CMAKE_BINARY_DIR}/data/ DESTINATION ${K3L_SHARE_DIR}/data
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(PROGRAMS ${K3L_PACKAGING_OUT}/k3lvana ${K3L_PACKAGING_OUT}/k3lvana-capture DESTINATION games)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/k3lvana.desktop DESTINATION share/applications)
install(FILES ${K3L_ICON} DESTINATION share/icons/hicolor/128x128/apps)
install(FILES ${K3L_MANUALS} DESTINATION share/man/man6)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${K3L_PACKAGING_OUT}/changelog.gz DESTINATION ${K3L_DOC_DIR})

set(CPACK_PACKAGE_NAME k3lvana)
set(CPACK_PACKAGE_VERSION ${K3L_VERSION})
set(CPACK_PACKAGE_CONTACT "k3lvana crew <maintainers@users.noreply.c-seed-c903f53a.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual show with tracker music")
set(CPACK_PACKAGE_DESCRIPTION "k3lvana plays eight animated OpenGL scenes full screen against a piece\nof tracker music, whose effect commands cut between the scenes. Escape\nends it. k3lvana-capture renders the same show to an MP4 video file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The dependencies are the programs' libraries. The capture, a secondary program, writes its video
# through the ffmpeg program (which no library link shows): recommended, so that a viewer's install
# pulls no video encoder; without it the capture says how to install it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ffmpeg, libgl1-mesa-dri, libegl-mesa0")
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/dist)
include(CPack)
