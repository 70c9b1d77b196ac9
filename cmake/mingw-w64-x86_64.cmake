# Cross-compiling for 64-bit Windows with Debian's mingw-w64, posix thread model
# (the win32 model has no std::mutex or std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(K3L_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${K3L_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${K3L_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${K3L_MINGW_TRIPLE}-windres)

# Headers and libraries from the cross toolchain and the libraries built for it
# (CMAKE_PREFIX_PATH), never from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${K3L_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
