// The shared state: string interning, metamethod names, default delegates and the scratch pad.
#include "squirrel/src/shared_state.h"

#include "squirrel/src/closure.h"
#include "squirrel/src/vm.h"

#include <cstring>

SQStringTable::SQStringTable() {
    resize(64);
}

SQStringTable::~SQStringTable() {
    sqFree(m_strings, sizeof(SQString*) * m_numofslots);
    m_strings = nullptr;
}

void SQStringTable::resize(SQUnsignedInteger size) {
    SQString** ns = static_cast<SQString**>(sqAlloc(sizeof(SQString*) * size));
    memset(ns, 0, sizeof(SQString*) * size);
    for (SQUnsignedInteger i = 0; i < m_numofslots; ++i) {
        SQString* p = m_strings[i];
        while (p) {
            SQString* next = p->_next;
            SQHash h = p->_hash & (size - 1);
            p->_next = ns[h];
            ns[h] = p;
            p = next;
        }
    }
    if (m_strings) sqFree(m_strings, sizeof(SQString*) * m_numofslots);
    m_strings = ns;
    m_numofslots = size;
}

SQString* SQStringTable::add(SQSharedState* ss, const SQChar* news, SQInteger len) {
    SQHash h = sqHashString(news, (size_t)len);
    for (SQString* s = m_strings[h & (m_numofslots - 1)]; s; s = s->_next) {
        if (s->_len == len && memcmp(news, s->_val, (size_t)len) == 0) return s;
    }
    if ((SQUnsignedInteger)len > (1u << 30)) throw SQOutOfMemory{};
    if (m_slotused > m_numofslots) resize(m_numofslots * 2);
    size_t bytes = sizeof(SQString) + (size_t)len;
    void* mem = sqAlloc(bytes);
    SQString* t = new (mem) SQString();
    t->_sharedstate = ss;
    t->_len = len;
    t->_hash = h;
    memcpy(t->_val, news, (size_t)len);
    t->_val[len] = 0;
    SQHash slot = h & (m_numofslots - 1);
    t->_next = m_strings[slot];
    m_strings[slot] = t;
    m_slotused++;
    return t;
}

void SQStringTable::remove(SQString* bs) {
    SQHash h = bs->_hash & (m_numofslots - 1);
    SQString* prev = nullptr;
    for (SQString* s = m_strings[h]; s; prev = s, s = s->_next) {
        if (s == bs) {
            if (prev)
                prev->_next = s->_next;
            else
                m_strings[h] = s->_next;
            m_slotused--;
            size_t bytes = sizeof(SQString) + (size_t)s->_len;
            s->~SQString();
            sqFree(s, bytes);
            return;
        }
    }
}

SQSharedState::SQSharedState() {}

SQSharedState::~SQSharedState() {
    if (_scratchpad) sqFree(_scratchpad, (size_t)_scratchpadsize);
}

static const char* const kMetaMethodNames[MT_LAST] = {
    "_add",   "_sub", "_mul",  "_div",    "_modulo",  "_unm",     "_set",      "_get",       "_typeof",
    "_nexti", "_cmp", "_call", "_cloned", "_newslot", "_delslot", "_tostring", "_newmember", "_inherited"};

void SQSharedState::init(SQVM* rootvm) {
    _root_vm = rootvm;
    _oomerror = SQObjectPtr(SQString::create(this, "out of memory"));
    _constructoridx = SQObjectPtr(SQString::create(this, "constructor"));
    _registry = SQObjectPtr(SQTable::create(this, 0));
    _consts = SQObjectPtr(SQTable::create(this, 0));
    _refs = SQObjectPtr(SQTable::create(this, 0));
    _metamethodsmap = SQObjectPtr(SQTable::create(this, MT_LAST));
    for (int i = 0; i < MT_LAST; ++i) {
        _metamethodnames[i] = SQObjectPtr(SQString::create(this, kMetaMethodNames[i]));
        _table(_metamethodsmap)->newSlot(_metamethodnames[i], SQObjectPtr((SQInteger)i));
    }
    _table_default_delegate = sqCreateDefaultDelegate(this, g_table_default_delegate_funcz);
    _array_default_delegate = sqCreateDefaultDelegate(this, g_array_default_delegate_funcz);
    _string_default_delegate = sqCreateDefaultDelegate(this, g_string_default_delegate_funcz);
    _number_default_delegate = sqCreateDefaultDelegate(this, g_number_default_delegate_funcz);
    _closure_default_delegate = sqCreateDefaultDelegate(this, g_closure_default_delegate_funcz);
    _generator_default_delegate = sqCreateDefaultDelegate(this, g_generator_default_delegate_funcz);
    _thread_default_delegate = sqCreateDefaultDelegate(this, g_thread_default_delegate_funcz);
    _class_default_delegate = sqCreateDefaultDelegate(this, g_class_default_delegate_funcz);
    _instance_default_delegate = sqCreateDefaultDelegate(this, g_instance_default_delegate_funcz);
    _weakref_default_delegate = sqCreateDefaultDelegate(this, g_weakref_default_delegate_funcz);
}

SQChar* SQSharedState::getScratchPad(SQInteger size) {
    if (size < 16) size = 16; // never a null pad, even for an empty result
    if (_scratchpadsize < size) {
        SQInteger newsize = size + (size >> 1);
        _scratchpad = static_cast<SQChar*>(sqRealloc(_scratchpad, (size_t)_scratchpadsize, (size_t)newsize));
        _scratchpadsize = newsize;
    } else if (_scratchpadsize >= (size << 5) && _scratchpadsize > 4096) {
        SQInteger newsize = _scratchpadsize >> 1;
        _scratchpad = static_cast<SQChar*>(sqRealloc(_scratchpad, (size_t)_scratchpadsize, (size_t)newsize));
        _scratchpadsize = newsize;
    }
    return _scratchpad;
}

SQTable* SQSharedState::defaultDelegate(SQObjectType t) const {
    const SQObjectPtr* d = nullptr;
    switch (t) {
    case OT_TABLE:
        d = &_table_default_delegate;
        break;
    case OT_ARRAY:
        d = &_array_default_delegate;
        break;
    case OT_STRING:
        d = &_string_default_delegate;
        break;
    case OT_INSTANCE:
        d = &_instance_default_delegate;
        break;
    case OT_INTEGER:
    case OT_FLOAT:
    case OT_BOOL:
        d = &_number_default_delegate;
        break;
    case OT_GENERATOR:
        d = &_generator_default_delegate;
        break;
    case OT_CLOSURE:
    case OT_NATIVECLOSURE:
        d = &_closure_default_delegate;
        break;
    case OT_THREAD:
        d = &_thread_default_delegate;
        break;
    case OT_CLASS:
        d = &_class_default_delegate;
        break;
    case OT_WEAKREF:
        d = &_weakref_default_delegate;
        break;
    default:
        return nullptr;
    }
    return d->_type == OT_TABLE ? _table(*d) : nullptr;
}

SQInteger SQSharedState::metaMethodIndex(const SQObjectPtr& name) const {
    SQObjectPtr idx;
    if (_table(_metamethodsmap)->get(name, idx)) return _integer(idx);
    return -1;
}

SQObjectPtr sqCreateDefaultDelegate(SQSharedState* ss, const SQRegFunction* funcs) {
    SQTable* t = SQTable::create(ss, 0);
    SQObjectPtr ret(t);
    for (SQInteger i = 0; funcs[i].name; ++i) {
        SQNativeClosure* nc = SQNativeClosure::create(ss, funcs[i].f);
        SQObjectPtr ncp(nc);
        nc->_nparamscheck = funcs[i].nparamscheck;
        nc->_name = SQObjectPtr(SQString::create(ss, funcs[i].name));
        if (funcs[i].typemask && !sqCompileTypemask(nc->_typecheck, funcs[i].typemask)) continue;
        t->newSlot(nc->_name, ncp);
    }
    return ret;
}
