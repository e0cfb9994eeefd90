# The event pump in steady state: a frame timer plus a little input per pump, and the heap calls it makes.
add_executable(bench_events ${CMAKE_CURRENT_LIST_DIR}/bench_events.cpp)
target_link_libraries(bench_events PRIVATE platform benchmark::benchmark)
hh_target_warnings(bench_events)
