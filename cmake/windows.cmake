# The libraries of the Windows build, as the targets the show's CMake files link:
# GLUT::GLUT, PkgConfig::OPENMPT and PkgConfig::PORTAUDIO over the static archives
# that scripts/windows/build-libs.sh cross-builds (their install prefixes in
# CMAKE_PREFIX_PATH), OpenGL from the system (opengl32, glu32). The program links
# everything statically: no DLL beside the .exe.
find_package(OpenGL REQUIRED COMPONENTS OpenGL)
find_package(Threads REQUIRED)

# A static library of the cross build, found under CMAKE_PREFIX_PATH, as an imported target.
function(k3l_static_library target archive header)
    find_library(${archive}_PATH NAMES ${archive} PATHS ${CMAKE_PREFIX_PATH} PATH_SUFFIXES lib
        NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    find_path(${archive}_INCLUDE ${header} PATHS ${CMAKE_PREFIX_PATH} PATH_SUFFIXES include
        NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    add_library(${target} STATIC IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES
        IMPORTED_LOCATION ${${archive}_PATH}
        INTERFACE_INCLUDE_DIRECTORIES ${${archive}_INCLUDE}
        INTERFACE_LINK_LIBRARIES "${ARGN}")
endfunction()

# freeglut's own header includes windows.h (lean, without min and max); the atexit
# hack is for DLL builds. Its header is everyone's, as a system header is on Linux.
k3l_static_library(GLUT::GLUT freeglut_static GL/freeglut.h OpenGL::GL OpenGL::GLU gdi32 winmm)
include_directories(SYSTEM ${freeglut_static_INCLUDE})
add_compile_definitions(FREEGLUT_STATIC GLUT_DISABLE_ATEXIT_HACK)
k3l_static_library(PkgConfig::OPENMPT openmpt libopenmpt/libopenmpt.h)
k3l_static_library(PkgConfig::PORTAUDIO portaudio portaudio.h winmm ole32 uuid)

# Static C and C++ runtimes and winpthreads; the console subsystem (the show prints its
# loading line); symbols stripped.
add_link_options(-static -s)
