// The value semantics behind the opcodes: indexing with delegation and metamethods, arithmetic with 32-bit
// wrap, ordering and equality, conversion to text, and errors with the reference's texts.
#include "squirrel/src/array.h"
#include "squirrel/src/class.h"
#include "squirrel/src/closure.h"
#include "squirrel/src/table.h"
#include "squirrel/src/userdata.h"
#include "squirrel/src/vm.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

SQString* sqNewString(SQSharedState* ss, const char* s, SQInteger len) {
    return SQString::create(ss, s, len);
}

// ---- errors ----

void SQVM::raise(const SQObjectPtr& err) {
    _lasterror = err;
    throw SQRaise{};
}

void SQVM::raiseError(const char* fmt, ...) {
    char buf[512];
    va_list args;
    va_start(args, fmt);
    vsnprintf(buf, sizeof(buf), fmt, args);
    va_end(args);
    _lasterror = SQObjectPtr(SQString::create(_sharedstate, buf));
    throw SQRaise{};
}

SQObjectPtr SQVM::printObjVal(const SQObject& o) {
    char buf[64];
    switch (o._type) {
    case OT_STRING:
        return SQObjectPtr(o);
    case OT_INTEGER:
        snprintf(buf, sizeof(buf), "%d", o._unVal.nInteger);
        break;
    case OT_FLOAT:
        snprintf(buf, sizeof(buf), "%.14g", (double)o._unVal.fFloat);
        break;
    default:
        return SQObjectPtr(SQString::create(_sharedstate, sqTypeName(o._type)));
    }
    return SQObjectPtr(SQString::create(_sharedstate, buf));
}

void SQVM::raiseIdxError(const SQObject& key) {
    SQObjectPtr k = printObjVal(key);
    raiseError("the index '%.50s' does not exist", _stringval(k));
}

void SQVM::raiseCompareError(const SQObject& a, const SQObject& b) {
    SQObjectPtr sa = printObjVal(a), sb = printObjVal(b);
    raiseError("comparsion between '%.50s' and '%.50s'", _stringval(sa), _stringval(sb));
}

void SQVM::raiseParamTypeError(SQInteger nparam, SQInteger typemask, SQInteger type) {
    std::string exptypes;
    bool first = true;
    for (SQInteger i = 0; i < 16; ++i) {
        SQInteger mask = 1 << i;
        if (typemask & mask) {
            if (!first) exptypes += "|";
            first = false;
            static const SQObjectType kTypes[16] = {
                OT_NULL,   OT_INTEGER,   OT_FLOAT,   OT_BOOL,          OT_STRING,    OT_TABLE,
                OT_ARRAY,  OT_USERDATA,  OT_CLOSURE, OT_NATIVECLOSURE, OT_GENERATOR, OT_USERPOINTER,
                OT_THREAD, OT_FUNCPROTO, OT_CLASS,   OT_INSTANCE};
            exptypes += sqTypeName(kTypes[i]);
        }
    }
    raiseError("parameter %d has an invalid type '%s' ; expected: '%s'", nparam,
               sqTypeName((SQObjectType)type), exptypes.c_str());
}

// ---- metamethods ----

const SQObjectPtr* SQVM::getMetaMethod(const SQObject& o, SQMetaMethod mm) {
    SQTable* del = nullptr;
    switch (o._type) {
    case OT_TABLE:
        del = o._unVal.pTable->_delegate;
        break;
    case OT_USERDATA:
        del = o._unVal.pUserData->_delegate;
        break;
    case OT_INSTANCE:
        return o._unVal.pInstance->getMetaMethod(mm);
    default:
        return nullptr;
    }
    const SQObjectPtr& name = _sharedstate->_metamethodnames[mm];
    for (; del; del = del->_delegate) {
        SQTable::Node* n = del->find(name);
        if (n) return &n->val;
    }
    return nullptr;
}

void SQVM::callMetaMethod(const SQObjectPtr& mm, SQInteger nargs, SQObjectPtr& outres) {
    SQObjectPtr fn = mm;
    SQObjectPtr res;
    try {
        call(fn, nargs, _top - nargs, res, false);
    } catch (...) {
        pop(nargs);
        throw;
    }
    pop(nargs);
    outres = std::move(res);
}

// ---- indexing ----

bool SQVM::getDefaultDelegate(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& dest) {
    SQTable* ddel = _sharedstate->defaultDelegate(self._type);
    return ddel && ddel->get(key, dest);
}

// Calls the _get metamethod; its own error counts as "absent".
bool SQVM::fallbackMetaGet(const SQObjectPtr& self, const SQObjectPtr& key, SQObjectPtr& dest) {
    const SQObjectPtr* mm = getMetaMethod(self, MT_GET);
    if (!mm) return false;
    SQObjectPtr fn = *mm;
    push(self);
    push(key);
    try {
        callMetaMethod(fn, 2, dest);
        return true;
    } catch (SQRaise&) {
        return false;
    }
}

bool SQVM::get(const SQObjectPtr& selfref, const SQObjectPtr& keyref, SQObjectPtr& dest, bool raw,
               bool fetchroot) {
    // Fast paths: own table slot; a string's or an array's built-in method by name (`s.len()`).
    if (selfref._type == OT_TABLE && selfref._unVal.pTable->get(keyref, dest)) return true;
    if (selfref._type == OT_INSTANCE && selfref._unVal.pInstance->get(keyref, dest)) return true;
    if ((selfref._type == OT_STRING || selfref._type == OT_ARRAY) && keyref._type == OT_STRING && !raw) {
        if (SQTable* ddel = _sharedstate->defaultDelegate(selfref._type)) {
            if (SQTable::Node* n = ddel->findString(keyref._unVal.pString)) {
                dest = sqRealVal(n->val);
                return true;
            }
        }
    }
    SQObjectPtr self = selfref, key = keyref; // the stack may move during metamethod calls
    switch (self._type) {
    case OT_TABLE:
    case OT_USERDATA: {
        // Delegation: a full lookup on the delegate (its default delegate included), then _get.
        SQTable* del = self._type == OT_TABLE ? _table(self)->_delegate : _userdata(self)->_delegate;
        if (del) {
            if (get(SQObjectPtr(del), key, dest, raw, false)) return true;
            if (!raw && fallbackMetaGet(self, key, dest)) return true;
        }
        if (self._type == OT_TABLE && !raw && getDefaultDelegate(self, key, dest)) return true;
        break;
    }
    case OT_ARRAY:
        if (key._type == OT_INTEGER || key._type == OT_FLOAT)
            return _array(self)->get(sqToInteger(key), dest);
        if (!raw && getDefaultDelegate(self, key, dest)) return true;
        break;
    case OT_STRING:
        if (key._type == OT_INTEGER || key._type == OT_FLOAT) {
            SQInteger n = sqToInteger(key);
            if ((SQUnsignedInteger)n < (SQUnsignedInteger)_string(self)->_len) {
                dest = SQObjectPtr((SQInteger)(signed char)_stringval(self)[n]);
                return true;
            }
            return false;
        }
        if (!raw && getDefaultDelegate(self, key, dest)) return true;
        break;
    case OT_INSTANCE:
        if (_instance(self)->get(key, dest)) return true;
        if (!raw) {
            if (fallbackMetaGet(self, key, dest)) return true;
            if (getDefaultDelegate(self, key, dest)) return true;
        }
        break;
    case OT_CLASS:
        if (_class(self)->get(key, dest)) return true;
        if (!raw && getDefaultDelegate(self, key, dest)) return true;
        break;
    default:
        if (!raw && getDefaultDelegate(self, key, dest)) return true;
        break;
    }
    if (fetchroot && ci && isEqual(_stack[_stackbase], self) && _roottable._type == OT_TABLE) {
        return _table(_roottable)->get(key, dest);
    }
    return false;
}

// The _set metamethod of a table, instance or userdata, when it has one; false when it has none or it failed.
bool SQVM::fallbackMetaSet(const SQObjectPtr& self, const SQObjectPtr& key, const SQObjectPtr& val) {
    const SQObjectPtr* mm = getMetaMethod(self, MT_SET);
    if (!mm) return false;
    push(self);
    push(key);
    push(val);
    SQObjectPtr res;
    try {
        callMetaMethod(*mm, 3, res);
        return true;
    } catch (SQRaise&) {
        return false;
    }
}

bool SQVM::set(const SQObjectPtr& selfref, const SQObjectPtr& keyref, const SQObjectPtr& valref,
               bool fetchroot, bool usemeta) {
    if (selfref._type == OT_TABLE && selfref._unVal.pTable->set(keyref, valref)) return true;
    if (selfref._type == OT_INSTANCE && selfref._unVal.pInstance->set(keyref, valref)) return true;
    SQObjectPtr self = selfref, key = keyref, val = valref;
    switch (self._type) {
    case OT_TABLE: {
        for (SQTable* d = _table(self)->_delegate; d; d = d->_delegate)
            if (d->set(key, val)) return true;
        if (usemeta && fallbackMetaSet(self, key, val)) return true;
        break;
    }
    case OT_ARRAY:
        if (key._type != OT_INTEGER && key._type != OT_FLOAT) break;
        if (_array(self)->set(sqToInteger(key), val)) return true;
        break;
    case OT_INSTANCE: {
        // An instance's _set takes every write, the write-back of ++, -- and compound assignment included:
        // that is how members a host class keeps outside the instance are stepped.
        if (_instance(self)->set(key, val)) return true;
        if (fallbackMetaSet(self, key, val)) return true;
        break;
    }
    case OT_USERDATA: {
        if (fallbackMetaSet(self, key, val)) return true;
        break;
    }
    default:
        // null, numbers, strings and the other types have no slots to set: the caller reports the index
        break;
    }
    if (fetchroot && _roottable._type == OT_TABLE &&
        !(self._type == OT_TABLE && _table(self) == _table(_roottable))) {
        if (_table(_roottable)->set(key, val)) return true;
    }
    return false;
}

void SQVM::newSlot(const SQObjectPtr& selfref, const SQObjectPtr& keyref, const SQObjectPtr& valref,
                   bool bstatic) {
    SQObjectPtr self = selfref, key = keyref, val = valref;
    if (key._type == OT_NULL) raiseError("null cannot be used as index");
    switch (self._type) {
    case OT_TABLE: {
        if (!_table(self)->find(key)) {
            if (const SQObjectPtr* mm = getMetaMethod(self, MT_NEWSLOT)) {
                push(self);
                push(key);
                push(val);
                SQObjectPtr res;
                callMetaMethod(*mm, 3, res);
                return;
            }
        }
        _table(self)->newSlot(key, val);
        return;
    }
    case OT_INSTANCE: {
        if (const SQObjectPtr* mm = getMetaMethod(self, MT_NEWSLOT)) {
            push(self);
            push(key);
            push(val);
            SQObjectPtr res;
            callMetaMethod(*mm, 3, res);
            return;
        }
        raiseError("class instances do not support the new slot operator");
    }
    case OT_CLASS:
        if (!_class(self)->newSlot(_sharedstate, key, val, bstatic)) {
            if (_class(self)->_locked)
                raiseError("trying to modify a class that has already been instantiated");
            SQObjectPtr k = printObjVal(key);
            raiseError("the property '%s' already exists", _stringval(k));
        }
        return;
    case OT_USERDATA: {
        if (const SQObjectPtr* mm = getMetaMethod(self, MT_NEWSLOT)) {
            push(self);
            push(key);
            push(val);
            SQObjectPtr res;
            callMetaMethod(*mm, 3, res);
            return;
        }
        raiseError("indexing %s with %s", sqTypeName(self._type), sqTypeName(key._type));
    }
    default:
        raiseError("indexing %s with %s", sqTypeName(self._type), sqTypeName(key._type));
    }
}

bool SQVM::deleteSlot(const SQObjectPtr& selfref, const SQObjectPtr& keyref, SQObjectPtr& res) {
    SQObjectPtr self = selfref, key = keyref;
    switch (self._type) {
    case OT_TABLE:
    case OT_INSTANCE:
    case OT_USERDATA: {
        if (const SQObjectPtr* mm = getMetaMethod(self, MT_DELSLOT)) {
            push(self);
            push(key);
            callMetaMethod(*mm, 2, res);
            return true;
        }
        if (self._type == OT_TABLE) {
            SQObjectPtr t;
            if (_table(self)->get(key, t)) {
                res = t;
                _table(self)->remove(key);
                return true;
            }
            raiseIdxError(key);
        }
        raiseError("cannot delete a slot from %s", sqTypeName(self._type));
    }
    default:
        raiseError("attempt to delete a slot from a %s", sqTypeName(self._type));
    }
}

// ---- arithmetic ----

void SQVM::arith(SQInteger op, SQObjectPtr& trg, const SQObjectPtr& a, const SQObjectPtr& b) {
    if (a._type == OT_INTEGER && b._type == OT_INTEGER) {
        SQUnsignedInteger x = (SQUnsignedInteger)_integer(a), y = (SQUnsignedInteger)_integer(b);
        SQInteger res;
        switch (op) {
        case '+':
            res = (SQInteger)(x + y);
            break;
        case '-':
            res = (SQInteger)(x - y);
            break;
        case '*':
            res = (SQInteger)(x * y);
            break;
        case '/':
            if (y == 0) raiseError("division by zero");
            if (_integer(a) == INT32_MIN && _integer(b) == -1)
                res = INT32_MIN;
            else
                res = _integer(a) / _integer(b);
            break;
        case '%':
            if (y == 0) raiseError("modulo by zero");
            if (_integer(b) == -1)
                res = 0;
            else
                res = _integer(a) % _integer(b);
            break;
        default:
            res = 0;
        }
        trg = res;
        return;
    }
    if ((a._type & SQOBJECT_NUMERIC) && (b._type & SQOBJECT_NUMERIC)) {
        SQFloat x = sqToFloat(a), y = sqToFloat(b), res;
        switch (op) {
        case '+':
            res = x + y;
            break;
        case '-':
            res = x - y;
            break;
        case '*':
            res = x * y;
            break;
        case '/':
            res = x / y;
            break;
        case '%':
            res = (SQFloat)fmod((double)x, (double)y);
            break;
        default:
            res = 0;
        }
        trg = res;
        return;
    }
    if (op == '+' && (a._type == OT_STRING || b._type == OT_STRING)) {
        stringCat(a, b, trg);
        return;
    }
    // the operands may live in the stack, which a metamethod call can move
    SQObjectPtr ca = a, cb = b;
    SQMetaMethod mmi = op == '+'   ? MT_ADD
                       : op == '-' ? MT_SUB
                       : op == '*' ? MT_MUL
                       : op == '/' ? MT_DIV
                                   : MT_MODULO;
    if (ca._type & SQOBJECT_DELEGABLE) {
        if (const SQObjectPtr* mm = getMetaMethod(ca, mmi)) {
            SQObjectPtr fn = *mm;
            push(ca);
            push(cb);
            SQObjectPtr res;
            bool ok = true;
            try {
                callMetaMethod(fn, 2, res);
            } catch (SQRaise&) {
                ok = false; // the metamethod's own error gives way to the generic one
            }
            if (ok) {
                trg = res;
                return;
            }
        }
    }
    raiseError("arith op %c on between '%s' and '%s'", (int)op, sqTypeName(ca._type), sqTypeName(cb._type));
}

void SQVM::bitwise(SQInteger op, SQObjectPtr& trg, const SQObjectPtr& a, const SQObjectPtr& b) {
    if (a._type != OT_INTEGER || b._type != OT_INTEGER)
        raiseError("bitwise op between '%s' and '%s'", sqTypeName(a._type), sqTypeName(b._type));
    SQInteger i1 = _integer(a), i2 = _integer(b);
    SQInteger res;
    switch (op) {
    case BW_AND:
        res = i1 & i2;
        break;
    case BW_OR:
        res = i1 | i2;
        break;
    case BW_XOR:
        res = i1 ^ i2;
        break;
    case BW_SHIFTL:
        res = (SQInteger)((SQUnsignedInteger)i1 << (i2 & 31));
        break;
    case BW_SHIFTR:
        res = i1 >> (i2 & 31);
        break;
    case BW_USHIFTR:
        res = (SQInteger)((SQUnsignedInteger)i1 >> (i2 & 31));
        break;
    default:
        raiseError("internal vm error bitwise op failed");
    }
    trg = res;
}

void SQVM::negate(SQObjectPtr& trg, const SQObjectPtr& o) {
    switch (o._type) {
    case OT_INTEGER:
        trg = (SQInteger)(0u - (SQUnsignedInteger)_integer(o));
        return;
    case OT_FLOAT:
        trg = -_float(o);
        return;
    case OT_TABLE:
    case OT_USERDATA:
    case OT_INSTANCE:
        if (const SQObjectPtr* mm = getMetaMethod(o, MT_UNM)) {
            SQObjectPtr fn = *mm;
            push(o);
            SQObjectPtr res;
            callMetaMethod(fn, 1, res);
            trg = res;
            return;
        }
        break;
    default:
        break;
    }
    raiseError("attempt to negate a %s", sqTypeName(o._type));
}

// ---- comparison ----

bool SQVM::isEqual(const SQObject& a, const SQObject& b) const {
    if (a._type == b._type) {
        switch (a._type) {
        case OT_NULL:
            return true;
        case OT_INTEGER:
        case OT_BOOL:
            return a._unVal.nInteger == b._unVal.nInteger;
        case OT_FLOAT:
            return memcmp(&a._unVal.fFloat, &b._unVal.fFloat, sizeof(SQFloat)) == 0;
        case OT_USERPOINTER:
            return a._unVal.pUserPointer == b._unVal.pUserPointer;
        default:
            return a._unVal.pRefCounted == b._unVal.pRefCounted;
        }
    }
    if ((a._type & SQOBJECT_NUMERIC) && (b._type & SQOBJECT_NUMERIC)) return sqToFloat(a) == sqToFloat(b);
    return false;
}

SQInteger SQVM::compare(const SQObjectPtr& a, const SQObjectPtr& b) {
    if (a._type == b._type) {
        switch (a._type) {
        case OT_STRING: {
            SQInteger scanned = std::min(_string(a)->_len, _string(b)->_len);
            if (scanned > (SQInteger)kWorkBytesPerStep) spendWork((unsigned long long)scanned);
            int r = strcmp(_stringval(a), _stringval(b));
            return r < 0 ? -1 : r > 0 ? 1 : 0;
        }
        case OT_INTEGER: {
            SQInteger d = (SQInteger)((SQUnsignedInteger)_integer(a) - (SQUnsignedInteger)_integer(b));
            return d < 0 ? -1 : d > 0 ? 1 : 0;
        }
        case OT_FLOAT:
            if (memcmp(&_float(a), &_float(b), sizeof(SQFloat)) == 0) return 0;
            return _float(a) < _float(b) ? -1 : 1;
        case OT_BOOL:
        case OT_NULL:
            return a._unVal.nInteger == b._unVal.nInteger  ? 0
                   : a._unVal.nInteger < b._unVal.nInteger ? -1
                                                           : 1;
        case OT_TABLE:
        case OT_USERDATA:
        case OT_INSTANCE:
            // an object compared with itself is equal without asking its _cmp
            if (a._unVal.pRefCounted == b._unVal.pRefCounted) return 0;
            if (const SQObjectPtr* mm = getMetaMethod(a, MT_CMP)) {
                SQObjectPtr fn = *mm, sa = a, sb = b;
                push(sa);
                push(sb);
                SQObjectPtr res;
                callMetaMethod(fn, 2, res);
                if (res._type != OT_INTEGER) raiseCompareError(sa, sb);
                return _integer(res) < 0 ? -1 : _integer(res) > 0 ? 1 : 0;
            }
            [[fallthrough]];
        default: {
            uintptr_t pa = (uintptr_t)a._unVal.pRefCounted, pb = (uintptr_t)b._unVal.pRefCounted;
            return pa == pb ? 0 : pa < pb ? -1 : 1;
        }
        }
    }
    if ((a._type & SQOBJECT_NUMERIC) && (b._type & SQOBJECT_NUMERIC)) {
        SQFloat x = sqToFloat(a), y = sqToFloat(b);
        return x == y ? 0 : x < y ? -1 : 1;
    }
    if (a._type == OT_NULL) return -1;
    if (b._type == OT_NULL) return 1;
    raiseCompareError(a, b);
}

bool SQVM::cmpOp(SQInteger op, const SQObjectPtr& a, const SQObjectPtr& b) {
    if (a._type == OT_INTEGER && b._type == OT_INTEGER) {
        SQInteger d = (SQInteger)((SQUnsignedInteger)_integer(a) - (SQUnsignedInteger)_integer(b));
        switch (op) {
        case CMP_G:
            return d > 0;
        case CMP_GE:
            return d >= 0;
        case CMP_L:
            return d < 0;
        case CMP_LE:
            return d <= 0;
        }
    }
    SQInteger r = compare(a, b);
    switch (op) {
    case CMP_G:
        return r > 0;
    case CMP_GE:
        return r >= 0;
    case CMP_L:
        return r < 0;
    case CMP_LE:
        return r <= 0;
    }
    return false;
}

// ---- text ----

// Decimal text of a 32-bit integer, as "%d" prints it, ending at `end`; returns where it starts. Two digits
// a division: numbers in concatenations are mostly ids and counters of several digits.
static char* formatInteger(SQInteger i, char* end) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    SQUnsignedInteger u = i < 0 ? 0u - (SQUnsignedInteger)i : (SQUnsignedInteger)i;
    char* p = end;
    while (u >= 100) {
        const char* d = &kPairs[(u % 100) * 2];
        u /= 100;
        p -= 2;
        p[0] = d[0];
        p[1] = d[1];
    }
    if (u >= 10) {
        p -= 2;
        p[0] = kPairs[u * 2];
        p[1] = kPairs[u * 2 + 1];
    } else {
        *--p = (char)('0' + u);
    }
    if (i < 0) *--p = '-';
    return p;
}

// The text a concatenation uses for a string or an integer without making a string object for the number;
// false for the other types (they go through toString).
namespace {
struct CatPiece {
    char buf[16];
    const char* text = nullptr;
    SQInteger len = 0;
    bool set(const SQObject& o) {
        if (o._type == OT_STRING) {
            text = _stringval(o);
            len = _string(o)->_len;
            return true;
        }
        if (o._type == OT_INTEGER) {
            text = formatInteger(_integer(o), buf + sizeof buf);
            len = (SQInteger)(buf + sizeof buf - text);
            return true;
        }
        return false;
    }
};
} // namespace

void SQVM::toString(const SQObjectPtr& o, SQObjectPtr& res) {
    char buf[128];
    switch (o._type) {
    case OT_STRING:
        res = o;
        return;
    case OT_INTEGER: {
        char* end = buf + sizeof buf;
        char* p = formatInteger(_integer(o), end);
        res = SQObjectPtr(SQString::create(_sharedstate, p, end - p));
        return;
    }
    case OT_FLOAT:
        snprintf(buf, sizeof(buf), "%g", (double)_float(o));
        break;
    case OT_BOOL:
        snprintf(buf, sizeof(buf), "%s", _integer(o) ? "true" : "false");
        break;
    case OT_TABLE:
    case OT_USERDATA:
    case OT_INSTANCE:
        if (const SQObjectPtr* mm = getMetaMethod(o, MT_TOSTRING)) {
            SQObjectPtr fn = *mm, self = o;
            push(self);
            SQObjectPtr r;
            callMetaMethod(fn, 1, r);
            if (r._type == OT_STRING) {
                res = r;
                return;
            }
        }
        [[fallthrough]];
    default:
        snprintf(buf, sizeof(buf), "(%s : 0x%p)", sqTypeName(o._type),
                 o._type == OT_USERPOINTER ? o._unVal.pUserPointer : (void*)o._unVal.pRefCounted);
        break;
    }
    res = SQObjectPtr(SQString::create(_sharedstate, buf));
}

void SQVM::stringCat(const SQObjectPtr& a, const SQObjectPtr& b, SQObjectPtr& dest) {
    CatPiece pa, pb;
    if (pa.set(a) && pb.set(b)) {
        SQInteger l = pa.len, r = pb.len;
        if ((SQUnsignedInteger)l + (SQUnsignedInteger)r > kMaxStringLength) throw SQOutOfMemory{};
        spendWork((unsigned long long)(l + r));
        SQChar* buf = _sharedstate->getScratchPad(l + r);
        memcpy(buf, pa.text, l);
        memcpy(buf + l, pb.text, r);
        dest = SQObjectPtr(SQString::create(_sharedstate, buf, l + r));
        return;
    }
    SQObjectPtr sa, sb;
    SQObjectPtr ca = a, cb = b; // _tostring calls may move the stack these live in
    toString(ca, sa);
    toString(cb, sb);
    SQInteger l = _string(sa)->_len, r = _string(sb)->_len;
    if ((SQUnsignedInteger)l + (SQUnsignedInteger)r > kMaxStringLength) throw SQOutOfMemory{};
    spendWork((unsigned long long)(l + r));
    SQChar* buf = _sharedstate->getScratchPad(l + r);
    memcpy(buf, _stringval(sa), l);
    memcpy(buf + l, _stringval(sb), r);
    dest = SQObjectPtr(SQString::create(_sharedstate, buf, l + r));
}

// A chain `s + x + "lit" + y ...`: the compiler leaves each partial result in one slot and adds the next
// piece to it, loading a literal piece into a temporary first. The run builds the whole text and interns only
// the final string instead of every partial one. `ip` points after the ARITH that starts the run and is moved
// past the last instruction taken; pieces that are not strings or integers end the run. Integer arithmetic
// between pieces that touches no slot of the chain (`"x" + (i * 2)`: a LOADINT and an ARITH into a
// temporary) runs in place, as the interpreter would run it, and the run goes on after it. The bytes copied
// are charged to the step budget as a concatenation charges them.
bool SQVM::concatRun(const SQInstruction*& ip, SQObjectPtr* sb, const SQObjectPtr* literals) {
    const SQInstruction& first = ip[-1];
    CatPiece pa, pb;
    if (!pa.set(sb[first._arg2]) || !pb.set(sb[first._arg1])) return false;
    const uint8_t target = first._arg0;
    SQUnsignedInteger len = (SQUnsignedInteger)pa.len + (SQUnsignedInteger)pb.len;
    if (len > kMaxStringLength) throw SQOutOfMemory{};
    if (_stepbudget >= 0) spendWork((unsigned long long)len);
    SQChar* buf = _sharedstate->getScratchPad((SQInteger)len);
    memcpy(buf, pa.text, (size_t)pa.len);
    memcpy(buf + pa.len, pb.text, (size_t)pb.len);
    auto addsToTarget = [target](const SQInstruction& in) {
        return in.op == _OP_ARITH && in._arg3 == '+' && in._arg0 == target && in._arg2 == target;
    };
    for (;;) {
        const SQInstruction& n = ip[0];
        CatPiece pc;
        SQInteger taken;
        if (addsToTarget(n) && n._arg1 != target) {
            if (!pc.set(sb[n._arg1])) break;
            taken = 1;
        } else if (n.op == _OP_LOAD && n._arg0 != target && addsToTarget(ip[1]) && ip[1]._arg1 == n._arg0) {
            if (!pc.set(literals[n._arg1])) break;
            sb[n._arg0] = literals[n._arg1]; // the temporary holds the literal, as the LOAD leaves it
            taken = 2;
        } else if (n.op == _OP_LOADINT && n._arg0 != target) {
            sb[n._arg0] = (SQInteger)n._arg1;
            ++ip;
            continue;
        } else if (n.op == _OP_ARITH && (n._arg3 == '+' || n._arg3 == '-' || n._arg3 == '*') &&
                   n._arg0 != target && n._arg1 != target && n._arg2 != target &&
                   sb[n._arg1]._type == OT_INTEGER && sb[n._arg2]._type == OT_INTEGER) {
            SQUnsignedInteger x = (SQUnsignedInteger)_integer(sb[n._arg2]),
                              y = (SQUnsignedInteger)_integer(sb[n._arg1]);
            sb[n._arg0] = (SQInteger)(n._arg3 == '+' ? x + y : n._arg3 == '-' ? x - y : x * y);
            ++ip;
            continue;
        } else {
            break;
        }
        if (len + (SQUnsignedInteger)pc.len > kMaxStringLength) throw SQOutOfMemory{};
        if (_stepbudget >= 0) spendWork((unsigned long long)pc.len);
        buf = _sharedstate->getScratchPad((SQInteger)(len + (SQUnsignedInteger)pc.len));
        memcpy(buf + len, pc.text, (size_t)pc.len);
        len += (SQUnsignedInteger)pc.len;
        ip += taken;
    }
    sb[target] = SQObjectPtr(SQString::create(_sharedstate, buf, (SQInteger)len));
    return true;
}

void SQVM::typeOf(const SQObjectPtr& o, SQObjectPtr& dest) {
    if (o._type & SQOBJECT_DELEGABLE) {
        if (const SQObjectPtr* mm = getMetaMethod(o, MT_TYPEOF)) {
            SQObjectPtr fn = *mm;
            push(o);
            callMetaMethod(fn, 1, dest);
            return;
        }
    }
    dest = SQObjectPtr(SQString::create(_sharedstate, sqTypeName(o._type)));
}

void SQVM::clone(const SQObjectPtr& self, SQObjectPtr& target) {
    SQObjectPtr newobj;
    switch (self._type) {
    case OT_TABLE:
        spendWork((unsigned long long)_table(self)->_numofnodes * 2 * kWorkBytesPerElement);
        newobj = SQObjectPtr(_table(self)->clone());
        goto cloned_mt;
    case OT_INSTANCE:
        newobj = SQObjectPtr(_instance(self)->clone(_sharedstate));
    cloned_mt:
        if (const SQObjectPtr* mm = getMetaMethod(newobj, MT_CLONED)) {
            SQObjectPtr fn = *mm;
            push(newobj);
            push(self);
            SQObjectPtr r;
            callMetaMethod(fn, 2, r);
        }
        target = newobj;
        return;
    case OT_ARRAY:
        spendWork((unsigned long long)_array(self)->size() * kWorkBytesPerElement);
        target = SQObjectPtr(_array(self)->clone());
        return;
    default:
        raiseError("cloning a %s", sqTypeName(self._type));
    }
}

// The raw types each typemask letter admits.
static SQInteger typemaskLetter(SQChar c) {
    static const struct {
        SQChar letter;
        SQInteger mask;
    } kLetters[] = {{'o', _RT_NULL},
                    {'i', _RT_INTEGER},
                    {'f', _RT_FLOAT},
                    {'n', _RT_FLOAT | _RT_INTEGER},
                    {'s', _RT_STRING},
                    {'t', _RT_TABLE},
                    {'a', _RT_ARRAY},
                    {'u', _RT_USERDATA},
                    {'c', _RT_CLOSURE | _RT_NATIVECLOSURE},
                    {'b', _RT_BOOL},
                    {'g', _RT_GENERATOR},
                    {'p', _RT_USERPOINTER},
                    {'v', _RT_THREAD},
                    {'x', _RT_INSTANCE},
                    {'y', _RT_CLASS},
                    {'r', _RT_WEAKREF}};
    for (const auto& l : kLetters)
        if (l.letter == c) return l.mask;
    return 0;
}

bool sqCompileTypemask(SQVector<SQInteger>& res, const SQChar* typemask) {
    SQInteger i = 0;
    SQInteger mask = 0;
    while (typemask[i] != 0) {
        switch (typemask[i]) {
        case '.':
            mask = -1;
            res.push_back(mask);
            i++;
            mask = 0;
            continue;
        case ' ':
            i++;
            continue;
        default: {
            SQInteger m = typemaskLetter(typemask[i]);
            if (m == 0) return false;
            mask |= m;
        }
        }
        i++;
        if (typemask[i] == '|') {
            i++;
            if (typemask[i] == 0) return false;
            continue;
        }
        res.push_back(mask);
        mask = 0;
    }
    return true;
}
