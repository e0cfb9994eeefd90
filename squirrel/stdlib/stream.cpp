// The `stream` base class: readn/writen with their type codes, readblob/writeblob, seek/tell/len/eos/flush.
#include "squirrel/stdlib/stream.h"

#include "squirrel/stdlib/registration.h"

#include <cstdint>
#include <cstring>

const char kStreamTypeTag[] = "std_stream";
const char kBlobTypeTag[] = "std_blob";
const char kFileTypeTag[] = "std_file";

namespace {

SQStream* thisStream(HSQUIRRELVM v) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &p, (SQUserPointer)kStreamTypeTag)) || !p) return nullptr;
    SQStream* s = static_cast<SQStream*>(p);
    return s->isValid() ? s : nullptr;
}

#define SQSTD_STREAM(v, s)                                                                                   \
    SQStream* s = thisStream(v);                                                                             \
    if (!s) return sq_throwerror(v, "invalid stream")

SQInteger streamReadblob(HSQUIRRELVM v) {
    SQSTD_STREAM(v, s);
    SQInteger size;
    sq_getinteger(v, 2, &size);
    if (size < 0) return sq_throwerror(v, "invalid size");
    // Clamp to what is left where the stream knows its length, so a huge request cannot allocate huge memory.
    SQInteger pos = s->tell(), len = s->len();
    if (pos >= 0 && len >= 0 && size > len - pos) size = len - pos > 0 ? len - pos : 0;
    if (size == 0) return sq_throwerror(v, "no data left to read");
    if (SQ_FAILED(sq_spendwork(v, (unsigned long long)size))) return SQ_ERROR;
    SQUserPointer data = sqstd_createblob(v, size);
    if (!data) return SQ_ERROR;
    SQInteger got = s->read(data, size);
    if (got <= 0) return sq_throwerror(v, "no data left to read");
    if (got < size) {
        // Shrink the new blob to what was read.
        const SQInteger top = sq_gettop(v);
        sq_pushstring(v, "resize", -1);
        sq_get(v, -2);
        sq_push(v, -2);
        sq_pushinteger(v, got);
        sq_call(v, 2, SQFalse, SQFalse);
        sq_settop(v, top);
    }
    return 1;
}

template <typename T> SQInteger readValue(HSQUIRRELVM v, SQStream* s, T& out) {
    if (s->read(&out, (SQInteger)sizeof(T)) != (SQInteger)sizeof(T)) return sq_throwerror(v, "io error");
    return 0;
}

SQInteger streamReadn(HSQUIRRELVM v) {
    SQSTD_STREAM(v, s);
    SQInteger format;
    sq_getinteger(v, 2, &format);
    switch (format) {
    case 'c': {
        int8_t x;
        if (readValue(v, s, x)) return SQ_ERROR;
        sq_pushinteger(v, x);
        break;
    }
    case 'b': {
        uint8_t x;
        if (readValue(v, s, x)) return SQ_ERROR;
        sq_pushinteger(v, x);
        break;
    }
    case 's': {
        int16_t x;
        if (readValue(v, s, x)) return SQ_ERROR;
        sq_pushinteger(v, x);
        break;
    }
    case 'w': {
        uint16_t x;
        if (readValue(v, s, x)) return SQ_ERROR;
        sq_pushinteger(v, x);
        break;
    }
    case 'i':
    case 'l': {
        int32_t x;
        if (readValue(v, s, x)) return SQ_ERROR;
        sq_pushinteger(v, x);
        break;
    }
    case 'f': {
        float x;
        if (readValue(v, s, x)) return SQ_ERROR;
        sq_pushfloat(v, x);
        break;
    }
    case 'd': {
        double x;
        if (readValue(v, s, x)) return SQ_ERROR;
        sq_pushfloat(v, (SQFloat)x);
        break;
    }
    default:
        return sq_throwerror(v, "invalid format");
    }
    return 1;
}

SQInteger streamWriteblob(HSQUIRRELVM v) {
    SQSTD_STREAM(v, s);
    SQUserPointer data;
    if (SQ_FAILED(sqstd_getblob(v, 2, &data))) return sq_throwerror(v, "invalid parameter");
    SQInteger size = sqstd_getblobsize(v, 2);
    if (size > 0 && SQ_FAILED(sq_spendwork(v, (unsigned long long)size))) return SQ_ERROR;
    if (s->write(data, size) != size) return sq_throwerror(v, "io error");
    sq_pushinteger(v, size);
    return 1;
}

template <typename T> SQInteger writeValue(HSQUIRRELVM v, SQStream* s, T x) {
    if (s->write(&x, (SQInteger)sizeof(T)) != (SQInteger)sizeof(T)) return sq_throwerror(v, "io error");
    return 0;
}

SQInteger streamWriten(HSQUIRRELVM v) {
    SQSTD_STREAM(v, s);
    SQInteger format, i;
    SQFloat f;
    sq_getinteger(v, 3, &format);
    sq_getinteger(v, 2, &i);
    sq_getfloat(v, 2, &f);
    SQInteger r;
    switch (format) {
    case 'c':
    case 'b':
        r = writeValue(v, s, (uint8_t)i);
        break;
    case 's':
    case 'w':
        r = writeValue(v, s, (uint16_t)i);
        break;
    case 'i':
    case 'l':
        r = writeValue(v, s, (int32_t)i);
        break;
    case 'f':
        r = writeValue(v, s, (float)f);
        break;
    case 'd':
        r = writeValue(v, s, (double)f);
        break;
    default:
        return sq_throwerror(v, "invalid format");
    }
    return r ? SQ_ERROR : 0;
}

SQInteger streamSeek(HSQUIRRELVM v) {
    SQSTD_STREAM(v, s);
    SQInteger offset, origin = SQ_SEEK_SET;
    sq_getinteger(v, 2, &offset);
    if (sq_gettop(v) > 2) {
        SQInteger o;
        sq_getinteger(v, 3, &o);
        switch (o) {
        case 'e':
            origin = SQ_SEEK_END;
            break;
        case 'c':
            origin = SQ_SEEK_CUR;
            break;
        case 'b':
            origin = SQ_SEEK_SET;
            break;
        default:
            return sq_throwerror(v, "invalid origin");
        }
    }
    sq_pushinteger(v, s->seek(offset, origin) == 0 ? 0 : -1);
    return 1;
}

SQInteger streamTell(HSQUIRRELVM v) {
    SQSTD_STREAM(v, s);
    sq_pushinteger(v, s->tell());
    return 1;
}

SQInteger streamLen(HSQUIRRELVM v) {
    SQSTD_STREAM(v, s);
    sq_pushinteger(v, s->len());
    return 1;
}

SQInteger streamFlush(HSQUIRRELVM v) {
    SQSTD_STREAM(v, s);
    if (s->flush() != 0) return 0;
    sq_pushinteger(v, 1);
    return 1;
}

SQInteger streamEos(HSQUIRRELVM v) {
    SQSTD_STREAM(v, s);
    if (!s->eos()) return 0;
    sq_pushinteger(v, 1);
    return 1;
}

const SQRegFunction kStreamMethods[] = {
    {"readblob", streamReadblob, 2, "xn"},
    {"readn", streamReadn, 2, "xn"},
    {"writeblob", streamWriteblob, -2, "xx"},
    {"writen", streamWriten, 3, "xnn"},
    {"seek", streamSeek, -2, "xnn"},
    {"tell", streamTell, 1, "x"},
    {"len", streamLen, 1, "x"},
    {"eos", streamEos, 1, "x"},
    {"flush", streamFlush, 1, "x"},
    {nullptr, nullptr, 0, nullptr},
};

} // namespace

void sqstdPushRegistryClass(HSQUIRRELVM v, const char* key) {
    sq_pushregistrytable(v);
    sq_pushstring(v, key, -1);
    if (SQ_FAILED(sq_rawget(v, -2))) sq_pushnull(v);
    sq_remove(v, -2);
}

void sqstdPushStreamClass(HSQUIRRELVM v) {
    sqstdPushRegistryClass(v, SQSTD_STREAM_CLASS_KEY);
    if (sq_gettype(v, -1) != OT_CLASS) {
        sq_pop(v, 1);
        sq_pushregistrytable(v);
        sq_pushstring(v, SQSTD_STREAM_CLASS_KEY, -1);
        sq_newclass(v, SQFalse);
        sq_settypetag(v, -1, (SQUserPointer)kStreamTypeTag);
        sqstdRegisterFunctions(v, kStreamMethods);
        sq_newslot(v, -3, SQFalse);
        sq_pop(v, 1);
        sqstdPushRegistryClass(v, SQSTD_STREAM_CLASS_KEY);
    }
    // Also visible to scripts (for `instanceof stream`).
    sq_pushstring(v, "stream", -1);
    sq_push(v, -2);
    sq_newslot(v, -4, SQFalse);
}

SQRESULT sqstdConstruct(HSQUIRRELVM v, SQInteger nargs) {
    const SQInteger classTop = sq_gettop(v) - nargs - 1;
    SQRESULT r = sq_call(v, nargs + 1, SQTrue, SQFalse);
    if (SQ_FAILED(r)) {
        sq_settop(v, classTop - 1);
        return r;
    }
    sq_remove(v, -2); // the class
    return SQ_OK;
}
