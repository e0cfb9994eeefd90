// Callable objects: script closures (a prototype plus captured free variables and default values), native
// closures, and generators (a suspended script frame).
#ifndef SQUIRREL_SRC_CLOSURE_H
#define SQUIRREL_SRC_CLOSURE_H

#include "squirrel/src/funcproto.h"
#include "squirrel/src/object.h"

// A fixed number of values stored right after the object that owns them (one allocation for both).
class SQValueRun {
public:
    SQValueRun() = default;
    SQValueRun(SQObjectPtr* data, size_t size) : m_data(data), m_size(size) {}
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    SQObjectPtr& operator[](size_t i) { return m_data[i]; }
    const SQObjectPtr& operator[](size_t i) const { return m_data[i]; }
    SQObjectPtr* begin() { return m_data; }
    SQObjectPtr* end() { return m_data + m_size; }
    const SQObjectPtr* begin() const { return m_data; }
    const SQObjectPtr* end() const { return m_data + m_size; }

private:
    SQObjectPtr* m_data = nullptr;
    size_t m_size = 0;
};

struct SQClosure final : SQCollectable {
    SQObjectPtr _function; // OT_FUNCPROTO
    SQObjectPtr _env;      // weak reference to the bound `this` (bindenv), or null
    // Both live in the closure's own allocation: making a closure is one allocation.
    SQValueRun _outervalues;
    SQValueRun _defaultparams;

    // A closure of `func` with its free variables and defaults set to null. Throws SQOutOfMemory.
    static SQClosure* create(SQSharedState* ss, SQFunctionProto* func);
    // A closure of `func` as a running function makes it: free variables copied straight from the slots of
    // the creating frame (`frame`) or from the creating closure's own (`outer`), defaults from the frame's
    // slots. Free variables looked up by name start null for the caller to fill in; `symbols` says whether
    // there are any. Throws SQOutOfMemory.
    static SQClosure* capture(SQSharedState* ss, SQFunctionProto* func, const SQObjectPtr* frame,
                              const SQClosure* outer, bool& symbols);
    // Its values (nouter free variables, then ndefaults defaults) follow it in the same block; the caller
    // constructs them.
    SQClosure(SQSharedState* ss, SQFunctionProto* func, size_t nouter, size_t ndefaults);
    ~SQClosure() override;
    SQFunctionProto* proto() const { return _function._unVal.pFunctionProto; }
    SQClosure* clone();
    void mark(SQCollector& c) override;
    void finalize() override;
    void destroy() override;
    SQObjectType objType() const override { return OT_CLOSURE; }
};

struct SQNativeClosure : SQCollectable {
    SQFUNCTION _function = nullptr;
    SQObjectPtr _name;
    SQObjectPtr _env;
    SQVector<SQObjectPtr> _outervalues;
    SQVector<SQInteger> _typecheck; // one raw-type mask per parameter position
    SQInteger _nparamscheck = 0;

    static SQNativeClosure* create(SQSharedState* ss, SQFUNCTION func);
    SQNativeClosure(SQSharedState* ss) : SQCollectable(ss) {}
    SQNativeClosure* clone();
    void mark(SQCollector& c) override;
    void finalize() override;
    SQObjectType objType() const override { return OT_NATIVECLOSURE; }
};

enum class SQGeneratorState { Running, Suspended, Dead };

struct SQGenerator : SQCollectable {
    SQObjectPtr _closure;
    SQVector<SQObjectPtr> _stack; // the frame's slots while suspended
    struct Trap {
        SQInteger stackbase, stacksize;
        const SQInstruction* ip;
        SQInteger target;
    };
    SQVector<Trap> _traps;
    const SQInstruction* _ip = nullptr;
    SQInteger _target = -1;
    SQInteger _vargsbase = 0, _nvargs = 0;
    SQGeneratorState _state = SQGeneratorState::Suspended;

    static SQGenerator* create(SQSharedState* ss, SQClosure* closure);
    SQGenerator(SQSharedState* ss) : SQCollectable(ss) {}
    void kill();
    void mark(SQCollector& c) override;
    void finalize() override;
    SQObjectType objType() const override { return OT_GENERATOR; }
};

#endif
