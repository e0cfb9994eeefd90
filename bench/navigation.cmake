# Path finding and the tour optimiser against textbook versions written in the benchmark.
if(TARGET navigation)
  add_executable(bench_navigation ${CMAKE_CURRENT_LIST_DIR}/bench_navigation.cpp)
  target_link_libraries(bench_navigation PRIVATE navigation benchmark::benchmark)
  hh_target_warnings(bench_navigation)
  # The program replaces operator new/delete over malloc/free to count allocations.
  target_compile_options(bench_navigation PRIVATE -Wno-mismatched-new-delete)
endif()
