# Shared settings for the suite's own targets.

set(HX_WARNINGS -Wall -Wextra -Werror)
if(HX_SANITIZE)
  set(HX_SAN_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${HX_SAN_FLAGS})
  add_link_options(${HX_SAN_FLAGS})
endif()

# Warnings are errors in our own code only.
function(hx_own_target target)
  target_compile_options(${target} PRIVATE ${HX_WARNINGS})
endfunction()

# A program of the suite: built into the suite directory.
function(hx_add_program name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  target_link_libraries(${name} PRIVATE ${P_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${HX_SUITE_DIR})
  hx_own_target(${name})
  # "hx_suite" builds the programs alone, without the tests.
  if(NOT TARGET hx_suite)
    add_custom_target(hx_suite)
  endif()
  add_dependencies(hx_suite ${name})
endfunction()

# A GoogleTest executable registered with CTest, case by case.
function(hx_add_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_SOURCES)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/platform/tests/PinnedTz.cpp)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${HX_TEST_DIR})
  target_compile_definitions(${name} PRIVATE HX_SUITE_DIR="${HX_SUITE_DIR}"
    HX_SOURCE_DIR="${CMAKE_SOURCE_DIR}" HX_TEST_DIR="${HX_TEST_DIR}"
    HX_PINNED_TZDIR="${HX_PINNED_TZDIR}")
  add_dependencies(${name} hx_pinned_tz)
  hx_own_target(${name})
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
