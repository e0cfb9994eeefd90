// The default delegates: the methods every value of a type has (`[].len()`, `"s".find()`, `f.call()`, ...).
#include "squirrel/src/array.h"
#include "squirrel/src/class.h"
#include "squirrel/src/closure.h"
#include "squirrel/src/shared_state.h"
#include "squirrel/src/table.h"
#include "squirrel/src/userdata.h"
#include "squirrel/src/vm.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

SQInteger defaultTostring(HSQUIRRELVM v) {
    sq_tostring(v, 1);
    return 1;
}
SQInteger defaultWeakref(HSQUIRRELVM v) {
    sq_weakref(v, 1);
    return 1;
}

// Parses a string as the reference does: strtod when it contains a '.', else strtol base 10.
bool strToNum(const SQChar* s, SQObjectPtr& res) {
    if (strchr(s, '.')) {
        char* end;
        double d = strtod(s, &end);
        if (end == s) return false;
        res = (SQFloat)d;
    } else {
        char* end;
        errno = 0;
        long l = strtol(s, &end, 10);
        if (end == s) return false;
        if (l > INT_MAX) l = INT_MAX;
        if (l < INT_MIN) l = INT_MIN;
        res = (SQInteger)l;
    }
    return true;
}

// ---- numbers, bools and strings ----

SQInteger numberTointeger(HSQUIRRELVM v) {
    SQObjectPtr& o = stack_get(v, 1);
    switch (o._type) {
    case OT_INTEGER:
        v->push(o);
        break;
    case OT_FLOAT:
        v->push(SQObjectPtr((SQInteger)_float(o)));
        break;
    case OT_BOOL:
        v->push(SQObjectPtr((SQInteger)(_integer(o) ? 1 : 0)));
        break;
    case OT_STRING: {
        SQObjectPtr res;
        v->spendWork((unsigned long long)_string(o)->_len);
        if (!strToNum(_stringval(o), res)) return sq_throwerror(v, "cannot convert the string");
        v->push(SQObjectPtr(sqToInteger(res)));
        break;
    }
    default:
        v->pushNull();
        break;
    }
    return 1;
}

SQInteger numberTofloat(HSQUIRRELVM v) {
    SQObjectPtr& o = stack_get(v, 1);
    switch (o._type) {
    case OT_INTEGER:
        v->push(SQObjectPtr((SQFloat)_integer(o)));
        break;
    case OT_FLOAT:
        v->push(o);
        break;
    case OT_BOOL:
        v->push(SQObjectPtr((SQFloat)(_integer(o) ? 1 : 0)));
        break;
    case OT_STRING: {
        SQObjectPtr res;
        v->spendWork((unsigned long long)_string(o)->_len);
        if (!strToNum(_stringval(o), res)) return sq_throwerror(v, "cannot convert the string");
        v->push(SQObjectPtr(sqToFloat(res)));
        break;
    }
    default:
        v->pushNull();
        break;
    }
    return 1;
}

SQInteger numberTochar(HSQUIRRELVM v) {
    SQObjectPtr& o = stack_get(v, 1);
    SQInteger n = o._type == OT_BOOL ? (_integer(o) ? 1 : 0) : sqToInteger(o);
    char c = (char)n;
    v->push(SQObjectPtr(SQString::create(_ss(v), &c, 1)));
    return 1;
}

SQInteger defaultLen(HSQUIRRELVM v) {
    v->push(SQObjectPtr(sq_getsize(v, 1)));
    return 1;
}

SQInteger stringSlice(HSQUIRRELVM v) {
    SQObjectPtr o = stack_get(v, 1);
    SQInteger slen = _string(o)->_len;
    SQInteger sidx = sq_gettop(v) > 1 ? sqToInteger(stack_get(v, 2)) : 0;
    SQInteger eidx = sq_gettop(v) > 2 ? sqToInteger(stack_get(v, 3)) : slen;
    if (sidx < 0) sidx = slen + sidx;
    if (eidx < 0) eidx = slen + eidx;
    if (eidx < sidx) return sq_throwerror(v, "wrong indexes");
    if (eidx > slen || sidx < 0) return sq_throwerror(v, "slice out of range");
    v->spendWork((unsigned long long)(eidx - sidx));
    v->push(SQObjectPtr(SQString::create(_ss(v), _stringval(o) + sidx, eidx - sidx)));
    return 1;
}

SQInteger stringFind(HSQUIRRELVM v) {
    SQInteger top = sq_gettop(v);
    SQInteger start = 0;
    const SQChar* s;
    const SQChar* sub;
    if (top > 2) start = sqToInteger(stack_get(v, 3));
    if (SQ_SUCCEEDED(sq_getstring(v, 1, &s)) && SQ_SUCCEEDED(sq_getstring(v, 2, &sub))) {
        SQInteger len = _string(stack_get(v, 1))->_len;
        if (start >= 0 && start < len) {
            v->spendWork((unsigned long long)(len - start + _string(stack_get(v, 2))->_len));
            const char* ret = strstr(&s[start], sub);
            if (ret) {
                v->push(SQObjectPtr((SQInteger)(ret - s)));
                return 1;
            }
        }
        return 0;
    }
    return sq_throwerror(v, "invalid param");
}

SQInteger stringCase(HSQUIRRELVM v, bool upper) {
    SQObjectPtr o = stack_get(v, 1);
    SQInteger len = _string(o)->_len;
    v->spendWork((unsigned long long)len);
    SQChar* buf = _ss(v)->getScratchPad(len);
    for (SQInteger i = 0; i < len; ++i) {
        unsigned char c = (unsigned char)_stringval(o)[i];
        buf[i] = c < 0x80 ? (char)(upper ? toupper(c) : tolower(c)) : (char)c;
    }
    v->push(SQObjectPtr(SQString::create(_ss(v), buf, len)));
    return 1;
}
SQInteger stringTolower(HSQUIRRELVM v) {
    return stringCase(v, false);
}
SQInteger stringToupper(HSQUIRRELVM v) {
    return stringCase(v, true);
}

// ---- tables ----

SQInteger tableRawget(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_rawget(v, -2)) ? 1 : SQ_ERROR;
}

SQInteger tableRawset(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_rawset(v, -3)) ? 0 : SQ_ERROR;
}

SQInteger tableRawdelete(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_rawdeleteslot(v, 1, SQTrue))) return SQ_ERROR;
    return 1;
}

SQInteger containerRawin(HSQUIRRELVM v) {
    SQObjectPtr o = stack_get(v, 1), key = stack_get(v, 2), res;
    bool found = false;
    switch (o._type) {
    case OT_TABLE:
        found = _table(o)->get(key, res);
        break;
    case OT_CLASS:
        found = _class(o)->get(key, res);
        break;
    case OT_INSTANCE:
        found = _instance(o)->get(key, res);
        break;
    default:
        break;
    }
    v->push(SQObjectPtr(found));
    return 1;
}

// Answers null, as the reference does.
SQInteger objClear(HSQUIRRELVM v) {
    SQInteger size = sq_getsize(v, -1);
    if (size > 0) v->spendWork((unsigned long long)size * kWorkBytesPerElement);
    return SQ_SUCCEEDED(sq_clear(v, -1)) ? 0 : SQ_ERROR;
}

// ---- arrays ----

SQInteger arrayAppend(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_arrayappend(v, -2)) ? 0 : SQ_ERROR;
}

SQInteger arrayExtend(HSQUIRRELVM v) {
    SQArray* a = _array(stack_get(v, 1));
    SQObjectPtr other = stack_get(v, 2);
    SQInteger n = _array(other)->size();
    v->spendWork((unsigned long long)n * kWorkBytesPerElement);
    for (SQInteger i = 0; i < n; ++i) a->append(_array(other)->_values[i]);
    return 0;
}

SQInteger arrayPop(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_arraypop(v, 1, SQTrue)) ? 1 : SQ_ERROR;
}

SQInteger arrayTop(HSQUIRRELVM v) {
    SQArray* a = _array(stack_get(v, 1));
    if (a->size() > 0) {
        v->push(sqRealVal(a->_values.back()));
        return 1;
    }
    return sq_throwerror(v, "top() on a empty array");
}

SQInteger arrayInsert(HSQUIRRELVM v) {
    SQObjectPtr o = stack_get(v, 1);
    SQInteger idx = sqToInteger(stack_get(v, 2));
    SQArray* a = _array(o);
    if (idx < 0 || idx > a->size()) return sq_throwerror(v, "index out of range");
    v->spendWork((unsigned long long)(a->size() - idx) * kWorkBytesPerElement);
    a->_values.insert((size_t)idx, stack_get(v, 3));
    return 0;
}

SQInteger arrayRemove(HSQUIRRELVM v) {
    SQObjectPtr o = stack_get(v, 1);
    SQInteger idx = sqToInteger(stack_get(v, 2));
    SQArray* a = _array(o);
    SQObjectPtr val;
    if (!a->get(idx, val)) return sq_throwerror(v, "idx out of range");
    v->spendWork((unsigned long long)(a->size() - idx) * kWorkBytesPerElement);
    a->_values.erase((size_t)idx);
    v->push(val);
    return 1;
}

SQInteger arrayResize(HSQUIRRELVM v) {
    SQObjectPtr o = stack_get(v, 1);
    SQObjectPtr& nsize = stack_get(v, 2);
    SQObjectPtr fill;
    if (!(nsize._type & SQOBJECT_NUMERIC)) return sq_throwerror(v, "size must be a number");
    if (sq_gettop(v) > 2) fill = stack_get(v, 3);
    SQInteger n = sqToInteger(nsize);
    if (n < 0) return sq_throwerror(v, "size must be a number");
    SQInteger old = _array(o)->size();
    v->spendWork((unsigned long long)(n > old ? n - old : old - n) * kWorkBytesPerElement);
    _array(o)->resize(n, fill);
    return 0;
}

SQInteger arrayReverse(HSQUIRRELVM v) {
    v->spendWork((unsigned long long)_array(stack_get(v, 1))->size() * kWorkBytesPerElement);
    sq_arrayreverse(v, 1);
    return 0;
}

// The comparisons of a sort. Each is a step of the budget, as a call is; the sort is quadratic on sorted
// input. Integers only (nothing can change them under a sort without a comparator): the language's ordering,
// inline.
struct IntegerOrder {
    HSQUIRRELVM v;
    SQInteger operator()(const SQObjectPtr& a, const SQObjectPtr& b) const {
        v->spendStep();
        SQInteger d = (SQInteger)((SQUnsignedInteger)_integer(a) - (SQUnsignedInteger)_integer(b));
        return d < 0 ? -1 : d > 0 ? 1 : 0;
    }
};
// Any values, the language's ordering (_cmp metamethods included).
struct LanguageOrder {
    HSQUIRRELVM v;
    SQInteger operator()(const SQObjectPtr& a, const SQObjectPtr& b) const {
        v->spendStep();
        return v->compare(a, b);
    }
};
// A comparator function: its integer result (a float counts as its integer part). It runs as sq_call would
// run it (no error handler), without the API's stack shuffling: its arguments sit in slots kept above the
// sort's top for the whole sort (an ArgumentSlots), and a script function is entered straight away, its frame
// taking this, a and b there. `this` is stored once; a and b only when the slot does not hold them already
// (the pivot is the second argument of every comparison of a partition), so most comparisons move one value.
struct ComparatorOrder {
    HSQUIRRELVM v;
    const SQObjectPtr& func;
    SQInteger top; // the first argument slot: the function (native) or this (script)
    bool script;
    SQInteger operator()(const SQObjectPtr& a, const SQObjectPtr& b) const {
        SQObjectPtr* args = &v->stackAt(top) + (script ? 1 : 2);
        // (a comparator may have changed its parameters: compare, do not assume; the payload first, as it
        // is what differs)
        if (args[0]._unVal.pRefCounted != a._unVal.pRefCounted || args[0]._type != a._type) args[0] = a;
        if (args[1]._unVal.pRefCounted != b._unVal.pRefCounted || args[1]._type != b._type) args[1] = b;
        SQObjectPtr r;
        if (script)
            v->execute(func, -1, 3, top, r, false, SQVM::ExecType::Call);
        else
            v->call(v->stackAt(top), 3, top + 1, r, false);
        // anything but a number is the defect the sort reports
        if (r._type == OT_INTEGER) return _integer(r);
        if (r._type != OT_FLOAT) v->raiseError("Invalid qsort, probably compare function defect");
        return (SQInteger)_float(r);
    }
};

// The comparator's argument slots above the top while a sort runs; they are emptied and the top restored
// however the sort ends. A failing comparator leaves its error as the sort's ("compare func failed" when
// it is not a string).
struct ArgumentSlots {
    HSQUIRRELVM v;
    SQInteger top;
    ArgumentSlots(HSQUIRRELVM vm, const SQObjectPtr& func, bool script) : v(vm), top(vm->_top) {
        SQInteger nslots = script ? 3 : 4;
        if (top + nslots > (SQInteger)v->_stack.size()) v->growStack(nslots);
        SQObjectPtr* args = &v->stackAt(top);
        if (!script) *args++ = func;
        args[0] = v->_roottable;
        v->_top = top + nslots;
    }
    ~ArgumentSlots() { v->clearStackAbove(top); }
    ArgumentSlots(const ArgumentSlots&) = delete;
    ArgumentSlots& operator=(const ArgumentSlots&) = delete;
};

// Quicksort with the first element of each range as the pivot (Sedgewick's partition); its order for equal
// elements is what scripts observe.
template <typename Order>
void quickSort(HSQUIRRELVM v, SQArray* a, SQInteger first, SQInteger last, Order order) {
    // Ranges wait on an explicit stack, left part popped first: the same comparisons in the same order as
    // the recursive form, without a C stack as deep as the input is sorted.
    struct Range {
        SQInteger l, r;
    };
    SQVector<Range> pending;
    pending.push_back(Range{first, last});
    auto inRange = [&](SQInteger k) {
        // a comparator may have resized the array under the sort
        if (k < 0 || (SQUnsignedInteger)k >= a->_values.size())
            v->raiseError("Invalid qsort, probably compare function defect");
    };
    while (!pending.empty()) {
        Range rg = pending.back();
        pending.pop_back();
        SQInteger l = rg.l, r = rg.r;
        if (l >= r) continue;
        inRange(l);
        SQObjectPtr pivot = a->_values[l];
        SQInteger i = l, j = r + 1;
        for (;;) {
            SQInteger ret;
            do {
                ++i;
                if (i > r) break;
                inRange(i);
                ret = order(a->_values[i], pivot);
            } while (ret <= 0);
            do {
                --j;
                inRange(j);
                ret = order(a->_values[j], pivot);
            } while (ret > 0);
            if (i >= j) break;
            std::swap(a->_values[i], a->_values[j]);
        }
        inRange(l);
        inRange(j);
        std::swap(a->_values[l], a->_values[j]);
        pending.push_back(Range{j + 1, r});
        pending.push_back(Range{l, j - 1});
    }
}

SQInteger arraySort(HSQUIRRELVM v) {
    SQObjectPtr o = stack_get(v, 1); // keeps the array alive whatever the comparator does
    SQArray* a = _array(o);
    if (a->size() <= 1) return 0;
    if (sq_gettop(v) > 1) {
        SQObjectPtr func = stack_get(v, 2);
        bool script = func._type == OT_CLOSURE && !_closure(func)->proto()->_bgenerator;
        ArgumentSlots slots(v, func, script);
        try {
            quickSort(v, a, 0, a->size() - 1, ComparatorOrder{v, func, slots.top, script});
        } catch (SQOutOfMemory&) {
            v->_lasterror = _ss(v)->_oomerror;
            throw SQRaise{};
        } catch (SQRaise&) {
            if (v->_lasterror._type != OT_STRING) v->raiseError("compare func failed");
            throw;
        }
        return 0;
    }
    bool integers = true;
    for (const SQObjectPtr& e : a->_values) {
        if (e._type != OT_INTEGER) {
            integers = false;
            break;
        }
    }
    if (integers)
        quickSort(v, a, 0, a->size() - 1, IntegerOrder{v});
    else
        quickSort(v, a, 0, a->size() - 1, LanguageOrder{v});
    return 0;
}

SQInteger arraySlice(HSQUIRRELVM v) {
    SQObjectPtr o = stack_get(v, 1);
    SQInteger alen = _array(o)->size();
    SQInteger sidx = sq_gettop(v) > 1 ? sqToInteger(stack_get(v, 2)) : 0;
    SQInteger eidx = sq_gettop(v) > 2 ? sqToInteger(stack_get(v, 3)) : alen;
    if (sidx < 0) sidx = alen + sidx;
    if (eidx < 0) eidx = alen + eidx;
    if (eidx < sidx) return sq_throwerror(v, "wrong indexes");
    if (eidx > alen || sidx < 0) return sq_throwerror(v, "slice out of range");
    v->spendWork((unsigned long long)(eidx - sidx) * kWorkBytesPerElement);
    SQArray* arr = SQArray::create(_ss(v), 0);
    SQObjectPtr res(arr);
    for (SQInteger i = sidx; i < eidx; ++i) arr->append(_array(o)->_values[i]);
    v->push(res);
    return 1;
}

// ---- functions ----

SQInteger closureCall(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_call(v, sq_gettop(v) - 1, SQTrue, SQTrue)) ? 1 : SQ_ERROR;
}
SQInteger closurePcall(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_call(v, sq_gettop(v) - 1, SQTrue, SQFalse)) ? 1 : SQ_ERROR;
}

SQInteger closureAcallImpl(HSQUIRRELVM v, bool raiseerror) {
    SQObjectPtr args = stack_get(v, 2);
    SQArray* a = _array(args);
    SQInteger n = a->size();
    v->push(stack_get(v, 1));
    for (SQInteger i = 0; i < n; ++i) v->push(a->_values[i]);
    return SQ_SUCCEEDED(sq_call(v, n, SQTrue, raiseerror)) ? 1 : SQ_ERROR;
}
SQInteger closureAcall(HSQUIRRELVM v) {
    return closureAcallImpl(v, true);
}
SQInteger closurePacall(HSQUIRRELVM v) {
    return closureAcallImpl(v, false);
}

SQInteger closureBindenv(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_bindenv(v, 1))) return SQ_ERROR;
    return 1;
}

SQInteger closureGetinfos(HSQUIRRELVM v) {
    SQObjectPtr o = stack_get(v, 1);
    SQSharedState* ss = _ss(v);
    SQTable* res = SQTable::create(ss, 4);
    SQObjectPtr resp(res);
    auto str = [&](const char* s) { return SQObjectPtr(SQString::create(ss, s)); };
    if (o._type == OT_CLOSURE) {
        SQFunctionProto* f = _closure(o)->proto();
        SQInteger nparams = (SQInteger)f->_parameters.size() + (f->_varparams ? 1 : 0);
        SQArray* params = SQArray::create(ss, nparams);
        SQObjectPtr pp(params);
        for (size_t n = 0; n < f->_parameters.size(); ++n) params->_values[n] = f->_parameters[n];
        if (f->_varparams) params->_values[nparams - 1] = str("...");
        res->newSlot(str("native"), SQObjectPtr(false));
        res->newSlot(str("name"), f->_name);
        res->newSlot(str("src"), f->_sourcename);
        res->newSlot(str("parameters"), pp);
        res->newSlot(str("varargs"), SQObjectPtr(f->_varparams));
    } else {
        SQNativeClosure* nc = _nativeclosure(o);
        res->newSlot(str("native"), SQObjectPtr(true));
        res->newSlot(str("name"), nc->_name);
        res->newSlot(str("paramscheck"), SQObjectPtr(nc->_nparamscheck));
        SQObjectPtr typecheck;
        if (nc->_typecheck.size() > 0) {
            SQArray* tc = SQArray::create(ss, (SQInteger)nc->_typecheck.size());
            typecheck = SQObjectPtr(tc);
            for (size_t n = 0; n < nc->_typecheck.size(); ++n)
                tc->_values[n] = SQObjectPtr(nc->_typecheck[n]);
        }
        res->newSlot(str("typecheck"), typecheck);
    }
    v->push(resp);
    return 1;
}

// ---- generators and threads ----

SQInteger generatorGetstatus(HSQUIRRELVM v) {
    SQGenerator* g = _generator(stack_get(v, 1));
    const char* s = g->_state == SQGeneratorState::Suspended ? "suspended"
                    : g->_state == SQGeneratorState::Running ? "running"
                                                             : "dead";
    v->push(SQObjectPtr(SQString::create(_ss(v), s)));
    return 1;
}

// Whether a call with nargs arguments (this included) gets past the arity check of a script function.
bool arityFits(const SQObjectPtr& fn, SQInteger nargs) {
    if (fn._type != OT_CLOSURE) return true;
    const SQFunctionProto* f = _closure(fn)->proto();
    SQInteger nparams = (SQInteger)f->_parameters.size();
    if (f->_varparams) return nargs >= nparams;
    SQInteger ndef = (SQInteger)f->_defaultparams.size();
    return nargs == nparams || (ndef && nargs < nparams && nparams - nargs <= ndef);
}

// The thread's error handler reports a call that does not fit the function's parameters, but not an error
// the function raises (the caller gets both); a suspended thread cannot be called (the error is null).
SQInteger threadCall(HSQUIRRELVM v) {
    SQObjectPtr o = stack_get(v, 1);
    HSQUIRRELVM t = _thread(o);
    if (sq_getvmstate(t) == SQ_VMSTATE_SUSPENDED) {
        v->_lasterror.Null();
        return SQ_ERROR;
    }
    SQInteger nparams = sq_gettop(v);
    bool report = sq_gettop(t) >= 1 && !arityFits(t->getUp(-1), nparams);
    t->push(t->_roottable);
    for (SQInteger i = 2; i < nparams + 1; ++i) sq_move(t, v, i);
    // The thread runs on its caller's step budget: a runaway script cannot escape it into a thread. A thread
    // already running further out gets its own count back; the caller's is handed back to it on return.
    long long threadBudget = t->_stepbudget;
    t->_stepbudget = v->_stepbudget;
    SQRESULT called = sq_call(t, nparams, SQTrue, SQFalse);
    v->_stepbudget = t->_stepbudget;
    if (t != v) t->_stepbudget = threadBudget;
    if (SQ_SUCCEEDED(called)) {
        sq_move(v, t, -1);
        sq_pop(t, 1);
        return 1;
    }
    if (report) t->callErrorHandler(t->_lasterror);
    v->_lasterror = t->_lasterror;
    return SQ_ERROR;
}

SQInteger threadWakeup(HSQUIRRELVM v) {
    SQObjectPtr o = stack_get(v, 1);
    HSQUIRRELVM t = _thread(o);
    SQInteger state = sq_getvmstate(t);
    if (state != SQ_VMSTATE_SUSPENDED) {
        return sq_throwerror(v, state == SQ_VMSTATE_IDLE ? "cannot wakeup a idle thread"
                                                         : "cannot wakeup a running thread");
    }
    SQInteger wakeupret = sq_gettop(v) > 1 ? 1 : 0;
    if (wakeupret) sq_move(t, v, 2);
    long long threadBudget = t->_stepbudget;
    t->_stepbudget = v->_stepbudget;
    SQRESULT woken = sq_wakeupvm(t, (SQBool)wakeupret, SQTrue, SQTrue, SQFalse);
    v->_stepbudget = t->_stepbudget;
    if (t != v) t->_stepbudget = threadBudget;
    if (SQ_SUCCEEDED(woken)) {
        sq_move(v, t, -1);
        sq_pop(t, 1);
        if (sq_getvmstate(t) == SQ_VMSTATE_IDLE) sq_settop(t, 1);
        return 1;
    }
    sq_settop(t, 1);
    v->_lasterror = t->_lasterror;
    return SQ_ERROR;
}

SQInteger threadGetstatus(HSQUIRRELVM v) {
    SQObjectPtr o = stack_get(v, 1);
    const char* s = "idle";
    switch (sq_getvmstate(_thread(o))) {
    case SQ_VMSTATE_RUNNING:
        s = "running";
        break;
    case SQ_VMSTATE_SUSPENDED:
        s = "suspended";
        break;
    default:
        break;
    }
    v->push(SQObjectPtr(SQString::create(_ss(v), s)));
    return 1;
}

// ---- classes, instances, weak references ----

SQInteger classGetattributes(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_getattributes(v, -2)) ? 1 : SQ_ERROR;
}
SQInteger classSetattributes(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_setattributes(v, -3)) ? 1 : SQ_ERROR;
}
SQInteger classInstance(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_createinstance(v, -1)) ? 1 : SQ_ERROR;
}
SQInteger instanceGetclass(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_getclass(v, 1)) ? 1 : SQ_ERROR;
}
SQInteger weakrefRef(HSQUIRRELVM v) {
    return SQ_SUCCEEDED(sq_getweakrefval(v, 1)) ? 1 : SQ_ERROR;
}

} // namespace

const SQRegFunction g_table_default_delegate_funcz[] = {{"len", defaultLen, 1, "t"},
                                                        {"rawget", tableRawget, 2, "t"},
                                                        {"rawset", tableRawset, 3, "t"},
                                                        {"rawdelete", tableRawdelete, 2, "t"},
                                                        {"rawin", containerRawin, 2, "t"},
                                                        {"weakref", defaultWeakref, 1, nullptr},
                                                        {"tostring", defaultTostring, 1, nullptr},
                                                        {"clear", objClear, 1, "."},
                                                        {nullptr, nullptr, 0, nullptr}};

const SQRegFunction g_array_default_delegate_funcz[] = {{"len", defaultLen, 1, "a"},
                                                        {"append", arrayAppend, 2, "a"},
                                                        {"push", arrayAppend, 2, "a"},
                                                        {"extend", arrayExtend, 2, "aa"},
                                                        {"pop", arrayPop, 1, "a"},
                                                        {"top", arrayTop, 1, "a"},
                                                        {"insert", arrayInsert, 3, "an"},
                                                        {"remove", arrayRemove, 2, "an"},
                                                        {"resize", arrayResize, -2, "an"},
                                                        {"reverse", arrayReverse, 1, "a"},
                                                        {"sort", arraySort, -1, "ac"},
                                                        {"slice", arraySlice, -1, "ann"},
                                                        {"weakref", defaultWeakref, 1, nullptr},
                                                        {"tostring", defaultTostring, 1, nullptr},
                                                        {"clear", objClear, 1, "."},
                                                        {nullptr, nullptr, 0, nullptr}};

const SQRegFunction g_string_default_delegate_funcz[] = {{"len", defaultLen, 1, "s"},
                                                         {"tointeger", numberTointeger, 1, "s"},
                                                         {"tofloat", numberTofloat, 1, "s"},
                                                         {"tostring", defaultTostring, 1, "."},
                                                         {"slice", stringSlice, -1, " s n  n"},
                                                         {"find", stringFind, -2, "s s n "},
                                                         {"tolower", stringTolower, 1, "s"},
                                                         {"toupper", stringToupper, 1, "s"},
                                                         {"weakref", defaultWeakref, 1, nullptr},
                                                         {nullptr, nullptr, 0, nullptr}};

const SQRegFunction g_number_default_delegate_funcz[] = {
    {"tointeger", numberTointeger, 1, "n|b"}, {"tofloat", numberTofloat, 1, "n|b"},
    {"tostring", defaultTostring, 1, "."},    {"tochar", numberTochar, 1, "n|b"},
    {"weakref", defaultWeakref, 1, nullptr},  {nullptr, nullptr, 0, nullptr}};

const SQRegFunction g_closure_default_delegate_funcz[] = {{"call", closureCall, -1, "c"},
                                                          {"pcall", closurePcall, -1, "c"},
                                                          {"acall", closureAcall, 2, "ca"},
                                                          {"pacall", closurePacall, 2, "ca"},
                                                          {"weakref", defaultWeakref, 1, nullptr},
                                                          {"tostring", defaultTostring, 1, nullptr},
                                                          {"bindenv", closureBindenv, 2, "c x|y|t"},
                                                          {"getinfos", closureGetinfos, 1, "c"},
                                                          {nullptr, nullptr, 0, nullptr}};

const SQRegFunction g_generator_default_delegate_funcz[] = {{"getstatus", generatorGetstatus, 1, "g"},
                                                            {"weakref", defaultWeakref, 1, nullptr},
                                                            {"tostring", defaultTostring, 1, nullptr},
                                                            {nullptr, nullptr, 0, nullptr}};

const SQRegFunction g_thread_default_delegate_funcz[] = {{"call", threadCall, -1, "v"},
                                                         {"wakeup", threadWakeup, -1, "v"},
                                                         {"getstatus", threadGetstatus, 1, "v"},
                                                         {"weakref", defaultWeakref, 1, nullptr},
                                                         {"tostring", defaultTostring, 1, nullptr},
                                                         {nullptr, nullptr, 0, nullptr}};

const SQRegFunction g_class_default_delegate_funcz[] = {{"getattributes", classGetattributes, 2, "y."},
                                                        {"setattributes", classSetattributes, 3, "y.."},
                                                        {"rawin", containerRawin, 2, "y"},
                                                        // a _newmember handler adds the member it was handed
                                                        {"rawset", tableRawset, 3, "y"},
                                                        {"weakref", defaultWeakref, 1, nullptr},
                                                        {"tostring", defaultTostring, 1, nullptr},
                                                        {"instance", classInstance, 1, "y"},
                                                        {nullptr, nullptr, 0, nullptr}};

const SQRegFunction g_instance_default_delegate_funcz[] = {{"getclass", instanceGetclass, 1, "x"},
                                                           {"rawin", containerRawin, 2, "x"},
                                                           {"weakref", defaultWeakref, 1, nullptr},
                                                           {"tostring", defaultTostring, 1, nullptr},
                                                           {nullptr, nullptr, 0, nullptr}};

const SQRegFunction g_weakref_default_delegate_funcz[] = {{"ref", weakrefRef, 1, "r"},
                                                          {"weakref", defaultWeakref, 1, nullptr},
                                                          {"tostring", defaultTostring, 1, nullptr},
                                                          {nullptr, nullptr, 0, nullptr}};
