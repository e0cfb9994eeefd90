#include "script/value_construction.h"

#include <cmath>
#include <limits>

float ValueArg::toFloat() const {
    switch (kind) {
    case Kind::Integer:
        return static_cast<float>(integer);
    case Kind::Float:
        return number;
    default:
        return 0.0f;
    }
}

std::int32_t ValueArg::toInteger() const {
    switch (kind) {
    case Kind::Integer:
        return integer;
    case Kind::Float:
        // Converting a float outside the integer range is undefined; scripts can pass anything.
        if (std::isnan(number)) {
            return 0;
        }
        if (number >= 2147483648.0f) {
            return std::numeric_limits<std::int32_t>::max();
        }
        if (number <= -2147483648.0f) {
            return std::numeric_limits<std::int32_t>::min();
        }
        return static_cast<std::int32_t>(number);
    default:
        return 0;
    }
}

bool constructColor(ValueArgs args, Color& out) {
    switch (args.size()) {
    case 0:
        out = Color();
        return true;
    case 1:
        out = Color(static_cast<std::uint32_t>(args[0].toInteger()));
        return true;
    case 3:
        out = Color(args[0].toInteger(), args[1].toInteger(), args[2].toInteger());
        return true;
    case 4:
        out = Color(args[0].toInteger(), args[1].toInteger(), args[2].toInteger(), args[3].toInteger());
        return true;
    default:
        return false;
    }
}

bool constructVector2(ValueArgs args, Vector2& out) {
    switch (args.size()) {
    case 0:
        out = Vector2();
        return true;
    case 1:
        out = Vector2(args[0].toFloat());
        return true;
    case 2:
        out = Vector2(args[0].toFloat(), args[1].toFloat());
        return true;
    default:
        return false;
    }
}

bool constructVector3(ValueArgs args, Vector3& out) {
    switch (args.size()) {
    case 0:
        out = Vector3();
        return true;
    case 1:
        out = Vector3(args[0].toFloat());
        return true;
    case 2:
        out = Vector3(args[0].toFloat(), args[1].toFloat());
        return true;
    case 3:
        out = Vector3(args[0].toFloat(), args[1].toFloat(), args[2].toFloat());
        return true;
    default:
        return false;
    }
}

bool constructVector4(ValueArgs args, Vector4& out) {
    switch (args.size()) {
    case 0:
        out = Vector4();
        return true;
    case 1:
        out = Vector4(args[0].toFloat());
        return true;
    case 2:
        out = Vector4(args[0].toFloat(), args[1].toFloat());
        return true;
    case 3:
        out = Vector4(args[0].toFloat(), args[1].toFloat(), args[2].toFloat());
        return true;
    case 4:
        out = Vector4(args[0].toFloat(), args[1].toFloat(), args[2].toFloat(), args[3].toFloat());
        return true;
    default:
        return false;
    }
}

bool constructMatrix3(ValueArgs args, Matrix3& out) {
    const Vector2* v[3] = {};
    for (std::size_t i = 0; i < args.size() && i < 3; ++i) {
        v[i] = args[i].as<Vector2>();
        if (v[i] == nullptr) {
            return false;
        }
    }
    switch (args.size()) {
    case 0:
        out = Matrix3();
        return true;
    case 1:
        out = Matrix3(*v[0]);
        return true;
    case 2:
        out = Matrix3(*v[0], *v[1]);
        return true;
    case 3:
        out = Matrix3(*v[0], *v[1], *v[2]);
        return true;
    default:
        return false;
    }
}

bool constructMatrix4(ValueArgs args, Matrix4& out) {
    const Vector3* v[4] = {};
    for (std::size_t i = 0; i < args.size() && i < 4; ++i) {
        v[i] = args[i].as<Vector3>();
        if (v[i] == nullptr) {
            return false;
        }
    }
    switch (args.size()) {
    case 0:
        out = Matrix4();
        return true;
    case 1:
        out = Matrix4(*v[0]);
        return true;
    case 2:
        out = Matrix4(*v[0], *v[1]);
        return true;
    case 4:
        out = Matrix4(*v[0], *v[1], *v[2], *v[3]);
        return true;
    default:
        return false;
    }
}

bool constructQuaternion(ValueArgs args, Quaternion& out) {
    switch (args.size()) {
    case 0:
        out = Quaternion();
        return true;
    case 1:
        if (const Matrix4* m = args[0].as<Matrix4>()) {
            out = Quaternion(*m);
            return true;
        }
        return false;
    case 2:
        if (const Vector3* axis = args[1].as<Vector3>()) {
            out = Quaternion(args[0].toFloat(), *axis);
            return true;
        }
        return false;
    case 3: {
        const Quaternion* a = args[0].as<Quaternion>();
        const Quaternion* b = args[1].as<Quaternion>();
        if (a == nullptr || b == nullptr) {
            return false;
        }
        out = Quaternion(*a, *b, args[2].toFloat());
        return true;
    }
    case 4:
        out = Quaternion(args[0].toFloat(), args[1].toFloat(), args[2].toFloat(), args[3].toFloat());
        return true;
    default:
        return false;
    }
}

bool constructRect(ValueArgs args, Rect& out) {
    switch (args.size()) {
    case 0:
        out = Rect();
        return true;
    case 1:
        if (const Rect* r = args[0].as<Rect>()) {
            out = *r;
            return true;
        }
        return false;
    case 4:
        out = Rect(args[0].toInteger(), args[1].toInteger(), args[2].toInteger(), args[3].toInteger());
        return true;
    default:
        return false;
    }
}

bool constructRectF(ValueArgs args, RectF& out) {
    switch (args.size()) {
    case 0:
        out = RectF();
        return true;
    case 1:
        if (const RectF* r = args[0].as<RectF>()) {
            out = *r;
            return true;
        }
        return false;
    case 4:
        out = RectF(args[0].toFloat(), args[1].toFloat(), args[2].toFloat(), args[3].toFloat());
        return true;
    default:
        return false;
    }
}

bool constructIntegralF(ValueArgs, IntegralF& out) {
    out = IntegralF();
    return true;
}
