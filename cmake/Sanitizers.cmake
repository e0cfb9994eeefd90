# Sanitizer builds instrument everything we compile, tests included.
if(HH_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

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
