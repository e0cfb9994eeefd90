// Callable objects: script closures (a prototype plus captured free variables and default values), native
// closures, and generators (a suspended script frame).
#ifndef SQUIRREL_SRC_CLOSURE_H
#define SQUIRREL_SRC_CLOSURE_H

#include "squirrel/src/funcproto.h"
#include "squirrel/src/object.h"

struct SQClosure : SQCollectable {
    SQObjectPtr _function; // OT_FUNCPROTO
    SQObjectPtr _env;      // weak reference to the bound `this` (bindenv), or null
    SQVector<SQObjectPtr> _outervalues;
    SQVector<SQObjectPtr> _defaultparams;

    // A closure of `func` with its free variables and defaults set to null. Throws SQOutOfMemory.
    static SQClosure* create(SQSharedState* ss, SQFunctionProto* func);
    SQClosure(SQSharedState* ss) : SQCollectable(ss) {}
    SQFunctionProto* proto() const { return _function._unVal.pFunctionProto; }
    SQClosure* clone();
    void mark(SQCollector& c) override;
    void finalize() override;
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
