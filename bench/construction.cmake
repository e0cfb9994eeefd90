# The construction tools' per-frame overlays and their road draft under a moving pointer.
if(TARGET construction)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(BENCH_CONSTRUCTION_SDL2 REQUIRED IMPORTED_TARGET sdl2)
  add_executable(bench_construction ${CMAKE_CURRENT_LIST_DIR}/bench_construction.cpp)
  target_link_libraries(bench_construction PRIVATE construction PkgConfig::BENCH_CONSTRUCTION_SDL2 benchmark::benchmark)
  hh_target_warnings(bench_construction)
  # The program replaces operator new/delete over malloc/free to count allocations.
  target_compile_options(bench_construction PRIVATE -Wno-mismatched-new-delete)
endif()
