// The host seam: how the libraries open files and reach the environment. The defaults are stdio and POSIX;
// the engine installs hooks that route them through its own file system.
#include "squirrel/sqstdlib.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>

struct tagSQStdFile {
    const SQStdFileOps* ops;
    SQUserPointer handle;
};

namespace {

FILE* asFile(SQUserPointer h) {
    return static_cast<FILE*>(h);
}

SQInteger stdioRead(SQUserPointer h, SQUserPointer buf, SQInteger size) {
    return size <= 0 ? 0 : (SQInteger)std::fread(buf, 1, (size_t)size, asFile(h));
}
SQInteger stdioWrite(SQUserPointer h, const void* buf, SQInteger size) {
    return size <= 0 ? 0 : (SQInteger)std::fwrite(buf, 1, (size_t)size, asFile(h));
}
SQInteger stdioSeek(SQUserPointer h, SQInteger offset, SQInteger origin) {
    int whence = origin == SQ_SEEK_CUR ? SEEK_CUR : origin == SQ_SEEK_END ? SEEK_END : SEEK_SET;
    return std::fseek(asFile(h), (long)offset, whence);
}
SQInteger stdioTell(SQUserPointer h) {
    return (SQInteger)std::ftell(asFile(h));
}
SQInteger stdioFlush(SQUserPointer h) {
    return std::fflush(asFile(h));
}
SQInteger stdioEof(SQUserPointer h) {
    return std::feof(asFile(h));
}
SQInteger stdioClose(SQUserPointer h) {
    return std::fclose(asFile(h));
}

SQInteger stdioKeepOpen(SQUserPointer h) {
    return std::fflush(asFile(h));
}

const SQStdFileOps kStdioOps = {stdioRead,  stdioWrite, stdioSeek, stdioTell,
                                stdioFlush, stdioEof,   stdioClose};
// For stdout, stdin and stderr: closing the wrapper leaves the process's stream open.
const SQStdFileOps kStdStreamOps = {stdioRead,  stdioWrite, stdioSeek,    stdioTell,
                                    stdioFlush, stdioEof,   stdioKeepOpen};

SQUserPointer defaultOpen(SQUserPointer, const SQChar* path, const SQChar* mode, const SQStdFileOps** ops) {
    FILE* f = std::fopen(path, mode);
    *ops = &kStdioOps;
    return f;
}
const SQChar* defaultGetenv(SQUserPointer, const SQChar* name) {
    return std::getenv(name);
}
SQInteger defaultSystem(SQUserPointer, const SQChar* command) {
    return std::system(command);
}
SQInteger defaultRemove(SQUserPointer, const SQChar* path) {
    return std::remove(path);
}
SQInteger defaultRename(SQUserPointer, const SQChar* from, const SQChar* to) {
    return std::rename(from, to);
}
void defaultClock(SQUserPointer, HSQUIRRELVM v) {
    sq_pushfloat(v, (SQFloat)std::clock() / (SQFloat)CLOCKS_PER_SEC);
}

const SQStdHost kDefaultHost = {nullptr,       defaultOpen,   defaultGetenv, defaultSystem,
                                defaultRemove, defaultRename, defaultClock};

SQStdHost g_host = kDefaultHost;

} // namespace

extern "C" {

void sqstd_sethost(const SQStdHost* host) {
    g_host = kDefaultHost;
    if (!host) return;
    g_host.ud = host->ud;
    if (host->open) g_host.open = host->open;
    if (host->getenv) g_host.getenv = host->getenv;
    if (host->system) g_host.system = host->system;
    if (host->remove) g_host.remove = host->remove;
    if (host->rename) g_host.rename = host->rename;
    if (host->clock) g_host.clock = host->clock;
}

const SQStdHost* sqstd_gethost(void) {
    return &g_host;
}

SQFILE sqstd_fwrap(SQUserPointer handle, const SQStdFileOps* ops) {
    if (!handle || !ops) return nullptr;
    return new (std::nothrow) tagSQStdFile{ops, handle};
}

SQFILE sqstd_fopen(const SQChar* path, const SQChar* mode) {
    const SQStdFileOps* ops = nullptr;
    SQUserPointer handle = g_host.open(g_host.ud, path, mode, &ops);
    if (!handle) return nullptr;
    SQFILE f = sqstd_fwrap(handle, ops);
    if (!f && ops) ops->close(handle);
    return f;
}

SQInteger sqstd_fread(SQUserPointer buffer, SQInteger size, SQInteger count, SQFILE file) {
    if (size <= 0 || count <= 0) return 0;
    return file->ops->read(file->handle, buffer, size * count) / size;
}

SQInteger sqstd_fwrite(const SQUserPointer buffer, SQInteger size, SQInteger count, SQFILE file) {
    if (size <= 0 || count <= 0) return 0;
    return file->ops->write(file->handle, buffer, size * count) / size;
}

SQInteger sqstd_fseek(SQFILE file, SQInteger offset, SQInteger origin) {
    return file->ops->seek(file->handle, offset, origin);
}
SQInteger sqstd_ftell(SQFILE file) {
    return file->ops->tell(file->handle);
}
SQInteger sqstd_fflush(SQFILE file) {
    return file->ops->flush(file->handle);
}
SQInteger sqstd_feof(SQFILE file) {
    return file->ops->eof(file->handle);
}

SQInteger sqstd_fclose(SQFILE file) {
    if (!file) return 0;
    SQInteger r = file->ops->close(file->handle);
    delete file;
    return r;
}

} // extern "C"

SQFILE sqstdWrapStdio(FILE* f) {
    return sqstd_fwrap(f, &kStdStreamOps);
}
