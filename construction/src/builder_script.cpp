#include "construction/src/builder_script.h"

#include <cmath>

#include "binding/binding.h"
#include "script/script_host.h"

namespace construction {

namespace {

// Pushes the value as a new instance and takes it off the stack again.
template <class T> ScriptValue newInstance(const T& value) {
    HSQUIRRELVM v = ScriptHost::vm();
    if (v == nullptr) {
        return {};
    }
    pushValue<T>(v, value);
    ScriptValue result = ScriptValue::fromStack(-1);
    sq_poptop(v);
    return result;
}

// Calls visit(v) with each element of the array pushed on top of the stack.
template <class F> void forEachElement(const ScriptValue& array, F&& visit) {
    HSQUIRRELVM v = ScriptHost::vm();
    if (v == nullptr || array.type() != OT_ARRAY) {
        return;
    }
    const SQInteger top = sq_gettop(v);
    array.push();
    const SQInteger count = sq_getsize(v, -1);
    for (SQInteger i = 0; i < count; ++i) {
        sq_pushinteger(v, i);
        if (SQ_SUCCEEDED(sq_rawget(v, -2))) {
            visit(v);
        }
        sq_settop(v, top + 1);
    }
    sq_settop(v, top);
}

} // namespace

ScriptValue scriptVector2(const Vector2& value) {
    return newInstance(value);
}

ScriptValue scriptRect(const Rect& value) {
    return newInstance(value);
}

ScriptValue scriptVector2Array(const std::vector<Vector2>& values) {
    HSQUIRRELVM v = ScriptHost::vm();
    if (v == nullptr) {
        return {};
    }
    sq_newarray(v, 0);
    for (const Vector2& value : values) {
        pushValue<Vector2>(v, value);
        sq_arrayappend(v, -2);
    }
    ScriptValue result = ScriptValue::fromStack(-1);
    sq_poptop(v);
    return result;
}

bool answeredYes(const ScriptValue& result) {
    switch (result.type()) {
    case OT_BOOL:
    case OT_INTEGER:
        return result.object()._unVal.nInteger != 0;
    case OT_FLOAT:
        return result.object()._unVal.fFloat != 0.0f;
    default:
        return false;
    }
}

std::vector<std::int16_t> tileNumbers(const ScriptValue& array) {
    std::vector<std::int16_t> numbers;
    forEachElement(array, [&](HSQUIRRELVM v) {
        SQInteger number = 0;
        SQFloat real = 0;
        if (sq_gettype(v, -1) == OT_INTEGER && SQ_SUCCEEDED(sq_getinteger(v, -1, &number))) {
            numbers.push_back(static_cast<std::int16_t>(number));
        } else if (sq_gettype(v, -1) == OT_FLOAT && SQ_SUCCEEDED(sq_getfloat(v, -1, &real))) {
            numbers.push_back(static_cast<std::int16_t>(truncated(real)));
        }
    });
    return numbers;
}

std::vector<Vector2> vector2Elements(const ScriptValue& array) {
    std::vector<Vector2> values;
    forEachElement(array, [&](HSQUIRRELVM v) {
        if (const Vector2* value = getInstance<Vector2>(v, -1)) {
            values.push_back(*value);
        }
    });
    return values;
}

std::int32_t truncated(float value) {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr float kLimit = 2.0e9f;
    return static_cast<std::int32_t>(std::fmax(-kLimit, std::fmin(kLimit, value)));
}

} // namespace construction
