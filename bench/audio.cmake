# The sound driver's update with every channel busy (slides, a stream refilling), on the loopback device.
if(TARGET audio)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(BENCH_SNDFILE REQUIRED IMPORTED_TARGET sndfile)
  add_executable(bench_audio ${CMAKE_CURRENT_LIST_DIR}/bench_audio.cpp)
  target_link_libraries(bench_audio PRIVATE audio PkgConfig::BENCH_SNDFILE benchmark::benchmark)
  hh_target_warnings(bench_audio)
endif()
