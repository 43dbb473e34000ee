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
