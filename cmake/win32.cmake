# The Windows build: static run-time libraries, ASLR and DEP, the message table in
# every program, GoogleTest programs run under Wine.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -O coff")

add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--dynamicbase,--nxcompat)
add_compile_definitions(WINVER=0x0501 _WIN32_WINNT=0x0501 NOMINMAX)

add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(RZ_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(RZ_SUPPORT_DIR ${CMAKE_SOURCE_DIR}/tests/support)

# The private prefix and its persistent wineserver, around every Wine test.
add_test(NAME wine_prefix_up COMMAND ${RZ_SUPPORT_DIR}/wine-prefix up ${RZ_WINEPREFIX})
set_tests_properties(wine_prefix_up PROPERTIES FIXTURES_SETUP wine)
add_test(NAME wine_prefix_down COMMAND ${RZ_SUPPORT_DIR}/wine-prefix down ${RZ_WINEPREFIX})
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
  set_tests_properties(${T_NAME} PROPERTIES
    FIXTURES_REQUIRED wine
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "WINEPREFIX=${RZ_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=${T_DLLOVERRIDES};${T_ENV}")
endfunction()
