// The base library: the root-table functions every VM has (print, compilestring, newthread, ...).
#include "squirrel/src/base_lib.h"
#include "squirrel/src/array.h"
#include "squirrel/src/closure.h"
#include "squirrel/src/collector.h"
#include "squirrel/src/table.h"
#include "squirrel/src/vm.h"

#include <cstring>

namespace {

SQInteger baseDummy(HSQUIRRELVM) {
    return 0;
}

SQInteger baseCollectgarbage(HSQUIRRELVM v) {
    // A collection visits every object: one step each.
    unsigned long long objects = 0;
    for (SQCollectable* o = _ss(v)->_gcchain; o; o = o->_gcnext) ++objects;
    v->spendWork(objects * kWorkBytesPerStep);
    sq_pushinteger(v, sq_collectgarbage(v));
    return 1;
}

SQInteger baseGetroottable(HSQUIRRELVM v) {
    v->push(v->_roottable);
    return 1;
}

SQInteger baseGetconsttable(HSQUIRRELVM v) {
    v->push(_ss(v)->_consts);
    return 1;
}

SQInteger baseSetroottable(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_setroottable(v))) return SQ_ERROR;
    sq_pushnull(v); // 2.2.4 hands back the already-cleared slot, not the old table
    return 1;
}

SQInteger baseSetconsttable(HSQUIRRELVM v) {
    if (SQ_FAILED(sq_setconsttable(v))) return SQ_ERROR;
    sq_pushnull(v);
    return 1;
}

SQInteger baseSeterrorhandler(HSQUIRRELVM v) {
    sq_seterrorhandler(v);
    return 0;
}

SQInteger baseSetdebughook(HSQUIRRELVM v) {
    sq_setdebughook(v);
    return 0;
}

SQInteger baseEnabledebuginfo(HSQUIRRELVM v) {
    SQObjectPtr& o = stack_get(v, 2);
    sq_enabledebuginfo(v, o._type == OT_NULL ? SQFalse : SQTrue);
    return 0;
}

SQInteger baseGetstackinfos(HSQUIRRELVM v) {
    SQInteger level;
    SQStackInfos si;
    sq_getinteger(v, -1, &level);
    // a negative level describes no frame: an unknown function without locals (null only past the stack)
    if (level < 0) {
        si.funcname = nullptr;
        si.source = nullptr;
        si.line = 0;
    } else if (SQ_FAILED(sq_stackinfos(v, level, &si))) {
        return 0;
    }
    const SQChar* fn = si.funcname ? si.funcname : "unknown";
    const SQChar* src = si.source ? si.source : "unknown";
    sq_newtable(v);
    sq_pushstring(v, "func", -1);
    sq_pushstring(v, fn, -1);
    sq_createslot(v, -3);
    sq_pushstring(v, "src", -1);
    sq_pushstring(v, src, -1);
    sq_createslot(v, -3);
    sq_pushstring(v, "line", -1);
    sq_pushinteger(v, si.line);
    sq_createslot(v, -3);
    sq_pushstring(v, "locals", -1);
    sq_newtable(v);
    SQInteger seq = 0;
    const SQChar* name;
    while (level >= 0 && (name = sq_getlocal(v, (SQUnsignedInteger)level, (SQUnsignedInteger)seq))) {
        sq_pushstring(v, name, -1);
        sq_push(v, -2);
        sq_createslot(v, -4);
        sq_pop(v, 1);
        seq++;
    }
    sq_createslot(v, -3);
    return 1;
}

SQInteger baseAssert(HSQUIRRELVM v) {
    if (sqIsFalse(stack_get(v, 2))) return sq_throwerror(v, "assertion failed");
    return 0;
}

// The text stays pushed until the call returns: the slot above the argument is cleared then, as scripts that
// count what the collector frees expect.
SQInteger basePrint(HSQUIRRELVM v) {
    SQObjectPtr s;
    v->toString(stack_get(v, 2), s);
    v->push(s);
    v->spendWork((unsigned long long)_string(s)->_len);
    if (_ss(v)->_printfunc) _ss(v)->_printfunc(v, "%s", _stringval(s));
    return 0;
}

SQInteger baseCompilestring(HSQUIRRELVM v) {
    SQInteger nargs = sq_gettop(v);
    const SQChar* src = nullptr;
    const SQChar* name = "unnamedbuffer";
    sq_getstring(v, 2, &src);
    SQInteger size = _string(stack_get(v, 2))->_len;
    if (nargs > 2) sq_getstring(v, 3, &name);
    v->spendWork((unsigned long long)size * 8); // compiling costs more per byte than copying
    if (SQ_SUCCEEDED(sq_compilebuffer(v, src, size, name, SQFalse))) return 1;
    return SQ_ERROR;
}

SQInteger baseNewthread(HSQUIRRELVM v) {
    SQObjectPtr func = stack_get(v, 2);
    // a native function gets the smallest stack (the reference crashes reading its frame size)
    SQInteger stksize = func._type == OT_CLOSURE ? (_closure(func)->proto()->_stacksize << 1) + 2 : 0;
    HSQUIRRELVM newv = sq_newthread(v, stksize < 64 ? 64 : stksize);
    if (!newv) return sq_throwerror(v, "out of memory");
    sq_move(newv, v, -2);
    return 1;
}

SQInteger baseSuspend(HSQUIRRELVM v) {
    SQRESULT r = sq_suspendvm(v);
    if (r == SQ_ERROR) return SQ_ERROR;
    return sq_gettop(v) > 1 ? 1 : 0;
}

SQInteger baseArray(HSQUIRRELVM v) {
    SQObjectPtr& size = stack_get(v, 2);
    SQInteger n = sqToInteger(size);
    if (n < 0) n = 0;
    v->spendWork((unsigned long long)n * kWorkBytesPerElement);
    SQArray* a = SQArray::create(_ss(v), 0);
    SQObjectPtr ap(a);
    if (sq_gettop(v) > 2)
        a->resize(n, stack_get(v, 3));
    else
        a->resize(n, SQObjectPtr());
    v->push(ap);
    return 1;
}

SQInteger baseType(HSQUIRRELVM v) {
    SQObjectPtr& o = stack_get(v, 2);
    v->push(SQObjectPtr(SQString::create(_ss(v), sqTypeName(o._type))));
    return 1;
}

const SQRegFunction kBaseFuncs[] = {{"seterrorhandler", baseSeterrorhandler, 2, nullptr},
                                    {"setdebughook", baseSetdebughook, 2, nullptr},
                                    {"enabledebuginfo", baseEnabledebuginfo, 2, nullptr},
                                    {"getstackinfos", baseGetstackinfos, 2, ".n"},
                                    {"getroottable", baseGetroottable, 1, nullptr},
                                    {"setroottable", baseSetroottable, 2, nullptr},
                                    {"getconsttable", baseGetconsttable, 1, nullptr},
                                    {"setconsttable", baseSetconsttable, 2, nullptr},
                                    {"assert", baseAssert, 2, nullptr},
                                    {"print", basePrint, 2, nullptr},
                                    {"compilestring", baseCompilestring, -2, ".ss"},
                                    {"newthread", baseNewthread, 2, ".c"},
                                    {"suspend", baseSuspend, -1, nullptr},
                                    {"array", baseArray, -2, ".n"},
                                    {"type", baseType, 2, nullptr},
                                    {"dummy", baseDummy, 0, nullptr},
                                    {"collectgarbage", baseCollectgarbage, 1, "t"},
                                    {nullptr, nullptr, 0, nullptr}};

} // namespace

void sqRegisterBaseLib(HSQUIRRELVM v) {
    // Internal calls, so that running out of memory here fails sq_open instead of leaving a gap.
    SQSharedState* ss = _ss(v);
    SQTable* root = _table(v->_roottable);
    for (SQInteger i = 0; kBaseFuncs[i].name; ++i) {
        SQNativeClosure* nc = SQNativeClosure::create(ss, kBaseFuncs[i].f);
        SQObjectPtr ncp(nc);
        nc->_name = SQObjectPtr(SQString::create(ss, kBaseFuncs[i].name));
        nc->_nparamscheck = kBaseFuncs[i].nparamscheck;
        if (kBaseFuncs[i].typemask) sqCompileTypemask(nc->_typecheck, kBaseFuncs[i].typemask);
        root->newSlot(nc->_name, ncp);
    }
    root->newSlot(SQObjectPtr(SQString::create(ss, "_version_")),
                  SQObjectPtr(SQString::create(ss, SQUIRREL_VERSION)));
    root->newSlot(SQObjectPtr(SQString::create(ss, "_charsize_")), SQObjectPtr((SQInteger)sizeof(SQChar)));
    root->newSlot(SQObjectPtr(SQString::create(ss, "_intsize_")), SQObjectPtr((SQInteger)sizeof(SQInteger)));
    root->newSlot(SQObjectPtr(SQString::create(ss, "_floatsize_")), SQObjectPtr((SQInteger)sizeof(SQFloat)));
}
