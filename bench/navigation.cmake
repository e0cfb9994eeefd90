# Path finding and the tour optimiser against textbook versions written in the benchmark.
if(TARGET navigation)
  add_executable(bench_navigation ${CMAKE_CURRENT_LIST_DIR}/bench_navigation.cpp)
  target_link_libraries(bench_navigation PRIVATE navigation benchmark::benchmark)
  hh_target_warnings(bench_navigation)
  # The program replaces operator new/delete over malloc/free to count allocations.
  target_compile_options(bench_navigation PRIVATE -Wno-mismatched-new-delete)
endif()
# An hour of game time with 500 vehicles on delivery tours; memory sampled every game minute (a plain
# program: bench/soak_transports --help is in its head comment).
if(TARGET navigation)
  add_executable(soak_transports ${CMAKE_CURRENT_LIST_DIR}/soak_transports.cpp)
  target_link_libraries(soak_transports PRIVATE navigation)
  hh_target_warnings(soak_transports)
endif()
