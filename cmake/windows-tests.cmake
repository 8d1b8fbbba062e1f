# GoogleTest for the Windows build: Debian ships only the sources
# (/usr/src/googletest), so they are built here with the cross toolchain and
# offered under the names find_package(GTest) gives natively.
set(KESTA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
if(NOT EXISTS ${KESTA_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${KESTA_GOOGLETEST_SOURCE} (Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(${KESTA_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(lib gtest gtest_main gmock gmock_main)
  # Its own code is not ours to keep free of warnings.
  target_compile_options(${lib} PRIVATE -w)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()

# Tests run under Wine with a prefix of their own inside the build tree.
# Wine's background processes are started once, detached from CTest's pipes
# (CTest would otherwise wait on them until its timeout), and stopped at the end.
set(KESTA_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(KESTA_WINE_ENVIRONMENT "WINEPREFIX=${KESTA_WINEPREFIX}" "WINEDEBUG=-all" "WINEDLLOVERRIDES=mscoree,mshtml=")
option(KESTA_WINE_DISCOVER_TESTS "Register every TEST of a Windows test program as its own CTest test (slow under Wine)" OFF)

find_program(KESTA_WINESERVER wineserver)
if(NOT KESTA_WINE OR NOT KESTA_WINESERVER)
  message(FATAL_ERROR "the Windows tests need wine and wineserver (Debian packages wine, wine32:i386)")
endif()
# A persistent server first, so the test programs do not each start one.
add_test(NAME wine_prefix_start
  COMMAND sh -c "'${KESTA_WINESERVER}' -p </dev/null >/dev/null 2>&1; '${KESTA_WINE}' wineboot </dev/null >/dev/null 2>&1"
)
set_tests_properties(wine_prefix_start PROPERTIES
  FIXTURES_SETUP wine_prefix ENVIRONMENT "${KESTA_WINE_ENVIRONMENT}" TIMEOUT 300)
add_test(NAME wine_prefix_stop COMMAND sh -c "'${KESTA_WINESERVER}' -k </dev/null >/dev/null 2>&1 || true")
set_tests_properties(wine_prefix_stop PROPERTIES
  FIXTURES_CLEANUP wine_prefix ENVIRONMENT "${KESTA_WINE_ENVIRONMENT}")

# Makes the named CTest tests run under the prefix (added to what they set).
function(kesta_wine_test_properties)
  set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT "${KESTA_WINE_ENVIRONMENT}")
  set_property(TEST ${ARGN} APPEND PROPERTY FIXTURES_REQUIRED wine_prefix)
endfunction()

# Every GoogleTest program of the project registers itself with
# gtest_discover_tests. In this build that name is taken over: one CTest test
# for the whole program (every start of a process under Wine costs a good
# part of a second), run in the prefix above. KESTA_WINE_DISCOVER_TESTS=ON
# gives the per-TEST registration instead, also in the prefix. (Included
# after the GoogleTest module, whose definition it replaces.)
function(gtest_discover_tests target)
  cmake_parse_arguments(arg "NO_PRETTY_TYPES;NO_PRETTY_VALUES"
    "TEST_PREFIX;TEST_SUFFIX;WORKING_DIRECTORY;TEST_LIST;DISCOVERY_TIMEOUT;XML_OUTPUT_DIR;DISCOVERY_MODE"
    "EXTRA_ARGS;PROPERTIES;TEST_FILTER" ${ARGN})
  if(NOT arg_WORKING_DIRECTORY)
    set(arg_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  if(KESTA_WINE_DISCOVER_TESTS)
    _gtest_discover_tests(${target} ${ARGN}
      PROPERTIES ENVIRONMENT "${KESTA_WINE_ENVIRONMENT}" FIXTURES_REQUIRED wine_prefix)
    return()
  endif()
  add_test(NAME ${arg_TEST_PREFIX}${target}${arg_TEST_SUFFIX}
    COMMAND ${target} --gtest_color=no ${arg_EXTRA_ARGS}
    WORKING_DIRECTORY ${arg_WORKING_DIRECTORY})
  if(arg_PROPERTIES)
    set_tests_properties(${arg_TEST_PREFIX}${target}${arg_TEST_SUFFIX} PROPERTIES ${arg_PROPERTIES})
  endif()
  kesta_wine_test_properties(${arg_TEST_PREFIX}${target}${arg_TEST_SUFFIX})
endfunction()
