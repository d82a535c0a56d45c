# Cross build for 32-bit Windows (the shipped program): build/win32.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RZ_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
