# One static library per engine module; its sources are every .cpp in the folder.
# A module without sources yet is an interface library so dependents still link.
function(harbex_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC harbex_engine_headers ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE harbex_engine_headers ${ARG_DEPS})
  endif()
endfunction()

# Adds every listed sub-folder that has a CMakeLists.txt of its own.
function(harbex_add_existing_subdirectories)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# Test code is built unoptimised for a quick build: the code under test keeps the
# build type's optimisation, and line tables are enough to place a failure (Debug
# builds keep full debug information). Position-independent as Qt asks of its
# users, so one set of precompiled headers serves every test suite.
set(HARBEX_TEST_COMPILE_OPTIONS $<$<NOT:$<CONFIG:Debug>>:-O0;-g1> -fPIC)

# One GoogleTest executable per test folder: every .cpp in it, with GoogleTest's
# headers precompiled once (by the shared test-support library) for them all.
# Each runs in folders of its own and with the thread sanitizer's Qt
# suppressions (harbex_test_process in tests/support).
function(harbex_test_suite name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE harbex_test_process harbex_test_support ${ARG_DEPS}
                                        GTest::gmock GTest::gtest_main)
  target_compile_options(${name} PRIVATE ${HARBEX_TEST_COMPILE_OPTIONS})
  target_precompile_headers(${name} REUSE_FROM harbex_test_support)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 600)
endfunction()

# One Google Benchmark executable per file, with the shared benchmark pieces;
# HARBEX_BENCH_SOURCE_DIR names its folder (where its image maker lives).
function(harbex_benchmark name source)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} harbex_bench_support benchmark::benchmark)
  target_compile_definitions(${name} PRIVATE HARBEX_BENCH_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
endfunction()
