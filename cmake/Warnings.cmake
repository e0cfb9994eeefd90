# hh_target_warnings(<target>): the project's warning set, errors in CI.
function(hh_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow=local -Wnon-virtual-dtor
                                           -Wno-unused-parameter)
  if(HH_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
