# A component method called from script: name lookup through the `Component` handle plus dispatch.
if(TARGET script AND TARGET component)
  add_executable(bench_component_call ${CMAKE_CURRENT_LIST_DIR}/bench_component_call.cpp)
  target_link_libraries(bench_component_call PRIVATE script component benchmark::benchmark)
  hh_target_warnings(bench_component_call)
endif()
