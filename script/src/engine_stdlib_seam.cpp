// The standard libraries' view of the machine, routed through the engine: files through kdFopen (language
// folders, archives, "data/"), the environment through kdGetEnv, remove/rename through the user-data mapping,
// clock from the monotonic counter, and system through the desktop's opener.
#include "platform/kd.h"
#include "script/src/host_internal.h"
#include "squirrel/sqstdlib.h"

#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

KDFile* asFile(SQUserPointer handle) {
    return static_cast<KDFile*>(handle);
}

SQInteger fileRead(SQUserPointer handle, SQUserPointer buffer, SQInteger size) {
    return size <= 0 ? 0
                     : static_cast<SQInteger>(kdFread(buffer, 1, static_cast<KDsize>(size), asFile(handle)));
}
SQInteger fileWrite(SQUserPointer handle, const void* buffer, SQInteger size) {
    return size <= 0 ? 0
                     : static_cast<SQInteger>(kdFwrite(buffer, 1, static_cast<KDsize>(size), asFile(handle)));
}
SQInteger fileSeek(SQUserPointer handle, SQInteger offset, SQInteger origin) {
    KDfileSeekOrigin from = origin == SQ_SEEK_CUR   ? KD_SEEK_CUR
                            : origin == SQ_SEEK_END ? KD_SEEK_END
                                                    : KD_SEEK_SET;
    return kdFseek(asFile(handle), offset, from) == 0 ? 0 : -1;
}
SQInteger fileTell(SQUserPointer handle) {
    KDoff position = kdFtell(asFile(handle));
    return position < 0 || position > 0x7FFFFFFF ? -1 : static_cast<SQInteger>(position);
}
SQInteger fileFlush(SQUserPointer handle) {
    return kdFflush(asFile(handle)) == 0 ? 0 : -1;
}
SQInteger fileEof(SQUserPointer handle) {
    return kdFEOF(asFile(handle)) != 0;
}
SQInteger fileClose(SQUserPointer handle) {
    return kdFclose(asFile(handle)) == 0 ? 0 : -1;
}

const SQStdFileOps kEngineFileOps = {fileRead, fileWrite, fileSeek, fileTell, fileFlush, fileEof, fileClose};

SQUserPointer engineOpen(SQUserPointer, const SQChar* path, const SQChar* mode, const SQStdFileOps** ops) {
    *ops = &kEngineFileOps;
    return kdFopen(path, mode);
}

const SQChar* engineGetenv(SQUserPointer, const SQChar* name) {
    return kdGetEnv(name);
}

SQInteger engineRemove(SQUserPointer, const SQChar* path) {
    return kdRemove(path);
}

SQInteger engineRename(SQUserPointer, const SQChar* from, const SQChar* to) {
    return kdRename(from, to);
}

// Whole seconds of the monotonic counter.
void engineClock(SQUserPointer, HSQUIRRELVM v) {
    sq_pushinteger(v, static_cast<SQInteger>(kdGetTimeUST() / 1000000000u));
}

// Hands the text to the desktop's opener as one argument, never through a shell, so nothing in it is
// interpreted. 0 when the opener started, -1 otherwise.
SQInteger openWithDesktop(const char* target) {
    char program[] = "xdg-open";
    char* argv[] = {program, const_cast<char*>(target), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program, nullptr, nullptr, argv, environ) != 0) return -1;
    // Reap the opener when it ends, without making the game wait for it.
    std::thread([child] {
        int status = 0;
        waitpid(child, &status, 0);
    }).detach();
    return 0;
}

SQInteger engineSystemHook(SQUserPointer, const SQChar* command) {
    return openWithDesktop(command);
}

// system(text) → 0 or -1; "wrong param" for anything but a string.
SQInteger scriptSystem(HSQUIRRELVM v) {
    const SQChar* command = nullptr;
    if (sq_gettype(v, 2) != OT_STRING || SQ_FAILED(sq_getstring(v, 2, &command))) {
        return sq_throwerror(v, "wrong param");
    }
    sq_pushinteger(v, openWithDesktop(command));
    return 1;
}

} // namespace

void installEngineStdlibSeam() {
    SQStdHost host{};
    host.open = engineOpen;
    host.getenv = engineGetenv;
    host.system = engineSystemHook;
    host.remove = engineRemove;
    host.rename = engineRename;
    host.clock = engineClock;
    sqstd_sethost(&host);
}

void registerEngineSystem(HSQUIRRELVM v) {
    setNativeFunction(v, "system", scriptSystem, 2, nullptr);
}
