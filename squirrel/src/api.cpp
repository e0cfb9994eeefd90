// The embedding API. Every entry point converts internal errors (SQRaise, SQOutOfMemory) into SQ_ERROR with
// the error object in the VM's last error, so no exception reaches the host.
#include "squirrel/squirrel.h"
#include "squirrel/src/array.h"
#include "squirrel/src/base_lib.h"
#include "squirrel/src/class.h"
#include "squirrel/src/closure.h"
#include "squirrel/src/collector.h"
#include "squirrel/src/compiler.h"
#include "squirrel/src/table.h"
#include "squirrel/src/userdata.h"
#include "squirrel/src/vm.h"

#include <cstdio>
#include <cstring>

namespace {

template <typename F> SQRESULT guarded(HSQUIRRELVM v, F&& f) {
    try {
        return f();
    } catch (SQRaise&) {
        return SQ_ERROR;
    } catch (SQOutOfMemory&) {
        v->_lasterror = _ss(v)->_oomerror;
        return SQ_ERROR;
    }
}

// Runs f for API functions without a result code; an allocation failure is recorded as the last error.
template <typename F> void guardedVoid(HSQUIRRELVM v, F&& f) {
    try {
        f();
    } catch (SQRaise&) {
    } catch (SQOutOfMemory&) {
        v->_lasterror = _ss(v)->_oomerror;
    }
}

SQRESULT typeError(HSQUIRRELVM v, SQObjectPtr& o, SQObjectType type) {
    SQObjectPtr s = v->printObjVal(o);
    char buf[160];
    snprintf(buf, sizeof(buf), "wrong argument type, expected '%s' got '%.50s'", sqTypeName(type),
             _stringval(s));
    return sq_throwerror(v, buf);
}

#define CHECK_TYPE(v, o, t)                                                                                  \
    if ((o)._type != (t)) return typeError(v, o, t);

} // namespace

extern "C" {

// ---- VM ----

HSQUIRRELVM sq_open(SQInteger initialstacksize) {
    SQSharedState* ss = nullptr;
    SQVM* v = nullptr;
    try {
        ss = new SQSharedState();
        v = new SQVM(ss);
        ++v->_uiRef;
        ss->init(v);
        v->init(nullptr, initialstacksize);
        sqRegisterBaseLib(v);
    } catch (SQOutOfMemory&) {
        if (v)
            sq_close(v);
        else if (ss)
            delete ss;
        return nullptr;
    }
    return v;
}

HSQUIRRELVM sq_newthread(HSQUIRRELVM friendvm, SQInteger initialstacksize) {
    SQVM* v = nullptr;
    try {
        v = new SQVM(_ss(friendvm));
        SQObjectPtr keep(v);
        v->init(friendvm, initialstacksize);
        friendvm->push(keep);
    } catch (SQOutOfMemory&) {
        return nullptr;
    }
    return v;
}

void sq_close(HSQUIRRELVM v) {
    SQSharedState* ss = _ss(v);
    SQVM* root = ss->_root_vm;
    root->finalize();
    ss->_registry.Null();
    ss->_consts.Null();
    ss->_refs.Null();
    // Break every remaining cycle, then free what is left.
    SQVector<SQCollectable*> all;
    try {
        for (SQCollectable* o = ss->_gcchain; o; o = o->_gcnext) all.push_back(o);
        for (SQCollectable* o : all) ++o->_uiRef;
        for (SQCollectable* o : all) o->finalize();
        for (SQCollectable* o : all)
            if (--o->_uiRef == 0) o->release();
    } catch (SQOutOfMemory&) {
    }
    all.resize(0);
    all.shrinkToFit();
    ss->_metamethodsmap.Null();
    for (auto& n : ss->_metamethodnames) n.Null();
    ss->_table_default_delegate.Null();
    ss->_array_default_delegate.Null();
    ss->_string_default_delegate.Null();
    ss->_number_default_delegate.Null();
    ss->_closure_default_delegate.Null();
    ss->_generator_default_delegate.Null();
    ss->_thread_default_delegate.Null();
    ss->_class_default_delegate.Null();
    ss->_instance_default_delegate.Null();
    ss->_weakref_default_delegate.Null();
    // whatever survived only referenced itself
    while (ss->_gcchain) {
        SQCollectable* o = ss->_gcchain;
        o->finalize();
        o->_uiRef = 1;
        o->release();
        if (ss->_gcchain == o) break;
    }
    ss->_constructoridx.Null();
    ss->_oomerror.Null();
    delete ss;
}

void sq_seterrorhandler(HSQUIRRELVM v) {
    SQObjectPtr& o = v->getUp(-1);
    if (o._type == OT_CLOSURE || o._type == OT_NATIVECLOSURE || o._type == OT_NULL) v->_errorhandler = o;
    v->pop();
}

void sq_setdebughook(HSQUIRRELVM v) {
    SQObjectPtr& o = v->getUp(-1);
    if (o._type == OT_CLOSURE || o._type == OT_NATIVECLOSURE || o._type == OT_NULL) {
        v->_debughook = o;
        v->updateFastDepth();
    }
    v->pop();
}

void sq_setstepbudget(HSQUIRRELVM v, SQInteger steps) {
    v->_stepbudget = steps < 0 ? -1 : (long long)steps;
}

SQInteger sq_getstepbudget(HSQUIRRELVM v) {
    return (SQInteger)v->_stepbudget;
}

SQRESULT sq_spendwork(HSQUIRRELVM v, unsigned long long bytes) {
    return guarded(v, [&]() -> SQRESULT {
        v->spendWork(bytes);
        return SQ_OK;
    });
}

void sq_setforeignptr(HSQUIRRELVM v, SQUserPointer p) {
    v->_foreignptr = p;
}
SQUserPointer sq_getforeignptr(HSQUIRRELVM v) {
    return v->_foreignptr;
}
void sq_setprintfunc(HSQUIRRELVM v, SQPRINTFUNCTION printfunc) {
    _ss(v)->_printfunc = printfunc;
}
SQPRINTFUNCTION sq_getprintfunc(HSQUIRRELVM v) {
    return _ss(v)->_printfunc;
}

SQRESULT sq_suspendvm(HSQUIRRELVM v) {
    if (v->_suspended) return sq_throwerror(v, "cannot suspend an already suspended vm");
    if (v->_nnativecalls != 2) return sq_throwerror(v, "cannot suspend through native calls/metamethods");
    v->_suspend_pending = true;
    return -666;
}

SQRESULT sq_wakeupvm(HSQUIRRELVM v, SQBool wakeupret, SQBool retval, SQBool raiseerror, SQBool throwerror) {
    if (!v->_suspended) return sq_throwerror(v, "cannot resume a vm that is not running any code");
    SQObjectPtr ret;
    if (wakeupret) {
        ret = v->getUp(-1);
        v->pop();
    }
    return guarded(v, [&]() -> SQRESULT {
        v->resumeThread(ret, raiseerror != 0, throwerror != 0);
        if (retval) v->push(ret);
        return SQ_OK;
    });
}

SQInteger sq_getvmstate(HSQUIRRELVM v) {
    if (v->_suspended) return SQ_VMSTATE_SUSPENDED;
    if (!v->_callsstack.empty()) return SQ_VMSTATE_RUNNING;
    return SQ_VMSTATE_IDLE;
}

// ---- compiler ----

SQRESULT sq_compile(HSQUIRRELVM v, SQLEXREADFUNC read, SQUserPointer p, const SQChar* sourcename,
                    SQBool raiseerror) {
    return guarded(v, [&]() -> SQRESULT {
        SQObjectPtr o;
        if (!sqCompile(v, read, p, sourcename, o, raiseerror != 0, _ss(v)->_debuginfo)) return SQ_ERROR;
        v->push(o);
        return SQ_OK;
    });
}

namespace {
struct BufState {
    const SQChar* buf;
    SQInteger ptr;
    SQInteger size;
};
SQInteger bufLexFeed(SQUserPointer file) {
    BufState* b = static_cast<BufState*>(file);
    if (b->size != b->ptr) return (unsigned char)b->buf[b->ptr++];
    return 0;
}
} // namespace

SQRESULT sq_compilebuffer(HSQUIRRELVM v, const SQChar* s, SQInteger size, const SQChar* sourcename,
                          SQBool raiseerror) {
    if (size < 0) size = (SQInteger)strlen(s); // a negative size would read past the buffer
    BufState buf{s, 0, size};
    return sq_compile(v, bufLexFeed, &buf, sourcename, raiseerror);
}

void sq_enabledebuginfo(HSQUIRRELVM v, SQBool enable) {
    _ss(v)->_debuginfo = enable != 0;
}
void sq_notifyallexceptions(HSQUIRRELVM v, SQBool enable) {
    _ss(v)->_notifyallexceptions = enable != 0;
}
void sq_setcompilererrorhandler(HSQUIRRELVM v, SQCOMPILERERROR f) {
    _ss(v)->_compilererrorhandler = f;
}

// ---- stack ----

void sq_push(HSQUIRRELVM v, SQInteger idx) {
    guardedVoid(v, [&] {
        SQObjectPtr o = v->getAt(idx);
        v->push(o);
    });
}
void sq_pop(HSQUIRRELVM v, SQInteger nelemstopop) {
    v->pop(nelemstopop);
}
void sq_poptop(HSQUIRRELVM v) {
    v->pop();
}
void sq_remove(HSQUIRRELVM v, SQInteger idx) {
    v->remove(idx);
}
SQInteger sq_gettop(HSQUIRRELVM v) {
    return v->_top - v->_stackbase;
}

void sq_settop(HSQUIRRELVM v, SQInteger newtop) {
    SQInteger top = sq_gettop(v);
    if (top > newtop)
        sq_pop(v, top - newtop);
    else
        while (top++ < newtop) sq_pushnull(v);
}

SQRESULT sq_reservestack(HSQUIRRELVM v, SQInteger nsize) {
    return guarded(v, [&]() -> SQRESULT {
        v->growStack(nsize);
        return SQ_OK;
    });
}

SQInteger sq_cmp(HSQUIRRELVM v) {
    SQInteger res = 0;
    guarded(v, [&]() -> SQRESULT {
        res = v->compare(v->getUp(-2), v->getUp(-1));
        return SQ_OK;
    });
    return res;
}

void sq_move(HSQUIRRELVM dest, HSQUIRRELVM src, SQInteger idx) {
    guardedVoid(dest, [&] {
        SQObjectPtr o = src->getAt(idx);
        dest->push(o);
    });
}

// ---- object creation ----

SQUserPointer sq_newuserdata(HSQUIRRELVM v, SQUnsignedInteger size) {
    SQUserPointer p = nullptr;
    guardedVoid(v, [&] {
        SQUserData* ud = SQUserData::create(_ss(v), (SQInteger)size);
        SQObjectPtr o(ud);
        v->push(o);
        p = ud->_val;
    });
    return p;
}

void sq_newtable(HSQUIRRELVM v) {
    guardedVoid(v, [&] { v->push(SQObjectPtr(SQTable::create(_ss(v), 0))); });
}

void sq_newarray(HSQUIRRELVM v, SQInteger size) {
    guardedVoid(v, [&] { v->push(SQObjectPtr(SQArray::create(_ss(v), size < 0 ? 0 : size))); });
}

void sq_newclosure(HSQUIRRELVM v, SQFUNCTION func, SQUnsignedInteger nfreevars) {
    guardedVoid(v, [&] {
        SQNativeClosure* nc = SQNativeClosure::create(_ss(v), func);
        SQObjectPtr o(nc);
        for (SQUnsignedInteger i = 0; i < nfreevars; ++i)
            nc->_outervalues.push_back(v->getUp(-(SQInteger)nfreevars + (SQInteger)i));
        v->pop((SQInteger)nfreevars);
        v->push(o);
    });
}

SQRESULT sq_setparamscheck(HSQUIRRELVM v, SQInteger nparamscheck, const SQChar* typemask) {
    SQObjectPtr o = v->getUp(-1);
    if (o._type != OT_NATIVECLOSURE) return sq_throwerror(v, "native closure expected");
    SQNativeClosure* nc = _nativeclosure(o);
    return guarded(v, [&]() -> SQRESULT {
        nc->_nparamscheck = nparamscheck;
        nc->_typecheck.resize(0);
        if (typemask) {
            if (!sqCompileTypemask(nc->_typecheck, typemask)) {
                nc->_typecheck.resize(0);
                return sq_throwerror(v, "invalid typemask");
            }
            if (nparamscheck == SQ_MATCHTYPEMASKSTRING) nc->_nparamscheck = (SQInteger)nc->_typecheck.size();
        } else if (nparamscheck == SQ_MATCHTYPEMASKSTRING) {
            nc->_nparamscheck = 0;
        }
        return SQ_OK;
    });
}

SQRESULT sq_bindenv(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = v->getAt(idx);
    if (o._type != OT_NATIVECLOSURE && o._type != OT_CLOSURE)
        return sq_throwerror(v, "the target is not a closure");
    SQObjectPtr env = v->getUp(-1);
    if (env._type != OT_TABLE && env._type != OT_CLASS && env._type != OT_INSTANCE)
        return sq_throwerror(v, "invalid environment");
    return guarded(v, [&]() -> SQRESULT {
        SQObjectPtr w(_refcounted(env)->getWeakRef(env._type));
        SQObjectPtr ret;
        if (o._type == OT_CLOSURE) {
            SQClosure* c = _closure(o)->clone();
            ret = SQObjectPtr(c);
            c->_env = w;
        } else {
            SQNativeClosure* c = _nativeclosure(o)->clone();
            ret = SQObjectPtr(c);
            c->_env = w;
        }
        v->pop();
        v->push(ret);
        return SQ_OK;
    });
}

void sq_pushstring(HSQUIRRELVM v, const SQChar* s, SQInteger len) {
    guardedVoid(v, [&] {
        if (s)
            v->push(SQObjectPtr(SQString::create(_ss(v), s, len)));
        else
            v->pushNull();
    });
}
void sq_pushfloat(HSQUIRRELVM v, SQFloat f) {
    guardedVoid(v, [&] { v->push(SQObjectPtr(f)); });
}
void sq_pushinteger(HSQUIRRELVM v, SQInteger n) {
    guardedVoid(v, [&] { v->push(SQObjectPtr(n)); });
}
void sq_pushbool(HSQUIRRELVM v, SQBool b) {
    guardedVoid(v, [&] { v->push(SQObjectPtr(b != 0)); });
}
void sq_pushuserpointer(HSQUIRRELVM v, SQUserPointer p) {
    guardedVoid(v, [&] { v->push(SQObjectPtr::userPointer(p)); });
}
void sq_pushnull(HSQUIRRELVM v) {
    guardedVoid(v, [&] { v->pushNull(); });
}

SQObjectType sq_gettype(HSQUIRRELVM v, SQInteger idx) {
    return v->getAt(idx)._type;
}

SQInteger sq_getsize(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr& o = v->getAt(idx);
    switch (o._type) {
    case OT_STRING:
        return _string(o)->_len;
    case OT_TABLE:
        return _table(o)->countUsed();
    case OT_ARRAY:
        return _array(o)->size();
    case OT_USERDATA:
        return _userdata(o)->_size;
    default:
        return sq_throwerror(v, "wrong type");
    }
}

SQRESULT sq_getbase(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = v->getAt(idx);
    CHECK_TYPE(v, o, OT_CLASS);
    return guarded(v, [&]() -> SQRESULT {
        if (_class(o)->_base)
            v->push(SQObjectPtr(_class(o)->_base));
        else
            v->pushNull();
        return SQ_OK;
    });
}

SQBool sq_instanceof(HSQUIRRELVM v) {
    SQObjectPtr& inst = v->getUp(-2);
    SQObjectPtr& cl = v->getUp(-1);
    if (inst._type != OT_INSTANCE || cl._type != OT_CLASS) return SQFalse;
    return _instance(inst)->instanceOf(_class(cl)) ? SQTrue : SQFalse;
}

void sq_tostring(HSQUIRRELVM v, SQInteger idx) {
    guardedVoid(v, [&] {
        SQObjectPtr o = v->getAt(idx);
        SQObjectPtr res;
        v->toString(o, res);
        v->push(res);
    });
}

void sq_tobool(HSQUIRRELVM v, SQInteger idx, SQBool* b) {
    *b = sqIsFalse(v->getAt(idx)) ? SQFalse : SQTrue;
}

SQRESULT sq_getinteger(HSQUIRRELVM v, SQInteger idx, SQInteger* i) {
    SQObjectPtr& o = v->getAt(idx);
    if (o._type & SQOBJECT_NUMERIC) {
        *i = sqToInteger(o);
        return SQ_OK;
    }
    return SQ_ERROR;
}

SQRESULT sq_getfloat(HSQUIRRELVM v, SQInteger idx, SQFloat* f) {
    SQObjectPtr& o = v->getAt(idx);
    if (o._type & SQOBJECT_NUMERIC) {
        *f = sqToFloat(o);
        return SQ_OK;
    }
    return SQ_ERROR;
}

SQRESULT sq_getbool(HSQUIRRELVM v, SQInteger idx, SQBool* b) {
    SQObjectPtr& o = v->getAt(idx);
    if (o._type == OT_BOOL) {
        *b = _integer(o) ? SQTrue : SQFalse;
        return SQ_OK;
    }
    return SQ_ERROR;
}

SQRESULT sq_getstring(HSQUIRRELVM v, SQInteger idx, const SQChar** c) {
    SQObjectPtr& o = v->getAt(idx);
    CHECK_TYPE(v, o, OT_STRING);
    *c = _stringval(o);
    return SQ_OK;
}

SQRESULT sq_getthread(HSQUIRRELVM v, SQInteger idx, HSQUIRRELVM* thread) {
    SQObjectPtr& o = v->getAt(idx);
    CHECK_TYPE(v, o, OT_THREAD);
    *thread = _thread(o);
    return SQ_OK;
}

SQRESULT sq_getuserpointer(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p) {
    SQObjectPtr& o = v->getAt(idx);
    CHECK_TYPE(v, o, OT_USERPOINTER);
    *p = _userpointer(o);
    return SQ_OK;
}

SQRESULT sq_getuserdata(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p, SQUserPointer* typetag) {
    SQObjectPtr& o = v->getAt(idx);
    CHECK_TYPE(v, o, OT_USERDATA);
    *p = _userdata(o)->_val;
    if (typetag) *typetag = _userdata(o)->_typetag;
    return SQ_OK;
}

SQRESULT sq_settypetag(HSQUIRRELVM v, SQInteger idx, SQUserPointer typetag) {
    SQObjectPtr& o = v->getAt(idx);
    switch (o._type) {
    case OT_USERDATA:
        _userdata(o)->_typetag = typetag;
        break;
    case OT_CLASS:
        _class(o)->_typetag = typetag;
        break;
    default:
        return sq_throwerror(v, "invalid object type");
    }
    return SQ_OK;
}

SQRESULT sq_getobjtypetag(HSQOBJECT* o, SQUserPointer* typetag) {
    switch (o->_type) {
    case OT_INSTANCE:
        *typetag = o->_unVal.pInstance->_class->_typetag;
        break;
    case OT_USERDATA:
        *typetag = o->_unVal.pUserData->_typetag;
        break;
    case OT_CLASS:
        *typetag = o->_unVal.pClass->_typetag;
        break;
    default:
        return SQ_ERROR;
    }
    return SQ_OK;
}

SQRESULT sq_gettypetag(HSQUIRRELVM v, SQInteger idx, SQUserPointer* typetag) {
    SQObjectPtr& o = v->getAt(idx);
    if (SQ_FAILED(sq_getobjtypetag(&o, typetag))) return sq_throwerror(v, "invalid object type");
    return SQ_OK;
}

void sq_setreleasehook(HSQUIRRELVM v, SQInteger idx, SQRELEASEHOOK hook) {
    if (sq_gettop(v) < 1) return;
    SQObjectPtr& o = v->getAt(idx);
    switch (o._type) {
    case OT_USERDATA:
        _userdata(o)->_hook = hook;
        break;
    case OT_INSTANCE:
        _instance(o)->_hook = hook;
        break;
    case OT_CLASS:
        _class(o)->_hook = hook;
        break;
    default:
        break;
    }
}

SQChar* sq_getscratchpad(HSQUIRRELVM v, SQInteger minsize) {
    SQChar* p = nullptr;
    guardedVoid(v, [&] { p = _ss(v)->getScratchPad(minsize); });
    return p;
}

SQRESULT sq_getfunctioninfo(HSQUIRRELVM v, SQInteger idx, SQFunctionInfo* fi) {
    SQObjectPtr& o = v->getAt(idx);
    if (o._type != OT_CLOSURE) return sq_throwerror(v, "the object is not a closure");
    SQFunctionProto* f = _closure(o)->proto();
    fi->funcid = f;
    fi->name = f->_name._type == OT_STRING ? _stringval(f->_name) : "unknown";
    fi->source = f->_sourcename._type == OT_STRING ? _stringval(f->_sourcename) : "unknown";
    return SQ_OK;
}

SQRESULT sq_getclosureinfo(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger* nparams,
                           SQUnsignedInteger* nfreevars) {
    SQObjectPtr& o = v->getAt(idx);
    if (o._type == OT_CLOSURE) {
        *nparams = (SQUnsignedInteger)_closure(o)->proto()->_parameters.size();
        *nfreevars = (SQUnsignedInteger)_closure(o)->_outervalues.size();
        return SQ_OK;
    }
    if (o._type == OT_NATIVECLOSURE) {
        *nparams = (SQUnsignedInteger)_nativeclosure(o)->_nparamscheck;
        *nfreevars = (SQUnsignedInteger)_nativeclosure(o)->_outervalues.size();
        return SQ_OK;
    }
    return sq_throwerror(v, "the object is not a closure");
}

SQRESULT sq_setnativeclosurename(HSQUIRRELVM v, SQInteger idx, const SQChar* name) {
    SQObjectPtr& o = v->getAt(idx);
    if (o._type != OT_NATIVECLOSURE) return sq_throwerror(v, "the object is not a nativeclosure");
    SQNativeClosure* nc = _nativeclosure(o);
    return guarded(v, [&]() -> SQRESULT {
        nc->_name = SQObjectPtr(SQString::create(_ss(v), name));
        return SQ_OK;
    });
}

SQRESULT sq_setinstanceup(HSQUIRRELVM v, SQInteger idx, SQUserPointer p) {
    SQObjectPtr& o = v->getAt(idx);
    if (o._type != OT_INSTANCE) return sq_throwerror(v, "the object is not a class instance");
    _instance(o)->_userpointer = p;
    return SQ_OK;
}

SQRESULT sq_getinstanceup(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p, SQUserPointer typetag) {
    SQObjectPtr& o = v->getAt(idx);
    if (o._type != OT_INSTANCE) return sq_throwerror(v, "the object is not a class instance");
    *p = _instance(o)->_userpointer;
    if (typetag != nullptr) {
        for (SQClass* c = _instance(o)->_class; c; c = c->_base)
            if (c->_typetag == typetag) return SQ_OK;
        return sq_throwerror(v, "invalid type tag");
    }
    return SQ_OK;
}

SQRESULT sq_setclassudsize(HSQUIRRELVM v, SQInteger idx, SQInteger udsize) {
    SQObjectPtr& o = v->getAt(idx);
    if (o._type != OT_CLASS) return sq_throwerror(v, "the object is not a class");
    if (_class(o)->_locked) return sq_throwerror(v, "the class is locked");
    _class(o)->_udsize = udsize;
    return SQ_OK;
}

SQRESULT sq_newclass(HSQUIRRELVM v, SQBool hasbase) {
    return guarded(v, [&]() -> SQRESULT {
        SQClass* base = nullptr;
        SQObjectPtr b;
        if (hasbase) {
            b = v->getUp(-1);
            if (b._type != OT_CLASS) return sq_throwerror(v, "invalid base type");
            base = _class(b);
        }
        SQObjectPtr c(SQClass::create(_ss(v), base));
        if (hasbase) v->pop();
        v->push(c);
        return SQ_OK;
    });
}

SQRESULT sq_createinstance(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = v->getAt(idx);
    if (o._type != OT_CLASS) return sq_throwerror(v, "the object is not a class");
    return guarded(v, [&]() -> SQRESULT {
        v->push(SQObjectPtr(_class(o)->createInstance()));
        return SQ_OK;
    });
}

SQRESULT sq_setattributes(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = v->getAt(idx);
    if (o._type != OT_CLASS) return sq_throwerror(v, "the object is not a class");
    SQObjectPtr key = v->getUp(-2), val = v->getUp(-1);
    SQObjectPtr attrs;
    if (!_class(o)->getAttributes(key, attrs)) return sq_throwerror(v, "wrong index");
    _class(o)->setAttributes(key, val);
    v->pop(2);
    v->push(attrs);
    return SQ_OK;
}

SQRESULT sq_getattributes(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = v->getAt(idx);
    if (o._type != OT_CLASS) return sq_throwerror(v, "the object is not a class");
    SQObjectPtr key = v->getUp(-1);
    SQObjectPtr attrs;
    if (!_class(o)->getAttributes(key, attrs)) return sq_throwerror(v, "wrong index");
    v->pop();
    v->push(attrs);
    return SQ_OK;
}

SQRESULT sq_getclass(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = v->getAt(idx);
    if (o._type != OT_INSTANCE) return sq_throwerror(v, "the object is not a class instance");
    v->push(SQObjectPtr(_instance(o)->_class));
    return SQ_OK;
}

void sq_weakref(HSQUIRRELVM v, SQInteger idx) {
    guardedVoid(v, [&] {
        SQObjectPtr o = v->getAt(idx);
        if (ISREFCOUNTED(o._type))
            v->push(SQObjectPtr(_refcounted(o)->getWeakRef(o._type)));
        else
            v->push(o);
    });
}

SQRESULT sq_getdefaultdelegate(HSQUIRRELVM v, SQObjectType t) {
    SQTable* d = t == OT_BOOL ? nullptr : _ss(v)->defaultDelegate(t);
    if (!d) return sq_throwerror(v, "the type doesn't have a default delegate");
    v->push(SQObjectPtr(d));
    return SQ_OK;
}

// ---- object manipulation ----

void sq_pushroottable(HSQUIRRELVM v) {
    v->push(v->_roottable);
}
void sq_pushregistrytable(HSQUIRRELVM v) {
    v->push(_ss(v)->_registry);
}
void sq_pushconsttable(HSQUIRRELVM v) {
    v->push(_ss(v)->_consts);
}

SQRESULT sq_setroottable(HSQUIRRELVM v) {
    SQObjectPtr o = v->getUp(-1);
    if (o._type == OT_TABLE || o._type == OT_NULL) {
        v->_roottable = o;
        v->pop();
        return SQ_OK;
    }
    return sq_throwerror(v, "ivalid type");
}

SQRESULT sq_setconsttable(HSQUIRRELVM v) {
    SQObjectPtr o = v->getUp(-1);
    if (o._type == OT_TABLE) {
        _ss(v)->_consts = o;
        v->pop();
        return SQ_OK;
    }
    return sq_throwerror(v, "ivalid type, expected table");
}

SQRESULT sq_newslot(HSQUIRRELVM v, SQInteger idx, SQBool bstatic) {
    if (sq_gettop(v) < 3) return sq_throwerror(v, "not enough params in the stack");
    SQObjectPtr self = v->getAt(idx);
    if (self._type == OT_TABLE || self._type == OT_CLASS) {
        SQObjectPtr key = v->getUp(-2);
        if (key._type == OT_NULL) return sq_throwerror(v, "null is not a valid key");
        SQRESULT r = guarded(v, [&]() -> SQRESULT {
            v->newSlot(self, key, v->getUp(-1), bstatic != 0);
            return SQ_OK;
        });
        v->pop(2);
        return r;
    }
    return sq_throwerror(v, "the object is not a table or class");
}

SQRESULT sq_deleteslot(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
    SQObjectPtr self = v->getAt(idx);
    SQObjectPtr key = v->getUp(-1);
    if (self._type != OT_TABLE) return sq_throwerror(v, "wrong type");
    if (key._type == OT_NULL) return sq_throwerror(v, "null is not a valid key");
    return guarded(v, [&]() -> SQRESULT {
        SQObjectPtr res;
        if (!v->deleteSlot(self, key, res)) return SQ_ERROR;
        v->pop();
        if (pushval) v->push(res);
        return SQ_OK;
    });
}

SQRESULT sq_set(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = v->getAt(idx);
    SQObjectPtr key = v->getUp(-2), val = v->getUp(-1);
    if (key._type == OT_NULL) return sq_throwerror(v, "null cannot be used as index");
    SQRESULT r = guarded(v, [&]() -> SQRESULT {
        if (!v->set(self, key, val, false)) v->raiseIdxError(key);
        return SQ_OK;
    });
    v->pop(2);
    return r;
}

SQRESULT sq_get(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = v->getAt(idx);
    SQObjectPtr key = v->getUp(-1);
    return guarded(v, [&]() -> SQRESULT {
        SQObjectPtr res;
        if (!v->get(self, key, res, false, false)) {
            v->pop();
            return sq_throwerror(v, "the index doesn't exist");
        }
        v->pop();
        v->push(res);
        return SQ_OK;
    });
}

SQRESULT sq_rawget(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = v->getAt(idx);
    SQObjectPtr key = v->getUp(-1);
    SQObjectPtr res;
    bool found = false;
    switch (self._type) {
    case OT_TABLE:
        found = _table(self)->get(key, res);
        break;
    case OT_CLASS:
        found = _class(self)->get(key, res);
        break;
    case OT_INSTANCE:
        found = _instance(self)->get(key, res);
        break;
    case OT_ARRAY:
        if (key._type & SQOBJECT_NUMERIC) found = _array(self)->get(sqToInteger(key), res);
        break;
    default:
        v->pop();
        return sq_throwerror(v, "rawget works only on array/table/instance and class");
    }
    v->pop();
    if (!found) return sq_throwerror(v, "the index doesn't exist");
    return guarded(v, [&]() -> SQRESULT {
        v->push(res);
        return SQ_OK;
    });
}

SQRESULT sq_rawset(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = v->getAt(idx);
    SQObjectPtr key = v->getUp(-2), val = v->getUp(-1);
    if (key._type == OT_NULL) {
        v->pop(2);
        return sq_throwerror(v, "null key");
    }
    SQRESULT r = guarded(v, [&]() -> SQRESULT {
        switch (self._type) {
        case OT_TABLE:
            _table(self)->newSlot(key, val);
            return SQ_OK;
        case OT_CLASS:
            v->newSlot(self, key, val, false);
            return SQ_OK;
        case OT_INSTANCE:
            if (_instance(self)->set(key, val)) return SQ_OK;
            v->raiseIdxError(key);
        case OT_ARRAY:
            if ((key._type & SQOBJECT_NUMERIC) && _array(self)->set(sqToInteger(key), val)) return SQ_OK;
            v->raiseIdxError(key);
        default:
            return sq_throwerror(v, "rawset works only on array/table/class and instance");
        }
    });
    v->pop(2);
    return r;
}

SQRESULT sq_rawdeleteslot(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
    SQObjectPtr self = v->getAt(idx);
    SQObjectPtr key = v->getUp(-1);
    if (self._type != OT_TABLE) return sq_throwerror(v, "wrong type");
    if (key._type == OT_NULL) return sq_throwerror(v, "null is not a valid key");
    return guarded(v, [&]() -> SQRESULT {
        SQObjectPtr t;
        _table(self)->get(key, t);
        _table(self)->remove(key);
        v->pop();
        if (pushval) v->push(t);
        return SQ_OK;
    });
}

SQRESULT sq_arrayappend(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr arr = v->getAt(idx);
    CHECK_TYPE(v, arr, OT_ARRAY);
    return guarded(v, [&]() -> SQRESULT {
        _array(arr)->append(v->getUp(-1));
        v->pop();
        return SQ_OK;
    });
}

SQRESULT sq_arraypop(HSQUIRRELVM v, SQInteger idx, SQBool pushval) {
    SQObjectPtr arr = v->getAt(idx);
    CHECK_TYPE(v, arr, OT_ARRAY);
    SQArray* a = _array(arr);
    if (a->size() == 0) return sq_throwerror(v, "empty array");
    return guarded(v, [&]() -> SQRESULT {
        SQObjectPtr last = sqRealVal(a->_values.back());
        a->_values.pop_back();
        if (pushval) v->push(last);
        return SQ_OK;
    });
}

SQRESULT sq_arrayresize(HSQUIRRELVM v, SQInteger idx, SQInteger newsize) {
    SQObjectPtr arr = v->getAt(idx);
    CHECK_TYPE(v, arr, OT_ARRAY);
    if (newsize < 0) return sq_throwerror(v, "negative size");
    return guarded(v, [&]() -> SQRESULT {
        _array(arr)->resize(newsize, SQObjectPtr());
        return SQ_OK;
    });
}

SQRESULT sq_arrayreverse(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr arr = v->getAt(idx);
    CHECK_TYPE(v, arr, OT_ARRAY);
    SQArray* a = _array(arr);
    SQInteger n = a->size();
    for (SQInteger i = 0; i < n / 2; ++i) std::swap(a->_values[i], a->_values[n - 1 - i]);
    return SQ_OK;
}

SQRESULT sq_arrayremove(HSQUIRRELVM v, SQInteger idx, SQInteger itemidx) {
    SQObjectPtr arr = v->getAt(idx);
    CHECK_TYPE(v, arr, OT_ARRAY);
    SQArray* a = _array(arr);
    if (itemidx < 0 || itemidx >= a->size()) return sq_throwerror(v, "index out of range");
    a->_values.erase((size_t)itemidx);
    return SQ_OK;
}

SQRESULT sq_arrayinsert(HSQUIRRELVM v, SQInteger idx, SQInteger destpos) {
    SQObjectPtr arr = v->getAt(idx);
    CHECK_TYPE(v, arr, OT_ARRAY);
    SQArray* a = _array(arr);
    if (destpos < 0 || destpos > a->size()) return sq_throwerror(v, "index out of range");
    return guarded(v, [&]() -> SQRESULT {
        a->_values.insert((size_t)destpos, v->getUp(-1));
        v->pop();
        return SQ_OK;
    });
}

SQRESULT sq_setdelegate(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = v->getAt(idx);
    SQObjectPtr mt = v->getUp(-1);
    switch (self._type) {
    case OT_TABLE:
        if (mt._type == OT_TABLE) {
            if (!_table(self)->setDelegate(_table(mt))) return sq_throwerror(v, "delagate cycle");
        } else if (mt._type == OT_NULL) {
            _table(self)->setDelegate(nullptr);
        } else {
            return typeError(v, self, OT_TABLE);
        }
        break;
    case OT_USERDATA:
        if (mt._type == OT_TABLE)
            _userdata(self)->setDelegate(_table(mt));
        else if (mt._type == OT_NULL)
            _userdata(self)->setDelegate(nullptr);
        else
            return typeError(v, self, OT_USERDATA);
        break;
    default:
        return typeError(v, self, OT_TABLE);
    }
    v->pop();
    return SQ_OK;
}

SQRESULT sq_getdelegate(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr self = v->getAt(idx);
    switch (self._type) {
    case OT_TABLE:
        if (_table(self)->_delegate)
            v->push(SQObjectPtr(_table(self)->_delegate));
        else
            v->pushNull();
        return SQ_OK;
    case OT_USERDATA:
        if (_userdata(self)->_delegate)
            v->push(SQObjectPtr(_userdata(self)->_delegate));
        else
            v->pushNull();
        return SQ_OK;
    default:
        return sq_throwerror(v, "wrong type");
    }
}

SQRESULT sq_clone(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = v->getAt(idx);
    return guarded(v, [&]() -> SQRESULT {
        SQObjectPtr res;
        v->clone(o, res);
        v->push(res);
        return SQ_OK;
    });
}

SQRESULT sq_setfreevariable(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval) {
    SQObjectPtr self = v->getAt(idx);
    SQObjectPtr val = v->getUp(-1);
    switch (self._type) {
    case OT_CLOSURE:
        if (nval >= _closure(self)->_outervalues.size()) return sq_throwerror(v, "invalid free var index");
        _closure(self)->_outervalues[nval] = val;
        break;
    case OT_NATIVECLOSURE:
        if (nval >= _nativeclosure(self)->_outervalues.size())
            return sq_throwerror(v, "invalid free var index");
        _nativeclosure(self)->_outervalues[nval] = val;
        break;
    default:
        return sq_throwerror(v, "invalid free var index");
    }
    v->pop();
    return SQ_OK;
}

SQRESULT sq_next(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = v->getAt(idx);
    SQObjectPtr itr = v->getUp(-1);
    if (o._type == OT_GENERATOR) return sq_throwerror(v, "cannot iterate a generator");
    return guarded(v, [&]() -> SQRESULT {
        SQObjectPtr key, val;
        bool isgen;
        if (!v->forEach(o, key, val, itr, isgen)) return SQ_ERROR;
        v->getUp(-1) = itr;
        v->push(key);
        v->push(val);
        return SQ_OK;
    });
}

SQRESULT sq_getweakrefval(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = v->getAt(idx);
    if (o._type != OT_WEAKREF) return sq_throwerror(v, "the object must be a weakref");
    v->push(_weakref(o)->_obj);
    return SQ_OK;
}

SQRESULT sq_clear(HSQUIRRELVM v, SQInteger idx) {
    SQObjectPtr o = v->getAt(idx);
    return guarded(v, [&]() -> SQRESULT {
        switch (o._type) {
        case OT_TABLE:
            _table(o)->clear();
            break;
        case OT_ARRAY:
            _array(o)->resize(0, SQObjectPtr());
            break;
        default:
            return sq_throwerror(v, "clear only works on table and array");
        }
        return SQ_OK;
    });
}

// ---- calls ----

SQRESULT sq_call(HSQUIRRELVM v, SQInteger params, SQBool retval, SQBool raiseerror) {
    SQObjectPtr closure = v->getUp(-(params + 1));
    SQInteger base = v->_top - params;
    SQRESULT r = guarded(v, [&]() -> SQRESULT {
        SQObjectPtr res;
        v->call(closure, params, base, res, raiseerror != 0);
        // a suspended thread keeps its frames (and arguments) on the stack until wakeup
        if (!v->_suspended) v->pop(params);
        if (retval) v->push(res);
        return SQ_OK;
    });
    if (SQ_FAILED(r)) v->clearStackAbove(base); // drops the arguments
    return r;
}

SQRESULT sq_resume(HSQUIRRELVM v, SQBool retval, SQBool raiseerror) {
    SQObjectPtr g = v->getUp(-1);
    if (g._type != OT_GENERATOR) return sq_throwerror(v, "only generators can be resumed");
    return guarded(v, [&]() -> SQRESULT {
        SQObjectPtr res;
        v->execute(g, -1, 0, v->_top, res, raiseerror != 0, SQVM::ExecType::ResumeGenerator);
        if (retval) v->push(res);
        return SQ_OK;
    });
}

const SQChar* sq_getlocal(HSQUIRRELVM v, SQUnsignedInteger level, SQUnsignedInteger idx) {
    SQUnsignedInteger cstksize = (SQUnsignedInteger)v->_callsstack.size();
    if (level >= cstksize) return nullptr;
    SQVM::CallInfo& ci = v->_callsstack[cstksize - level - 1];
    if (ci._closure._type != OT_CLOSURE) return nullptr;
    SQClosure* c = _closure(ci._closure);
    SQFunctionProto* func = c->proto();
    SQInteger stackbase = v->_stackbase;
    for (SQUnsignedInteger i = 0; i < level; ++i) stackbase = v->_callsstack[cstksize - i - 1]._prevstkbase;
    if (func->_outervalues.size() > idx) {
        v->push(c->_outervalues[idx]);
        return _stringval(func->_outervalues[idx]._name);
    }
    idx -= (SQUnsignedInteger)func->_outervalues.size();
    SQUnsignedInteger slot = 0;
    SQUnsignedInteger nop = (SQUnsignedInteger)(ci._ip - func->_instructions.data() - 1);
    const SQChar* name = func->getLocal(idx, nop, slot);
    if (name) v->push(v->_stack[stackbase + slot]);
    return name;
}

const SQChar* sq_getfreevariable(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval) {
    SQObjectPtr self = v->getAt(idx);
    if (self._type == OT_CLOSURE) {
        SQClosure* c = _closure(self);
        if (c->_outervalues.size() > nval) {
            v->push(c->_outervalues[nval]);
            return _stringval(c->proto()->_outervalues[nval]._name);
        }
    } else if (self._type == OT_NATIVECLOSURE) {
        SQNativeClosure* c = _nativeclosure(self);
        if (c->_outervalues.size() > nval) {
            v->push(c->_outervalues[nval]);
            return "@NATIVE";
        }
    }
    return nullptr;
}

SQRESULT sq_throwerror(HSQUIRRELVM v, const SQChar* err) {
    try {
        v->_lasterror = SQObjectPtr(SQString::create(_ss(v), err));
    } catch (SQOutOfMemory&) {
        v->_lasterror = _ss(v)->_oomerror;
    }
    return SQ_ERROR;
}

void sq_reseterror(HSQUIRRELVM v) {
    v->_lasterror.Null();
}
void sq_getlasterror(HSQUIRRELVM v) {
    guardedVoid(v, [&] { v->push(v->_lasterror); });
}

// ---- raw objects ----

SQRESULT sq_getstackobj(HSQUIRRELVM v, SQInteger idx, HSQOBJECT* po) {
    *po = v->getAt(idx);
    return SQ_OK;
}

void sq_pushobject(HSQUIRRELVM v, HSQOBJECT obj) {
    guardedVoid(v, [&] { v->push(obj); });
}

void sq_addref(HSQUIRRELVM v, HSQOBJECT* po) {
    if (!ISREFCOUNTED(po->_type)) return;
    guardedVoid(v, [&] {
        SQTable* refs = _table(_ss(v)->_refs);
        SQObjectPtr count;
        SQInteger n = refs->get(*po, count) ? _integer(count) : 0;
        refs->newSlot(*po, SQObjectPtr(n + 1));
    });
}

SQBool sq_release(HSQUIRRELVM v, HSQOBJECT* po) {
    if (!ISREFCOUNTED(po->_type)) return SQTrue;
    SQTable* refs = _table(_ss(v)->_refs);
    SQObjectPtr count;
    if (!refs->get(*po, count)) return SQFalse;
    SQInteger n = _integer(count) - 1;
    if (n <= 0) {
        SQObjectPtr keep(*po);
        refs->remove(*po);
        return SQTrue;
    }
    refs->set(*po, SQObjectPtr(n));
    return SQFalse;
}

void sq_resetobject(HSQOBJECT* po) {
    po->_unVal.pUserPointer = nullptr;
    po->_type = OT_NULL;
}

const SQChar* sq_objtostring(HSQOBJECT* o) {
    if (o->_type == OT_STRING) return _stringval(*o);
    return nullptr;
}

SQBool sq_objtobool(HSQOBJECT* o) {
    return sqIsFalse(*o) ? SQFalse : SQTrue;
}
SQInteger sq_objtointeger(HSQOBJECT* o) {
    return (o->_type & SQOBJECT_NUMERIC) ? sqToInteger(*o) : 0;
}
SQFloat sq_objtofloat(HSQOBJECT* o) {
    return (o->_type & SQOBJECT_NUMERIC) ? sqToFloat(*o) : 0;
}

SQInteger sq_collectgarbage(HSQUIRRELVM v) {
    return sqCollectGarbage(v);
}

SQRESULT sq_stackinfos(HSQUIRRELVM v, SQInteger level, SQStackInfos* si) {
    SQInteger cssize = (SQInteger)v->_callsstack.size();
    if (level < 0 || level >= cssize) return SQ_ERROR;
    SQVM::CallInfo& ci = v->_callsstack[cssize - level - 1];
    switch (ci._closure._type) {
    case OT_CLOSURE: {
        SQFunctionProto* func = _closure(ci._closure)->proto();
        si->funcname = func->_name._type == OT_STRING ? _stringval(func->_name) : "unknown";
        si->source = func->_sourcename._type == OT_STRING ? _stringval(func->_sourcename) : "unknown";
        si->line = func->getLine(ci._ip - 1);
        break;
    }
    case OT_NATIVECLOSURE: {
        SQNativeClosure* nc = _nativeclosure(ci._closure);
        si->funcname = nc->_name._type == OT_STRING ? _stringval(nc->_name) : "unknown";
        si->source = "NATIVE";
        si->line = -1;
        break;
    }
    default:
        return SQ_ERROR;
    }
    return SQ_OK;
}

} // extern "C"
