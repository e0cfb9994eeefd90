// libFuzzer target: hostile bytes as a ".bar" archive, mounted and read through the file chain.
// Built by a fuzz build (dev/fuzz), with its seeds in fuzz/corpus/archive. More seeds: run
// platform_test_fs_archive_mutations with HH_FS_SEED_DIR=<folder> to have it leave its 7zz
// archives there.
#include "platform/tests/fs_archive_fuzz_body.h"

#include <cstdlib>
#include <filesystem>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Keep the log file out of the real user data folder.
    std::filesystem::path scratch = std::filesystem::temp_directory_path() / "hh-fuzz-archive";
    std::filesystem::create_directories(scratch);
    setenv("XDG_DATA_HOME", scratch.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fs_fuzz::run(data, size);
    return 0;
}
