# libFuzzer targets: one option for the whole tree, one helper for every folder. A fuzz build is a clang build
# (dev/fuzz configures it); every library is instrumented for coverage, and each target links libFuzzer's main.
option(HH_FUZZ "Build the libFuzzer targets (clang only)" OFF)

if(HH_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "HH_FUZZ needs clang: configure with -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
  add_custom_target(hh_fuzzers)
endif()

# hh_add_fuzzer(<name> SOURCES ... [LIBS ...] [DEFINITIONS ...] CORPUS <dir> [ARGS ...]): a libFuzzer executable
# <build>/fuzz/<name>, built by the target hh_fuzzers, and listed in <build>/fuzz/fuzzers.tsv with its committed
# seed corpus and the libFuzzer flags it always runs with (like -timeout= or -max_len=), so dev/fuzz runs it.
# Does nothing unless HH_FUZZ is on.
function(hh_add_fuzzer name)
  if(NOT HH_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS;DEFINITIONS;ARGS" ${ARGN})
  if(NOT F_CORPUS)
    message(FATAL_ERROR "hh_add_fuzzer(${name}): CORPUS <dir> is required")
  endif()
  if(NOT IS_ABSOLUTE "${F_CORPUS}")
    set(F_CORPUS "${CMAKE_CURRENT_SOURCE_DIR}/${F_CORPUS}")
  endif()
  if(NOT IS_DIRECTORY "${F_CORPUS}")
    message(FATAL_ERROR "hh_add_fuzzer(${name}): seed corpus ${F_CORPUS} is not a folder")
  endif()
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  if(F_DEFINITIONS)
    target_compile_definitions(${name} PRIVATE ${F_DEFINITIONS})
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  hh_target_warnings(${name})
  add_dependencies(hh_fuzzers ${name})
  string(REPLACE ";" " " args "${F_ARGS}")
  set_property(GLOBAL APPEND PROPERTY HH_FUZZER_LINES "${name}\t${F_CORPUS}\t${args}\n")
endfunction()

# The list is written once every folder has added its targets.
function(hh_write_fuzzer_list)
  get_property(lines GLOBAL PROPERTY HH_FUZZER_LINES)
  string(REPLACE ";" "" lines "${lines}")
  file(WRITE ${CMAKE_BINARY_DIR}/fuzz/fuzzers.tsv "${lines}")
endfunction()
if(HH_FUZZ)
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL hh_write_fuzzer_list)
endif()
