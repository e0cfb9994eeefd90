#pragma once
// The constructor forms of the math value classes, independent of the VM: the binding layer reads
// the script arguments into ValueArgs and calls the class's construct function; false means the
// arguments match no form, and the binding raises "construct<Class>: invalid arguments".
//
// Numbers may be integers or floats; where a number is expected any other value counts as 0.
// Where an instance is expected only an instance of that exact class is accepted.

#include <cstdint>
#include <span>

#include "math/color.h"
#include "math/integral_f.h"
#include "math/matrix3.h"
#include "math/matrix4.h"
#include "math/quaternion.h"
#include "math/rect.h"
#include "math/rect_f.h"
#include "math/vector2.h"
#include "math/vector3.h"
#include "math/vector4.h"

// One script argument as the binding layer sees it.
struct ValueArg {
    enum class Kind { Integer, Float, Instance, Other };

    Kind kind = Kind::Other;
    std::int32_t integer = 0;
    float number = 0.0f;
    // For Kind::Instance: the native storage and the class's ScriptName constant (compared by address).
    const void* instance = nullptr;
    const char* className = nullptr;

    static ValueArg ofInteger(std::int32_t value) { return {Kind::Integer, value, 0.0f, nullptr, nullptr}; }
    static ValueArg ofFloat(float value) { return {Kind::Float, 0, value, nullptr, nullptr}; }
    template <class T> static ValueArg ofInstance(const T& value) {
        return {Kind::Instance, 0, 0.0f, &value, T::ScriptName};
    }
    static ValueArg other() { return {}; }

    // The number as a float; 0 for a non-number.
    float toFloat() const;
    // The number as an integer, a float truncated toward zero (saturated at the integer range, NaN
    // as 0); 0 for a non-number.
    std::int32_t toInteger() const;
    // The instance's value when it is of class T, else null.
    template <class T> const T* as() const {
        return (kind == Kind::Instance && className == T::ScriptName) ? static_cast<const T*>(instance)
                                                                      : nullptr;
    }
};

using ValueArgs = std::span<const ValueArg>;

bool constructColor(ValueArgs args, Color& out);
bool constructVector2(ValueArgs args, Vector2& out);
bool constructVector3(ValueArgs args, Vector3& out);
bool constructVector4(ValueArgs args, Vector4& out);
bool constructMatrix3(ValueArgs args, Matrix3& out);
bool constructMatrix4(ValueArgs args, Matrix4& out);
bool constructQuaternion(ValueArgs args, Quaternion& out);
bool constructRect(ValueArgs args, Rect& out);
bool constructRectF(ValueArgs args, RectF& out);
// IntegralF has only the empty form and no error of its own: arguments are ignored.
bool constructIntegralF(ValueArgs args, IntegralF& out);
