# The Windows build, 32-bit or 64-bit by the toolchain: static run-time libraries,
# ASLR and DEP, the message table in every program, GoogleTest programs run under
# Wine in a prefix of the tree's own architecture.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -O coff")

add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--dynamicbase,--nxcompat)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  # Addresses above 4 GiB for the 64-bit programs.
  add_link_options(-Wl,--high-entropy-va)
  set(RZ_ARCH win64)
else()
  set(RZ_ARCH win32)
  # The export lists of our stand-in DLLs name their functions undecorated, for both
  # architectures; the 32-bit linker finds the stdcall names behind them.
  add_link_options(-Wl,--enable-stdcall-fixup)
endif()
# Programs built here run under Wine; tests go through a wrapper that sets the
# tree's prefix up.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/support/wine-run ${RZ_ARCH})
add_compile_definitions(WINVER=0x0501 _WIN32_WINNT=0x0501 NOMINMAX)

add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(RZ_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(RZ_SUPPORT_DIR ${CMAKE_SOURCE_DIR}/tests/support)

# The private prefix and its persistent wineserver, around every Wine test.
add_test(NAME wine_prefix_up COMMAND ${RZ_SUPPORT_DIR}/wine-prefix up ${RZ_ARCH} ${RZ_WINEPREFIX})
set_tests_properties(wine_prefix_up PROPERTIES FIXTURES_SETUP wine)
add_test(NAME wine_prefix_down COMMAND ${RZ_SUPPORT_DIR}/wine-prefix down ${RZ_ARCH} ${RZ_WINEPREFIX})
set_tests_properties(wine_prefix_down PROPERTIES FIXTURES_CLEANUP wine)

# rz_wine_test(NAME <name> SOURCES ... [LIBS ...] [DLLOVERRIDES <value>]
#              [OUTPUT_DIR <dir>] [TIMEOUT <s>] [ENV ...])
# A GoogleTest program registered as one test and run under Wine.
function(rz_wine_test)
  cmake_parse_arguments(T "" "NAME;DLLOVERRIDES;OUTPUT_DIR;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main)
  target_compile_options(${T_NAME} PRIVATE ${RZ_WARNINGS})
  if(T_OUTPUT_DIR)
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${T_OUTPUT_DIR})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  # Under Wine a program that crashes or dies can still end with exit code 0: only a
  # run that reports every test passed, and neither a failure nor a crash, passes.
  set_tests_properties(${T_NAME} PROPERTIES
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\."
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\];Unhandled exception;wine: Unhandled"
    FIXTURES_REQUIRED wine
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "WINEPREFIX=${RZ_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=${T_DLLOVERRIDES};${T_ENV}")
endfunction()
