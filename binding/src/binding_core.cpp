#include "binding/binding.h"

#include "platform/kd.h"
#include "squirrel/sqstdlib.h"

#include <cstdio>
#include <cstring>

void reportBindingError(const char* message) {
    kdLogMessage("error: %s\n", message);
}

void reportCastFailure(HSQUIRRELVM v, const char* interfaceName) {
    logError(nullptr, "can't cast to %s", interfaceName);
    sqstd_printcallstack(v);
}

namespace {

constexpr char kReceiverCheck[] = "t|y|x";
constexpr std::size_t kMaxCheckLength = 64;

SQInteger absoluteIndex(HSQUIRRELVM v, SQInteger idx) {
    return idx < 0 ? sq_gettop(v) + 1 + idx : idx;
}

SQInteger typeOfClass(HSQUIRRELVM v) {
    // The class name travels as the closure's free variable (on top).
    sq_push(v, sq_gettop(v));
    return 1;
}

} // namespace

bool createFunction(HSQUIRRELVM v, SQInteger target, const char* name, SQFUNCTION function,
                    const char* typeMask) {
    char check[kMaxCheckLength];
    const char* mask = nullptr;
    SQInteger count = 0;
    if (typeMask == nullptr) {
        mask = kReceiverCheck;
        count = 1;
    } else if (std::strcmp(typeMask, "*") != 0) {
        std::size_t length = sizeof(kReceiverCheck) - 1 + std::strlen(typeMask);
        if (length >= kMaxCheckLength) {
            reportBindingError(BindingMessage::TypeMaskTooLong);
            return false;
        }
        std::snprintf(check, sizeof(check), "%s%s", kReceiverCheck, typeMask);
        mask = check;
        count = SQ_MATCHTYPEMASKSTRING;
    }
    SQInteger top = sq_gettop(v);
    target = absoluteIndex(v, target);
    sq_pushstring(v, name, -1);
    sq_newclosure(v, function, 0);
    bool ok = true;
    if (mask != nullptr) {
        ok = SQ_SUCCEEDED(sq_setparamscheck(v, count, mask));
    }
    sq_setnativeclosurename(v, -1, name);
    ok = ok && SQ_SUCCEEDED(sq_newslot(v, target, SQFalse));
    sq_settop(v, top);
    return ok;
}

bool registerClass(HSQUIRRELVM v, const ClassTypeTag& tag, SQFUNCTION constructor,
                   const char* constructorTypeMask) {
    SQInteger top = sq_gettop(v);
    sq_pushroottable(v);
    sq_pushstring(v, tag.name, -1);
    if (SQ_FAILED(sq_newclass(v, SQFalse))) {
        sq_settop(v, top);
        return false;
    }
    sq_settypetag(v, -1, const_cast<ClassTypeTag*>(&tag));
    HSQOBJECT klass;
    sq_getstackobj(v, -1, &klass);
    if (SQ_FAILED(sq_newslot(v, top + 1, SQFalse))) {
        sq_settop(v, top);
        return false;
    }
    sq_settop(v, top);
    sq_pushobject(v, klass); // held by the root table
    bool ok = createFunction(v, -1, "constructor", constructor, constructorTypeMask);
    // `_typeof`: the class name, kept as the closure's free variable.
    sq_pushstring(v, "_typeof", -1);
    sq_pushstring(v, tag.name, -1);
    sq_newclosure(v, &typeOfClass, 1);
    sq_setnativeclosurename(v, -1, "_typeof");
    ok = ok && SQ_SUCCEEDED(sq_newslot(v, -3, SQFalse));
    sq_settop(v, top + 1);
    if (!ok) {
        sq_settop(v, top);
    }
    return ok;
}

SQInteger raiseWrongArgumentType(HSQUIRRELVM v, SQInteger idx, const char* expected) {
    idx = absoluteIndex(v, idx);
    const SQChar* text = "";
    SQInteger top = sq_gettop(v);
    if (idx >= 1 && idx <= top) {
        sq_tostring(v, idx);
        sq_getstring(v, -1, &text);
    }
    char message[160];
    std::snprintf(message, sizeof(message), "wrong argument type, expected '%s' got '%.50s'", expected, text);
    sq_settop(v, top);
    return sq_throwerror(v, message);
}

namespace binding_detail {

bool isInstanceOf(HSQUIRRELVM v, SQInteger idx, const ClassTypeTag& tag) {
    idx = absoluteIndex(v, idx);
    if (idx < 1 || idx > sq_gettop(v) || sq_gettype(v, idx) != OT_INSTANCE) {
        return false;
    }
    SQUserPointer storage = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &storage, const_cast<ClassTypeTag*>(&tag)))) {
        sq_reseterror(v);
        return false;
    }
    return true;
}

void* instanceStorage(HSQUIRRELVM v, SQInteger idx, const ClassTypeTag& tag) {
    idx = absoluteIndex(v, idx);
    if (idx < 1 || idx > sq_gettop(v) || sq_gettype(v, idx) != OT_INSTANCE) {
        return nullptr;
    }
    SQUserPointer storage = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &storage, const_cast<ClassTypeTag*>(&tag)))) {
        sq_reseterror(v);
        return nullptr;
    }
    return storage;
}

bool pushNewInstance(HSQUIRRELVM v, const ClassTypeTag& tag, const void* value) {
    SQInteger top = sq_gettop(v);
    sq_pushroottable(v);
    sq_pushstring(v, tag.name, -1);
    SQUserPointer classTag = nullptr;
    bool made = SQ_SUCCEEDED(sq_rawget(v, -2)) && sq_gettype(v, -1) == OT_CLASS &&
                SQ_SUCCEEDED(sq_gettypetag(v, -1, &classTag)) && classTag == &tag &&
                SQ_SUCCEEDED(sq_createinstance(v, -1));
    void* memory = made ? sq_malloc(tag.size) : nullptr;
    if (memory == nullptr) {
        sq_settop(v, top);
        return false;
    }
    tag.construct(memory, value);
    sq_setinstanceup(v, -1, memory);
    sq_setreleasehook(v, -1, tag.release);
    // [root, class, instance] -> [instance]
    sq_remove(v, top + 1);
    sq_remove(v, top + 1);
    return true;
}

bool readInteger(HSQUIRRELVM v, SQInteger idx, SQInteger& out) {
    SQObjectType type = sq_gettype(v, idx);
    if ((type == OT_INTEGER || type == OT_FLOAT) && SQ_SUCCEEDED(sq_getinteger(v, idx, &out))) {
        return true;
    }
    reportBindingError(BindingMessage::TypeError);
    out = 0;
    return false;
}

bool readFloat(HSQUIRRELVM v, SQInteger idx, SQFloat& out) {
    SQObjectType type = sq_gettype(v, idx);
    if ((type == OT_INTEGER || type == OT_FLOAT) && SQ_SUCCEEDED(sq_getfloat(v, idx, &out))) {
        return true;
    }
    reportBindingError(BindingMessage::TypeError);
    out = 0.0f;
    return false;
}

bool readBool(HSQUIRRELVM v, SQInteger idx) {
    switch (sq_gettype(v, idx)) {
    case OT_NULL:
        return false;
    case OT_BOOL: {
        SQBool value = SQFalse;
        sq_getbool(v, idx, &value);
        return value != SQFalse;
    }
    case OT_INTEGER: {
        SQInteger value = 0;
        sq_getinteger(v, idx, &value);
        return value != 0;
    }
    case OT_FLOAT: {
        SQFloat value = 0.0f;
        sq_getfloat(v, idx, &value);
        return value != 0.0f;
    }
    default:
        return true;
    }
}

const char* readText(HSQUIRRELVM v, SQInteger idx) {
    const SQChar* text = nullptr;
    if (sq_gettype(v, idx) == OT_STRING && SQ_SUCCEEDED(sq_getstring(v, idx, &text))) {
        return text;
    }
    reportBindingError(BindingMessage::TypeError);
    return "";
}

} // namespace binding_detail
