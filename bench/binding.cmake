# A component method called from script: name lookup through the `Component` handle plus dispatch.
if(TARGET binding)
  add_executable(bench_component_call ${CMAKE_CURRENT_LIST_DIR}/bench_component_call.cpp)
  target_link_libraries(bench_component_call PRIVATE binding component script benchmark::benchmark)
  hh_target_warnings(bench_component_call)
endif()
