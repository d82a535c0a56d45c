# What the two Windows toolchains share: Debian's MinGW-w64 with the POSIX thread
# model for RZ_MINGW_TRIPLE. Included by mingw32.cmake and mingw64.cmake.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${RZ_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RZ_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${RZ_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RZ_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
