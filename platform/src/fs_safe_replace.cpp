// The safe-replace protocol for "data/" files: X.kdtmp → (X → X.kdbak) → X, each step checked and synced.
#include "platform/src/fs_safe_replace.h"

#include "platform/src/fs_last_error.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// Makes the renames in path's folder durable: without it a power cut can undo a commit close already
// reported.
void syncFolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

} // namespace

void restoreBackup(const std::string& target) {
    std::string backup = target + kBackupSuffix;
    if (!exists(backup) || exists(target)) return;
    bool restored = renameat2(AT_FDCWD, backup.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0;
    // A file system without the no-replace rename: link refuses an existing target just the same.
    if (!restored && (errno == EINVAL || errno == ENOSYS) && link(backup.c_str(), target.c_str()) == 0) {
        unlink(backup.c_str());
        restored = true;
    }
    // The save that was being committed never reported success; its temporary goes with the restore, so it
    // is not left lying beside the file for ever.
    if (restored) unlink((target + kTempSuffix).c_str());
}

KDint commitReplace(FILE* tempFile, const std::string& target, int writeError) {
    std::string temp = target + kTempSuffix;
    std::string backup = target + kBackupSuffix;

    // The new contents must be complete on disk before anything else is touched.
    // Only writes decide: stdio's error flag is also set by a failed read (a "wb" file read by mistake), and
    // that loses no data.
    if (fflush(tempFile) != 0 && !writeError) writeError = errno ? errno : EIO;
    if (!writeError && fsync(fileno(tempFile)) != 0) writeError = errno;
    if (fclose(tempFile) != 0 && !writeError) writeError = errno ? errno : EIO;
    if (writeError) {
        unlink(temp.c_str());
        // A write that failed is an I/O failure unless the disk was full.
        setErrorFromErrno(writeError == ENOSPC || writeError == EFBIG ? writeError : EIO);
        return -1;
    }

    // The old version becomes the backup; a leftover backup from an earlier cut-short commit goes first.
    if (unlink(backup.c_str()) != 0 && errno != ENOENT) {
        setErrorFromErrno(errno);
        return -1;
    }
    bool hadOld = exists(target);
    if (hadOld && rename(target.c_str(), backup.c_str()) != 0) {
        setErrorFromErrno(errno);
        return -1; // X untouched; the new contents stay in X.kdtmp
    }
    if (rename(temp.c_str(), target.c_str()) != 0) {
        int renameError = errno;
        if (hadOld) rename(backup.c_str(), target.c_str());
        setErrorFromErrno(renameError);
        return -1;
    }
    syncFolderOf(target);
    // Failing to delete the backup loses nothing: it is never restored over an existing X.
    if (hadOld) unlink(backup.c_str());
    return 0;
}

} // namespace platform
