// Closures, native closures, generators, function prototypes, arrays and user data: construction, cloning and
// the collector's marking of their references.
#include "squirrel/src/closure.h"

#include "squirrel/src/array.h"
#include "squirrel/src/collector.h"
#include "squirrel/src/config.h"
#include "squirrel/src/shared_state.h"
#include "squirrel/src/userdata.h"

#include <cstring>

SQFunctionProto* SQFunctionProto::create(size_t nliterals, size_t nparameters, size_t noutervalues,
                                         size_t nlocalvarinfos, size_t nlineinfos, size_t ndefaultparams,
                                         size_t ninstructions, size_t nfunctions) {
    SQFunctionProto* f = new SQFunctionProto();
    try {
        f->_literals.resize(nliterals);
        f->_parameters.resize(nparameters);
        f->_outervalues.resize(noutervalues);
        f->_localvarinfos.resize(nlocalvarinfos);
        f->_lineinfos.resize(nlineinfos);
        f->_defaultparams.resize(ndefaultparams);
        f->_instructions.resize(ninstructions);
        f->_functions.resize(nfunctions);
    } catch (...) {
        delete f;
        throw;
    }
    return f;
}

SQInteger SQFunctionProto::getLine(const SQInstruction* curr) const {
    SQInteger op = (SQInteger)(curr - _instructions.data());
    SQInteger line = _lineinfos.empty() ? 0 : _lineinfos[0]._line;
    for (size_t i = 0; i < _lineinfos.size(); ++i) {
        if (_lineinfos[i]._op > op) break;
        line = _lineinfos[i]._line;
    }
    return line;
}

const SQChar* SQFunctionProto::getLocal(SQUnsignedInteger nseq, SQUnsignedInteger nop,
                                        SQUnsignedInteger& slot) const {
    SQInteger lvi = (SQInteger)_localvarinfos.size();
    for (SQInteger i = 0; i < lvi; ++i) {
        const SQLocalVarInfo& lv = _localvarinfos[i];
        if (lv._start_op <= nop && lv._end_op >= nop) {
            if (nseq == 0) {
                slot = lv._pos;
                return _stringval(lv._name);
            }
            nseq--;
        }
    }
    return nullptr;
}

SQClosure* SQClosure::create(SQSharedState* ss, SQFunctionProto* func) {
    size_t nouter = func->_outervalues.size(), ndefaults = func->_defaultparams.size();
    void* mem = sqAlloc(sizeof(SQClosure) + (nouter + ndefaults) * sizeof(SQObjectPtr));
    static_assert(sizeof(SQClosure) % alignof(SQObjectPtr) == 0, "the values follow the closure aligned");
    SQClosure* c = new (mem) SQClosure(ss, func, nouter, ndefaults);
    SQObjectPtr* values = reinterpret_cast<SQObjectPtr*>(c + 1);
    for (size_t i = 0; i < nouter + ndefaults; ++i) new (&values[i]) SQObjectPtr();
    return c;
}

SQClosure* SQClosure::capture(SQSharedState* ss, SQFunctionProto* func, const SQObjectPtr* frame,
                              const SQClosure* outer, bool& symbols) {
    size_t nouter = func->_outervalues.size(), ndefaults = func->_defaultparams.size();
    void* mem = sqAlloc(sizeof(SQClosure) + (nouter + ndefaults) * sizeof(SQObjectPtr));
    SQClosure* c = new (mem) SQClosure(ss, func, nouter, ndefaults);
    // Nothing below can fail: each value is constructed once, as a copy of its source.
    SQObjectPtr* values = reinterpret_cast<SQObjectPtr*>(c + 1);
    symbols = false;
    for (size_t i = 0; i < nouter; ++i) {
        const SQOuterVar& v = func->_outervalues[i];
        switch (v._type) {
        case otLOCAL:
            new (&values[i]) SQObjectPtr(frame[_integer(v._src)]);
            break;
        case otOUTER:
            new (&values[i]) SQObjectPtr(outer->_outervalues[(size_t)_integer(v._src)]);
            break;
        default:
            new (&values[i]) SQObjectPtr();
            symbols = true;
            break;
        }
    }
    for (size_t i = 0; i < ndefaults; ++i)
        new (&values[nouter + i]) SQObjectPtr(frame[func->_defaultparams[i]]);
    return c;
}

// Making and freeing closures is frequent (a function expression in a loop): the link into the chain and the
// whole chain of destructors are inlined here.
SQClosure::SQClosure(SQSharedState* ss, SQFunctionProto* func, size_t nouter, size_t ndefaults)
    : SQCollectable(ss, LinkLater{}), _function(func),
      _outervalues(reinterpret_cast<SQObjectPtr*>(this + 1), nouter),
      _defaultparams(reinterpret_cast<SQObjectPtr*>(this + 1) + nouter, ndefaults) {
    linkAsHead(ss->_gcchain);
}

SQClosure::~SQClosure() {
    // the default values follow the free variables: one run
    SQObjectPtr* values = reinterpret_cast<SQObjectPtr*>(this + 1);
    size_t n = _outervalues.size() + _defaultparams.size();
    for (size_t i = 0; i < n; ++i) values[i].~SQObjectPtr();
}

// (flattened: the destructor chain runs inline)
#if defined(__GNUC__) && defined(__OPTIMIZE__)
__attribute__((flatten))
#endif
void SQClosure::destroy() {
    size_t bytes = sizeof(SQClosure) + (_outervalues.size() + _defaultparams.size()) * sizeof(SQObjectPtr);
    this->~SQClosure();
    sqFree(this, bytes);
}

SQClosure* SQClosure::clone() {
    SQClosure* c = create(_sharedstate, proto());
    c->_env = _env;
    for (size_t i = 0; i < _outervalues.size(); ++i) c->_outervalues[i] = _outervalues[i];
    for (size_t i = 0; i < _defaultparams.size(); ++i) c->_defaultparams[i] = _defaultparams[i];
    return c;
}

void SQClosure::mark(SQCollector& c) {
    c.markObject(_env);
    for (auto& o : _outervalues) c.markObject(o);
    for (auto& o : _defaultparams) c.markObject(o);
}

void SQClosure::finalize() {
    _env.Null();
    for (auto& o : _outervalues) o.Null();
    for (auto& o : _defaultparams) o.Null();
}

SQNativeClosure* SQNativeClosure::create(SQSharedState* ss, SQFUNCTION func) {
    SQNativeClosure* c = new SQNativeClosure(ss);
    c->_function = func;
    return c;
}

SQNativeClosure* SQNativeClosure::clone() {
    SQNativeClosure* c = create(_sharedstate, _function);
    SQObjectPtr keep(c);
    c->_name = _name;
    c->_env = _env;
    c->_nparamscheck = _nparamscheck;
    for (auto& o : _outervalues) c->_outervalues.push_back(o);
    for (auto m : _typecheck) c->_typecheck.push_back(m);
    ++c->_uiRef;
    keep.Null();
    --c->_uiRef;
    return c;
}

void SQNativeClosure::mark(SQCollector& c) {
    c.markObject(_env);
    for (auto& o : _outervalues) c.markObject(o);
}

void SQNativeClosure::finalize() {
    _env.Null();
    for (auto& o : _outervalues) o.Null();
}

SQGenerator* SQGenerator::create(SQSharedState* ss, SQClosure* closure) {
    SQGenerator* g = new SQGenerator(ss);
    g->_closure = SQObjectPtr(closure);
    return g;
}

void SQGenerator::kill() {
    _state = SQGeneratorState::Dead;
    _stack.resize(0);
    _traps.resize(0);
}

void SQGenerator::mark(SQCollector& c) {
    c.markObject(_closure);
    for (auto& o : _stack) c.markObject(o);
}

void SQGenerator::finalize() {
    _stack.resize(0);
    _closure.Null();
}

SQArray* SQArray::create(SQSharedState* ss, SQInteger nsize) {
    SQArray* a = new SQArray(ss);
    try {
        a->_values.resize((size_t)nsize);
    } catch (...) {
        delete a;
        throw;
    }
    return a;
}

void SQArray::append(const SQObject& o) {
    if (_values.size() >= kMaxArrayLength) throw SQOutOfMemory{};
    _values.push_back(SQObjectPtr(o));
}

void SQArray::resize(SQInteger n, const SQObject& fill) {
    if ((SQUnsignedInteger)n > kMaxArrayLength) throw SQOutOfMemory{};
    _values.resize((size_t)n, SQObjectPtr(fill));
    if (_values.capacity() > 2 * _values.size() + 16) _values.shrinkToFit();
}

SQArray* SQArray::clone() const {
    SQArray* a = create(_sharedstate, 0);
    try {
        a->_values.reserve(_values.size());
        for (auto& o : _values) a->_values.push_back(o);
    } catch (...) {
        delete a;
        throw;
    }
    return a;
}

void SQArray::mark(SQCollector& c) {
    for (auto& o : _values) c.markObject(o);
}

void SQArray::finalize() {
    _values.resize(0);
}

SQUserData* SQUserData::create(SQSharedState* ss, SQInteger size) {
    size_t bytes = sizeof(SQUserData) + (size_t)size;
    void* mem = sqAlloc(bytes);
    SQUserData* ud = new (mem) SQUserData(ss);
    ud->_size = size;
    memset(ud->_val, 0, (size_t)size + 1);
    return ud;
}

SQUserData::~SQUserData() {
    if (_hook) _hook(_val, _size);
    setDelegate(nullptr);
}

void SQUserData::destroy() {
    size_t bytes = sizeof(SQUserData) + (size_t)_size;
    this->~SQUserData();
    sqFree(this, bytes);
}

void SQUserData::setDelegate(SQTable* d) {
    if (d) ++d->_uiRef;
    SQTable* old = _delegate;
    _delegate = d;
    if (old && --old->_uiRef == 0) old->release();
}

void SQUserData::mark(SQCollector& c) {
    if (_delegate) c.markCollectable(_delegate);
}

void SQUserData::finalize() {
    setDelegate(nullptr);
}
