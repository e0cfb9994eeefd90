// A VM (also a thread): its value stack, call frames, exception traps and the interpreter.
//
// Errors inside the library travel as the C++ exception SQRaise (the error value is in _lasterror) or
// SQOutOfMemory; the interpreter catches them at trap boundaries and every API entry point converts them into
// SQ_ERROR, so nothing escapes to the host.
#ifndef SQUIRREL_SRC_VM_H
#define SQUIRREL_SRC_VM_H

#include "squirrel/src/closure.h"
#include "squirrel/src/config.h"
#include "squirrel/src/object.h"
#include "squirrel/src/shared_state.h"

struct SQRaise {};

struct SQExceptionTrap {
    SQInteger _stackbase;
    SQInteger _stacksize;
    const SQInstruction* _ip;
    SQInteger _extarget;
};

struct SQVM : SQCollectable {
    enum : unsigned char { kFrameRoot = 1, kFrameOther = 2 };
    struct CallInfo {
        const SQInstruction* _ip = nullptr;
        SQObjectPtr* _literals = nullptr;
        SQObjectPtr _closure;
        SQGenerator* _generator = nullptr;
        SQInteger _etraps = 0;
        // (in the order of the VM's _top and _stackbase: a return restores both with one copy)
        SQInteger _prevtop = 0;
        SQInteger _prevstkbase = 0;
        SQInteger _target = -1;
        SQInteger _ncalls = 1; // frames folded into this one by tail calls
        SQInteger _vargsbase = 0;
        SQInteger _nvargs = 0;
        // Nonzero once a frame is anything but a plain script frame entered by a call: kFrameRoot for the
        // frame execute() entered, kFrameOther for a generator's, one with varargs or one with an exception
        // trap (it stays set when the trap is popped). A return of a frame with nothing else, and with no
        // debug hook, takes the short path without testing each of those.
        unsigned char _special = 0;
        // Returning from it leaves execute().
        bool isRoot() const { return (_special & kFrameRoot) != 0; }
        CallInfo() = default;
        // A script frame entered by a call.
        CallInfo(const SQInstruction* ip, SQObjectPtr* literals, SQObjectPtr&& closure, SQInteger prevstkbase,
                 SQInteger prevtop, SQInteger target, SQInteger vargsbase)
            : _ip(ip), _literals(literals), _prevtop(prevtop), _prevstkbase(prevstkbase), _target(target),
              _vargsbase(vargsbase) {
            _closure = std::move(closure); // (_closure is also the payload macro's name)
        }
    };

    explicit SQVM(SQSharedState* ss);
    ~SQVM() override;
    void init(SQVM* friendvm, SQInteger stacksize);

    // ---- stack ----
    SQVector<SQObjectPtr> _stack;
    SQInteger _top = 0;
    SQInteger _stackbase = 0;
    // Every slot at or above both the top and _cleanfrom is null. A frame smaller than its caller's lowers
    // the top over the caller's dead temporaries without releasing them; only then does _cleanfrom rise, so a
    // new frame has slots to empty only below it.
    SQInteger _cleanfrom = 0;
    void setTop(SQInteger newtop) {
        if (newtop < _top && _top > _cleanfrom) _cleanfrom = _top;
        _top = newtop;
    }
    SQObjectPtr& stackAt(SQInteger n) { return _stack[n]; }
    // Index >= 1 from the frame base, < 0 from the top.
    SQObjectPtr& getAt(SQInteger idx) { return idx >= 0 ? _stack[_stackbase + idx - 1] : _stack[_top + idx]; }
    SQObjectPtr& getUp(SQInteger n) { return _stack[_top + n]; }
    SQ_ALWAYS_INLINE void push(const SQObject& o) {
        if (_top >= (SQInteger)_stack.size()) {
            pushGrowing(o);
            return;
        }
        _stack[_top++] = o;
    }
    void pushGrowing(const SQObject& o);
    void pushNull() {
        if (_top >= (SQInteger)_stack.size()) growStack(1);
        _stack[_top++].Null();
    }
    void pop() { _stack[--_top].Null(); }
    void pop(SQInteger n) {
        for (SQInteger i = 0; i < n; ++i) _stack[--_top].Null();
    }
    void remove(SQInteger idx);
    // Makes sure `n` more slots exist above the top (may move the stack).
    void growStack(SQInteger n);

    // ---- frames ----
    SQVector<CallInfo> _callsstack;
    CallInfo* ci = nullptr;
    // Depth below which the fast call path may stand a frame: within the calls stack's capacity, under the
    // depth cap, and zero while a debug hook is set (one comparison instead of three).
    size_t _fastdepth = 0;
    void updateFastDepth() {
        size_t cap = _callsstack.capacity();
        _fastdepth =
            _debughook._type != OT_NULL ? 0 : (cap < (size_t)kMaxCallDepth ? cap : (size_t)kMaxCallDepth);
    }
    SQVector<SQExceptionTrap> _etraps;
    SQVector<SQObjectPtr> _vargsstack;

    // ---- state ----
    SQSharedState* _sharedstate;
    SQObjectPtr _roottable;
    SQObjectPtr _lasterror;
    SQObjectPtr _errorhandler;
    SQObjectPtr _debughook;
    SQUserPointer _foreignptr = nullptr;
    SQInteger _nnativecalls = 0;
    SQInteger _suspended = 0; // 1 while suspended by `suspend`/sq_suspendvm
    SQInteger _suspended_target = -1;
    bool _throw_on_resume = false; // sq_wakeupvm(throwerror): raise the last error on resuming
    bool _suspend_pending = false; // a native function asked to suspend
    bool _debughook_running = false;
    bool _reportingerror = false; // the error handler runs (it may exceed the call depth cap a little)
    // Steps left before the script fails with "step budget exhausted"; -1 = unlimited. A backward jump or a
    // call is one step; work proportional to a size (bytes copied or scanned, elements moved) costs one step
    // per kWorkBytesPerStep bytes, charged before it is done. Hosts bound runaway scripts with it.
    long long _stepbudget = -1;
    void spendStep() {
        if (_stepbudget >= 0 && --_stepbudget < 0) {
            _stepbudget = 0;
            raiseError("step budget exhausted");
        }
    }
    void spendWork(unsigned long long bytes) {
        if (_stepbudget < 0) return;
        long long steps = 1 + (long long)(bytes / kWorkBytesPerStep);
        if (_stepbudget < steps) {
            _stepbudget = 0;
            raiseError("step budget exhausted");
        }
        _stepbudget -= steps;
    }

    // ---- errors ----
    [[noreturn]] void raise(const SQObjectPtr& err);
    [[noreturn]] void raiseError(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    [[noreturn]] void raiseIdxError(const SQObject& key);
    [[noreturn]] void raiseCompareError(const SQObject& a, const SQObject& b);
    [[noreturn]] void raiseParamTypeError(SQInteger nparam, SQInteger typemask, SQInteger type);
    // Text of a value for error messages: string as-is, %d, %.14g, or the type name.
    SQObjectPtr printObjVal(const SQObject& o);
    void callErrorHandler(const SQObjectPtr& err);

    // ---- calls ----
    // Calls `closure` with `nparams` arguments at stack[stackbase...] (the first is `this`). Throws on error.
    void call(const SQObjectPtr& closure, SQInteger nparams, SQInteger stackbase, SQObjectPtr& outres,
              bool raiseerror);
    // Resumes a suspended thread VM (wakeup). Throws on error; returns false if the thread suspended again.
    bool resumeThread(SQObjectPtr& outres, bool raiseerror, bool throwerror = false);
    // The hook sees the running frame's function, or notstarted (a generator being made) at its first line.
    void callDebugHook(SQInteger type, SQInteger forcedline = 0, SQFunctionProto* notstarted = nullptr);
    // Calls a metamethod with `nargs` values already pushed (the first is `this`); pops them.
    void callMetaMethod(const SQObjectPtr& mm, SQInteger nargs, SQObjectPtr& outres);
    // Metamethod of a delegable value, or nullptr.
    const SQObjectPtr* getMetaMethod(const SQObject& o, SQMetaMethod mm);

    // ---- object operations (the semantics of the opcodes) ----
    // Indexing with delegation, metamethods and default delegates. `raw`: skip _get. `fetchroot`: try the
    // root table when the lookup on `self` fails. Returns false if absent.
    bool get(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& dest, bool raw, bool fetchroot);
    // usemeta false: no table _set metamethod (what ++, -- and compound assignment on a slot write back with;
    // instances and user data still go through their _set).
    bool set(const SQObjectPtr& self, const SQObjectPtr& key, const SQObjectPtr& val, bool fetchroot,
             bool usemeta = true);
    void newSlot(const SQObjectPtr& self, const SQObjectPtr& key, const SQObjectPtr& val, bool bstatic);
    bool deleteSlot(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& res);
    bool fallbackMetaGet(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& dest);
    bool fallbackMetaSet(const SQObjectPtr& self, const SQObjectPtr& key, const SQObjectPtr& val);
    bool getDefaultDelegate(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& dest);
    void clone(const SQObjectPtr& self, SQObjectPtr& target);
    void arith(SQInteger op, SQObjectPtr& trg, const SQObjectPtr& a, const SQObjectPtr& b);
    void bitwise(SQInteger op, SQObjectPtr& trg, const SQObjectPtr& a, const SQObjectPtr& b);
    void negate(SQObjectPtr& trg, const SQObjectPtr& o);
    // <0, 0, >0 with the reference's ordering rules.
    SQInteger compare(const SQObjectPtr& a, const SQObjectPtr& b);
    bool cmpOp(SQInteger op, const SQObjectPtr& a, const SQObjectPtr& b);
    void toString(const SQObjectPtr& o, SQObjectPtr& res);
    void stringCat(const SQObjectPtr& a, const SQObjectPtr& b, SQObjectPtr& dest);
    // Runs a chain of string concatenations from the ARITH before `ip` (frame slots `sb`); false if its first
    // operands are not plain strings and integers.
    bool concatRun(const SQInstruction*& ip, SQObjectPtr* sb, const SQObjectPtr* literals);
    void typeOf(const SQObjectPtr& o, SQObjectPtr& dest);
    void deref(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& dest);
    bool isEqual(const SQObject& a, const SQObject& b) const;
    // foreach step: returns false when finished; sets key/value/iterator.
    bool forEach(const SQObjectPtr& o, SQObjectPtr& key, SQObjectPtr& val, SQObjectPtr& itr,
                 bool& isgenerator);

    // ---- interpreter ----
    enum class ExecType { Call, ResumeGenerator, ResumeVM };
    // Runs script code until the frame entered here returns. Throws on an uncaught error.
    void execute(const SQObjectPtr& closure, SQInteger target, SQInteger nargs, SQInteger stackbase,
                 SQObjectPtr& outres, bool raiseerror, ExecType et);
    bool callNative(SQNativeClosure* nclosure, SQInteger nargs, SQInteger stackbase, SQObjectPtr& retval);
    // Inside a catch block: rethrows the library's errors, turns any other exception into one.
    [[noreturn]] void rethrowAsScriptError();
    // Enters a script frame (arity check, varargs, defaults). Throws on error.
    void startCall(SQClosure* closure, SQInteger target, SQInteger nargs, SQInteger stackbase, bool tailcall);
    // Enters a script closure's frame when nothing needs the general path (exact arity, no environment,
    // generator, debug hook, room on both stacks; the call spends its step of the budget); takes over
    // `closure`'s reference. False if not.
    bool enterScriptFrame(SQObjectPtr& closure, SQInteger target, SQInteger nargs, SQInteger stackbase);
    // Leaves a script frame that is nothing but plain or the root (CallInfo::_special; no debug hook) and
    // hands STK(resultslot) (-1: null) to the caller's target slot, or to *outres for the frame execute()
    // entered.
    void popScriptFrame(SQInteger resultslot, SQObjectPtr* outres);
    // A tail call of a script closure that needs nothing of the general path: the arguments at
    // STK(firstarg...) replace the running frame. Takes over `closure`'s reference. False if not.
    bool tailCallScript(SQObjectPtr& closure, SQInteger firstarg, SQInteger nargs);
    // Empties the slots [from, to) a new frame takes over above the top (from >= the top).
    void clearSlots(SQInteger from, SQInteger to);
    void leaveFrame(SQInteger keepto = -1);
    bool leaveFrameWith(SQObjectPtr& result, SQObjectPtr& outres, bool root, SQInteger target);
    void prepCall(SQInteger target, const SQObjectPtr& key, SQInteger objslot, SQInteger thisslot);
    // Slots [newbase, newbase + nkeep) already hold the arguments; the rest up to newtop start null.
    void enterFrame(SQInteger newbase, SQInteger newtop, bool tailcall, SQInteger nkeep = 0);
    SQInteger stackLimit() const;

    // Resets the VM after an error unwound to the host.
    void clearStackAbove(SQInteger top);

    void mark(SQCollector& c) override;
    void finalize() override;
    SQObjectType objType() const override { return OT_THREAD; }
};

#define _ss(_vm_) ((_vm_)->_sharedstate)

// Helpers for the built-in native functions.
inline SQObjectPtr& stack_get(HSQUIRRELVM v, SQInteger idx) {
    return v->getAt(idx);
}
SQString* sqNewString(SQSharedState* ss, const char* s, SQInteger len = -1);
// Truthiness: null, false, 0 and 0.0 are false.
inline bool sqIsFalse(const SQObject& o) {
    switch (o._type) {
    case OT_NULL:
        return true;
    case OT_BOOL:
    case OT_INTEGER:
        return o._unVal.nInteger == 0;
    case OT_FLOAT:
        return o._unVal.fFloat == 0.0f;
    default:
        return false;
    }
}
// Parses a typemask string ("s|n.") into per-parameter raw-type masks; false if invalid.
bool sqCompileTypemask(SQVector<SQInteger>& res, const SQChar* typemask);

#endif
