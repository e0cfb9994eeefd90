// The value representation shared by every part of the VM: reference-counted heap objects, the owning value
// handle SQObjectPtr, interned strings and weak references.
//
// Ownership: an SQObjectPtr holds one reference to a counted object. An object dies the moment its count
// drops to zero (release hooks run then); cycles among collectable objects are reclaimed by the collector
// (collector.h). Strings, weak references and function prototypes cannot form cycles and are never collected.
#ifndef SQUIRREL_SRC_OBJECT_H
#define SQUIRREL_SRC_OBJECT_H

#include "squirrel/squirrel.h"
#include "squirrel/src/memory.h"

#include <cstdint>
#include <cstring>

struct SQSharedState;
struct SQCollector;

// Name of a type as `type()` reports it ("integer", "function", ...).
const char* sqTypeName(SQObjectType t);

struct SQRefCounted : SQAllocated {
    SQUnsignedInteger _uiRef = 0;
    struct SQWeakRef* _weakref = nullptr;
    inline virtual ~SQRefCounted();
    // Called when the last reference goes; destroys the object.
    virtual void release() { delete this; }
    // The object's unique weak reference (created on first use). `type` is the object's own type.
    SQWeakRef* getWeakRef(SQObjectType type);
};

// The value handle's few instructions belong inline even in the interpreter's huge dispatch function, where
// the compiler would otherwise call out-of-line copies of them. Unoptimised builds keep them out of line:
// inlined there, they would grow every frame of the compiler's recursive descent.
#if (defined(__GNUC__) || defined(__clang__)) && defined(__OPTIMIZE__)
#define SQ_ALWAYS_INLINE __attribute__((always_inline))
#else
#define SQ_ALWAYS_INLINE
#endif

SQ_ALWAYS_INLINE inline void sqAddRef(const SQObject& o) {
    if (ISREFCOUNTED(o._type)) ++o._unVal.pRefCounted->_uiRef;
}
SQ_ALWAYS_INLINE inline void sqRelease(SQObjectType t, SQObjectValue v) {
    if (ISREFCOUNTED(t) && --v.pRefCounted->_uiRef == 0) v.pRefCounted->release();
}

// Writes a payload of at most 32 bits as one 8-byte store. Writing the zeroed pointer and then the integer
// over its low half would make the next 8-byte copy of the slot wait for both stores to retire.
inline void sqSetPayload(SQObjectValue& v, uint32_t bits) {
    static_assert(sizeof(SQObjectValue) == sizeof(uint64_t) || sizeof(SQObjectValue) == sizeof(uint32_t));
    if constexpr (sizeof(SQObjectValue) == sizeof(uint64_t)) {
        uint64_t w = bits;
        memcpy(&v, &w, sizeof w);
    } else {
        memcpy(&v, &bits, sizeof bits);
    }
}
inline uint32_t sqFloatBits(SQFloat f) {
    static_assert(sizeof(SQFloat) == sizeof(uint32_t));
    uint32_t b;
    memcpy(&b, &f, sizeof b);
    return b;
}

// An owning value handle.
struct SQObjectPtr : SQObject {
    SQObjectPtr() {
        _type = OT_NULL;
        _unVal.pRefCounted = nullptr;
    }
    SQ_ALWAYS_INLINE SQObjectPtr(const SQObjectPtr& o) {
        _type = o._type;
        _unVal = o._unVal;
        sqAddRef(*this);
    }
    SQ_ALWAYS_INLINE SQObjectPtr(const SQObject& o) {
        _type = o._type;
        _unVal = o._unVal;
        sqAddRef(*this);
    }
    SQ_ALWAYS_INLINE SQObjectPtr(SQObjectPtr&& o) noexcept {
        _type = o._type;
        _unVal = o._unVal;
        o._type = OT_NULL;
        o._unVal.pRefCounted = nullptr;
    }
    explicit SQObjectPtr(bool b) {
        _type = OT_BOOL;
        _unVal.pRefCounted = nullptr;
        _unVal.nInteger = b ? 1 : 0;
    }
    SQObjectPtr(SQInteger i) {
        _type = OT_INTEGER;
        _unVal.pRefCounted = nullptr;
        _unVal.nInteger = i;
    }
    SQObjectPtr(SQFloat f) {
        _type = OT_FLOAT;
        _unVal.pRefCounted = nullptr;
        _unVal.fFloat = f;
    }
#define SQ_PTR_CTOR(T, OT, FIELD)                                                                            \
    SQObjectPtr(T* p) {                                                                                      \
        _type = OT;                                                                                          \
        _unVal.pRefCounted = nullptr;                                                                        \
        _unVal.FIELD = p;                                                                                    \
        sqAddRef(*this);                                                                                     \
    }
    SQ_PTR_CTOR(SQTable, OT_TABLE, pTable)
    SQ_PTR_CTOR(SQArray, OT_ARRAY, pArray)
    SQ_PTR_CTOR(SQClosure, OT_CLOSURE, pClosure)
    SQ_PTR_CTOR(SQNativeClosure, OT_NATIVECLOSURE, pNativeClosure)
    SQ_PTR_CTOR(SQGenerator, OT_GENERATOR, pGenerator)
    SQ_PTR_CTOR(SQString, OT_STRING, pString)
    SQ_PTR_CTOR(SQUserData, OT_USERDATA, pUserData)
    SQ_PTR_CTOR(SQFunctionProto, OT_FUNCPROTO, pFunctionProto)
    SQ_PTR_CTOR(SQVM, OT_THREAD, pThread)
    SQ_PTR_CTOR(SQClass, OT_CLASS, pClass)
    SQ_PTR_CTOR(SQInstance, OT_INSTANCE, pInstance)
    SQ_PTR_CTOR(SQWeakRef, OT_WEAKREF, pWeakRef)
#undef SQ_PTR_CTOR
    static SQObjectPtr userPointer(SQUserPointer p) {
        SQObjectPtr o;
        o._type = OT_USERPOINTER;
        o._unVal.pUserPointer = p;
        return o;
    }
    SQ_ALWAYS_INLINE ~SQObjectPtr() {
        sqRelease(_type, _unVal);
    }

    SQ_ALWAYS_INLINE SQObjectPtr& operator=(const SQObjectPtr& o) {
        return assign(o);
    }
    SQ_ALWAYS_INLINE SQObjectPtr& operator=(const SQObject& o) {
        return assign(o);
    }
    SQ_ALWAYS_INLINE SQObjectPtr& operator=(SQObjectPtr&& o) noexcept {
        if (this != &o) {
            SQObjectType t = _type;
            SQObjectValue v = _unVal;
            _type = o._type;
            _unVal = o._unVal;
            o._type = OT_NULL;
            o._unVal.pRefCounted = nullptr;
            sqRelease(t, v);
        }
        return *this;
    }
    SQ_ALWAYS_INLINE SQObjectPtr& operator=(SQInteger i) {
        SQObjectType t = _type;
        SQObjectValue v = _unVal;
        _type = OT_INTEGER;
        sqSetPayload(_unVal, (uint32_t)i);
        sqRelease(t, v);
        return *this;
    }
    SQ_ALWAYS_INLINE SQObjectPtr& operator=(SQFloat f) {
        SQObjectType t = _type;
        SQObjectValue v = _unVal;
        _type = OT_FLOAT;
        sqSetPayload(_unVal, sqFloatBits(f));
        sqRelease(t, v);
        return *this;
    }
    SQ_ALWAYS_INLINE void setBool(bool b) {
        SQObjectType t = _type;
        SQObjectValue v = _unVal;
        _type = OT_BOOL;
        sqSetPayload(_unVal, b ? 1u : 0u);
        sqRelease(t, v);
    }
    SQ_ALWAYS_INLINE void Null() {
        SQObjectType t = _type;
        SQObjectValue v = _unVal;
        _type = OT_NULL;
        _unVal.pRefCounted = nullptr;
        sqRelease(t, v);
    }

private:
    SQ_ALWAYS_INLINE SQObjectPtr& assign(const SQObject& o) {
        SQObjectType t = _type;
        SQObjectValue v = _unVal;
        _type = o._type;
        _unVal = o._unVal;
        sqAddRef(*this);
        sqRelease(t, v);
        return *this;
    }
};

// Field accessors, named after the payload they read.
#define _integer(obj) ((obj)._unVal.nInteger)
#define _float(obj) ((obj)._unVal.fFloat)
#define _string(obj) ((obj)._unVal.pString)
#define _table(obj) ((obj)._unVal.pTable)
#define _array(obj) ((obj)._unVal.pArray)
#define _closure(obj) ((obj)._unVal.pClosure)
#define _generator(obj) ((obj)._unVal.pGenerator)
#define _nativeclosure(obj) ((obj)._unVal.pNativeClosure)
#define _userdata(obj) ((obj)._unVal.pUserData)
#define _userpointer(obj) ((obj)._unVal.pUserPointer)
#define _thread(obj) ((obj)._unVal.pThread)
#define _funcproto(obj) ((obj)._unVal.pFunctionProto)
#define _class(obj) ((obj)._unVal.pClass)
#define _instance(obj) ((obj)._unVal.pInstance)
#define _weakref(obj) ((obj)._unVal.pWeakRef)
#define _refcounted(obj) ((obj)._unVal.pRefCounted)
#define _rawval(obj) ((obj)._unVal.raw)
#define _stringval(obj) ((obj)._unVal.pString->_val)

inline SQFloat sqToFloat(const SQObject& o) {
    return o._type == OT_INTEGER ? (SQFloat)o._unVal.nInteger : o._unVal.fFloat;
}
inline SQInteger sqToInteger(const SQObject& o) {
    return o._type == OT_FLOAT ? (SQInteger)o._unVal.fFloat : o._unVal.nInteger;
}

// An interned, immutable byte string. Equal contents are the same object within one VM (and its threads).
struct SQString : SQRefCounted {
    SQSharedState* _sharedstate;
    SQString* _next; // chain in the string table
    SQInteger _len;
    SQHash _hash;
    SQChar _val[1]; // _len bytes plus a terminating zero
    // The interned string for s[0..len) (len < 0: up to the zero byte). Throws SQOutOfMemory.
    static SQString* create(SQSharedState* ss, const SQChar* s, SQInteger len = -1);
    void release() override;
};

// The hash strings are bucketed by (also the table's key hash for strings).
SQHash sqHashString(const SQChar* s, size_t len);

// A weak reference: reads as its object while that lives, as null afterwards.
struct SQWeakRef : SQRefCounted {
    SQObject _obj;
    void release() override;
};

// Inline: a collectable's destruction runs this chain of destructors as one function.
inline SQRefCounted::~SQRefCounted() {
    if (_weakref) {
        _weakref->_obj._type = OT_NULL;
        _weakref->_obj._unVal.pRefCounted = nullptr;
    }
}

// Weak references stored in containers read back as their object.
inline const SQObject& sqRealVal(const SQObject& o) {
    return o._type == OT_WEAKREF ? o._unVal.pWeakRef->_obj : o;
}

// Objects that can take part in reference cycles: linked into the VM's chain so the collector can find them.
struct SQCollectable : SQRefCounted {
    SQCollectable* _gcnext = nullptr;
    SQCollectable* _gcprev = nullptr;
    SQSharedState* _sharedstate = nullptr;
    SQCollectable* _pendingnext = nullptr; // queue of objects whose destruction was deferred
    bool _marked = false;
    // Where the collector's sweep stands with this object (see sqCollectGarbage).
    enum SweepState : unsigned char { kLive, kGarbage, kSwept, kDead };
    SweepState _sweep = kLive;
    explicit SQCollectable(SQSharedState* ss);
    // Unlinks from the chain; only the newest object needs the shared state's head (out of line).
    ~SQCollectable() override {
        if (_gcnext) _gcnext->_gcprev = _gcprev;
        if (_gcprev)
            _gcprev->_gcnext = _gcnext;
        else
            unlinkHead();
    }
    // Destroys the object, deferring it when releases are already nested deep, so that freeing a long chain
    // of objects (a linked list of tables) runs in a loop instead of recursing on the C stack.
    void release() final;
    // What a release does once its nesting allows: destroy, or, during a sweep, break the references of a
    // piece of garbage and leave freeing it to the end of the sweep.
    void dispose();
    // The actual destruction (types with trailing memory or hooks override it).
    virtual void destroy() { delete this; }
    // Marks everything this object references.
    virtual void mark(SQCollector& c) = 0;
    // Drops every reference this object holds (breaks cycles before the sweep frees it).
    virtual void finalize() = 0;
    virtual SQObjectType objType() const = 0;

protected:
    // For a type that links itself where the shared state's layout is known, without a call (see SQClosure).
    struct LinkLater {};
    SQCollectable(SQSharedState* ss, LinkLater) : _sharedstate(ss) {}
    void linkAsHead(SQCollectable*& head) {
        _gcnext = head;
        if (_gcnext) _gcnext->_gcprev = this;
        head = this;
    }

private:
    void unlinkHead();
};

#endif
