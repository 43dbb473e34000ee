# GoogleTest comes from the distribution's source package, built with the same
# compiler as the code under test (the MinGW build cannot use the host's libgtest).
if(NOT TARGET gtest)
  set(GTEST_SRC /usr/src/googletest)
  if(NOT EXISTS ${GTEST_SRC}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found at ${GTEST_SRC} (apt-get install googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${GTEST_SRC} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
  foreach(t gtest gtest_main gmock gmock_main)
    if(TARGET ${t})
      target_compile_options(${t} PRIVATE -w)
    endif()
  endforeach()
  if(WIN32)
    # The win32 thread model lacks what GoogleTest's Notification is made of.
    target_include_directories(gtest BEFORE PUBLIC ${PROJECT_SOURCE_DIR}/tests/support/gtest_win32)
  endif()
endif()

# How many times longer than usual every test may take: a slow or checking machine (see
# scripts/test-windows-checked.sh) configures it, and exports the environment variable
# of the same name for the waits inside the tests (tests/support/test_time.h) and for
# scripts/wine-run.sh. A whole number or a decimal (1.5, 0.5), above 0 and below 1000, as
# the tests and wine-run.sh take it.
set(TUNYRA_TEST_TIME_FACTOR 1 CACHE STRING "How many times longer than usual every test may take")
if(NOT TUNYRA_TEST_TIME_FACTOR MATCHES "^[0-9]+(\\.[0-9]+)?$" OR NOT TUNYRA_TEST_TIME_FACTOR GREATER 0
   OR NOT TUNYRA_TEST_TIME_FACTOR LESS 1000)
  message(FATAL_ERROR "TUNYRA_TEST_TIME_FACTOR must be a number above 0 and below 1000, not '${TUNYRA_TEST_TIME_FACTOR}'")
endif()

# tunyra_test_timeout(SECONDS TEST...): each TEST's time limit is SECONDS times the
# factor, rounded up. A Windows program the test runs (scripts/wine-run.sh) is stopped,
# its threads' backtraces printed, at four fifths of it, before CTest would stop it
# without a word.
function(tunyra_test_timeout seconds)
  set(factor ${TUNYRA_TEST_TIME_FACTOR})
  set(scale 1)
  if(factor MATCHES "^([0-9]+)\\.([0-9]+)$")
    string(LENGTH "${CMAKE_MATCH_2}" places)
    set(factor "${CMAKE_MATCH_1}${CMAKE_MATCH_2}")
    string(REGEX REPLACE "^0+([0-9])" "\\1" factor "${factor}")
    string(REPEAT 0 ${places} zeros)
    set(scale "1${zeros}")
  endif()
  math(EXPR limit "(${seconds} * ${factor} + ${scale} - 1) / ${scale}")
  if(limit LESS 1)
    set(limit 1)
  endif()
  set_tests_properties(${ARGN} PROPERTIES TIMEOUT ${limit})
  math(EXPR run "${seconds} * 4 / 5")
  set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT "TUNYRA_RUN_SECONDS=${run}")
endfunction()

# tunyra_wine_test(TEST...): tests that run Windows programs under Wine. Each holds one
# Wine slot while it runs (a prefix and a display of its own, scripts/wine-env.sh), so
# that scripts/test-all.sh can run two side by side; a test run there without a slot
# fails at once.
function(tunyra_wine_test)
  set_tests_properties(${ARGN} PROPERTIES RESOURCE_GROUPS wine:1)
endfunction()

# add_tunyra_test(NAME SOURCES... [LIBS ...] [LABELS ...] [UNMANAGED_WINDOWS])
# One GoogleTest program, registered with CTest. In the Windows build CTest runs it
# through CMAKE_CROSSCOMPILING_EMULATOR (Wine), with the main that reports any fault
# (tests/support/windows_test_main.cpp); UNMANAGED_WINDOWS makes its windows unmanaged.
function(add_tunyra_test name)
  cmake_parse_arguments(T "UNMANAGED_WINDOWS" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  if(WIN32)
    tunyra_use_windows_test_main(${name} ${T_UNMANAGED_WINDOWS})
    target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(WIN32)
    tunyra_wine_test(${name})
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# The Windows test programs' main, for add_tunyra_test and for test programs made
# with add_executable.
function(tunyra_use_windows_test_main target unmanaged)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/windows_test_main.cpp)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE tunyra_fault_report advapi32)
  if(unmanaged)
    target_compile_definitions(${target} PRIVATE TUNYRA_UNMANAGED_WINDOWS=1)
  endif()
endfunction()
