# Particle effects: update and draw of an emitter holding 10,000 live particles, allocations counted.
if(TARGET graphics)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(BENCH_EPOXY REQUIRED IMPORTED_TARGET epoxy)
  pkg_check_modules(BENCH_SDL2 REQUIRED IMPORTED_TARGET sdl2)
  add_executable(bench_particles ${CMAKE_CURRENT_LIST_DIR}/bench_particles.cpp)
  target_link_libraries(bench_particles PRIVATE graphics PkgConfig::BENCH_EPOXY PkgConfig::BENCH_SDL2 benchmark::benchmark)
  hh_target_warnings(bench_particles)
  # The program replaces operator new/delete over malloc/free to count allocations.
  target_compile_options(bench_particles PRIVATE -Wno-mismatched-new-delete)
endif()
