#include "binding/value_binding.h"

#include "binding/value_construction.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kMaxVariableName = 255;
constexpr SQInteger kMaxConstructorArguments = 8;

// Field types without a class of their own, for __SqTypes.
const ClassTypeTag g_integerType{nullptr, "int", 4, nullptr, nullptr};
const ClassTypeTag g_floatType{nullptr, "float", 4, nullptr, nullptr};
const ClassTypeTag g_boolType{nullptr, "bool", 1, nullptr, nullptr};
const ClassTypeTag g_pointerType{nullptr, "SQUserPointer", sizeof(void*), nullptr, nullptr};

// The value classes' tags, in registration order; constructor arguments are recognised against them.
std::vector<const ClassTypeTag*>& valueTags() {
    static std::vector<const ClassTypeTag*> tags;
    return tags;
}

// Small per-type numbers for __SqTypes (addresses would not fit a script integer).
SQInteger typeNumber(const ClassTypeTag* tag) {
    static std::vector<const ClassTypeTag*> numbered;
    for (std::size_t i = 0; i < numbered.size(); ++i) {
        if (numbered[i] == tag) {
            return static_cast<SQInteger>(i + 1);
        }
    }
    numbered.push_back(tag);
    return static_cast<SQInteger>(numbered.size());
}

// "_v" + name, the name cut to 255 characters.
void variableKey(char (&key)[kMaxVariableName + 3], const char* name) {
    std::snprintf(key, sizeof(key), "_v%.255s", name);
}

// The descriptor of member `name` of the instance at index 1, or null.
const VariableDescriptor* findDescriptor(HSQUIRRELVM v, const char* name) {
    char key[kMaxVariableName + 3];
    variableKey(key, name);
    SQInteger top = sq_gettop(v);
    const VariableDescriptor* descriptor = nullptr;
    if (SQ_SUCCEEDED(sq_getclass(v, 1))) {
        sq_pushstring(v, key, -1);
        SQUserPointer data = nullptr;
        if (SQ_SUCCEEDED(sq_rawget(v, -2)) && sq_gettype(v, -1) == OT_USERDATA &&
            SQ_SUCCEEDED(sq_getuserdata(v, -1, &data, nullptr))) {
            // The class keeps the user data alive.
            descriptor = static_cast<const VariableDescriptor*>(data);
        }
    }
    sq_settop(v, top);
    return descriptor;
}

SQInteger failWith(HSQUIRRELVM v, const char* message) {
    reportBindingError(message);
    return sq_throwerror(v, message);
}

SQInteger variableGet(HSQUIRRELVM v) {
    const SQChar* name = nullptr;
    sq_getstring(v, 2, &name);
    const VariableDescriptor* descriptor = findDescriptor(v, name);
    if (descriptor == nullptr) {
        return failWith(v, "getInstanceVarInfo: Could not retrieve UserData");
    }
    const unsigned char* field = nullptr;
    if (descriptor->access & VAR_ACCESS_CONSTANT) {
        field = reinterpret_cast<const unsigned char*>(&descriptor->offset);
    } else {
        void* storage = binding_detail::instanceStorage(v, 1, *descriptor->owner);
        if (storage == nullptr) {
            return failWith(v, BindingMessage::InvalidInstance);
        }
        field = static_cast<const unsigned char*>(storage) + descriptor->offset;
    }
    switch (descriptor->type) {
    case VariableType::SignedInteger:
    case VariableType::UnsignedInteger: {
        bool isSigned = descriptor->type == VariableType::SignedInteger;
        SQInteger value = 0;
        if (descriptor->size == 1) {
            value = isSigned ? *reinterpret_cast<const std::int8_t*>(field) : *field;
        } else if (descriptor->size == 2) {
            std::uint16_t bits;
            std::memcpy(&bits, field, 2);
            value = isSigned ? static_cast<std::int16_t>(bits) : bits;
        } else {
            std::memcpy(&value, field, 4);
        }
        sq_pushinteger(v, value);
        return 1;
    }
    case VariableType::Float: {
        float value;
        std::memcpy(&value, field, sizeof(value));
        sq_pushfloat(v, value);
        return 1;
    }
    case VariableType::Bool:
        sq_pushbool(v, *field != 0);
        return 1;
    case VariableType::UserPointer: {
        void* pointer;
        std::memcpy(&pointer, field, sizeof(pointer));
        sq_pushuserpointer(v, pointer);
        return 1;
    }
    case VariableType::Instance:
        if (!binding_detail::pushNewInstance(v, *descriptor->fieldType, field)) {
            char message[300];
            std::snprintf(message, sizeof(message), "getVar(): Could not create instance: %s",
                          descriptor->fieldType->name);
            return failWith(v, message);
        }
        return 1;
    }
    return 0;
}

SQInteger variableSet(HSQUIRRELVM v) {
    const SQChar* name = nullptr;
    sq_getstring(v, 2, &name);
    const VariableDescriptor* descriptor = findDescriptor(v, name);
    if (descriptor == nullptr) {
        return failWith(v, "getInstanceVarInfo: Could not retrieve UserData");
    }
    if (descriptor->access & (VAR_ACCESS_READ_ONLY | VAR_ACCESS_CONSTANT)) {
        char message[300];
        std::snprintf(message, sizeof(message), "setVar(): Cannot write to constant: %s", name);
        return failWith(v, message);
    }
    if (descriptor->type == VariableType::UserPointer) {
        char message[300];
        std::snprintf(message, sizeof(message), "setVar(): Cannot write to an SQUserPointer: %s", name);
        return failWith(v, message);
    }
    void* storage = binding_detail::instanceStorage(v, 1, *descriptor->owner);
    if (storage == nullptr) {
        return failWith(v, BindingMessage::InvalidInstance);
    }
    unsigned char* field = static_cast<unsigned char*>(storage) + descriptor->offset;
    SQObjectType type = sq_gettype(v, 3);
    bool numeric = type == OT_INTEGER || type == OT_FLOAT;
    switch (descriptor->type) {
    case VariableType::SignedInteger:
    case VariableType::UnsignedInteger: {
        SQInteger value = 0;
        if (numeric) {
            sq_getinteger(v, 3, &value);
        }
        std::memcpy(field, &value, descriptor->size <= 4 ? descriptor->size : 4); // little-endian: low bytes
        break;
    }
    case VariableType::Float: {
        SQFloat value = 0.0f;
        if (numeric) {
            sq_getfloat(v, 3, &value);
        }
        std::memcpy(field, &value, sizeof(value));
        break;
    }
    case VariableType::Bool: {
        SQBool value = SQFalse;
        if (type == OT_BOOL) {
            sq_getbool(v, 3, &value);
        }
        *field = value ? 1 : 0;
        break;
    }
    case VariableType::UserPointer:
        break; // refused above
    case VariableType::Instance: {
        void* source = binding_detail::instanceStorage(v, 3, *descriptor->fieldType);
        if (source == nullptr) {
            return failWith(v, "INSTANCE type assignment mismatch");
        }
        descriptor->fieldType->copy(field, source);
        break;
    }
    }
    sq_push(v, 3);
    return 1;
}

// One constructor argument as the construction rules see it.
ValueArg readValueArg(HSQUIRRELVM v, SQInteger idx) {
    switch (sq_gettype(v, idx)) {
    case OT_INTEGER: {
        SQInteger value = 0;
        sq_getinteger(v, idx, &value);
        return ValueArg::ofInteger(value);
    }
    case OT_FLOAT: {
        SQFloat value = 0.0f;
        sq_getfloat(v, idx, &value);
        return ValueArg::ofFloat(value);
    }
    case OT_INSTANCE:
        for (const ClassTypeTag* tag : valueTags()) {
            if (void* storage = binding_detail::instanceStorage(v, idx, *tag)) {
                ValueArg arg;
                arg.kind = ValueArg::Kind::Instance;
                arg.instance = storage;
                arg.className = tag->name;
                return arg;
            }
        }
        return ValueArg::other();
    default:
        return ValueArg::other();
    }
}

template <ValueClass T> const char* constructorError() {
    static const std::string message = std::string("construct") + T::ScriptName + ": invalid arguments";
    return message.c_str();
}

template <ValueClass T, bool (*Construct)(ValueArgs, T&)> SQInteger constructValue(HSQUIRRELVM v) {
    SQInteger count = sq_gettop(v) - 1;
    // Only an instance of this class takes a value (a constructor called on another object must not replace
    // that object's storage).
    if (!binding_detail::isInstanceOf(v, 1, valueTypeTag<T>()) || count > kMaxConstructorArguments) {
        return sq_throwerror(v, constructorError<T>());
    }
    ValueArg args[kMaxConstructorArguments];
    for (SQInteger i = 0; i < count; ++i) {
        args[i] = readValueArg(v, i + 2);
    }
    T value;
    if (!Construct(ValueArgs(args, static_cast<std::size_t>(count)), value)) {
        return sq_throwerror(v, constructorError<T>());
    }
    if (T* existing = static_cast<T*>(binding_detail::instanceStorage(v, 1, valueTypeTag<T>()))) {
        *existing = value; // the constructor called again on a live instance
        return 0;
    }
    if (!adoptValue(v, 1, value)) {
        return sq_throwerror(v, "out of memory");
    }
    return 0;
}

// `_cloned` (source): the clone gets storage of its own holding a copy.
template <ValueClass T> SQInteger cloneValue(HSQUIRRELVM v) {
    if (!binding_detail::isInstanceOf(v, 1, valueTypeTag<T>())) {
        return sq_throwerror(v, "_cloned: the clone is not of this class");
    }
    sq_setinstanceup(v, 1, nullptr);
    sq_setreleasehook(v, 1, nullptr);
    const T* source = static_cast<const T*>(binding_detail::instanceStorage(v, 2, valueTypeTag<T>()));
    if (source != nullptr && !adoptValue(v, 1, *source)) {
        return sq_throwerror(v, "out of memory");
    }
    return 0;
}

VariableType variableType(ValueMemberKind kind) {
    switch (kind) {
    case ValueMemberKind::Int32:
        return VariableType::SignedInteger;
    case ValueMemberKind::Float:
        return VariableType::Float;
    case ValueMemberKind::Vector3:
        return VariableType::Instance;
    }
    return VariableType::SignedInteger;
}

} // namespace

bool bindMemberVariable(HSQUIRRELVM v, SQInteger klass, const ClassTypeTag& owner, const char* name,
                        const VariableDescriptor& descriptor) {
    SQInteger top = sq_gettop(v);
    klass = klass < 0 ? top + 1 + klass : klass;
    bool ok = true;
    sq_pushstring(v, "_set", -1);
    bool hasSet = SQ_SUCCEEDED(sq_rawget(v, klass));
    sq_settop(v, top);
    if (!hasSet) {
        ok = createFunction(v, klass, "_set", &variableSet, "sn|b|s|x") &&
             createFunction(v, klass, "_get", &variableGet, "s");
    }
    char key[kMaxVariableName + 3];
    variableKey(key, name);
    sq_pushstring(v, key, -1);
    if (SQ_FAILED(sq_rawget(v, klass))) {
        sq_pushstring(v, key, -1);
        sq_newuserdata(v, sizeof(VariableDescriptor));
        sq_newslot(v, klass, SQTrue);
    }
    sq_settop(v, top);
    sq_pushstring(v, key, -1);
    SQUserPointer data = nullptr;
    if (SQ_FAILED(sq_rawget(v, klass)) || SQ_FAILED(sq_getuserdata(v, -1, &data, nullptr))) {
        sq_settop(v, top);
        reportBindingError("Could not create UserData.");
        return false;
    }
    VariableDescriptor stored = descriptor;
    stored.owner = &owner;
    std::memcpy(data, &stored, sizeof(stored));
    sq_settop(v, top);

    // __SqTypes: field type number -> its name.
    const ClassTypeTag* fieldType = descriptor.fieldType;
    if (fieldType == nullptr) {
        switch (descriptor.type) {
        case VariableType::Float:
            fieldType = &g_floatType;
            break;
        case VariableType::Bool:
            fieldType = &g_boolType;
            break;
        case VariableType::UserPointer:
            fieldType = &g_pointerType;
            break;
        default:
            fieldType = &g_integerType;
            break;
        }
    }
    sq_pushroottable(v);
    sq_pushstring(v, "__SqTypes", -1);
    if (SQ_FAILED(sq_rawget(v, -2))) {
        sq_pushstring(v, "__SqTypes", -1);
        sq_newtable(v);
        sq_newslot(v, -3, SQFalse);
        sq_pushstring(v, "__SqTypes", -1);
        sq_rawget(v, -2);
    }
    sq_pushinteger(v, typeNumber(fieldType));
    sq_pushstring(v, fieldType->name, -1);
    sq_newslot(v, -3, SQFalse);
    sq_settop(v, top);
    return ok;
}

// ---- Class registration
// ----------------------------------------------------------------------------------------

namespace value_binding_detail {

// Registers T's class with its constructor, `_cloned` and member variables; leaves the class pushed.
template <ValueClass T, bool (*Construct)(ValueArgs, T&)> bool beginValueClass(HSQUIRRELVM v) {
    const ClassTypeTag& tag = valueTypeTag<T>();
    if (!registerClass(v, tag, &constructValue<T, Construct>, "*")) {
        return false;
    }
    if (std::find(valueTags().begin(), valueTags().end(), &tag) == valueTags().end()) {
        valueTags().push_back(&tag);
    }
    bool ok = createFunction(v, -1, "_cloned", &cloneValue<T>, "*");
    if constexpr (requires { T::Members(); }) {
        for (const ValueMember& member : T::Members()) {
            VariableDescriptor descriptor;
            descriptor.offset = member.offset;
            descriptor.type = variableType(member.kind);
            descriptor.size = member.kind == ValueMemberKind::Vector3 ? sizeof(Vector3) : 4;
            descriptor.fieldType =
                member.kind == ValueMemberKind::Vector3 ? &valueTypeTag<Vector3>() : nullptr;
            ok = bindMemberVariable(v, -1, tag, member.name, descriptor) && ok;
        }
    }
    return ok;
}

} // namespace value_binding_detail

namespace {

using value_binding_detail::beginValueClass;

// Adds integer class constants (static slots).
void bindConstants(HSQUIRRELVM v, std::span<const ValueConstant> constants) {
    for (const ValueConstant& constant : constants) {
        sq_pushstring(v, constant.name, -1);
        sq_pushinteger(v, constant.value);
        sq_newslot(v, -3, SQTrue);
    }
}

bool registerColor(HSQUIRRELVM v) {
    if (!beginValueClass<Color, constructColor>(v)) {
        return false;
    }
    bool ok = bindValueMethod<Color>(v, -1, "GetValue", &Color::GetValue) &&
              bindValueMethod<Color>(v, -1, "SetValue", &Color::SetValue) &&
              bindValueMethod<Color>(v, -1, "GetA", &Color::GetA) &&
              bindValueMethod<Color>(v, -1, "GetR", &Color::GetR) &&
              bindValueMethod<Color>(v, -1, "GetG", &Color::GetG) &&
              bindValueMethod<Color>(v, -1, "GetB", &Color::GetB) &&
              bindValueMethod<Color>(v, -1, "GetAlpha", &Color::GetAlpha) &&
              bindValueMethod<Color>(v, -1, "GetRed", &Color::GetRed) &&
              bindValueMethod<Color>(v, -1, "GetGreen", &Color::GetGreen) &&
              bindValueMethod<Color>(v, -1, "GetBlue", &Color::GetBlue) &&
              bindValueMethod<Color>(
                  v, -1, "_cmp", +[](const Color& a, const Color& b) { return compareValueBytes(a, b); }) &&
              bindValueMethod<Color>(
                  v, -1, "_tostring", +[](const Color& a) { return a.toString(); }) &&
              bindFunction(
                  v, -1, "MakeARGB", +[](std::int32_t a, std::int32_t r, std::int32_t g, std::int32_t b) {
                      return Color::MakeARGB(a, r, g, b);
                  });
    bindConstants(v, Color::ChannelConstants());
    bindConstants(v, Color::NamedColors());
    sq_pop(v, 1);
    return ok;
}

// The operators and metamethods of the vectors, matrices and quaternions: element-wise `_add` and `_sub`,
// `_mul` as given (by a float, or the matrix product), `_div` by a float, `_unm`, `_cmp` and `_tostring`.
template <class T, class Multiply> bool bindOperators(HSQUIRRELVM v, Multiply multiply) {
    return bindValueMethod<T>(
               v, -1, "_add", +[](const T& a, const T& b) { return a + b; }) &&
           bindValueMethod<T>(
               v, -1, "_sub", +[](const T& a, const T& b) { return a - b; }) &&
           bindValueMethod<T>(v, -1, "_mul", multiply) &&
           bindValueMethod<T>(
               v, -1, "_div", +[](const T& a, float s) { return a / s; }) &&
           bindValueMethod<T>(
               v, -1, "_unm", +[](const T& a) { return -a; }) &&
           bindValueMethod<T>(
               v, -1, "_cmp", +[](const T& a, const T& b) { return compareValueBytes(a, b); }) &&
           bindValueMethod<T>(
               v, -1, "_tostring", +[](const T& a) { return a.toString(); });
}

template <class T> bool bindVectorOperators(HSQUIRRELVM v) {
    return bindOperators<T>(
        v, +[](const T& a, float s) { return a * s; });
}

template <class T> bool bindMagnitudeMethods(HSQUIRRELVM v) {
    return bindValueMethod<T>(v, -1, "Normalize", &T::Normalize) &&
           bindValueMethod<T>(v, -1, "GetNormalized", &T::GetNormalized) &&
           bindValueMethod<T>(v, -1, "GetMagnitude", &T::GetMagnitude) &&
           bindValueMethod<T>(v, -1, "GetSquareMagnitude", &T::GetSquareMagnitude);
}

bool registerVector2(HSQUIRRELVM v) {
    if (!beginValueClass<Vector2, constructVector2>(v)) {
        return false;
    }
    bool ok = bindVectorOperators<Vector2>(v) && bindValueMethod<Vector2>(v, -1, "Equal", &Vector2::Equal) &&
              bindMagnitudeMethods<Vector2>(v) &&
              bindValueMethod<Vector2>(v, -1, "IsValid", &Vector2::IsValid) &&
              bindFunction(v, -1, "GetDotProduct", &Vector2::GetDotProduct) &&
              bindFunction(v, -1, "AngleBetween", &Vector2::AngleBetween) &&
              bindFunction(v, -1, "Lerp", &Vector2::Lerp) &&
              bindFunction(v, -1, "GetOrthogonal", &Vector2::GetOrthogonal);
    sq_pop(v, 1);
    return ok;
}

// Vector3 and Vector4 share their method set (Vector4's cross product answers a Vector3).
template <class T, bool (*Construct)(ValueArgs, T&)> bool registerSpaceVector(HSQUIRRELVM v) {
    if (!beginValueClass<T, Construct>(v)) {
        return false;
    }
    bool ok = bindVectorOperators<T>(v) && bindMagnitudeMethods<T>(v) &&
              bindFunction(v, -1, "GetDotProduct", &T::GetDotProduct) &&
              bindFunction(v, -1, "GetCrossProduct", &T::GetCrossProduct) &&
              bindFunction(v, -1, "Lerp", &T::Lerp);
    sq_pop(v, 1);
    return ok;
}

// The methods shared by the matrix classes. The script product `a * b` is the native b * a (b applies first).
template <class T> bool bindMatrixMethods(HSQUIRRELVM v) {
    return bindOperators<T>(
               v, +[](const T& a, const T& b) { return b * a; }) &&
           bindValueMethod<T>(v, -1, "GetXVec", &T::GetXVec) &&
           bindValueMethod<T>(v, -1, "GetYVec", &T::GetYVec);
}

template <class T> bool bindMatrixTransforms(HSQUIRRELVM v) {
    return bindValueMethod<T>(v, -1, "Normalize", &T::Normalize) &&
           bindValueMethod<T>(v, -1, "GetNormalized", &T::GetNormalized) &&
           bindValueMethod<T>(v, -1, "Mult", &T::Mult) &&
           bindValueMethod<T>(v, -1, "MultInvVect", &T::MultInvVect) &&
           bindValueMethod<T>(v, -1, "MultInvVrt", &T::MultInvVrt) &&
           bindValueMethod<T>(v, -1, "MultVect", &T::MultVect) &&
           bindValueMethod<T>(v, -1, "MultVecs", &T::MultVecs) &&
           bindValueMethod<T>(v, -1, "MultVrt", &T::MultVrt) &&
           bindValueMethod<T>(v, -1, "Inverse", &T::Inverse) &&
           bindValueMethod<T>(v, -1, "Transpose", &T::Transpose);
}

bool registerMatrix3(HSQUIRRELVM v) {
    if (!beginValueClass<Matrix3, constructMatrix3>(v)) {
        return false;
    }
    bool ok =
        bindMatrixMethods<Matrix3>(v) && bindValueMethod<Matrix3>(v, -1, "GetOrigin", &Matrix3::GetOrigin) &&
        bindValueMethod<Matrix3>(v, -1, "SetXVec", &Matrix3::SetXVec) &&
        bindValueMethod<Matrix3>(v, -1, "SetYVec", &Matrix3::SetYVec) &&
        bindValueMethod<Matrix3>(v, -1, "SetOrigin", &Matrix3::SetOrigin) && bindMatrixTransforms<Matrix3>(v);
    sq_pop(v, 1);
    return ok;
}

bool registerMatrix4(HSQUIRRELVM v) {
    if (!beginValueClass<Matrix4, constructMatrix4>(v)) {
        return false;
    }
    bool ok = bindMatrixMethods<Matrix4>(v) &&
              bindValueMethod<Matrix4>(v, -1, "GetZVec", &Matrix4::GetZVec) &&
              bindValueMethod<Matrix4>(v, -1, "GetOrigin", &Matrix4::GetOrigin) &&
              bindValueMethod<Matrix4>(v, -1, "SetXVec", &Matrix4::SetXVec) &&
              bindValueMethod<Matrix4>(v, -1, "SetYVec", &Matrix4::SetYVec) &&
              bindValueMethod<Matrix4>(v, -1, "SetZVec", &Matrix4::SetZVec) &&
              bindValueMethod<Matrix4>(v, -1, "SetOrigin", &Matrix4::SetOrigin) &&
              bindMatrixTransforms<Matrix4>(v) && bindFunction(v, -1, "Rotation", &Matrix4::Rotation) &&
              bindFunction(v, -1, "RotationZ", &Matrix4::RotationZ);
    sq_pop(v, 1);
    return ok;
}

bool registerQuaternion(HSQUIRRELVM v) {
    if (!beginValueClass<Quaternion, constructQuaternion>(v)) {
        return false;
    }
    using Q = Quaternion;
    bool ok = bindVectorOperators<Q>(v) && bindMagnitudeMethods<Q>(v) &&
              bindValueMethod<Q>(v, -1, "FromMatrix", &Q::FromMatrix) &&
              bindValueMethod<Q>(v, -1, "ToMatrix", &Q::ToMatrix) &&
              bindValueMethod<Q>(v, -1, "Slerp", &Q::Slerp) &&
              bindValueMethod<Q>(v, -1, "Inverse", &Q::Inverse);
    sq_pop(v, 1);
    return ok;
}

template <class T, bool (*Construct)(ValueArgs, T&)> bool registerRectangle(HSQUIRRELVM v) {
    if (!beginValueClass<T, Construct>(v)) {
        return false;
    }
    bool ok = bindValueMethod<T>(
                  v, -1, "_tostring", +[](const T& a) { return a.toString(); }) &&
              bindValueMethod<T>(v, -1, "IsEmpty", &T::IsEmpty) &&
              bindValueMethod<T>(v, -1, "Union", &T::Union) &&
              bindValueMethod<T>(v, -1, "Intersect", &T::Intersect) &&
              bindValueMethod<T>(v, -1, "IsPointIn", &T::IsPointIn);
    sq_pop(v, 1);
    return ok;
}

bool registerIntegralF(HSQUIRRELVM v) {
    if (!beginValueClass<IntegralF, constructIntegralF>(v)) {
        return false;
    }
    bool ok = bindValueMethod<IntegralF>(v, -1, "SetIntegralSize", &IntegralF::SetIntegralSize) &&
              bindValueMethod<IntegralF>(v, -1, "PushValue", &IntegralF::PushValue) &&
              bindValueMethod<IntegralF>(v, -1, "GetAverageValue", &IntegralF::GetAverageValue) &&
              bindValueMethod<IntegralF>(v, -1, "GetIntegralValue", &IntegralF::GetIntegralValue) &&
              bindValueMethod<IntegralF>(v, -1, "Clear", &IntegralF::Clear);
    sq_pop(v, 1);
    return ok;
}

} // namespace

bool registerValueClasses(HSQUIRRELVM v) {
    SQInteger top = sq_gettop(v);
    bool ok = registerColor(v) && registerVector2(v) && registerSpaceVector<Vector3, constructVector3>(v) &&
              registerSpaceVector<Vector4, constructVector4>(v) && registerMatrix3(v) && registerMatrix4(v) &&
              registerQuaternion(v) && registerRectangle<Rect, constructRect>(v) &&
              registerRectangle<RectF, constructRectF>(v) && registerIntegralF(v);
    sq_settop(v, top);
    return ok;
}
