# libFuzzer target for the compiled-script reader. Configure the fuzz build with clang and
# -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" so that the VM itself is instrumented; run as
#   fuzz_bytecode -max_total_time=600 <work dir> squirrel/fuzz/seeds_bytecode
add_executable(fuzz_bytecode ${CMAKE_CURRENT_LIST_DIR}/fuzz_bytecode.cpp)
target_link_libraries(fuzz_bytecode PRIVATE squirrel)
target_compile_options(fuzz_bytecode PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_bytecode PRIVATE -fsanitize=fuzzer,address,undefined)
