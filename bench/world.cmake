# One frame of a large tile layer: culling and drawing against the visible part.
if(TARGET world)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(BENCH_WORLD_SDL2 REQUIRED IMPORTED_TARGET sdl2)
  add_executable(bench_tile_layer ${CMAKE_CURRENT_LIST_DIR}/bench_tile_layer.cpp)
  target_link_libraries(bench_tile_layer PRIVATE world PkgConfig::BENCH_WORLD_SDL2 benchmark::benchmark)
  hh_target_warnings(bench_tile_layer)
  # The program replaces operator new/delete over malloc/free to count allocations.
  target_compile_options(bench_tile_layer PRIVATE -Wno-mismatched-new-delete)
endif()

# One frame of a large road network, and reading it back from its stream.
if(TARGET world)
  add_executable(bench_road_renderer ${CMAKE_CURRENT_LIST_DIR}/bench_road_renderer.cpp)
  target_link_libraries(bench_road_renderer PRIVATE world PkgConfig::BENCH_WORLD_SDL2 benchmark::benchmark)
  hh_target_warnings(bench_road_renderer)
  target_compile_options(bench_road_renderer PRIVATE -Wno-mismatched-new-delete)
endif()
