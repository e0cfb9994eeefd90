# Test helpers. Tests sit beside the code in <folder>/tests/ and run under CTest.

# hh_add_gtest(<name> SOURCES ... LIBS ...): one GoogleTest executable registered with CTest, one CTest test per
# test case. A case that hangs is stopped after 120 s (the slowest real case takes under 20 s in the sanitizer
# build), so a hang cannot eat the CI budget.
function(hh_add_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  hh_target_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endfunction()

# hh_add_gtests_per_file(<prefix> <folder> LIBS ... [DEFINITIONS ...]): one test executable <prefix>_test_x per
# <folder>/test_x.cpp, each linked with LIBS and compiled with DEFINITIONS (fixture locations and the like).
function(hh_add_gtests_per_file prefix folder)
  cmake_parse_arguments(T "" "" "LIBS;DEFINITIONS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/test_*.cpp)
  foreach(src IN LISTS sources)
    get_filename_component(name ${src} NAME_WE)
    hh_add_gtest(${prefix}_${name} SOURCES ${src} LIBS ${T_LIBS})
    if(T_DEFINITIONS)
      target_compile_definitions(${prefix}_${name} PRIVATE ${T_DEFINITIONS})
    endif()
  endforeach()
endfunction()

# hh_include_fragments(<fragment> ...): includes the named *.cmake fragments of the calling folder, in
# the order given. The list is explicit so that the build says what it is made of; a fragment on disk
# that is not listed stops the configuration, so a new one cannot be silently left out.
macro(hh_include_fragments)
  set(_hh_fragments_listed ${ARGN})
  file(GLOB _hh_fragments_on_disk RELATIVE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_LIST_DIR}/*.cmake)
  foreach(_hh_fragment IN LISTS _hh_fragments_on_disk)
    if(NOT _hh_fragment IN_LIST _hh_fragments_listed)
      message(FATAL_ERROR "${CMAKE_CURRENT_LIST_DIR}/${_hh_fragment} is not listed in the folder's "
                          "hh_include_fragments call")
    endif()
  endforeach()
  set(_hh_fragments_folder ${CMAKE_CURRENT_LIST_DIR})
  foreach(_hh_fragment IN LISTS _hh_fragments_listed)
    include(${_hh_fragments_folder}/${_hh_fragment})
  endforeach()
endmacro()
