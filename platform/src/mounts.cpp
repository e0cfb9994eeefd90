// The mount chain's start and stop steps: native files, then every ".bar" archive in the working folder in
// case-insensitive name order, then HTTP.
#include "platform/kd_start.h"
#include "platform/platform_hooks.h"
#include "platform/src/fs_file_system.h"

#include <cstring>
#include <string>
#include <vector>

namespace platform {

void mountFileSystems() {
    kdMount("file", "", mountNative);
    // Collect the names first: each archive mount opens its file through the chain.
    std::vector<std::string> archives;
    if (KDDir* dir = kdOpenDir(".")) {
        while (KDDirent* entry = kdReadDir(dir)) {
            if (std::strstr(entry->d_name, ".bar")) archives.emplace_back(entry->d_name);
        }
        kdCloseDir(dir);
    }
    for (const std::string& name : archives) kdMount("bar", name.c_str(), mountArchive);
    kdMount("http", "", mountHttp);
}

void unmountFileSystems() {
    kdUnmountAll();
}

} // namespace platform

namespace platform {

void startFileSystems() {
    mountFileSystems();
}

void stopFileSystems() {
    unmountFileSystems();
}

KDMount* mountNativeFiles() {
    return kdMount("file", "", mountNative);
}

KDMount* mountArchiveFile(const char* path) {
    return kdMount("bar", path, mountArchive);
}

} // namespace platform
