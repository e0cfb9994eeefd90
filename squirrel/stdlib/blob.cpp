// The `blob` class (a growable byte buffer that is a stream) and the bit-casting and byte-swapping globals.
#include "squirrel/stdlib/registration.h"
#include "squirrel/stdlib/stream.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace {

#define SQSTD_BLOB_CLASS_KEY "std_blob"

// The largest blob: a script asking for more gets "out of memory" rather than the host thrashing.
constexpr SQInteger kMaxBlobSize = 1 << 28;

// A blob's length is what has been written (or the size it was created with); its capacity may be larger.
class Blob final : public SQStream {
public:
    ~Blob() override {
        if (m_data) sq_free(m_data, (SQUnsignedInteger)m_cap);
    }
    bool init(SQInteger size) {
        if (!reserve(size > 0 ? size : 1)) return false; // never a null buffer, even when empty
        if (size > 0) std::memset(m_data, 0, (size_t)size);
        m_len = size;
        return true;
    }
    SQInteger read(void* buffer, SQInteger size) override {
        if (size <= 0 || m_pos >= m_len) return 0;
        SQInteger n = size < m_len - m_pos ? size : m_len - m_pos;
        std::memcpy(buffer, m_data + m_pos, (size_t)n);
        m_pos += n;
        return n;
    }
    SQInteger write(const void* buffer, SQInteger size) override {
        if (size <= 0) return 0;
        if (size > kMaxBlobSize - m_pos) return 0;
        if (m_pos + size > m_cap && !reserve(grownCapacity(m_pos + size))) return 0;
        std::memcpy(m_data + m_pos, buffer, (size_t)size);
        m_pos += size;
        if (m_pos > m_len) m_len = m_pos;
        return size;
    }
    SQInteger flush() override { return 0; }
    SQInteger tell() override { return m_pos; }
    SQInteger len() override { return m_len; }
    SQInteger seek(SQInteger offset, SQInteger origin) override {
        int64_t base = origin == SQ_SEEK_CUR ? m_pos : origin == SQ_SEEK_END ? m_len : 0;
        int64_t target = base + (int64_t)offset;
        if (target < 0 || target > m_len) return -1;
        m_pos = (SQInteger)target;
        return 0;
    }
    bool isValid() override { return true; }
    bool eos() override { return m_pos >= m_len; }

    // Changes the capacity; the length only ever shrinks with it.
    bool resize(SQInteger size) {
        if (size > m_cap) {
            if (!reserve(size)) return false;
        } else if (size < m_cap) {
            SQInteger keep = size > 0 ? size : 1; // never a null buffer
            auto* d = static_cast<unsigned char*>(
                sq_realloc(m_data, (SQUnsignedInteger)m_cap, (SQUnsignedInteger)keep));
            if (!d) return false;
            m_data = d;
            m_cap = keep;
        }
        if (m_len > size) m_len = size;
        if (m_pos > size) m_pos = size;
        return true;
    }
    void swap2() {
        for (SQInteger i = 0; i + 1 < m_len; i += 2) std::swap(m_data[i], m_data[i + 1]);
    }
    void swap4() {
        for (SQInteger i = 0; i + 3 < m_len; i += 4) {
            std::swap(m_data[i], m_data[i + 3]);
            std::swap(m_data[i + 1], m_data[i + 2]);
        }
    }
    unsigned char* data() { return m_data; }
    bool copyFrom(const Blob& other) {
        if (other.m_len > 0 && !reserve(other.m_len)) return false;
        if (other.m_len > 0) std::memcpy(m_data, other.m_data, (size_t)other.m_len);
        m_len = other.m_len;
        m_pos = other.m_pos > m_len ? m_len : other.m_pos;
        return true;
    }

private:
    static SQInteger grownCapacity(SQInteger needed) {
        int64_t c = needed < 16 ? 16 : (int64_t)needed * 2;
        return c > kMaxBlobSize ? kMaxBlobSize : (SQInteger)c;
    }
    bool reserve(SQInteger cap) {
        if (cap <= m_cap) return true;
        // Through the VM's allocator, so blob memory counts where the host accounts for script memory.
        auto* d = static_cast<unsigned char*>(
            m_data ? sq_realloc(m_data, (SQUnsignedInteger)m_cap, (SQUnsignedInteger)cap)
                   : sq_malloc((SQUnsignedInteger)cap));
        if (!d) return false;
        std::memset(d + m_cap, 0, (size_t)(cap - m_cap));
        m_data = d;
        m_cap = cap;
        return true;
    }
    unsigned char* m_data = nullptr;
    SQInteger m_len = 0, m_cap = 0, m_pos = 0;
};

Blob* thisBlob(HSQUIRRELVM v, SQInteger idx = 1) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &p, (SQUserPointer)kBlobTypeTag)) || !p) return nullptr;
    return static_cast<Blob*>(static_cast<SQStream*>(p));
}

#define SQSTD_BLOB(v, b)                                                                                     \
    Blob* b = thisBlob(v);                                                                                   \
    if (!b) return sq_throwerror(v, "invalid blob")

SQInteger blobRelease(SQUserPointer p, SQInteger) {
    delete static_cast<Blob*>(static_cast<SQStream*>(p));
    return 1;
}

SQInteger blobConstructor(HSQUIRRELVM v) {
    SQInteger size = 0;
    if (sq_gettop(v) > 1) sq_getinteger(v, 2, &size);
    if (size < 0) return sq_throwerror(v, "cannot create blob with negative size");
    if (size > kMaxBlobSize) return sq_throwerror(v, "out of memory");
    if (SQ_FAILED(sq_spendwork(v, (unsigned long long)size))) return SQ_ERROR;
    auto* b = new (std::nothrow) Blob();
    if (!b || !b->init(size)) {
        delete b;
        return sq_throwerror(v, "out of memory");
    }
    if (SQ_FAILED(sq_setinstanceup(v, 1, static_cast<SQStream*>(b)))) {
        delete b;
        return SQ_ERROR;
    }
    sq_setreleasehook(v, 1, blobRelease);
    return 0;
}

// A clone shares nothing with its original: it gets its own copy of the bytes.
SQInteger blobCloned(HSQUIRRELVM v) {
    sq_setinstanceup(v, 1, nullptr);
    Blob* original = thisBlob(v, 2);
    if (!original) return sq_throwerror(v, "invalid blob");
    if (SQ_FAILED(sq_spendwork(v, (unsigned long long)original->len()))) return SQ_ERROR;
    auto* b = new (std::nothrow) Blob();
    if (!b || !b->copyFrom(*original)) {
        delete b;
        return sq_throwerror(v, "out of memory");
    }
    sq_setinstanceup(v, 1, static_cast<SQStream*>(b));
    sq_setreleasehook(v, 1, blobRelease);
    return 0;
}

SQInteger blobResize(HSQUIRRELVM v) {
    SQSTD_BLOB(v, b);
    SQInteger size;
    sq_getinteger(v, 2, &size);
    if (size < 0) return sq_throwerror(v, "negative size");
    if (size > kMaxBlobSize) return sq_throwerror(v, "out of memory");
    if (SQ_FAILED(sq_spendwork(v, (unsigned long long)size))) return SQ_ERROR;
    if (!b->resize(size)) return sq_throwerror(v, "resize failed");
    return 0;
}

SQInteger blobSwap2(HSQUIRRELVM v) {
    SQSTD_BLOB(v, b);
    b->swap2();
    return 0;
}

SQInteger blobSwap4(HSQUIRRELVM v) {
    SQSTD_BLOB(v, b);
    b->swap4();
    return 0;
}

SQInteger blobSet(HSQUIRRELVM v) {
    SQSTD_BLOB(v, b);
    SQInteger idx, val;
    sq_getinteger(v, 2, &idx);
    sq_getinteger(v, 3, &val);
    if (idx < 0 || idx >= b->len()) return sq_throwerror(v, "index out of range");
    b->data()[idx] = (unsigned char)val;
    sq_push(v, 3);
    return 1;
}

SQInteger blobGet(HSQUIRRELVM v) {
    SQSTD_BLOB(v, b);
    SQInteger idx;
    sq_getinteger(v, 2, &idx);
    if (idx < 0 || idx >= b->len()) return sq_throwerror(v, "index out of range");
    sq_pushinteger(v, b->data()[idx]);
    return 1;
}

SQInteger blobNexti(HSQUIRRELVM v) {
    SQSTD_BLOB(v, b);
    if (sq_gettype(v, 2) == OT_NULL) {
        if (b->len() == 0) return 0;
        sq_pushinteger(v, 0);
        return 1;
    }
    SQInteger idx;
    if (SQ_SUCCEEDED(sq_getinteger(v, 2, &idx)) && idx + 1 < b->len()) {
        sq_pushinteger(v, idx + 1);
        return 1;
    }
    return 0;
}

SQInteger blobTypeof(HSQUIRRELVM v) {
    sq_pushstring(v, "blob", -1);
    return 1;
}

SQInteger castI2F(HSQUIRRELVM v) {
    SQInteger i;
    sq_getinteger(v, 2, &i);
    float f;
    std::memcpy(&f, &i, sizeof f);
    sq_pushfloat(v, f);
    return 1;
}

SQInteger castF2I(HSQUIRRELVM v) {
    SQFloat f;
    sq_getfloat(v, 2, &f);
    SQInteger i;
    std::memcpy(&i, &f, sizeof i);
    sq_pushinteger(v, i);
    return 1;
}

// Keeps the historical result: the low 16 bits, sign-extended, swapped without masking the high part.
SQInteger swap2(HSQUIRRELVM v) {
    SQInteger i;
    sq_getinteger(v, 2, &i);
    int32_t s = (int16_t)(i & 0xFFFF);
    sq_pushinteger(v, (SQInteger)(((uint32_t)s << 8) | (uint32_t)((s >> 8) & 0xFF)));
    return 1;
}

uint32_t byteSwap32(uint32_t x) {
    return (x >> 24) | ((x >> 8) & 0xFF00u) | ((x << 8) & 0xFF0000u) | (x << 24);
}

SQInteger swap4(HSQUIRRELVM v) {
    SQInteger i;
    sq_getinteger(v, 2, &i);
    sq_pushinteger(v, (SQInteger)byteSwap32((uint32_t)i));
    return 1;
}

SQInteger swapFloat(HSQUIRRELVM v) {
    SQFloat f;
    sq_getfloat(v, 2, &f);
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    bits = byteSwap32(bits);
    std::memcpy(&f, &bits, sizeof f);
    sq_pushfloat(v, f);
    return 1;
}

const SQRegFunction kBlobMethods[] = {
    {"constructor", blobConstructor, -1, "xn"},
    {"resize", blobResize, 2, "xn"},
    {"swap2", blobSwap2, 1, "x"},
    {"swap4", blobSwap4, 1, "x"},
    {"_set", blobSet, 3, "xnn"},
    {"_get", blobGet, 2, "xn"},
    {"_typeof", blobTypeof, 1, "x"},
    {"_nexti", blobNexti, 2, "x"},
    {"_cloned", blobCloned, 2, "xx"},
    {nullptr, nullptr, 0, nullptr},
};

const SQRegFunction kBlobGlobals[] = {
    {"casti2f", castI2F, 2, ".n"}, {"castf2i", castF2I, 2, ".n"},     {"swap2", swap2, 2, ".n"},
    {"swap4", swap4, 2, ".n"},     {"swapfloat", swapFloat, 2, ".n"}, {nullptr, nullptr, 0, nullptr},
};

} // namespace

extern "C" {

SQRESULT sqstd_register_bloblib(HSQUIRRELVM v) {
    sqstdPushStreamClass(v); // [table, stream]
    sq_pushregistrytable(v);
    sq_pushstring(v, SQSTD_BLOB_CLASS_KEY, -1);
    sq_push(v, -3);
    if (SQ_FAILED(sq_newclass(v, SQTrue))) {
        sq_pop(v, 3);
        return SQ_ERROR;
    }
    sq_settypetag(v, -1, (SQUserPointer)kBlobTypeTag);
    sqstdRegisterFunctions(v, kBlobMethods);
    sq_newslot(v, -3, SQFalse); // registry.std_blob
    sq_pop(v, 2);               // registry, stream
    sq_pushstring(v, "blob", -1);
    sqstdPushRegistryClass(v, SQSTD_BLOB_CLASS_KEY);
    sq_newslot(v, -3, SQFalse);
    sqstdRegisterFunctions(v, kBlobGlobals);
    return SQ_OK;
}

SQUserPointer sqstd_createblob(HSQUIRRELVM v, SQInteger size) {
    SQInteger top = sq_gettop(v);
    sqstdPushRegistryClass(v, SQSTD_BLOB_CLASS_KEY);
    if (sq_gettype(v, -1) != OT_CLASS) {
        sq_settop(v, top);
        sq_throwerror(v, "the blob library is not registered");
        return nullptr;
    }
    sq_pushroottable(v);
    sq_pushinteger(v, size);
    if (SQ_FAILED(sqstdConstruct(v, 1))) {
        sq_settop(v, top);
        return nullptr;
    }
    SQUserPointer p;
    if (SQ_FAILED(sqstd_getblob(v, -1, &p))) {
        sq_settop(v, top);
        return nullptr;
    }
    return p;
}

SQRESULT sqstd_getblob(HSQUIRRELVM v, SQInteger idx, SQUserPointer* ptr) {
    Blob* b = thisBlob(v, idx);
    if (!b) return SQ_ERROR;
    *ptr = b->data();
    return SQ_OK;
}

SQInteger sqstd_getblobsize(HSQUIRRELVM v, SQInteger idx) {
    Blob* b = thisBlob(v, idx);
    return b ? b->len() : -1;
}

} // extern "C"
