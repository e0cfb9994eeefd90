# Sprites per 60 Hz frame against SDL's own 2D renderer, and the processor side of quad batching.
if(TARGET graphics)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(BENCH_EPOXY REQUIRED IMPORTED_TARGET epoxy)
  pkg_check_modules(BENCH_SDL2 REQUIRED IMPORTED_TARGET sdl2)
  add_executable(bench_graphics ${CMAKE_CURRENT_LIST_DIR}/bench_graphics.cpp)
  target_link_libraries(bench_graphics PRIVATE graphics PkgConfig::BENCH_EPOXY PkgConfig::BENCH_SDL2
                                               benchmark::benchmark)
  hh_target_warnings(bench_graphics)
  # The program replaces operator new/delete over malloc/free to count allocations.
  target_compile_options(bench_graphics PRIVATE -Wno-mismatched-new-delete)
endif()
