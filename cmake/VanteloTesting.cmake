# vantelo_add_test(NAME name SOURCES a_test.cpp ... LIBS lib ... [LABELS l ...] [NATIVE_ONLY])
#
# Builds one GoogleTest program and registers it with CTest. In the Windows
# build the same program is cross-compiled and CTest runs it under Wine through
# CMAKE_CROSSCOMPILING_EMULATOR (cmake/wine-run.sh). Every test program gets
# the environment variables VANTELO_SOURCE_DIR and VANTELO_BINARY_DIR so that
# fixtures can be found without hard-coded paths.
include_guard(GLOBAL)

if(VANTELO_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
endif()

function(vantelo_add_test)
  cmake_parse_arguments(T "NATIVE_ONLY" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT VANTELO_TESTS)
    return()
  endif()
  if(T_NATIVE_ONLY AND WIN32)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    LABELS "${T_LABELS}"
    ENVIRONMENT "VANTELO_SOURCE_DIR=${PROJECT_SOURCE_DIR};VANTELO_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()
