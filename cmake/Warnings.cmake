# hh_target_warnings(<target>): the project's warning set, errors in CI. GCC and clang share most of it;
# GCC's -Wshadow=local has no clang twin (clang's -Wshadow also flags members and globals), so the GCC builds
# carry that check alone.
function(hh_target_warnings target)
  set(flags -Wall -Wextra)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    list(APPEND flags -Wshadow=local)
  endif()
  target_compile_options(${target} PRIVATE ${flags} -Wnon-virtual-dtor -Wno-unused-parameter)
  if(HH_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
