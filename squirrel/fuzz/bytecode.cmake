# libFuzzer target for the compiled-script reader (load, re-save, run under budgets). Run e.g.
#   ./fuzz_bytecode -max_total_time=600 <work dir> seeds_bytecode
add_executable(fuzz_bytecode ${CMAKE_CURRENT_LIST_DIR}/fuzz_bytecode.cpp)
target_compile_options(fuzz_bytecode PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_bytecode PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_bytecode PRIVATE squirrel)
