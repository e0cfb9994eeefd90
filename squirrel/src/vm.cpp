// The interpreter: call frames, the dispatch loop, exception traps, generators and threads.
//
// Script-to-script calls push a CallInfo and stay in the same execute() loop; only entries from native code
// (the API, native functions calling back, metamethods) nest execute() on the C stack, and those are bounded
// by kMaxNativeCalls.
#include "squirrel/src/vm.h"

#include "squirrel/src/array.h"
#include "squirrel/src/class.h"
#include "squirrel/src/closure.h"
#include "squirrel/src/collector.h"
#include "squirrel/src/table.h"
#include "squirrel/src/userdata.h"

#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

SQVM::SQVM(SQSharedState* ss) : SQCollectable(ss), _sharedstate(ss) {}

SQVM::~SQVM() {
    finalize();
}

void SQVM::init(SQVM* friendvm, SQInteger stacksize) {
    if (stacksize < 64) stacksize = 64;
    _stack.resize((size_t)stacksize);
    _callsstack.reserve(16);
    _etraps.reserve(8);
    if (friendvm) {
        _roottable = friendvm->_roottable;
        _errorhandler = friendvm->_errorhandler;
        _debughook = friendvm->_debughook;
    } else {
        _roottable = SQObjectPtr(SQTable::create(_sharedstate, 0));
    }
    updateFastDepth();
}

void SQVM::finalize() {
    _roottable.Null();
    _lasterror.Null();
    _errorhandler.Null();
    _debughook.Null();
    _callsstack.resize(0);
    updateFastDepth();
    ci = nullptr;
    _vargsstack.resize(0);
    for (size_t i = 0; i < _stack.size(); ++i) _stack[i].Null();
    _top = _stackbase = 0;
    _cleanfrom = 0;
}

void SQVM::growStack(SQInteger n) {
    size_t need = (size_t)(_top + n);
    if (need <= _stack.size()) return;
    if (need > (size_t)kMaxStackSlots) raiseError("stack overflow");
    size_t ns = _stack.size() * 2;
    while (ns < need) ns *= 2;
    if (ns > (size_t)kMaxStackSlots) ns = kMaxStackSlots;
    _stack.resize(ns);
}

void SQVM::pushGrowing(const SQObject& o) {
    SQObjectPtr keep(o); // o may live in the stack that is about to move
    growStack(1);
    _stack[_top++] = std::move(keep);
}

SQInteger SQVM::stackLimit() const {
    return (SQInteger)_stack.size();
}

void SQVM::remove(SQInteger idx) {
    SQInteger n = idx >= 0 ? _stackbase + idx - 1 : _top + idx;
    for (SQInteger i = n; i < _top - 1; ++i) _stack[i] = std::move(_stack[i + 1]);
    _stack[--_top].Null();
}

void SQVM::clearStackAbove(SQInteger top) {
    while (_top > top) _stack[--_top].Null();
}

// ---- frames ----

// The frame fast paths live in the dispatch loop's handlers.
#if (defined(__GNUC__) || defined(__clang__)) && defined(__OPTIMIZE__)
#define SQ_HOT_INLINE inline __attribute__((always_inline))
#else
#define SQ_HOT_INLINE inline
#endif

void SQVM::enterFrame(SQInteger newbase, SQInteger newtop, bool tailcall, SQInteger nkeep) {
    if (!tailcall) {
        // The error handler reporting a stack overflow gets a few frames beyond the cap to run in.
        if ((SQInteger)_callsstack.size() >= kMaxCallDepth + (_reportingerror ? kErrorHandlerFrames : 0))
            raiseError("stack overflow");
        ci = &_callsstack.emplace_back();
        updateFastDepth();
        ci->_prevstkbase = _stackbase;
        ci->_prevtop = _top;
    } else {
        ci->_ncalls++;
    }
    _stackbase = newbase;
    if (newtop + kMaxFuncStackSize > (SQInteger)_stack.size()) {
        SQInteger savedtop = _top;
        _top = newtop;
        try {
            growStack(kMaxFuncStackSize);
        } catch (...) {
            _top = savedtop;
            if (!tailcall) {
                _stackbase = ci->_prevstkbase;
                _callsstack.pop_back();
                ci = _callsstack.empty() ? nullptr : &_callsstack.back();
            }
            throw;
        }
    }
    // Clear slots the previous user of this stack area left behind (tail calls shrink or grow the frame).
    clearSlots(_top > newbase + nkeep ? _top : newbase + nkeep, newtop);
    setTop(newtop);
}

void SQVM::leaveFrame(SQInteger keepto) {
    SQInteger last_top = _top;
    SQInteger oldbase = _stackbase;
    CallInfo& c = *ci;
    if (c._etraps > 0) _etraps.resize(_etraps.size() - (size_t)c._etraps);
    if (c._nvargs > 0) _vargsstack.resize((size_t)c._vargsbase);
    _stackbase = c._prevstkbase;
    _top = c._prevtop;
    _callsstack.pop_back();
    ci = _callsstack.empty() ? nullptr : &_callsstack.back();
    // Slots above the caller's top die with the frame; release their values now. A native frame also drops
    // what it pushed inside the caller's temporaries (from keepto), while its arguments stay there.
    SQInteger from = _top > oldbase ? _top : oldbase;
    if (keepto >= 0 && keepto < from) from = keepto;
    for (SQInteger i = from; i < last_top; ++i) _stack[i].Null();
    if (_cleanfrom <= last_top) _cleanfrom = from;
}

SQ_HOT_INLINE void SQVM::clearSlots(SQInteger from, SQInteger to) {
    // Only slots below _cleanfrom can hold something: most calls clear nothing.
#ifndef NDEBUG
    for (SQInteger i = from > _cleanfrom ? from : _cleanfrom; i < to; ++i)
        if (_stack[i]._type != OT_NULL) abort();
#endif
    if (to > _cleanfrom) to = _cleanfrom;
    for (SQInteger i = from; i < to; ++i) _stack[i].Null();
}

SQ_HOT_INLINE bool SQVM::enterScriptFrame(SQObjectPtr& closure, SQInteger target, SQInteger nargs,
                                          SQInteger stackbase) {
    SQClosure* c = _closure(closure);
    SQFunctionProto* func = c->proto();
    SQInteger newtop = stackbase + func->_stacksize;
    size_t depth = _callsstack.size();
    if (nargs != func->_directargs || c->_env._type == OT_WEAKREF ||
        newtop + kMaxFuncStackSize > (SQInteger)_stack.size() || depth >= _fastdepth)
        return false;
    // within capacity: cannot fail. The varargs base is read only while there are varargs, so a frame
    // without any takes none.
    CallInfo* nci = new (_callsstack.data() + depth) CallInfo(
        func->_instructions.data(), func->_literals.data(), std::move(closure), _stackbase, _top, target, 0);
    _callsstack.setSizeWithin(depth + 1);
    ci = nci;
    clearSlots(_top > stackbase + nargs ? _top : stackbase + nargs, newtop);
    _stackbase = stackbase;
    setTop(newtop);
    // A call costs one step of the budget once its frame stands, as on the general path.
    if (_stepbudget >= 0) spendStep();
    return true;
}

SQ_HOT_INLINE void SQVM::popScriptFrame(SQInteger resultslot, SQObjectPtr* outres) {
    CallInfo& c = *ci;
    SQInteger last_top = _top;
    SQInteger oldbase = _stackbase;
    SQInteger target = c._target;
    _stackbase = c._prevstkbase;
    _top = c._prevtop;
    SQInteger from = _top > oldbase ? _top : oldbase;
    // The result leaves its slot when that slot dies with the frame anyway (no reference count traffic).
    SQObjectPtr result;
    if (resultslot >= 0) {
        SQObjectPtr& r = _stack[oldbase + resultslot];
        if (oldbase + resultslot >= from)
            result = std::move(r);
        else
            result = r;
    }
    _callsstack.pop_back();
    // A frame entered inside the loop always has its caller's frame below it.
    ci = outres ? (_callsstack.empty() ? nullptr : &_callsstack.back()) : &c - 1;
    // Temporaries the frame never used are still null: they need no store. Only a release hook (which
    // may push) can move the stack under the loop.
    SQObjectPtr* slots = _stack.data();
    for (SQInteger i = from; i < last_top; ++i) {
        SQObjectPtr& x = slots[i];
        if (x._type == OT_NULL) continue;
        SQObjectType t = x._type;
        SQObjectValue v = x._unVal;
        x._type = OT_NULL;
        x._unVal.pRefCounted = nullptr;
        if (ISREFCOUNTED(t) && --v.pRefCounted->_uiRef == 0) {
            v.pRefCounted->release();
            slots = _stack.data();
        }
    }
    if (_cleanfrom <= last_top) _cleanfrom = from;
    if (outres)
        *outres = std::move(result);
    else if (target != -1)
        _stack[_stackbase + target] = std::move(result);
}

SQ_HOT_INLINE bool SQVM::tailCallScript(SQObjectPtr& closure, SQInteger firstarg, SQInteger nargs) {
    SQClosure* c = _closure(closure);
    SQFunctionProto* func = c->proto();
    CallInfo& cur = *ci;
    if (nargs != func->_directargs || c->_env._type == OT_WEAKREF || _debughook._type != OT_NULL ||
        cur._generator || cur._etraps > 0 || cur._nvargs > 0 ||
        _stackbase + func->_stacksize + kMaxFuncStackSize > (SQInteger)_stack.size())
        return false;
    // The arguments move down over the replaced frame (sources lie above their destinations).
    SQObjectPtr* base = _stack.data() + _stackbase;
    for (SQInteger i = 0; i < nargs; ++i) base[i] = std::move(base[firstarg + i]);
    SQInteger oldtop = _top;
    for (SQInteger i = nargs; i < oldtop - _stackbase; ++i) base[i].Null();
    cur._closure = std::move(closure);
    cur._literals = func->_literals.data();
    cur._ip = func->_instructions.data();
    cur._ncalls++;
    cur._vargsbase = (SQInteger)_vargsstack.size();
    SQInteger newtop = _stackbase + func->_stacksize;
    clearSlots(oldtop, newtop);
    _top = newtop; // nothing is left behind above the arguments
    if (_stepbudget >= 0) spendStep();
    return true;
}

void SQVM::startCall(SQClosure* closure, SQInteger target, SQInteger nargs, SQInteger stackbase,
                     bool tailcall) {
    SQFunctionProto* func = closure->proto();
    SQInteger paramssize = (SQInteger)func->_parameters.size();
    SQInteger newtop = stackbase + func->_stacksize;
    SQInteger nvargs = 0;
    if (func->_varparams) {
        if (nargs < paramssize) raiseError("wrong number of parameters");
        nvargs = nargs - paramssize;
    } else if (nargs != paramssize) {
        SQInteger ndef = (SQInteger)func->_defaultparams.size();
        SQInteger diff = paramssize - nargs;
        if (ndef && nargs < paramssize && diff <= ndef) {
            for (SQInteger n = ndef - diff; n < ndef; ++n)
                _stack[stackbase + nargs++] = closure->_defaultparams[n];
        } else {
            raiseError("wrong number of parameters");
        }
    }
    SQInteger vargsbase = (SQInteger)_vargsstack.size();
    if (nvargs) {
        _vargsstack.reserve(_vargsstack.size() + (size_t)nvargs); // fails before anything moved
        for (SQInteger n = 0; n < nvargs; ++n) {
            _vargsstack.push_back(_stack[stackbase + paramssize + n]);
            _stack[stackbase + paramssize + n].Null();
        }
    }
    if (closure->_env._type == OT_WEAKREF) _stack[stackbase] = closure->_env._unVal.pWeakRef->_obj;
    if (tailcall) {
        // drop the replaced frame's varargs and traps
        if (ci->_nvargs > 0) {
            // move our new varargs down over the old ones
            SQInteger oldbase = ci->_vargsbase;
            for (SQInteger n = 0; n < nvargs; ++n) _vargsstack[oldbase + n] = _vargsstack[vargsbase + n];
            _vargsstack.resize((size_t)(oldbase + nvargs));
            vargsbase = oldbase;
        }
        if (ci->_etraps > 0) {
            _etraps.resize(_etraps.size() - (size_t)ci->_etraps);
            ci->_etraps = 0;
        }
    }
    try {
        enterFrame(stackbase, newtop, tailcall, nargs);
    } catch (...) {
        if (!tailcall) _vargsstack.resize((size_t)vargsbase);
        throw;
    }
    ci->_closure = SQObjectPtr(closure);
    ci->_literals = func->_literals.data();
    ci->_ip = func->_instructions.data();
    ci->_generator = nullptr;
    if (!tailcall) {
        ci->_target = target;
        ci->_etraps = 0;
    }
    ci->_vargsbase = vargsbase;
    ci->_nvargs = nvargs;
    if (nvargs) ci->_special |= kFrameOther;
    if (_stepbudget >= 0) spendStep();
    if (_debughook._type != OT_NULL && !_debughook_running) callDebugHook('c');
}

// The library's own errors pass through; any other C++ exception from a host's native function becomes a
// script error here, so it never leaves the library.
[[noreturn]] void SQVM::rethrowAsScriptError() {
    try {
        throw;
    } catch (SQRaise&) {
        throw;
    } catch (SQOutOfMemory&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw SQOutOfMemory{};
    } catch (const std::exception& e) {
        raiseError("%s", e.what());
    } catch (...) {
        raiseError("native function failed");
    }
}

bool SQVM::callNative(SQNativeClosure* nclosure, SQInteger nargs, SQInteger stackbase, SQObjectPtr& retval) {
    SQInteger nparamscheck = nclosure->_nparamscheck;
    if (_nnativecalls + 1 > kMaxNativeCalls) raiseError("Native stack overflow");
    if ((nparamscheck > 0 && nparamscheck != nargs) || (nparamscheck < 0 && nargs < -nparamscheck))
        raiseError("wrong number of parameters");
    SQInteger tcs = (SQInteger)nclosure->_typecheck.size();
    if (tcs) {
        for (SQInteger i = 0; i < nargs && i < tcs; ++i) {
            SQInteger m = nclosure->_typecheck[i];
            if (m != -1 && !(_stack[stackbase + i]._type & m))
                raiseParamTypeError(i, m, _stack[stackbase + i]._type);
        }
    }
    SQObjectPtr keep(nclosure);
    SQInteger outers = (SQInteger)nclosure->_outervalues.size();
    enterFrame(stackbase, stackbase + nargs + outers, false);
    ci->_closure = keep;
    ci->_target = -1;
    for (SQInteger i = 0; i < outers; ++i) _stack[stackbase + nargs + i] = nclosure->_outervalues[i];
    if (nclosure->_env._type == OT_WEAKREF) _stack[stackbase] = nclosure->_env._unVal.pWeakRef->_obj;
    _nnativecalls++;
    SQInteger ret;
    try {
        ret = (nclosure->_function)(this);
    } catch (...) {
        _nnativecalls--;
        leaveFrame(stackbase + nargs);
        rethrowAsScriptError();
    }
    _nnativecalls--;
    if (_suspend_pending) {
        // suspend(v): the value to hand out is on top
        _suspend_pending = false;
        retval = ret > 0 ? _stack[_top - 1] : SQObjectPtr();
        leaveFrame(stackbase + nargs);
        _suspended = 1;
        return false;
    }
    if (ret < 0) {
        leaveFrame(stackbase + nargs);
        throw SQRaise{};
    }
    if (ret)
        retval = _stack[_top - 1];
    else
        retval.Null();
    leaveFrame(stackbase + nargs);
    return true;
}

void SQVM::call(const SQObjectPtr& closureref, SQInteger nparams, SQInteger stackbase, SQObjectPtr& outres,
                bool raiseerror) {
    SQObjectPtr closure = closureref;
    switch (closure._type) {
    case OT_CLOSURE:
        if (_closure(closure)->proto()->_bgenerator) {
            SQClosure* c = _closure(closure);
            SQGenerator* gen = SQGenerator::create(_sharedstate, c);
            SQObjectPtr g(gen);
            // arity and defaults are checked as for a call: build the frame image in the generator
            SQFunctionProto* f = c->proto();
            SQInteger paramssize = (SQInteger)f->_parameters.size();
            if (!f->_varparams && nparams != paramssize) {
                SQInteger ndef = (SQInteger)f->_defaultparams.size();
                SQInteger diff = paramssize - nparams;
                if (!(ndef && nparams < paramssize && diff <= ndef)) raiseError("wrong number of parameters");
            } else if (f->_varparams && nparams < paramssize) {
                raiseError("wrong number of parameters");
            }
            gen->_stack.resize((size_t)(f->_stacksize > nparams ? f->_stacksize : nparams));
            // the arguments move into the generator: the frame that made it leaves nothing behind
            for (SQInteger i = 0; i < nparams; ++i) gen->_stack[i] = std::move(_stack[stackbase + i]);
            if (!f->_varparams && nparams < paramssize) {
                SQInteger ndef = (SQInteger)f->_defaultparams.size();
                SQInteger diff = paramssize - nparams;
                for (SQInteger n = ndef - diff, k = nparams; n < ndef; ++n, ++k)
                    gen->_stack[k] = c->_defaultparams[n];
            }
            if (c->_env._type == OT_WEAKREF) gen->_stack[0] = c->_env._unVal.pWeakRef->_obj;
            // making a generator is a call that returns at once
            if (_debughook._type != OT_NULL && !_debughook_running) {
                callDebugHook('c', 0, f);
                callDebugHook('r', 0, f);
            }
            outres = g;
            return;
        }
        execute(closure, -1, nparams, stackbase, outres, raiseerror, ExecType::Call);
        return;
    case OT_NATIVECLOSURE: {
        if (!callNative(_nativeclosure(closure), nparams, stackbase, outres)) {
            raiseError("cannot suspend through native calls/metamethods");
        }
        return;
    }
    case OT_CLASS: {
        SQObjectPtr inst(_class(closure)->createInstance());
        SQObjectPtr ctor;
        if (_class(closure)->get(_sharedstate->_constructoridx, ctor)) {
            _stack[stackbase] = inst;
            SQObjectPtr tmp;
            call(ctor, nparams, stackbase, tmp, raiseerror);
        }
        outres = inst;
        return;
    }
    case OT_TABLE:
    case OT_USERDATA:
    case OT_INSTANCE:
        // a _call that is not a function leaves the object uncallable
        if (const SQObjectPtr* mm = getMetaMethod(closure, MT_CALL);
            mm && (mm->_type == OT_CLOSURE || mm->_type == OT_NATIVECLOSURE)) {
            SQObjectPtr fn = *mm;
            push(closure);
            for (SQInteger i = 0; i < nparams; ++i) push(_stack[stackbase + i]);
            callMetaMethod(fn, nparams + 1, outres);
            return;
        }
        [[fallthrough]];
    default:
        raiseError("attempt to call '%s'", sqTypeName(closure._type));
    }
}

void SQVM::callDebugHook(SQInteger type, SQInteger forcedline, SQFunctionProto* notstarted) {
    _debughook_running = true;
    SQObjectPtr hook = _debughook;
    SQObjectPtr src, name;
    SQInteger line = forcedline;
    SQFunctionProto* f = notstarted;
    if (!f && ci && ci->_closure._type == OT_CLOSURE) f = _closure(ci->_closure)->proto();
    if (f) {
        src = f->_sourcename;
        name = f->_name;
        if ((type == 'c' || notstarted) && !f->_lineinfos.empty()) line = f->_lineinfos[0]._line;
        if (type == 'r' && !notstarted) line = f->getLine(ci->_ip - 1);
    }
    SQInteger base = _top;
    try {
        push(_roottable);
        push(SQObjectPtr(type));
        push(src);
        push(SQObjectPtr(line));
        push(name);
        SQObjectPtr res;
        call(hook, 5, base, res, false);
    } catch (...) {
        clearStackAbove(base);
        _debughook_running = false;
        throw;
    }
    clearStackAbove(base);
    _debughook_running = false;
}

void SQVM::callErrorHandler(const SQObjectPtr& err) {
    if (_errorhandler._type == OT_NULL) return;
    SQObjectPtr eh = _errorhandler;
    SQInteger base = _top;
    bool reporting = _reportingerror;
    _reportingerror = true;
    try {
        push(_roottable);
        push(err);
        SQObjectPtr res;
        call(eh, 2, base, res, false);
    } catch (...) {
    }
    _reportingerror = reporting;
    clearStackAbove(base);
}

// ---- foreach ----

// Where a foreach resumes. The state slot is written only by FOREACH itself, but a loaded compiled file can
// put anything there: a state that is not a position starts from the beginning.
static SQInteger iteratorStart(const SQObjectPtr& itr) {
    return itr._type == OT_INTEGER && _integer(itr) > 0 ? _integer(itr) : 0;
}

bool SQVM::forEach(const SQObjectPtr& oref, SQObjectPtr& key, SQObjectPtr& val, SQObjectPtr& itr,
                   bool& isgenerator) {
    isgenerator = false;
    SQObjectPtr o = oref;
    switch (o._type) {
    case OT_TABLE: {
        SQInteger from = iteratorStart(itr);
        SQInteger n = _table(o)->next(from, key, val);
        if (n < 0) return false;
        itr = n;
        return true;
    }
    case OT_ARRAY: {
        SQInteger idx = iteratorStart(itr);
        if (idx >= _array(o)->size()) return false;
        key = idx;
        val = sqRealVal(_array(o)->_values[idx]);
        itr = idx + 1;
        return true;
    }
    case OT_STRING: {
        SQInteger idx = iteratorStart(itr);
        if (idx >= _string(o)->_len) return false;
        key = idx;
        val = (SQInteger)(signed char)_stringval(o)[idx];
        itr = idx + 1;
        return true;
    }
    case OT_CLASS: {
        SQInteger from = iteratorStart(itr);
        SQInteger n = _class(o)->next(from, key, val);
        if (n < 0) return false;
        itr = n;
        return true;
    }
    case OT_USERDATA:
    case OT_INSTANCE: {
        const SQObjectPtr* mm = getMetaMethod(o, MT_NEXTI);
        if (!mm) raiseError("_nexti failed");
        SQObjectPtr fn = *mm, prev = itr, res;
        push(o);
        push(prev);
        callMetaMethod(fn, 2, res);
        if (res._type == OT_NULL) return false;
        SQObjectPtr v;
        if (!get(o, res, v, false, false)) raiseError("_nexti returned an invalid idx");
        key = res;
        val = v;
        itr = res;
        return true;
    }
    case OT_GENERATOR:
        isgenerator = true;
        return true;
    default:
        raiseError("cannot iterate %s", sqTypeName(o._type));
    }
}

// ---- generators ----

// Pushes the generator's saved frame on top of the stack; the yielded value goes to the caller's slot
// `target`.
static void resumeGenerator(SQVM* v, SQGenerator* gen, SQInteger target) {
    if (gen->_state == SQGeneratorState::Dead) v->raiseError("resuming dead generator");
    if (gen->_state == SQGeneratorState::Running) v->raiseError("resuming active generator");
    SQClosure* c = _closure(gen->_closure);
    SQInteger size = (SQInteger)gen->_stack.size();
    SQInteger newbase = v->_top;
    size_t depth = v->_callsstack.size();
    // (_fastdepth: within the calls stack's capacity and the depth cap, and no debug hook)
    if (gen->_traps.empty() && newbase + size + kMaxFuncStackSize <= (SQInteger)v->_stack.size() &&
        depth < v->_fastdepth) {
        // Nothing of the general path: the frame stands in place (cannot fail) and the slots move in.
        SQFunctionProto* f = c->proto();
        SQVM::CallInfo* nci = new (v->_callsstack.data() + depth) SQVM::CallInfo(
            gen->_ip ? gen->_ip : f->_instructions.data(), f->_literals.data(), SQObjectPtr(gen->_closure),
            v->_stackbase, v->_top, target, (SQInteger)v->_vargsstack.size());
        nci->_generator = gen;
        nci->_special = SQVM::kFrameOther;
        v->_callsstack.setSizeWithin(depth + 1);
        v->ci = nci;
        SQObjectPtr* dst = v->_stack.data() + newbase;
        for (SQInteger i = 0; i < size; ++i) dst[i] = std::move(gen->_stack[i]);
        v->_stackbase = newbase;
        v->setTop(newbase + size);
        gen->_state = SQGeneratorState::Running;
        return;
    }
    SQObjectPtr keep(gen);
    v->enterFrame(newbase, newbase + size, false);
    SQVM::CallInfo* ci = v->ci;
    ci->_closure = gen->_closure;
    ci->_literals = c->proto()->_literals.data();
    ci->_ip = gen->_ip ? gen->_ip : c->proto()->_instructions.data();
    ci->_generator = gen;
    ci->_special |= SQVM::kFrameOther;
    ci->_target = target;
    ci->_vargsbase = (SQInteger)v->_vargsstack.size();
    ci->_nvargs = 0;
    for (SQInteger i = 0; i < size; ++i) {
        v->_stack[newbase + i] = std::move(gen->_stack[i]);
    }
    for (size_t i = 0; i < gen->_traps.size(); ++i) {
        SQGenerator::Trap& t = gen->_traps[i];
        v->_etraps.push_back(SQExceptionTrap{t.stackbase + newbase, t.stacksize + newbase, t.ip, t.target});
    }
    ci->_etraps = (SQInteger)gen->_traps.size();
    gen->_traps.resize(0);
    gen->_state = SQGeneratorState::Running;
    if (v->_debughook._type != OT_NULL && !v->_debughook_running) v->callDebugHook('c');
}

// Saves the running generator frame into its generator and pops it.
static void yieldGenerator(SQVM* v, SQGenerator* gen) {
    SQVM::CallInfo* ci = v->ci;
    SQInteger base = v->_stackbase;
    SQInteger size = v->_top - base;
    gen->_stack.resize((size_t)size);
    // the frame's slots die with it right after: their values move
    for (SQInteger i = 0; i < size; ++i) gen->_stack[i] = std::move(v->_stack[base + i]);
    gen->_traps.resize(0);
    for (SQInteger i = 0; i < ci->_etraps; ++i) {
        SQExceptionTrap& t = v->_etraps[v->_etraps.size() - (size_t)ci->_etraps + (size_t)i];
        gen->_traps.push_back(
            SQGenerator::Trap{t._stackbase - base, t._stacksize - base, t._ip, t._extarget});
    }
    gen->_ip = ci->_ip;
    gen->_state = SQGeneratorState::Suspended;
}

// PREPCALL: the callee key[objslot] into `target`, and its `this` into thisslot.
void SQVM::prepCall(SQInteger target, const SQObjectPtr& keyref, SQInteger objslot, SQInteger thisslot) {
    SQObjectPtr obj = _stack[_stackbase + objslot], key = keyref, callee;
    if (!get(obj, key, callee, false, objslot == 0)) raiseIdxError(key);
    // a method found in a class runs with the caller's this; default-delegate functions get the class
    if (obj._type == OT_CLASS && _class(obj)->_members->find(key))
        _stack[_stackbase + thisslot] = _stack[_stackbase];
    else
        _stack[_stackbase + thisslot] = std::move(obj);
    _stack[_stackbase + target] = std::move(callee);
}

// ---- the interpreter ----

#define STK(a) (_stack[_stackbase + (a)])
#define FSTK(a) (sb[(a)])
#define TARGET STK(arg0)
#define LIT(a) (ci->_literals[(a)])

// Leaves the current frame and hands its result to the caller's target slot, or to outres when the frame was
// the one execute() entered (then true: execute returns). The result register is emptied either way.
bool SQVM::leaveFrameWith(SQObjectPtr& result, SQObjectPtr& outres, bool root, SQInteger target) {
    leaveFrame();
    if (root) {
        outres = result;
        result.Null();
        return true;
    }
    if (target != -1) _stack[_stackbase + target] = result;
    result.Null();
    return false;
}

void SQVM::execute(const SQObjectPtr& closureref, SQInteger target, SQInteger nargs, SQInteger stackbase,
                   SQObjectPtr& outres, bool raiseerror, ExecType et) {
    if (_nnativecalls + 1 > kMaxNativeCalls) raiseError("Native stack overflow");
    SQObjectPtr closure = closureref;
    _nnativecalls++;
    struct NativeCallGuard {
        SQInteger& n;
        ~NativeCallGuard() { n--; }
    } guard{_nnativecalls};

    switch (et) {
    case ExecType::Call:
        // the frame takes over the reference `closure` holds when the direct entry applies
        if (!enterScriptFrame(closure, target, nargs, stackbase))
            startCall(_closure(closure), target, nargs, stackbase, false);
        ci->_special |= kFrameRoot;
        break;
    case ExecType::ResumeGenerator:
        resumeGenerator(this, _generator(closure), -1);
        ci->_special |= kFrameRoot;
        break;
    case ExecType::ResumeVM:
        break; // frames already in place (thread wakeup)
    }

    SQObjectPtr temp_reg;
    SQObjectPtr temp2;
    // The instruction pointer and the frame base live in registers. Handlers that may call out, raise or
    // change frames first store the pointer back (SAVE_IP) and end with NEXT, which reloads both; the fast
    // handlers touch neither the frames nor the stack's size and dispatch straight on (FAST_NEXT).
    // Operands are read from the instruction where a handler uses them (CUR: the one being run), so dispatch
    // loads only the opcode. The running frame's closure keeps the code alive while a handler runs.
    const SQInstruction* ip;
    SQObjectPtr* sb;
#define CUR (ip[-1])
#define arg0 ((SQInteger)CUR._arg0)
#define arg1 ((SQInteger)CUR._arg1)
#define arg2 ((SQInteger)CUR._arg2)
#define arg3 ((SQInteger)CUR._arg3)
#define SAVE_IP() (ci->_ip = ip)
#define NEXT continue
#if SQ_COMPUTED_GOTO
    // Compiled code and verified files hold only known opcodes; every other byte value leads to the error
    // (memory corruption), at no cost per instruction.
#define SQ_OPCODE_LABEL(name, doc) &&L_##name,
#define SQ_INVALID4 &&invalid_op, &&invalid_op, &&invalid_op, &&invalid_op,
#define SQ_INVALID16 SQ_INVALID4 SQ_INVALID4 SQ_INVALID4 SQ_INVALID4
#define SQ_INVALID64 SQ_INVALID16 SQ_INVALID16 SQ_INVALID16 SQ_INVALID16
#define SQ_INVALID3 &&invalid_op, &&invalid_op, &&invalid_op
    // clang-format off
    static const void* const kDispatch[] = {
        SQ_OPCODES(SQ_OPCODE_LABEL) SQ_INVALID64 SQ_INVALID64 SQ_INVALID64 SQ_INVALID3};
    // clang-format on
#undef SQ_OPCODE_LABEL
#undef SQ_INVALID4
#undef SQ_INVALID16
#undef SQ_INVALID64
#undef SQ_INVALID3
    static_assert(sizeof(kDispatch) / sizeof(kDispatch[0]) == 256, "one entry per opcode byte value");
#define FAST_NEXT                                                                                            \
    { goto* kDispatch[(ip++)->op]; }
#define OPCODE(name) L_##name:
#else
#define FAST_NEXT goto dispatch
#define OPCODE(name) case _OP_##name:
#endif
    for (;;) {
        try {
            if (_throw_on_resume) {
                // woken with an error to throw (sq_wakeupvm): it is raised where the thread waits
                _throw_on_resume = false;
                throw SQRaise{};
            }
            for (;;) {
                ip = ci->_ip;
                sb = _stack.data() + _stackbase;
#if SQ_COMPUTED_GOTO
                FAST_NEXT;
            invalid_op:
                SAVE_IP();
                raiseError("internal VM error");
#else
            dispatch:
                switch ((ip++)->op) {
#endif
                OPCODE(LINE) {
                    if (_debughook._type != OT_NULL && !_debughook_running) {
                        SAVE_IP();
                        callDebugHook('l', arg1);
                        NEXT;
                    }
                    FAST_NEXT;
                }
                OPCODE(LOAD) {
                    FSTK(arg0) = LIT(arg1);
                    FAST_NEXT;
                }
                OPCODE(LOADINT) {
                    FSTK(arg0) = (SQInteger)arg1;
                    FAST_NEXT;
                }
                OPCODE(LOADFLOAT) {
                    SQFloat f;
                    int32_t bits = (int32_t)arg1;
                    memcpy(&f, &bits, 4);
                    FSTK(arg0) = f;
                    FAST_NEXT;
                }
                OPCODE(DLOAD) {
                    FSTK(arg0) = LIT(arg1);
                    FSTK(arg2) = LIT(arg3);
                    FAST_NEXT;
                }
                OPCODE(TAILCALL) {
                    SAVE_IP();
                    temp_reg = STK(arg1);
                    if (temp_reg._type == OT_CLOSURE && tailCallScript(temp_reg, arg2, arg3)) NEXT;
                    if (temp_reg._type == OT_CLOSURE && !_closure(temp_reg)->proto()->_bgenerator &&
                        !ci->_generator) {
                        // a bound environment may live only in a slot the arguments are about to replace
                        SQObjectPtr env;
                        if (_closure(temp_reg)->_env._type == OT_WEAKREF)
                            env = _closure(temp_reg)->_env._unVal.pWeakRef->_obj;
                        for (SQInteger i = 0; i < arg3; ++i) STK(i) = STK(arg2 + i);
                        for (SQInteger i = arg3; i < _top - _stackbase; ++i) STK(i).Null();
                        _top = _stackbase + arg3;
                        startCall(_closure(temp_reg), ci->_target, arg3, _stackbase, true);
                        temp_reg.Null();
                        NEXT;
                    }
                    goto do_call;
                }
                OPCODE(CALL) {
                    SAVE_IP();
                    if (FSTK(arg1)._type == OT_CLOSURE) {
                        // The new frame's code and base go straight to the registers: reloading them from the
                        // frame just written would wait on those stores. The callee is copied into a local
                        // the frame takes over; its scope closes before the indirect jump, which may not
                        // leave it.
                        const SQInstruction* entry = _closure(FSTK(arg1))->proto()->_instructions.data();
                        SQObjectPtr* calleesb = sb + arg2;
                        bool entered;
                        {
                            SQObjectPtr callee(FSTK(arg1));
                            entered = enterScriptFrame(callee, arg0, arg3, _stackbase + arg2);
                        }
                        if (entered) {
                            ip = entry;
                            sb = calleesb;
                            FAST_NEXT;
                        }
                    }
                do_call:
                    temp_reg = STK(arg1);
                    switch (temp_reg._type) {
                    case OT_CLOSURE:
                        if (enterScriptFrame(temp_reg, arg0, arg3, _stackbase + arg2)) NEXT;
                        if (!_closure(temp_reg)->proto()->_bgenerator) {
                            startCall(_closure(temp_reg), arg0, arg3, _stackbase + arg2, false);
                            temp_reg.Null();
                            NEXT;
                        }
                        call(temp_reg, arg3, _stackbase + arg2, temp2, false);
                        STK(arg0) = std::move(temp2);
                        temp_reg.Null();
                        NEXT;
                    case OT_NATIVECLOSURE: {
                        bool done = callNative(_nativeclosure(temp_reg), arg3, _stackbase + arg2, temp2);
                        if (!done) {
                            // suspended: leave the loop; wakeup continues after this CALL
                            _suspended_target = arg0;
                            outres = temp2;
                            return;
                        }
                        STK(arg0) = std::move(temp2);
                        temp_reg.Null();
                        NEXT;
                    }
                    default:
                        call(temp_reg, arg3, _stackbase + arg2, temp2, false);
                        STK(arg0) = std::move(temp2);
                        temp_reg.Null();
                        NEXT;
                    }
                }
                OPCODE(PREPCALL) {
                    SAVE_IP();
                    prepCall(arg0, STK(arg1), arg2, arg3);
                    NEXT;
                }
                OPCODE(PREPCALLK) {
                    const SQObjectPtr& o = FSTK(arg2);
                    if (o._type == OT_TABLE) {
                        if (SQTable::Node* n = _table(o)->find(LIT(arg1))) {
                            // The callee is held in a local (a register, where temp2 lives in memory) while
                            // `this` is written: that write may release what would free the table's node.
                            {
                                SQObjectPtr fn(sqRealVal(n->val));
                                FSTK(arg3) = o;
                                FSTK(arg0) = std::move(fn);
                            }
                            FAST_NEXT;
                        }
                    } else if (o._type == OT_INSTANCE) {
                        if (const SQObjectPtr* m = _instance(o)->memberSlot(LIT(arg1))) {
                            {
                                SQObjectPtr fn(sqRealVal(*m));
                                FSTK(arg3) = o;
                                FSTK(arg0) = std::move(fn);
                            }
                            FAST_NEXT;
                        }
                    }
                    SAVE_IP();
                    prepCall(arg0, LIT(arg1), arg2, arg3);
                    NEXT;
                }
                OPCODE(GETK) {
                    const SQObjectPtr& o = FSTK(arg2);
                    if (o._type == OT_TABLE) {
                        if (SQTable::Node* n = _table(o)->find(LIT(arg1))) {
                            FSTK(arg0) = sqRealVal(n->val);
                            FAST_NEXT;
                        }
                    } else if (o._type == OT_INSTANCE) {
                        if (const SQObjectPtr* m = _instance(o)->memberSlot(LIT(arg1))) {
                            FSTK(arg0) = sqRealVal(*m);
                            FAST_NEXT;
                        }
                    }
                    SAVE_IP();
                    if (!get(STK(arg2), LIT(arg1), temp2, false, arg2 == 0)) raiseIdxError(LIT(arg1));
                    TARGET = std::move(temp2); // no stray reference delays a release hook
                    NEXT;
                }
                OPCODE(MOVE) {
                    FSTK(arg0) = FSTK(arg1);
                    FAST_NEXT;
                }
                OPCODE(NEWSLOT) {
                    SAVE_IP();
                    // a table without a delegate has no _newslot to ask
                    if (STK(arg1)._type == OT_TABLE && !_table(STK(arg1))->_delegate &&
                        STK(arg2)._type != OT_NULL)
                        _table(STK(arg1))->newSlot(STK(arg2), STK(arg3));
                    else
                        newSlot(STK(arg1), STK(arg2), STK(arg3), false);
                    if (arg0 != arg3) TARGET = STK(arg3);
                    NEXT;
                }
                OPCODE(DELETE) {
                    SAVE_IP();
                    deleteSlot(STK(arg1), STK(arg2), temp2);
                    TARGET = std::move(temp2); // no stray reference delays a release hook
                    NEXT;
                }
                OPCODE(SET) {
                    // Fast paths: an array element in range, an existing table slot (neither calls a
                    // metamethod).
                    const SQObjectPtr& self = FSTK(arg1);
                    const SQObjectPtr& key = FSTK(arg2);
                    if (self._type == OT_ARRAY && key._type == OT_INTEGER &&
                        (SQUnsignedInteger)_integer(key) < _array(self)->_values.size()) {
                        _array(self)->_values[(size_t)_integer(key)] = FSTK(arg3);
                        if (arg0 != arg3) FSTK(arg0) = FSTK(arg3);
                        FAST_NEXT;
                    }
                    if (self._type == OT_TABLE) {
                        if (SQTable::Node* n = _table(self)->find(key)) {
                            n->val = FSTK(arg3);
                            if (arg0 != arg3) FSTK(arg0) = FSTK(arg3);
                            FAST_NEXT;
                        }
                    } else if (self._type == OT_INSTANCE) {
                        if (SQObjectPtr* f = _instance(self)->fieldSlot(key)) {
                            *f = FSTK(arg3);
                            if (arg0 != arg3) FSTK(arg0) = FSTK(arg3);
                            FAST_NEXT;
                        }
                    }
                    SAVE_IP();
                    if (!set(STK(arg1), STK(arg2), STK(arg3), arg1 == 0)) raiseIdxError(STK(arg2));
                    if (arg0 != arg3) TARGET = STK(arg3);
                    NEXT;
                }
                OPCODE(GET) {
                    // Fast paths: an array element in range, an own table slot.
                    const SQObjectPtr& self = FSTK(arg1);
                    const SQObjectPtr& key = FSTK(arg2);
                    if (self._type == OT_ARRAY && key._type == OT_INTEGER &&
                        (SQUnsignedInteger)_integer(key) < _array(self)->_values.size()) {
                        FSTK(arg0) = sqRealVal(_array(self)->_values[(size_t)_integer(key)]);
                        FAST_NEXT;
                    }
                    if (self._type == OT_TABLE) {
                        if (SQTable::Node* n = _table(self)->find(key)) {
                            FSTK(arg0) = sqRealVal(n->val);
                            FAST_NEXT;
                        }
                    } else if (self._type == OT_INSTANCE) {
                        if (const SQObjectPtr* m = _instance(self)->memberSlot(key)) {
                            FSTK(arg0) = sqRealVal(*m);
                            FAST_NEXT;
                        }
                    }
                    SAVE_IP();
                    if (!get(STK(arg1), STK(arg2), temp2, false, arg1 == 0)) raiseIdxError(STK(arg2));
                    TARGET = std::move(temp2); // no stray reference delays a release hook
                    NEXT;
                }
                OPCODE(EQ)
                OPCODE(NE) {
                    const SQObjectPtr& a = FSTK(arg2);
                    const SQObjectPtr& b = arg3 ? LIT(arg1) : FSTK(arg1);
                    bool r = a._type == OT_INTEGER && b._type == OT_INTEGER ? _integer(a) == _integer(b)
                                                                            : isEqual(a, b);
                    if (CUR.op == _OP_NE) r = !r;
                    FSTK(arg0).setBool(r);
                    // as for CMP: the test and its conditional jump run as one step
                    if (ip->op == _OP_JZ && ip->_arg0 == CUR._arg0) {
                        const SQInstruction* jz = ip++;
                        if (!r) ip += jz->_arg1;
                    }
                    FAST_NEXT;
                }
                OPCODE(ARITH) {
                    const SQObjectPtr& a = FSTK(arg2);
                    const SQObjectPtr& b = FSTK(arg1);
                    if (a._type == OT_INTEGER && b._type == OT_INTEGER) {
                        SQUnsignedInteger x = (SQUnsignedInteger)_integer(a),
                                          y = (SQUnsignedInteger)_integer(b);
                        // Tests, not a switch: each ARITH site predicts its own operator instead of all of
                        // them sharing one indirect jump.
                        SQInteger op = arg3;
                        if (op == '+') {
                            FSTK(arg0) = (SQInteger)(x + y);
                            FAST_NEXT;
                        }
                        if (op == '-') {
                            FSTK(arg0) = (SQInteger)(x - y);
                            FAST_NEXT;
                        }
                        if (op == '*') {
                            FSTK(arg0) = (SQInteger)(x * y);
                            FAST_NEXT;
                        }
                        if (y != 0 && _integer(b) != -1) {
                            if (op == '/') {
                                FSTK(arg0) = _integer(a) / _integer(b);
                                FAST_NEXT;
                            }
                            if (op == '%') {
                                FSTK(arg0) = _integer(a) % _integer(b);
                                FAST_NEXT;
                            }
                        }
                    } else if (a._type == OT_FLOAT && b._type == OT_FLOAT && arg3 != '%') {
                        SQFloat x = _float(a), y = _float(b);
                        FSTK(arg0) = arg3 == '+' ? x + y : arg3 == '-' ? x - y : arg3 == '*' ? x * y : x / y;
                        FAST_NEXT;
                    }
                    SAVE_IP();
                    // The chain's end goes through a copy: taking the register's address would make every
                    // dispatch store it to memory.
                    if (const SQInstruction* chainend = ip; arg3 == '+' &&
                                                            (a._type == OT_STRING || b._type == OT_STRING) &&
                                                            concatRun(chainend, sb, ci->_literals)) {
                        ci->_ip = chainend;
                        NEXT;
                    }
                    arith(arg3, temp2, a, b);
                    TARGET = std::move(temp2); // no stray reference delays a release hook
                    NEXT;
                }
                OPCODE(BITW) {
                    if (FSTK(arg2)._type == OT_INTEGER && FSTK(arg1)._type == OT_INTEGER) {
                        SQInteger i1 = _integer(FSTK(arg2)), i2 = _integer(FSTK(arg1));
                        SQInteger op = arg3; // tests, not a switch, as in ARITH
                        if (op == BW_AND) {
                            FSTK(arg0) = i1 & i2;
                            FAST_NEXT;
                        }
                        if (op == BW_OR) {
                            FSTK(arg0) = i1 | i2;
                            FAST_NEXT;
                        }
                        if (op == BW_XOR) {
                            FSTK(arg0) = i1 ^ i2;
                            FAST_NEXT;
                        }
                        if (op == BW_SHIFTR) {
                            FSTK(arg0) = i1 >> (i2 & 31);
                            FAST_NEXT;
                        }
                        if (op == BW_SHIFTL) {
                            FSTK(arg0) = (SQInteger)((SQUnsignedInteger)i1 << (i2 & 31));
                            FAST_NEXT;
                        }
                        if (op == BW_USHIFTR) {
                            FSTK(arg0) = (SQInteger)((SQUnsignedInteger)i1 >> (i2 & 31));
                            FAST_NEXT;
                        }
                    }
                    SAVE_IP();
                    bitwise(arg3, temp2, STK(arg2), STK(arg1));
                    TARGET = std::move(temp2); // no stray reference delays a release hook
                    NEXT;
                }
                OPCODE(RETURN) {
                    if (ci->_special == 0 && _debughook._type == OT_NULL) {
                        popScriptFrame(arg0 != 0xFF ? arg1 : -1, nullptr);
                        // The caller's code position and base go straight to the registers, as a call's do.
                        ip = ci->_ip;
                        sb = _stack.data() + _stackbase;
                        FAST_NEXT;
                    }
                    if (ci->_special == kFrameRoot && _debughook._type == OT_NULL) {
                        popScriptFrame(arg0 != 0xFF ? arg1 : -1, &outres);
                        return;
                    }
                    SAVE_IP();
                    if (ci->_generator) ci->_generator->_state = SQGeneratorState::Dead;
                    if (arg0 != 0xFF)
                        temp_reg = STK(arg1);
                    else
                        temp_reg.Null();
                    bool root = ci->isRoot();
                    SQInteger trg = ci->_target;
                    if (!root && !ci->_generator && _debughook._type == OT_NULL) {
                        // a plain script frame returning to the script frame below it
                        leaveFrame();
                        if (trg != -1)
                            _stack[_stackbase + trg] = std::move(temp_reg);
                        else
                            temp_reg.Null();
                        NEXT;
                    }
                    if (_debughook._type != OT_NULL && !_debughook_running) {
                        // one return per frame a tail call folded into this one
                        for (SQInteger n = ci->_ncalls; n > 0; --n) callDebugHook('r');
                    }
                    if (leaveFrameWith(temp_reg, outres, root, trg)) return;
                    NEXT;
                }
                OPCODE(LOADNULLS) {
                    for (SQInteger n = 0; n < arg1; ++n) FSTK(arg0 + n).Null();
                    FAST_NEXT;
                }
                OPCODE(LOADROOTTABLE) {
                    FSTK(arg0) = _roottable;
                    FAST_NEXT;
                }
                OPCODE(LOADBOOL) {
                    FSTK(arg0).setBool(arg1 != 0);
                    FAST_NEXT;
                }
                OPCODE(DMOVE) {
                    FSTK(arg0) = FSTK(arg1);
                    FSTK(arg2) = FSTK(arg3);
                    FAST_NEXT;
                }
                OPCODE(JMP) {
                    if (arg1 < 0 && _stepbudget >= 0) {
                        SAVE_IP();
                        spendStep();
                    }
                    ip += arg1;
                    FAST_NEXT;
                }
                OPCODE(JNZ) {
                    if (!sqIsFalse(FSTK(arg0))) {
                        if (arg1 < 0 && _stepbudget >= 0) {
                            SAVE_IP();
                            spendStep();
                        }
                        ip += arg1;
                    }
                    FAST_NEXT;
                }
                OPCODE(JZ) {
                    if (sqIsFalse(FSTK(arg0))) ip += arg1;
                    FAST_NEXT;
                }
                OPCODE(LOADFREEVAR) {
                    FSTK(arg0) = _closure(ci->_closure)->_outervalues[arg1];
                    FAST_NEXT;
                }
                OPCODE(VARGC) {
                    FSTK(arg0) = (SQInteger)ci->_nvargs;
                    FAST_NEXT;
                }
                OPCODE(GETVARGV) {
                    SAVE_IP();
                    const SQObjectPtr& idx = STK(arg1);
                    if (ci->_nvargs == 0) raiseError("the function doesn't have var args");
                    if (!(idx._type & SQOBJECT_NUMERIC))
                        raiseError("indexing 'vargv' with %s", sqTypeName(idx._type));
                    SQInteger n = sqToInteger(idx);
                    if (n < 0 || n >= ci->_nvargs) raiseError("vargv index out of range");
                    TARGET = _vargsstack[ci->_vargsbase + n];
                    NEXT;
                }
                OPCODE(NEWTABLE) {
                    SAVE_IP();
                    TARGET = SQObjectPtr(SQTable::create(_sharedstate, arg1));
                    NEXT;
                }
                OPCODE(NEWARRAY) {
                    SAVE_IP();
                    SQArray* a = SQArray::create(_sharedstate, 0);
                    TARGET = SQObjectPtr(a);
                    a->_values.reserve((size_t)arg1);
                    NEXT;
                }
                OPCODE(APPENDARRAY) {
                    SAVE_IP();
                    // Compiled code only appends to the array it just made; a loaded file may lie.
                    if (STK(arg0)._type != OT_ARRAY) raiseError("internal VM error: append to a non-array");
                    _array(STK(arg0))->append(arg3 != 0 ? LIT(arg1) : STK(arg1));
                    NEXT;
                }
                OPCODE(GETPARENT) {
                    SAVE_IP();
                    const SQObjectPtr& o = STK(arg1);
                    switch (o._type) {
                    case OT_TABLE:
                        temp2 = _table(o)->_delegate ? SQObjectPtr(_table(o)->_delegate) : SQObjectPtr();
                        break;
                    case OT_CLASS:
                        temp2 = _class(o)->_base ? SQObjectPtr(_class(o)->_base) : SQObjectPtr();
                        break;
                    default:
                        raiseError("the %s type doesn't have a parent slot", sqTypeName(o._type));
                    }
                    TARGET = std::move(temp2); // no stray reference delays a release hook
                    NEXT;
                }
                OPCODE(COMPARITH) {
                    {
                        // Integer + - * on an array element, an existing table slot or an instance field, in
                        // place.
                        const SQObjectPtr& self = FSTK((SQUnsignedInteger)arg1 >> 16);
                        const SQObjectPtr& val = FSTK(arg1 & 0xFFFF);
                        SQObjectPtr* slot = nullptr;
                        if (self._type == OT_ARRAY) {
                            const SQObjectPtr& k = FSTK(arg2);
                            if (k._type == OT_INTEGER &&
                                (SQUnsignedInteger)_integer(k) < _array(self)->_values.size())
                                slot = &_array(self)->_values[(size_t)_integer(k)];
                        } else if (self._type == OT_TABLE) {
                            if (SQTable::Node* n = _table(self)->find(FSTK(arg2))) slot = &n->val;
                        } else if (self._type == OT_INSTANCE) {
                            slot = _instance(self)->fieldSlot(FSTK(arg2));
                        }
                        if (slot && slot->_type == OT_INTEGER && val._type == OT_INTEGER && arg3 != '/' &&
                            arg3 != '%') {
                            SQUnsignedInteger x = (SQUnsignedInteger)_integer(*slot),
                                              y = (SQUnsignedInteger)_integer(val);
                            SQInteger r = (SQInteger)(arg3 == '+' ? x + y : arg3 == '-' ? x - y : x * y);
                            *slot = r;
                            FSTK(arg0) = r;
                            FAST_NEXT;
                        }
                    }
                    SAVE_IP();
                    SQInteger selfidx = ((SQUnsignedInteger)arg1 & 0xFFFF0000) >> 16;
                    SQObjectPtr self = STK(selfidx), key = STK(arg2), val = STK(arg1 & 0x0000FFFF);
                    SQObjectPtr cur;
                    if (!get(self, key, cur, false, selfidx == 0)) raiseIdxError(key);
                    arith(arg3, temp2, cur, val);
                    // the result goes back only where a slot takes it; a value a _get made up stays as it was
                    set(self, key, temp2, selfidx == 0, false);
                    TARGET = std::move(temp2); // no stray reference delays a release hook
                    NEXT;
                }
                OPCODE(COMPARITHL) {
                    // Integer += -= *= on a local wraps in 32 bits without the general arithmetic.
                    if (FSTK(arg1)._type == OT_INTEGER && FSTK(arg2)._type == OT_INTEGER &&
                        (arg3 == '+' || arg3 == '-' || arg3 == '*')) {
                        SQUnsignedInteger x = (SQUnsignedInteger)_integer(FSTK(arg1)),
                                          y = (SQUnsignedInteger)_integer(FSTK(arg2));
                        SQInteger r = (SQInteger)(arg3 == '+' ? x + y : arg3 == '-' ? x - y : x * y);
                        FSTK(arg1) = r;
                        FSTK(arg0) = r;
                        FAST_NEXT;
                    }
                    SAVE_IP();
                    arith(arg3, temp2, STK(arg1), STK(arg2));
                    STK(arg1) = temp2;
                    TARGET = std::move(temp2); // no stray reference delays a release hook
                    NEXT;
                }
                OPCODE(INC)
                OPCODE(PINC) {
                    SAVE_IP();
                    SQObjectPtr self = STK(arg1), key = STK(arg2);
                    SQObjectPtr cur;
                    if (!get(self, key, cur, false, arg1 == 0)) raiseIdxError(key);
                    arith('+', temp2, cur, SQObjectPtr((SQInteger)(signed char)arg3));
                    set(self, key, temp2, arg1 == 0, false); // as for COMPARITH
                    if (CUR.op == _OP_PINC)
                        TARGET = cur;
                    else
                        TARGET = std::move(temp2); // no stray reference delays a release hook
                    NEXT;
                }
                OPCODE(INCL)
                OPCODE(PINCL) {
                    if (FSTK(arg1)._type == OT_INTEGER) {
                        SQInteger old = _integer(FSTK(arg1));
                        SQInteger nv = (SQInteger)((SQUnsignedInteger)old +
                                                   (SQUnsignedInteger)(SQInteger)(signed char)arg3);
                        // target first: stepping a temporary in place (a constant) leaves the new value
                        FSTK(arg0) = CUR.op == _OP_PINCL ? old : nv;
                        FSTK(arg1) = nv;
                        FAST_NEXT;
                    }
                    SAVE_IP();
                    SQObjectPtr cur = STK(arg1);
                    if (cur._type == OT_INTEGER)
                        temp2 = (SQInteger)((SQUnsignedInteger)_integer(cur) +
                                            (SQUnsignedInteger)(SQInteger)(signed char)arg3);
                    else
                        arith('+', temp2, cur, SQObjectPtr((SQInteger)(signed char)arg3));
                    TARGET = CUR.op == _OP_PINCL ? cur : temp2;
                    STK(arg1) = std::move(temp2); // no stray reference delays a release hook
                    NEXT;
                }
                OPCODE(CMP) {
                    const SQObjectPtr& a = FSTK(arg2);
                    const SQObjectPtr& b = FSTK(arg1);
                    if (a._type == OT_INTEGER && b._type == OT_INTEGER) {
                        // the reference orders integers by the sign of their wrapped difference
                        SQInteger d =
                            (SQInteger)((SQUnsignedInteger)_integer(a) - (SQUnsignedInteger)_integer(b));
                        bool r = arg3 == CMP_G    ? d > 0
                                 : arg3 == CMP_GE ? d >= 0
                                 : arg3 == CMP_L  ? d < 0
                                                  : d <= 0;
                        FSTK(arg0).setBool(r);
                        // A test and its conditional jump run as one step.
                        if (ip->op == _OP_JZ && ip->_arg0 == CUR._arg0) {
                            const SQInstruction* jz = ip++;
                            if (!r) ip += jz->_arg1;
                        }
                        FAST_NEXT;
                    }
                    SAVE_IP();
                    bool r = cmpOp(arg3, a, b);
                    TARGET = SQObjectPtr(r);
                    NEXT;
                }
                OPCODE(EXISTS) {
                    SAVE_IP();
                    bool r;
                    const SQObjectPtr& o = STK(arg1);
                    const SQObjectPtr& k = STK(arg2);
                    if (o._type == OT_ARRAY) {
                        r = (k._type & SQOBJECT_NUMERIC) &&
                            (SQUnsignedInteger)sqToInteger(k) < (SQUnsignedInteger)_array(o)->size();
                    } else {
                        r = get(o, k, temp2, true, false);
                    }
                    TARGET = SQObjectPtr(r);
                    NEXT;
                }
                OPCODE(INSTANCEOF) {
                    SAVE_IP();
                    const SQObjectPtr& c = STK(arg1);
                    const SQObjectPtr& o = STK(arg2);
                    if (c._type != OT_CLASS || o._type != OT_INSTANCE)
                        raiseError("cannot apply instanceof between a %s and a %s", sqTypeName(c._type),
                                   sqTypeName(o._type));
                    bool r = o._type == OT_INSTANCE && _instance(o)->instanceOf(_class(c));
                    TARGET = SQObjectPtr(r);
                    NEXT;
                }
                OPCODE(AND) {
                    if (sqIsFalse(FSTK(arg2))) {
                        FSTK(arg0) = FSTK(arg2);
                        ip += arg1;
                    }
                    FAST_NEXT;
                }
                OPCODE(OR) {
                    if (!sqIsFalse(FSTK(arg2))) {
                        FSTK(arg0) = FSTK(arg2);
                        ip += arg1;
                    }
                    FAST_NEXT;
                }
                OPCODE(NEG) {
                    if (FSTK(arg1)._type == OT_INTEGER) {
                        FSTK(arg0) = (SQInteger)(0u - (SQUnsignedInteger)_integer(FSTK(arg1)));
                        FAST_NEXT;
                    }
                    if (FSTK(arg1)._type == OT_FLOAT) {
                        FSTK(arg0) = -_float(FSTK(arg1));
                        FAST_NEXT;
                    }
                    SAVE_IP();
                    negate(temp2, STK(arg1));
                    TARGET = std::move(temp2); // no stray reference delays a release hook
                    NEXT;
                }
                OPCODE(NOT) {
                    FSTK(arg0).setBool(sqIsFalse(FSTK(arg1)));
                    FAST_NEXT;
                }
                OPCODE(BWNOT) {
                    SAVE_IP();
                    if (STK(arg1)._type != OT_INTEGER)
                        raiseError("attempt to perform a bitwise op on a %s", sqTypeName(STK(arg1)._type));
                    TARGET = (SQInteger)(~_integer(STK(arg1)));
                    NEXT;
                }
                OPCODE(CLOSURE) {
                    SAVE_IP();
                    SQClosure* c = _closure(ci->_closure);
                    SQFunctionProto* fp = _funcproto(c->proto()->_functions[arg1]);
                    bool symbols;
                    SQClosure* nc = SQClosure::capture(_sharedstate, fp, sb, c, symbols);
                    SQObjectPtr ncp(nc);
                    for (size_t i = 0; symbols && i < fp->_outervalues.size(); ++i) {
                        SQOuterVar& v = fp->_outervalues[i];
                        if (v._type != otSYMBOL) continue;
                        if (!get(STK(0), v._src, temp2, false, true)) raiseIdxError(v._src);
                        nc->_outervalues[i] = temp2;
                    }
                    TARGET = std::move(ncp);
                    NEXT;
                }
                OPCODE(YIELD) {
                    SAVE_IP();
                    SQGenerator* gen = ci->_generator;
                    if (!gen)
                        raiseError("trying to yield a '%s',only genenerator can be yielded",
                                   sqTypeName(OT_CLOSURE));
                    if (arg0 != 0xFF)
                        temp_reg = STK(arg1);
                    else
                        temp_reg.Null();
                    if (_debughook._type != OT_NULL && !_debughook_running) callDebugHook('r');
                    yieldGenerator(this, gen);
                    if (ci->_etraps == 0 && ci->_nvargs == 0 && !ci->isRoot()) {
                        // The frame's slots all moved into the generator: nothing is left to release.
                        SQInteger oldbase = _stackbase, last_top = _top, trg = ci->_target;
                        _stackbase = ci->_prevstkbase;
                        _top = ci->_prevtop;
                        _callsstack.pop_back();
                        ci = &_callsstack.back(); // not the entry frame: one lies below
                        SQInteger from = _top > oldbase ? _top : oldbase;
                        if (_cleanfrom <= last_top) _cleanfrom = from;
                        if (trg != -1)
                            _stack[_stackbase + trg] = std::move(temp_reg);
                        else
                            temp_reg.Null();
                        NEXT;
                    }
                    if (leaveFrameWith(temp_reg, outres, ci->isRoot(), ci->_target)) return;
                    NEXT;
                }
                OPCODE(RESUME) {
                    SAVE_IP();
                    const SQObjectPtr& g = STK(arg1);
                    if (g._type != OT_GENERATOR)
                        raiseError("trying to resume a '%s',only genenerator can be resumed",
                                   sqTypeName(g._type));
                    resumeGenerator(this, _generator(g), arg0);
                    NEXT;
                }
                OPCODE(FOREACH) {
                    {
                        // Arrays and tables step in place (a loaded file's loop slots must not overlap the
                        // container's, which keeps it alive).
                        const SQObjectPtr& o = FSTK(arg0);
                        if ((o._type == OT_ARRAY || o._type == OT_TABLE) &&
                            (arg0 < arg2 || arg0 > arg2 + 2)) {
                            SQInteger from = iteratorStart(FSTK(arg2 + 2)), next;
                            if (o._type == OT_ARRAY) {
                                SQArray* a = _array(o);
                                next = from < a->size() ? from + 1 : -1;
                                if (next > 0) {
                                    FSTK(arg2) = from;
                                    FSTK(arg2 + 1) = sqRealVal(a->_values[(size_t)from]);
                                }
                            } else {
                                next = _table(o)->next(from, FSTK(arg2), FSTK(arg2 + 1));
                            }
                            if (next < 0) {
                                ip += arg1;
                                FAST_NEXT;
                            }
                            FSTK(arg2 + 2) = next;
                            ip++;
                            FAST_NEXT;
                        }
                    }
                    SAVE_IP();
                    if (STK(arg0)._type == OT_GENERATOR) {
                        // the key counts the values; the generator's frame resumes and yields the value
                        SQGenerator* gen = _generator(STK(arg0));
                        if (gen->_state == SQGeneratorState::Dead) {
                            ci->_ip += arg1;
                            NEXT;
                        }
                        SQInteger idx = STK(arg2 + 2)._type == OT_INTEGER ? _integer(STK(arg2 + 2)) : 0;
                        STK(arg2) = idx;
                        STK(arg2 + 2) = idx + 1;
                        resumeGenerator(this, gen, arg2 + 1);
                        NEXT;
                    }
                    bool isgen; // only a generator, taken above, makes it true
                    SQObjectPtr container = STK(arg0);
                    SQObjectPtr k = STK(arg2), v = STK(arg2 + 1), itr = STK(arg2 + 2);
                    if (!forEach(container, k, v, itr, isgen)) {
                        ci->_ip += arg1;
                        NEXT;
                    }
                    STK(arg2) = k;
                    STK(arg2 + 1) = v;
                    STK(arg2 + 2) = itr;
                    ci->_ip++;
                    NEXT;
                }
                OPCODE(POSTFOREACH) {
                    if (FSTK(arg0)._type == OT_GENERATOR &&
                        _generator(FSTK(arg0))->_state == SQGeneratorState::Dead)
                        ip += arg1 - 1;
                    FAST_NEXT;
                }
                OPCODE(DELEGATE) {
                    SAVE_IP();
                    const SQObjectPtr& t = STK(arg1);
                    const SQObjectPtr& d = STK(arg2);
                    if (t._type != OT_TABLE) raiseError("delegating a '%s'", sqTypeName(t._type));
                    if (d._type == OT_TABLE) {
                        if (!_table(t)->setDelegate(_table(d))) raiseError("delegate cycle detected");
                    } else if (d._type == OT_NULL) {
                        _table(t)->setDelegate(nullptr);
                    } else {
                        raiseError("using '%s' as delegate", sqTypeName(d._type));
                    }
                    TARGET = STK(arg1);
                    NEXT;
                }
                OPCODE(CLONE) {
                    SAVE_IP();
                    clone(STK(arg1), temp2);
                    TARGET = std::move(temp2); // no stray reference delays a release hook
                    NEXT;
                }
                OPCODE(TYPEOF) {
                    SAVE_IP();
                    typeOf(STK(arg1), temp2);
                    TARGET = std::move(temp2); // no stray reference delays a release hook
                    NEXT;
                }
                OPCODE(PUSHTRAP) {
                    SAVE_IP();
                    _etraps.push_back(SQExceptionTrap{_stackbase, _top, ci->_ip + arg1, arg0});
                    ci->_etraps++;
                    ci->_special |= kFrameOther;
                    NEXT;
                }
                OPCODE(POPTRAP) {
                    SAVE_IP();
                    for (SQInteger i = 0; i < arg0; ++i) {
                        if (ci->_etraps <= 0) raiseError("internal VM error: no trap to pop");
                        _etraps.pop_back();
                        ci->_etraps--;
                    }
                    NEXT;
                }
                OPCODE(THROW) {
                    SAVE_IP();
                    raise(STK(arg0));
                }
                OPCODE(CLASS) {
                    SAVE_IP();
                    SQClass* base = nullptr;
                    if (arg1 != -1) {
                        const SQObjectPtr& b = STK(arg1);
                        if (b._type != OT_CLASS)
                            raiseError("trying to inherit from a %s", sqTypeName(b._type));
                        base = _class(b);
                    }
                    SQObjectPtr attrs;
                    if (arg2 != 0xFF) attrs = STK(arg2);
                    SQObjectPtr cls(SQClass::create(_sharedstate, base));
                    _class(cls)->_attributes = attrs;
                    if (base && base->_metamethods[MT_INHERITED]._type != OT_NULL) {
                        SQObjectPtr fn = base->_metamethods[MT_INHERITED];
                        push(cls);
                        push(attrs);
                        SQObjectPtr r;
                        callMetaMethod(fn, 2, r);
                    }
                    TARGET = cls;
                    NEXT;
                }
                OPCODE(NEWSLOTA) {
                    SAVE_IP();
                    SQObjectPtr self = STK(arg1), key = STK(arg2), val = STK(arg3);
                    SQObjectPtr attrs;
                    if (arg0 & NEW_SLOT_ATTRIBUTES_FLAG) attrs = STK(arg2 - 1);
                    bool bstatic = (arg0 & NEW_SLOT_STATIC_FLAG) != 0;
                    if (self._type == OT_CLASS) {
                        if (_class(self)->_metamethods[MT_NEWMEMBER]._type != OT_NULL) {
                            SQObjectPtr fn = _class(self)->_metamethods[MT_NEWMEMBER];
                            push(self);
                            push(key);
                            push(val);
                            push(attrs);
                            SQObjectPtr r;
                            callMetaMethod(fn, 4, r);
                            NEXT;
                        }
                    }
                    newSlot(self, key, val, bstatic);
                    if ((arg0 & NEW_SLOT_ATTRIBUTES_FLAG) && self._type == OT_CLASS)
                        _class(self)->setAttributes(key, attrs);
                    NEXT;
                }
#if !SQ_COMPUTED_GOTO
            default:
                SAVE_IP();
                raiseError("internal VM error");
            }
#endif
        }
    }
    catch (SQRaise&) {
    }
    catch (SQOutOfMemory&) {
        _lasterror = _sharedstate->_oomerror;
    }
    // An error: find a trap inside this execute() or unwind to its entry frame and rethrow.
    temp_reg.Null();
    temp2.Null();
    SQObjectPtr currerror = _lasterror;
    bool caught = false;
    for (SQInteger i = (SQInteger)_callsstack.size() - 1; i >= 0; --i) {
        if (_callsstack[i]._etraps > 0) {
            caught = true;
            break;
        }
        if (_callsstack[i].isRoot()) break;
    }
    if ((!caught || _sharedstate->_notifyallexceptions) && raiseerror) callErrorHandler(currerror);
    bool resumed = false;
    while (ci) {
        if (ci->_etraps > 0) {
            SQExceptionTrap t = _etraps.back();
            _etraps.pop_back();
            ci->_etraps--;
            // drop anything above the trap's frame
            while (_top > t._stacksize) _stack[--_top].Null();
            _stackbase = t._stackbase;
            _top = t._stacksize;
            ci->_ip = t._ip;
            STK(t._extarget) = currerror;
            resumed = true;
            break;
        }
        if (ci->_generator) ci->_generator->kill();
        bool root = ci->isRoot();
        leaveFrame();
        if (root) break;
    }
    if (resumed) continue;
    _lasterror = currerror;
    throw SQRaise{};
}
}

#undef arg0
#undef arg1
#undef arg2
#undef arg3
#undef CUR
#undef FAST_NEXT
#undef SAVE_IP

bool SQVM::resumeThread(SQObjectPtr& outres, bool raiseerror, bool throwerror) {
    // A suspended thread's innermost frame is waiting in a CALL to `suspend`: the wakeup value is that call's
    // result, or the last error is thrown from there.
    SQObjectPtr val = outres;
    _suspended = 0;
    if (_suspended_target != -1) STK(_suspended_target) = val;
    _throw_on_resume = throwerror;
    execute(SQObjectPtr(), -1, 0, 0, outres, raiseerror, ExecType::ResumeVM);
    return _suspended == 0;
}

void SQVM::mark(SQCollector& c) {
    c.markObject(_roottable);
    c.markObject(_lasterror);
    c.markObject(_errorhandler);
    c.markObject(_debughook);
    for (SQInteger i = 0; i < (SQInteger)_stack.size(); ++i) c.markObject(_stack[i]);
    for (size_t i = 0; i < _vargsstack.size(); ++i) c.markObject(_vargsstack[i]);
    for (size_t i = 0; i < _callsstack.size(); ++i) c.markObject(_callsstack[i]._closure);
}
