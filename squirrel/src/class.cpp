// Classes and instances.
#include "squirrel/src/class.h"

#include "squirrel/src/collector.h"
#include "squirrel/src/shared_state.h"

#include <cstring>

SQClass* SQClass::create(SQSharedState* ss, SQClass* base) {
    SQClass* c = new SQClass(ss);
    try {
        if (base) {
            c->_base = base;
            ++base->_uiRef;
            for (auto& m : base->_defaultvalues) c->_defaultvalues.push_back(m);
            for (auto& m : base->_methods) c->_methods.push_back(m);
            for (int i = 0; i < MT_LAST; ++i) c->_metamethods[i] = base->_metamethods[i];
            c->_udsize = base->_udsize;
            c->_members = base->_members->clone();
        } else {
            c->_members = SQTable::create(ss, 0);
        }
        ++c->_members->_uiRef;
    } catch (...) {
        delete c;
        throw;
    }
    return c;
}

SQClass::~SQClass() {
    if (_hook) _hook(_typetag, 0);
    finalize();
}

void SQClass::finalize() {
    for (auto& e : _membercache) e = MemberCacheEntry{};
    _attributes.Null();
    _defaultvalues.resize(0);
    _methods.resize(0);
    for (int i = 0; i < MT_LAST; ++i) _metamethods[i].Null();
    if (_members) {
        SQTable* m = _members;
        _members = nullptr;
        if (--m->_uiRef == 0) m->release();
    }
    if (_base) {
        SQClass* b = _base;
        _base = nullptr;
        if (--b->_uiRef == 0) b->release();
    }
}

bool SQClass::newSlot(SQSharedState* ss, const SQObjectPtr& key, const SQObjectPtr& val, bool bstatic) {
    if (_locked) return false;
    SQObjectPtr temp;
    if (_members->get(key, temp) && sqIsField(_integer(temp))) {
        _defaultvalues[_integer(temp) & kMemberIndexMask].val = val;
        return true;
    }
    bool isfunc = val._type == OT_CLOSURE || val._type == OT_NATIVECLOSURE;
    if (isfunc || bstatic) {
        if (isfunc && key._type == OT_STRING) {
            SQInteger mm = ss->metaMethodIndex(key);
            if (mm >= 0) _metamethods[mm] = val;
        }
        if (temp._type == OT_INTEGER && !sqIsField(_integer(temp))) {
            _methods[_integer(temp) & kMemberIndexMask].val = val;
        } else {
            // the member table never names an index the vector does not have, even if memory runs out
            SQClassMember m;
            m.val = val;
            _methods.push_back(m);
            try {
                _members->newSlot(key,
                                  SQObjectPtr((SQInteger)(kMemberMethod | (SQInteger)(_methods.size() - 1))));
            } catch (...) {
                _methods.pop_back();
                throw;
            }
        }
        return true;
    }
    SQClassMember m;
    m.val = val;
    _defaultvalues.push_back(m);
    try {
        _members->newSlot(key,
                          SQObjectPtr((SQInteger)(kMemberField | (SQInteger)(_defaultvalues.size() - 1))));
    } catch (...) {
        _defaultvalues.pop_back();
        throw;
    }
    return true;
}

SQInteger SQClass::memberIndexSlow(const SQObject& key) const {
    SQTable::Node* n = _members->find(key);
    if (!n) return -1;
    SQInteger m = _integer(n->val);
    if (_locked && key._type == OT_STRING)
        _membercache[key._unVal.pString->_hash & (kMemberCacheSize - 1)] =
            MemberCacheEntry{key._unVal.pString, m};
    return m;
}

bool SQClass::get(const SQObjectPtr& key, SQObjectPtr& val) const {
    SQTable::Node* n = _members->find(key);
    if (!n) return false;
    SQInteger m = _integer(n->val);
    if (sqIsField(m))
        val = sqRealVal(_defaultvalues[m & kMemberIndexMask].val);
    else
        val = sqRealVal(_methods[m & kMemberIndexMask].val);
    return true;
}

bool SQClass::setAttributes(const SQObjectPtr& key, const SQObjectPtr& val) {
    if (key._type == OT_NULL) {
        _attributes = val;
        return true;
    }
    SQObjectPtr idx;
    if (!_members->get(key, idx)) return false;
    SQInteger m = _integer(idx);
    if (sqIsField(m))
        _defaultvalues[m & kMemberIndexMask].attrs = val;
    else
        _methods[m & kMemberIndexMask].attrs = val;
    return true;
}

bool SQClass::getAttributes(const SQObjectPtr& key, SQObjectPtr& outval) const {
    if (key._type == OT_NULL) {
        outval = _attributes;
        return true;
    }
    SQObjectPtr idx;
    if (!_members->get(key, idx)) return false;
    SQInteger m = _integer(idx);
    outval = sqIsField(m) ? _defaultvalues[m & kMemberIndexMask].attrs : _methods[m & kMemberIndexMask].attrs;
    return true;
}

void SQClass::lock() {
    _locked = true;
    if (_base) _base->lock();
}

SQInteger SQClass::next(SQInteger from, SQObjectPtr& outkey, SQObjectPtr& outval) const {
    SQObjectPtr idx;
    SQInteger n = _members->next(from, outkey, idx);
    if (n < 0) return n;
    SQInteger m = _integer(idx);
    outval = sqRealVal(sqIsField(m) ? _defaultvalues[m & kMemberIndexMask].val
                                    : _methods[m & kMemberIndexMask].val);
    return n;
}

SQInstance* SQClass::createInstance() {
    SQInstance* inst = new SQInstance(_sharedstate);
    try {
        inst->_class = this;
        ++_uiRef;
        inst->_values.reserve(_defaultvalues.size());
        for (auto& m : _defaultvalues) inst->_values.push_back(m.val);
        if (_udsize > 0) {
            inst->_userpointer = sqAlloc((size_t)_udsize);
            memset(inst->_userpointer, 0, (size_t)_udsize);
            inst->_memsize = _udsize;
        }
    } catch (...) {
        delete inst;
        throw;
    }
    lock();
    return inst;
}

void SQClass::mark(SQCollector& c) {
    if (_members) c.markCollectable(_members);
    if (_base) c.markCollectable(_base);
    c.markObject(_attributes);
    for (auto& m : _defaultvalues) {
        c.markObject(m.val);
        c.markObject(m.attrs);
    }
    for (auto& m : _methods) {
        c.markObject(m.val);
        c.markObject(m.attrs);
    }
    for (int i = 0; i < MT_LAST; ++i) c.markObject(_metamethods[i]);
}

SQInstance::~SQInstance() {
    finalize();
    if (_memsize > 0 && _userpointer) sqFree(_userpointer, (size_t)_memsize);
}

void SQInstance::destroy() {
    // The hook sees a complete instance, before any field is dropped.
    if (_hook) {
        SQRELEASEHOOK h = _hook;
        _hook = nullptr;
        ++_uiRef;
        h(_userpointer, _memsize);
        if (--_uiRef != 0) return;
    }
    delete this;
}

void SQInstance::finalize() {
    _values.resize(0);
    if (_class) {
        SQClass* c = _class;
        _class = nullptr;
        if (--c->_uiRef == 0) c->release();
    }
}

bool SQInstance::get(const SQObjectPtr& key, SQObjectPtr& val) const {
    SQTable::Node* n = _class->_members->find(key);
    if (!n) return false;
    SQInteger m = _integer(n->val);
    if (sqIsField(m))
        val = sqRealVal(_values[m & kMemberIndexMask]);
    else
        val = sqRealVal(_class->_methods[m & kMemberIndexMask].val);
    return true;
}

bool SQInstance::set(const SQObjectPtr& key, const SQObjectPtr& val) {
    SQTable::Node* n = _class->_members->find(key);
    if (!n) return false;
    SQInteger m = _integer(n->val);
    if (!sqIsField(m)) return false;
    _values[m & kMemberIndexMask] = val;
    return true;
}

bool SQInstance::instanceOf(const SQClass* c) const {
    for (const SQClass* p = _class; p; p = p->_base)
        if (p == c) return true;
    return false;
}

SQInstance* SQInstance::clone(SQSharedState*) const {
    SQInstance* n = _class->createInstance();
    for (size_t i = 0; i < _values.size(); ++i) n->_values[i] = _values[i];
    return n;
}

void SQInstance::mark(SQCollector& c) {
    if (_class) c.markCollectable(_class);
    for (auto& o : _values) c.markObject(o);
}
