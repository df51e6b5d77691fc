# Shared build settings and helper functions for Lectoria's modules.

set(LECTORIA_WARNINGS -Wall -Wextra -Wpedantic -Wno-unused-parameter)

if(LECTORIA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

set(LECTORIA_FUZZING OFF)
if(LECTORIA_FUZZ)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    set(LECTORIA_FUZZING ON)
    # Libraries get coverage instrumentation; only fuzz targets link the fuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link)
  else()
    message(STATUS "LECTORIA_FUZZ needs clang; fuzz targets are skipped with ${CMAKE_CXX_COMPILER_ID}")
  endif()
endif()

# lectoria_add_library(<name> SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# One static library per module; headers are included as "<module>/<file>.h" from src/.
function(lectoria_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${LECTORIA_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# lectoria_restrict_includes(<target> FOLDER <dir> ALLOWED <prefix>...)
# Makes the build of <target> fail when a source or header in <dir> includes a project
# header outside the given folders (for example "app/window/" "platform/"), so that the arrows
# between libraries that share one include root cannot be crossed by a stray #include.
function(lectoria_restrict_includes target)
  cmake_parse_arguments(ARG "" "FOLDER" "ALLOWED" ${ARGN})
  get_filename_component(dir ${ARG_FOLDER} ABSOLUTE)
  file(GLOB files CONFIGURE_DEPENDS ${dir}/*.h ${dir}/*.cpp)
  if(NOT files)
    message(FATAL_ERROR "lectoria_restrict_includes: no sources in ${dir}")
  endif()
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}.includes.stamp)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} "-DFILES=${files}" "-DALLOWED=${ARG_ALLOWED}" -DSTAMP=${stamp}
            -P ${PROJECT_SOURCE_DIR}/cmake/check_includes.cmake
    DEPENDS ${files} ${PROJECT_SOURCE_DIR}/cmake/check_includes.cmake
    COMMENT "Checking the includes of ${target}"
    VERBATIM)
  add_custom_target(${target}_includes DEPENDS ${stamp})
  add_dependencies(${target} ${target}_includes)
endfunction()

# lectoria_add_test(<name> SOURCES ... [DEPS ...] [PROPERTIES ...])
# One GoogleTest program per module, its cases discovered by CTest.
function(lectoria_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_options(${name} PRIVATE ${LECTORIA_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120 ${ARG_PROPERTIES})
endfunction()

# lectoria_add_fuzzer(<name> SOURCES ... [DEPS ...] [SEEDS_DIR dir])
# A libFuzzer target, built only with clang and LECTORIA_FUZZ. It is also registered as a short
# CTest run (a few thousand inputs) so CI exercises it.
function(lectoria_add_fuzzer name)
  cmake_parse_arguments(ARG "" "SEEDS_DIR" "SOURCES;DEPS" ${ARGN})
  if(NOT LECTORIA_FUZZING)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  # libFuzzer writes new inputs into its first corpus directory: keep that one in the build
  # tree and pass the checked-in seeds as a read-only second directory.
  set(corpus ${CMAKE_BINARY_DIR}/fuzz/corpus/${name})
  file(MAKE_DIRECTORY ${corpus})
  set(seeds)
  if(ARG_SEEDS_DIR)
    set(seeds ${ARG_SEEDS_DIR})
  endif()
  add_test(NAME fuzz.${name}
           COMMAND ${name} -runs=20000 -max_total_time=20 -max_len=8192 -timeout=10
                   -artifact_prefix=${CMAKE_BINARY_DIR}/fuzz/ ${corpus} ${seeds})
  set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 120 LABELS fuzz)
endfunction()
