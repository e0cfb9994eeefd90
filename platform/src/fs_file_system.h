// fs_file_system.h — the seam between the mount chain and its handlers (native files, ".bar" archives, HTTP).
// Platform-internal.
#pragma once

#include "platform/kd.h"

#include <memory>

// One open file. Each handler derives its per-file record from this; the chain's kd* functions forward here.
// Defaults are those of a read-only stream that cannot do the operation.
struct KDFile {
    virtual ~KDFile() = default;
    // Releases what the file holds; 0 or -1 (the record is freed by the caller either way).
    virtual KDint close() { return 0; }
    virtual KDint flush() { return 0; }
    virtual KDsize read(void* buffer, KDsize bytes) = 0;
    virtual KDsize write(const void* buffer, KDsize bytes) { return 0; }
    virtual KDint getc() = 0;
    virtual KDint putc(KDint c) { return KD_EOF; }
    virtual KDchar* gets(KDchar* buffer, KDsize size) = 0;
    virtual KDint eof() = 0;
    virtual KDint error() { return 0; }
    virtual void clearerr() {}
    virtual KDint seek(KDoff offset, KDfileSeekOrigin origin) = 0;
    virtual KDoff tell() = 0;
    virtual KDint fstat(KDStat* buf) = 0;
    // False when the handler has no map operation: kdMapFile then reads the file into a buffer of its own.
    virtual bool canMap() const { return false; }
    virtual void* map(KDsize* size) { return nullptr; }
    virtual KDint unmap(void* data) { return 0; }

    // The buffer kdMapFile allocated for a handler without a map operation.
    std::unique_ptr<unsigned char[]> m_mapCopy;
};

namespace platform {

// One mounted file system. Unmounting is destruction.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Null when this mount does not have the path (the chain then asks the next one), with the last error
    // set.
    virtual KDFile* open(const KDchar* path, const KDchar* mode) = 0;
    virtual KDint stat(const KDchar* path, KDStat* buf) = 0;
    // 0 when path exists and mode (KD_R_OK 4, KD_W_OK 2, KD_X_OK 1) is allowed, else -1.
    virtual KDint access(const KDchar* path, KDint mode) = 0;
};

// Makes a handler's state for a mount path; on failure returns null and sets *error to the handler's code.
using MountInit = std::unique_ptr<FileSystem>(const KDchar* mountPath, KDint* error);

std::unique_ptr<FileSystem> mountNative(const KDchar* mountPath, KDint* error);
std::unique_ptr<FileSystem> mountArchive(const KDchar* mountPath, KDint* error);
std::unique_ptr<FileSystem> mountHttp(const KDchar* mountPath, KDint* error);

} // namespace platform

// Appends a mount of the given handler ("file", "bar" or "http") to the chain and logs "mount:
// <handler>(<path>)"; on failure logs "error: <code>, can't mount <handler>(<path>)" and returns null.
KDMount* kdMount(const KDchar* handlerName, const KDchar* path, platform::MountInit* init);

inline constexpr KDint KD_R_OK = 4;
inline constexpr KDint KD_W_OK = 2;
inline constexpr KDint KD_X_OK = 1;
