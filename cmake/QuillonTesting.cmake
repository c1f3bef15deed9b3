# quillon_add_gtest(name SOURCES a.cpp ... [LIBS lib ...] [TEST_PROPERTIES prop value ...])
# Builds a GoogleTest executable linked with the test support library and
# registers each of its tests with CTest, labelled with the executable's name
# (so `ctest -L <name>` runs one executable's tests). Tests run with a throwaway
# XDG_DATA_HOME and HOME so that nothing ever touches the real data folder, and
# with the offscreen Qt platform. In sanitizer builds allocations keep their
# full stacks, so that the suppressions in tests/lsan.supp can match frames
# below code built without frame pointers.
set(QUILLON_TEST_HOME ${CMAKE_BINARY_DIR}/test-home)
file(MAKE_DIRECTORY ${QUILLON_TEST_HOME})
set(QUILLON_TEST_ENV
  "HOME=${QUILLON_TEST_HOME}"
  "XDG_DATA_HOME=${QUILLON_TEST_HOME}/data"
  "QT_QPA_PLATFORM=offscreen"
  "ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:fast_unwind_on_malloc=0"
  "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
# Windows builds run their tests under Wine, in a Wine prefix of the build
# tree's own (its %APPDATA% and temporary folder are throwaway too), without
# Wine's debug output or its offers to install Mono and Gecko.
# The suites themselves start through run-under-wine, which starts a program
# once more when Wine ended it before it ran.
set(QUILLON_TEST_EMULATOR)
set(QUILLON_TEST_LAUNCHER)
set(QUILLON_TEST_DISCOVERY)
if(CMAKE_CROSSCOMPILING)
  if(WIN32)
    list(APPEND QUILLON_TEST_ENV
      "WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix"
      "WINEDEBUG=-all"
      "WINEDLLOVERRIDES=mscoree,mshtml=")
    set(QUILLON_TEST_LAUNCHER ${PROJECT_SOURCE_DIR}/tests/support/run-under-wine)
  endif()
  set(QUILLON_TEST_EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR})
  # Listing the tests needs the emulator: done when ctest runs, not after
  # every link (and never for a target that can only be built).
  set(QUILLON_TEST_DISCOVERY DISCOVERY_MODE PRE_TEST)
endif()

function(quillon_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;TEST_PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE quillon_testsupport GTest::gtest GTest::gmock GTest::gtest_main ${T_LIBS})
  if(WIN32)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/unbuffered_output.cpp)
  endif()
  quillon_warnings(${name})
  # Each test runs through `cmake -E env` with the variables above. (Given to
  # gtest_discover_tests as an ENVIRONMENT property, a list of several
  # variables is split up: only the first would be set.)
  set_property(TARGET ${name} PROPERTY CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env ${QUILLON_TEST_ENV} ${QUILLON_TEST_LAUNCHER} ${QUILLON_TEST_EMULATOR})
  gtest_discover_tests(${name} ${QUILLON_TEST_DISCOVERY}
    DISCOVERY_TIMEOUT 120
    PROPERTIES TIMEOUT 300 LABELS ${name} ${T_TEST_PROPERTIES})
endfunction()
