# The script VM's allocator: the engine's block pools against the general heap, on the VM's own workloads.
if(TARGET script AND TARGET squirrel_std)
  add_executable(bench_vm_pools ${CMAKE_CURRENT_LIST_DIR}/bench_vm_pools.cpp)
  target_link_libraries(bench_vm_pools PRIVATE script squirrel_std squirrel benchmark::benchmark)
  target_compile_definitions(bench_vm_pools PRIVATE VM_BENCH_SCRIPTS="${CMAKE_CURRENT_LIST_DIR}/vm_scripts")
  hh_target_warnings(bench_vm_pools)
endif()
