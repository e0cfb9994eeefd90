// Reference counting, weak references, interned strings and the collectable chain.
#include "squirrel/src/object.h"

#include "squirrel/src/shared_state.h"

#include <cstring>

const char* sqTypeName(SQObjectType t) {
    switch (t) {
    case OT_NULL:
        return "null";
    case OT_INTEGER:
        return "integer";
    case OT_FLOAT:
        return "float";
    case OT_BOOL:
        return "bool";
    case OT_STRING:
        return "string";
    case OT_TABLE:
        return "table";
    case OT_ARRAY:
        return "array";
    case OT_GENERATOR:
        return "generator";
    case OT_CLOSURE:
    case OT_NATIVECLOSURE:
    case OT_FUNCPROTO:
        return "function";
    case OT_USERDATA:
    case OT_USERPOINTER:
        return "userdata";
    case OT_THREAD:
        return "thread";
    case OT_CLASS:
        return "class";
    case OT_INSTANCE:
        return "instance";
    case OT_WEAKREF:
        return "weakref";
    }
    return "unknown";
}

SQWeakRef* SQRefCounted::getWeakRef(SQObjectType t) {
    if (!_weakref) {
        _weakref = new SQWeakRef();
        _weakref->_obj._type = t;
        _weakref->_obj._unVal.pRefCounted = this;
    }
    return _weakref;
}

void SQWeakRef::release() {
    if (ISREFCOUNTED(_obj._type)) _obj._unVal.pRefCounted->_weakref = nullptr;
    delete this;
}

SQHash sqHashString(const SQChar* s, size_t len) {
    SQHash h = (SQHash)len;
    size_t step = (len >> 5) | 1;
    for (size_t l = len; l >= step; l -= step) {
        h = h ^ ((h << 5) + (h >> 2) + (SQHash)(unsigned short)(signed char)*s++);
    }
    return h;
}

SQString* SQString::create(SQSharedState* ss, const SQChar* s, SQInteger len) {
    if (len < 0) len = (SQInteger)strlen(s);
    return ss->_stringtable.add(ss, s, len);
}

void SQString::release() {
    _sharedstate->_stringtable.remove(this);
}

SQCollectable::SQCollectable(SQSharedState* ss) : _sharedstate(ss) {
    linkAsHead(ss->_gcchain);
}

namespace {
thread_local int g_releaseDepth = 0;
thread_local SQCollectable* g_pending = nullptr;
constexpr int kMaxReleaseDepth = 64;
} // namespace

void SQCollectable::release() {
    if (g_releaseDepth >= kMaxReleaseDepth) {
        _pendingnext = g_pending;
        g_pending = this;
        return;
    }
    ++g_releaseDepth;
    if (_sweep == kLive)
        destroy();
    else
        dispose();
    if (g_releaseDepth == 1) {
        while (g_pending) {
            SQCollectable* p = g_pending;
            g_pending = p->_pendingnext;
            p->dispose();
        }
    }
    --g_releaseDepth;
}

void SQCollectable::dispose() {
    switch (_sweep) {
    case kLive:
        destroy();
        break;
    case kGarbage:
        // freed as a consequence of finalizing other garbage: not counted, its own references go too
        _sweep = kDead;
        finalize();
        break;
    case kSwept:
        _sweep = kDead;
        break;
    case kDead:
        break;
    }
}

void SQCollectable::unlinkHead() {
    _sharedstate->_gcchain = _gcnext;
}
