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
