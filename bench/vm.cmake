# Script micro-benchmarks of the Squirrel VM (scripts in vm_scripts/, also runnable by vm_compare.sh).
if(TARGET squirrel_std)
  add_executable(bench_vm ${CMAKE_CURRENT_LIST_DIR}/vm_scripts.cpp)
  target_link_libraries(bench_vm PRIVATE squirrel_std squirrel benchmark::benchmark)
  target_compile_definitions(bench_vm PRIVATE VM_BENCH_SCRIPTS="${CMAKE_CURRENT_LIST_DIR}/vm_scripts"
                                               VM_BENCH_SCRIPTS2="${CMAKE_CURRENT_LIST_DIR}/vm_scripts2")
  hh_target_warnings(bench_vm)
endif()
