# The native build of the pure logic: its tests under the address and
# undefined-behaviour sanitizers, and the fuzz target when the compiler is clang.
set(RZ_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
target_compile_options(rz_pure PRIVATE ${RZ_SANITIZE})
target_link_options(rz_pure PUBLIC ${RZ_SANITIZE})
target_sources(rz_pure PRIVATE socket/ztmsgs_table.cpp)

add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(native_tests tests/native/domtable_test.cpp tests/native/text_test.cpp
  tests/native/rdaptext_test.cpp tests/native/referral_test.cpp)
target_link_libraries(native_tests PRIVATE rz_pure GTest::gtest_main)
target_compile_options(native_tests PRIVATE ${RZ_WARNINGS} ${RZ_SANITIZE})
target_compile_definitions(native_tests PRIVATE RZ_RDAP_SEEDS="${CMAKE_SOURCE_DIR}/fuzz/rdap-seeds")
add_test(NAME native_tests COMMAND native_tests)

if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_executable(fuzz_domtable fuzz/domtable_fuzz.cpp)
  target_link_libraries(fuzz_domtable PRIVATE rz_pure)
  target_compile_options(fuzz_domtable PRIVATE -fsanitize=fuzzer,address,undefined ${RZ_WARNINGS})
  target_link_options(fuzz_domtable PRIVATE -fsanitize=fuzzer,address,undefined)

  # The renderer is compiled into the target itself, so that the fuzzer's coverage
  # sees its branches and the JSON parser's; rz_pure supplies the rest.
  add_executable(fuzz_rdaptext fuzz/rdaptext_fuzz.cpp whois/rdaptext.cpp)
  target_link_libraries(fuzz_rdaptext PRIVATE rz_pure)
  target_compile_options(fuzz_rdaptext PRIVATE -fsanitize=fuzzer,address,undefined ${RZ_WARNINGS})
  target_link_options(fuzz_rdaptext PRIVATE -fsanitize=fuzzer,address,undefined)
endif()

# A bounded fuzzing run is part of the tests; new inputs go to the build tree.
if(TARGET fuzz_domtable)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz-corpus)
  add_test(NAME fuzz_domtable_30s
    COMMAND fuzz_domtable -max_total_time=30 -max_len=4096 -timeout=10
            ${CMAKE_BINARY_DIR}/fuzz-corpus ${CMAKE_SOURCE_DIR}/fuzz/seeds)
  set_tests_properties(fuzz_domtable_30s PROPERTIES TIMEOUT 120)
endif()

if(TARGET fuzz_rdaptext)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz-corpus-rdap)
  add_test(NAME fuzz_rdaptext_30s
    COMMAND fuzz_rdaptext -max_total_time=30 -max_len=65536 -timeout=10
            ${CMAKE_BINARY_DIR}/fuzz-corpus-rdap ${CMAKE_SOURCE_DIR}/fuzz/rdap-seeds)
  set_tests_properties(fuzz_rdaptext_30s PROPERTIES TIMEOUT 120)
endif()
