// Loading script files through the engine's file system, so scripts come from language folders, archives and
// the user data folder like every other resource.
#include "platform/kd.h"
#include "script/src/host_internal.h"
#include "script/src/script_source.h"

#include <cstring>
#include <new>
#include <string>

namespace {

// A script larger than this is refused as an I/O error instead of exhausting memory (an HTTP body without
// end, a wrong file).
constexpr std::size_t kLargestScript = 64u << 20;

bool readWholeFile(KDFile* file, std::string& out) {
    char chunk[8192];
    try {
        while (KDsize got = kdFread(chunk, 1, sizeof chunk, file)) {
            if (out.size() + got > kLargestScript) return false;
            out.append(chunk, got);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return kdFerror(file) == 0;
}

struct MemoryReader {
    std::string_view bytes;
    std::size_t position = 0;

    static SQInteger read(SQUserPointer self, SQUserPointer buffer, SQInteger size) {
        auto* reader = static_cast<MemoryReader*>(self);
        if (size <= 0) return 0;
        std::size_t left = reader->bytes.size() - reader->position;
        std::size_t count = static_cast<std::size_t>(size) < left ? static_cast<std::size_t>(size) : left;
        std::memcpy(buffer, reader->bytes.data() + reader->position, count);
        reader->position += count;
        return static_cast<SQInteger>(count);
    }
};

// loadfile(path [, printerror]) → the compiled closure.
SQInteger scriptLoadfile(HSQUIRRELVM v) {
    const SQChar* path = nullptr;
    sq_getstring(v, 2, &path);
    SQBool printErrors = SQFalse;
    if (sq_gettop(v) > 2) sq_getbool(v, 3, &printErrors);
    if (SQ_FAILED(pushScriptFile(v, path, printErrors != SQFalse))) return SQ_ERROR;
    return 1;
}

// dofile(path [, printerror]) → the script's result, run with the caller's `this`.
SQInteger scriptDofile(HSQUIRRELVM v) {
    const SQChar* path = nullptr;
    sq_getstring(v, 2, &path);
    SQBool printErrors = SQFalse;
    if (sq_gettop(v) > 2) sq_getbool(v, 3, &printErrors);
    if (SQ_FAILED(pushScriptFile(v, path, printErrors != SQFalse))) return SQ_ERROR;
    sq_push(v, 1);
    if (SQ_FAILED(sq_call(v, 1, SQTrue, SQTrue))) return SQ_ERROR;
    return 1;
}

} // namespace

SQRESULT pushScriptFile(HSQUIRRELVM v, const char* path, bool printErrors, bool* compileFailed) {
    if (compileFailed) *compileFailed = false;
    if (!path) return sq_throwerror(v, "cannot open the file");
    KDFile* file = kdFopen(path, "rb");
    if (!file) return sq_throwerror(v, "cannot open the file");
    std::string bytes;
    bool complete = readWholeFile(file, bytes);
    kdFclose(file);
    if (!complete) return sq_throwerror(v, "io error");

    ScriptSource source = decodeScriptSource(bytes);
    switch (source.kind) {
    case ScriptSourceKind::CompiledClosure: {
        MemoryReader reader{bytes};
        return sq_readclosure(v, MemoryReader::read, &reader);
    }
    case ScriptSourceKind::BadEncoding:
        return sq_throwerror(v, "Unrecognozed ecoding");
    case ScriptSourceKind::ShortRead:
        return sq_throwerror(v, "io error");
    case ScriptSourceKind::Text:
        break;
    }
    SQRESULT compiled = sq_compilebuffer(v, source.text.data(), static_cast<SQInteger>(source.text.size()),
                                         path, printErrors ? SQTrue : SQFalse);
    if (SQ_FAILED(compiled) && compileFailed) *compileFailed = true;
    return compiled;
}

void registerEngineLoaders(HSQUIRRELVM v) {
    setNativeFunction(v, "loadfile", scriptLoadfile, -2, ".sb");
    setNativeFunction(v, "dofile", scriptDofile, -2, ".sb");
}
