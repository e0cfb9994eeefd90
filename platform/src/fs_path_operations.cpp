// Remove, rename and folder operations by path: native files only, after the path rules of kdFopen.
#include "platform/kd.h"
#include "platform/src/fs_last_error.h"
#include "platform/src/fs_paths.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The native path for a by-path operation, or false (last error set) for a null path or one leaving "data/".
bool nativePathOf(const KDchar* path, std::string* native) {
    if (!path) {
        kdSetError(KD_EINVAL);
        return false;
    }
    return platform::mapUserDataPath(platform::skipLeadingDotsAndSlashes(path), native);
}

KDint checked(int result) {
    if (result == 0) return 0;
    platform::setErrorFromErrno(errno);
    return -1;
}

} // namespace

KDint kdRemove(const KDchar* path) {
    std::string native;
    if (!nativePathOf(path, &native)) return -1;
    return checked(unlink(native.c_str()));
}

KDint kdRename(const KDchar* src, const KDchar* dest) {
    std::string from;
    std::string to;
    if (!nativePathOf(src, &from) || !nativePathOf(dest, &to)) return -1;
    return checked(rename(from.c_str(), to.c_str()));
}

KDint kdMkdir(const KDchar* path) {
    std::string native;
    if (!nativePathOf(path, &native)) return -1;
    return checked(mkdir(native.c_str(), 0755));
}

KDint kdRmdir(const KDchar* path) {
    std::string native;
    if (!nativePathOf(path, &native)) return -1;
    return checked(rmdir(native.c_str()));
}
