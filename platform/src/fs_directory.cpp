// Directory listing: the whole listing is read at open and sorted case-insensitively, so that the archives
// found in the working folder mount in the same order on every file system.
#include "platform/kd.h"
#include "platform/src/fs_last_error.h"
#include "platform/src/fs_paths.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <new>
#include <string>
#include <strings.h>
#include <vector>

struct KDDir {
    std::vector<std::string> names;
    size_t next = 0;
    KDDirent entry{};
};

KDDir* kdOpenDir(const KDchar* path) {
    if (!path) {
        kdSetError(KD_EINVAL);
        return nullptr;
    }
    std::string native;
    std::string_view rest = platform::skipLeadingDotsAndSlashes(path);
    if (!platform::mapUserDataPath(rest.empty() ? std::string_view(".") : rest, &native)) return nullptr;
    DIR* dir = opendir(native.c_str());
    if (!dir) {
        platform::setErrorFromErrno(errno);
        return nullptr;
    }
    auto* listing = new (std::nothrow) KDDir;
    if (!listing) {
        closedir(dir);
        kdSetError(KD_ENOMEM);
        return nullptr;
    }
    while (dirent* entry = readdir(dir)) listing->names.emplace_back(entry->d_name);
    closedir(dir);
    std::sort(listing->names.begin(), listing->names.end(), [](const std::string& a, const std::string& b) {
        int folded = strcasecmp(a.c_str(), b.c_str());
        return folded != 0 ? folded < 0 : a < b;
    });
    return listing;
}

KDDirent* kdReadDir(KDDir* dir) {
    if (!dir) {
        kdSetError(KD_EBADF);
        return nullptr;
    }
    if (dir->next >= dir->names.size()) return nullptr;
    dir->entry.d_name = dir->names[dir->next++].c_str();
    return &dir->entry;
}

KDint kdCloseDir(KDDir* dir) {
    if (!dir) {
        kdSetError(KD_EBADF);
        return -1;
    }
    delete dir;
    return 0;
}
