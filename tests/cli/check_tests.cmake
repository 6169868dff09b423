# runwarden-check: its option parsing, reports and batches, and the program
# itself run on the bundled sample, the real demos and rejected files.
add_executable(runwarden_cli_tests check_options_test.cpp check_report_test.cpp batch_check_test.cpp)
target_link_libraries(runwarden_cli_tests PRIVATE runwarden_cli_lib runwarden_test_support GTest::gtest_main)
target_compile_definitions(runwarden_cli_tests PRIVATE RW_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

find_package(Python3 COMPONENTS Interpreter)
set(RW_CLI_TEST ${CMAKE_CURRENT_SOURCE_DIR}/cli_test.py)
# Found by tests/CMakeLists.txt, also from a worktree.
set(RW_DEMOS ${RW_REAL_DEMOS_DIR})

include(GoogleTest)
gtest_discover_tests(runwarden_cli_tests TEST_PREFIX "cli." DISCOVERY_TIMEOUT 60)
add_test(NAME cli.program
  COMMAND ${Python3_EXECUTABLE} ${RW_CLI_TEST} --demos ${RW_DEMOS} --examples ${CMAKE_SOURCE_DIR}/examples
          -- $<TARGET_FILE:runwarden-check>)
add_test(NAME cli.sample_is_current
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tools/make_sample.py --check)
