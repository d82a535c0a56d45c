# Cross build for 64-bit Windows from the same sources: build/win64. It runs under
# wine64 on machines that cannot run 32-bit programs, and keeps the code 64-bit clean.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(RZ_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
