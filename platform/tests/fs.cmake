# The archive fuzzer, for a clang build configured with -DHH_FUZZ=ON: libFuzzer instruments the platform layer.
option(HH_FUZZ "Build the libFuzzer targets (clang only)" OFF)
if(HH_FUZZ)
  target_compile_options(platform PRIVATE -fsanitize=fuzzer-no-link)
  add_executable(fuzz_archive ${CMAKE_CURRENT_LIST_DIR}/fuzz_archive.cpp)
  target_compile_options(fuzz_archive PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_archive PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_archive PRIVATE platform)
endif()
