// Script arrays as native lists.
#include "world/src/script_lists.h"

#include <limits>

#include "binding/binding.h"
#include "binding/value_binding.h"
#include "script/script_host.h"

namespace world_detail {

namespace {

// Pushes the array and calls `each(v)` with every entry on top of the stack; false for anything else.
template <class F> bool forEachEntry(const ScriptValue& array, F&& each) {
    HSQUIRRELVM v = ScriptHost::vm();
    if (v == nullptr || array.type() != OT_ARRAY) {
        return false;
    }
    const SQInteger top = sq_gettop(v);
    array.push();
    const SQInteger count = sq_getsize(v, -1);
    for (SQInteger i = 0; i < count; ++i) {
        sq_pushinteger(v, i);
        if (SQ_SUCCEEDED(sq_rawget(v, -2))) {
            each(v);
            sq_poptop(v);
        }
    }
    sq_settop(v, top);
    return true;
}

} // namespace

std::int32_t truncatedCell(float value) {
    if (!(value > -2147483648.0f && value < 2147483648.0f)) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

bool integerList(const ScriptValue& array, std::vector<std::int32_t>& out) {
    out.clear();
    return forEachEntry(array, [&](HSQUIRRELVM v) {
        std::int32_t value = -1;
        if (sq_gettype(v, -1) == OT_INTEGER) {
            SQInteger i = 0;
            sq_getinteger(v, -1, &i);
            value = static_cast<std::int32_t>(i);
        } else if (sq_gettype(v, -1) == OT_FLOAT) {
            SQFloat f = 0;
            sq_getfloat(v, -1, &f);
            const std::int32_t t = truncatedCell(f);
            value = t == std::numeric_limits<std::int32_t>::min() ? -1 : t;
        }
        out.push_back(value);
    });
}

bool vectorList(const ScriptValue& array, std::vector<Vector2>& out) {
    out.clear();
    return forEachEntry(array, [&](HSQUIRRELVM v) {
        if (const auto* p = static_cast<const Vector2*>(
                binding_detail::instanceStorage(v, -1, valueTypeTag<Vector2>()))) {
            out.push_back(*p);
        }
    });
}

} // namespace world_detail
