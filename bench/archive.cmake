# Opening one archive entry: first vs last of 2,000 entries, and a small archive for comparison.
add_executable(bench_archive ${CMAKE_CURRENT_LIST_DIR}/bench_archive.cpp)
target_link_libraries(bench_archive PRIVATE platform benchmark::benchmark)
hh_target_warnings(bench_archive)
