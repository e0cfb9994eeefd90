// The io library: the `file` class (a stream over a host file), stdout/stdin/stderr, and loading, running and
// writing script files (text in 8-bit, UTF-8 or UTF-16, or compiled).
#include "squirrel/stdlib/registration.h"
#include "squirrel/stdlib/stream.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {

#define SQSTD_FILE_CLASS_KEY "std_file"

class File final : public SQStream {
public:
    File(SQFILE f, bool owns) : m_file(f), m_owns(owns) {}
    ~File() override {
        if (m_owns) sqstd_fclose(m_file);
    }
    SQInteger read(void* buffer, SQInteger size) override { return sqstd_fread(buffer, 1, size, m_file); }
    SQInteger write(const void* buffer, SQInteger size) override {
        return sqstd_fwrite(const_cast<void*>(buffer), 1, size, m_file);
    }
    SQInteger flush() override { return sqstd_fflush(m_file); }
    SQInteger tell() override { return sqstd_ftell(m_file); }
    SQInteger len() override {
        SQInteger pos = tell();
        if (pos < 0 || sqstd_fseek(m_file, 0, SQ_SEEK_END) != 0) return -1;
        SQInteger size = tell();
        sqstd_fseek(m_file, pos, SQ_SEEK_SET);
        return size;
    }
    SQInteger seek(SQInteger offset, SQInteger origin) override {
        return sqstd_fseek(m_file, offset, origin);
    }
    bool isValid() override { return m_file != nullptr; }
    // At the end when a read has hit it, or when the position is at (or past) the length.
    bool eos() override {
        if (sqstd_feof(m_file)) return true;
        SQInteger pos = tell(), size = len();
        return pos >= 0 && size >= 0 && pos >= size;
    }
    SQFILE file() const { return m_file; }

private:
    SQFILE m_file;
    bool m_owns;
};

File* thisFile(HSQUIRRELVM v, SQInteger idx) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &p, (SQUserPointer)kFileTypeTag)) || !p) return nullptr;
    return static_cast<File*>(static_cast<SQStream*>(p));
}

SQInteger fileRelease(SQUserPointer p, SQInteger) {
    delete static_cast<File*>(static_cast<SQStream*>(p));
    return 1;
}

// file(path, mode), or file(userpointer, owns) from native code.
SQInteger fileConstructor(HSQUIRRELVM v) {
    SQFILE f = nullptr;
    bool owns = true;
    if (sq_gettype(v, 2) == OT_STRING && sq_gettype(v, 3) == OT_STRING) {
        const SQChar *path, *mode;
        sq_getstring(v, 2, &path);
        sq_getstring(v, 3, &mode);
        f = sqstd_fopen(path, mode);
        if (!f) return sq_throwerror(v, "cannot open file");
    } else if (sq_gettype(v, 2) == OT_USERPOINTER) {
        SQUserPointer p;
        sq_getuserpointer(v, 2, &p);
        f = static_cast<SQFILE>(p);
        SQBool b = SQFalse;
        if (sq_gettype(v, 3) != OT_NULL) sq_tobool(v, 3, &b);
        owns = b != SQFalse;
    } else {
        return sq_throwerror(v, "wrong parameter");
    }
    auto* file = new (std::nothrow) File(f, owns);
    if (!file) {
        if (owns) sqstd_fclose(f);
        return sq_throwerror(v, "out of memory");
    }
    sq_setinstanceup(v, 1, static_cast<SQStream*>(file));
    sq_setreleasehook(v, 1, fileRelease);
    return 0;
}

// Two instances must never own one file, so a clone is refused (and given no file of its own).
SQInteger fileCloned(HSQUIRRELVM v) {
    sq_setinstanceup(v, 1, nullptr);
    return sq_throwerror(v, "cannot clone a file");
}

SQInteger fileTypeof(HSQUIRRELVM v) {
    sq_pushstring(v, "file", -1);
    return 1;
}

const SQRegFunction kFileMethods[] = {
    {"constructor", fileConstructor, 3, "x"},
    {"_typeof", fileTypeof, 1, "x"},
    {"_cloned", fileCloned, 2, "xx"},
    {nullptr, nullptr, 0, nullptr},
};

// ---- loading ----

// Decodes the text of a script file into the byte stream the compiler reads: code points of UTF-8 or UTF-16
// text (a value above 255 is then rejected by the lexer), or the raw bytes.
struct LexSource {
    enum class Encoding { Bytes, Utf8, Utf16LE, Utf16BE } encoding = Encoding::Bytes;
    const std::string* text = nullptr;
    size_t pos = 0;

    static SQInteger next(SQUserPointer up) { return static_cast<LexSource*>(up)->read(); }

    SQInteger read() {
        const std::string& s = *text;
        if (pos >= s.size()) return 0;
        switch (encoding) {
        case Encoding::Bytes:
            return (unsigned char)s[pos++];
        case Encoding::Utf16LE:
        case Encoding::Utf16BE: {
            if (pos + 1 >= s.size()) {
                pos = s.size();
                return 0;
            }
            unsigned lo = (unsigned char)s[pos], hi = (unsigned char)s[pos + 1];
            pos += 2;
            unsigned unit = encoding == Encoding::Utf16LE ? (hi << 8 | lo) : (lo << 8 | hi);
            return (SQInteger)(unit & 0xFF);
        }
        case Encoding::Utf8: {
            unsigned c = (unsigned char)s[pos++];
            if (c < 0x80) return c;
            int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
            unsigned cp = c & (0x3Fu >> extra);
            for (int i = 0; i < extra && pos < s.size(); ++i)
                cp = (cp << 6) | ((unsigned char)s[pos++] & 0x3Fu);
            return (SQInteger)cp;
        }
        }
        return 0;
    }
};

struct MemoryReader {
    const std::string* data;
    size_t pos;
    static SQInteger read(SQUserPointer up, SQUserPointer buf, SQInteger size) {
        auto* r = static_cast<MemoryReader*>(up);
        if (size <= 0) return 0;
        size_t left = r->data->size() - r->pos;
        size_t n = (size_t)size < left ? (size_t)size : left;
        std::memcpy(buf, r->data->data() + r->pos, n);
        r->pos += n;
        return (SQInteger)n;
    }
};

bool readWholeFile(SQFILE f, std::string& out) {
    char chunk[4096];
    for (;;) {
        SQInteger n = sqstd_fread(chunk, 1, (SQInteger)sizeof chunk, f);
        if (n <= 0) return true;
        out.append(chunk, (size_t)n);
    }
}

SQInteger fileWriter(SQUserPointer up, SQUserPointer data, SQInteger size) {
    return sqstd_fwrite(data, 1, size, static_cast<SQFILE>(up));
}

SQInteger ioLoadfile(HSQUIRRELVM v) {
    const SQChar* path;
    sq_getstring(v, 2, &path);
    SQBool printerror = SQFalse;
    if (sq_gettop(v) > 2) sq_getbool(v, 3, &printerror);
    if (SQ_FAILED(sqstd_loadfile(v, path, printerror))) return SQ_ERROR;
    return 1;
}

SQInteger ioDofile(HSQUIRRELVM v) {
    const SQChar* path;
    sq_getstring(v, 2, &path);
    SQBool printerror = SQFalse;
    if (sq_gettop(v) > 2) sq_getbool(v, 3, &printerror);
    sq_push(v, 1); // the caller's `this`
    if (SQ_FAILED(sqstd_dofile(v, path, SQTrue, printerror))) return SQ_ERROR;
    return 1;
}

SQInteger ioWriteclosuretofile(HSQUIRRELVM v) {
    const SQChar* path;
    sq_getstring(v, 2, &path);
    sq_push(v, 3);
    if (SQ_FAILED(sqstd_writeclosuretofile(v, path))) return SQ_ERROR;
    return 0;
}

const SQRegFunction kIoGlobals[] = {
    {"loadfile", ioLoadfile, -2, ".sb"},
    {"dofile", ioDofile, -2, ".sb"},
    {"writeclosuretofile", ioWriteclosuretofile, 3, ".sc"},
    {nullptr, nullptr, 0, nullptr},
};

void pushStdStream(HSQUIRRELVM v, const char* name, FILE* stream) {
    sq_pushstring(v, name, -1);
    // The instance owns the wrapper; closing the wrapper leaves the C stream open.
    SQFILE f = sqstdWrapStdio(stream);
    if (f && SQ_SUCCEEDED(sqstd_createfile(v, f, SQTrue))) {
        sq_newslot(v, -3, SQFalse);
    } else {
        sq_pop(v, 1);
    }
}

} // namespace

extern "C" {

SQRESULT sqstd_createfile(HSQUIRRELVM v, SQFILE file, SQBool own) {
    SQInteger top = sq_gettop(v);
    sqstdPushRegistryClass(v, SQSTD_FILE_CLASS_KEY);
    if (sq_gettype(v, -1) != OT_CLASS) {
        sq_settop(v, top);
        return sq_throwerror(v, "the io library is not registered");
    }
    sq_pushroottable(v);
    sq_pushuserpointer(v, file);
    sq_pushbool(v, own);
    if (SQ_FAILED(sqstdConstruct(v, 2))) {
        sq_settop(v, top);
        return SQ_ERROR;
    }
    return SQ_OK;
}

SQRESULT sqstd_getfile(HSQUIRRELVM v, SQInteger idx, SQFILE* file) {
    File* f = thisFile(v, idx);
    if (!f) return sq_throwerror(v, "not a file");
    *file = f->file();
    return SQ_OK;
}

SQRESULT sqstd_loadfile(HSQUIRRELVM v, const SQChar* filename, SQBool printerror) {
    SQFILE f = sqstd_fopen(filename, "rb");
    if (!f) return sq_throwerror(v, "cannot open the file");
    std::string text;
    try {
        readWholeFile(f, text);
    } catch (const std::bad_alloc&) {
        sqstd_fclose(f);
        return sq_throwerror(v, "out of memory");
    }
    sqstd_fclose(f);
    const auto b = [&](size_t i) { return i < text.size() ? (unsigned char)text[i] : 0u; };
    if (text.size() >= 2 && b(0) == 0xFA && b(1) == 0xFA) {
        MemoryReader reader{&text, 0};
        return sq_readclosure(v, MemoryReader::read, &reader);
    }
    LexSource source;
    source.text = &text;
    if (text.size() >= 2 && b(0) == 0xEF && b(1) == 0xBB) {
        if (text.size() < 3) return sq_throwerror(v, "io error");
        if (b(2) != 0xBF) return sq_throwerror(v, "Unrecognozed ecoding");
        source.encoding = LexSource::Encoding::Utf8;
        source.pos = 3;
    } else if (text.size() >= 2 && b(0) == 0xFF && b(1) == 0xFE) {
        source.encoding = LexSource::Encoding::Utf16LE;
        source.pos = 2;
    } else if (text.size() >= 2 && b(0) == 0xFE && b(1) == 0xFF) {
        source.encoding = LexSource::Encoding::Utf16BE;
        source.pos = 2;
    }
    return sq_compile(v, LexSource::next, &source, filename, printerror);
}

SQRESULT sqstd_dofile(HSQUIRRELVM v, const SQChar* filename, SQBool retval, SQBool printerror) {
    if (SQ_FAILED(sqstd_loadfile(v, filename, printerror))) return SQ_ERROR;
    const SQInteger closureTop = sq_gettop(v);
    sq_push(v, -2); // `this`
    if (SQ_FAILED(sq_call(v, 1, retval, SQTrue))) {
        sq_settop(v, closureTop - 1);
        return SQ_ERROR;
    }
    sq_remove(v, retval ? -2 : -1); // the closure
    return SQ_OK;
}

SQRESULT sqstd_writeclosuretofile(HSQUIRRELVM v, const SQChar* filename) {
    if (sq_gettype(v, -1) != OT_CLOSURE) {
        // Worded as the native API's type errors: a native closure is a 'function' too.
        std::string msg = "wrong argument type, expected 'function' got '";
        if (sq_gettype(v, -1) == OT_NATIVECLOSURE) {
            msg += "function";
        } else {
            const SQChar* s = "";
            sq_tostring(v, -1);
            sq_getstring(v, -1, &s);
            msg.append(s, std::strlen(s) < 50 ? std::strlen(s) : 50);
            sq_pop(v, 1);
        }
        msg += "'";
        return sq_throwerror(v, msg.c_str());
    }
    SQFILE f = sqstd_fopen(filename, "wb+");
    if (!f) return sq_throwerror(v, "cannot open the file");
    SQRESULT r = sq_writeclosure(v, fileWriter, f);
    sqstd_fclose(f);
    return r;
}

SQRESULT sqstd_register_iolib(HSQUIRRELVM v) {
    sqstdPushStreamClass(v); // [table, stream]
    sq_pushregistrytable(v);
    sq_pushstring(v, SQSTD_FILE_CLASS_KEY, -1);
    sq_push(v, -3);
    if (SQ_FAILED(sq_newclass(v, SQTrue))) {
        sq_pop(v, 3);
        return SQ_ERROR;
    }
    sq_settypetag(v, -1, (SQUserPointer)kFileTypeTag);
    sqstdRegisterFunctions(v, kFileMethods);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 2);
    sq_pushstring(v, "file", -1);
    sqstdPushRegistryClass(v, SQSTD_FILE_CLASS_KEY);
    sq_newslot(v, -3, SQFalse);
    sqstdRegisterFunctions(v, kIoGlobals);
    pushStdStream(v, "stdout", stdout);
    pushStdStream(v, "stdin", stdin);
    pushStdStream(v, "stderr", stderr);
    return SQ_OK;
}

} // extern "C"
