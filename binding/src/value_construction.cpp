#include "binding/value_construction.h"

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

namespace {

// A vector of N components: () is zero, (s) sets every component to s, and up to N numbers set the
// leading components with the rest 0.
template <class Vector, int N> bool constructVector(ValueArgs args, Vector& out) {
    if (args.size() > N) {
        return false;
    }
    float c[4] = {};
    for (std::size_t k = 0; k < args.size(); ++k) {
        c[k] = args[k].toFloat();
    }
    if (args.size() == 1) {
        c[1] = c[2] = c[3] = c[0];
    }
    if constexpr (N == 2) {
        out = Vector(c[0], c[1]);
    } else if constexpr (N == 3) {
        out = Vector(c[0], c[1], c[2]);
    } else {
        out = Vector(c[0], c[1], c[2], c[3]);
    }
    return true;
}

// () is empty, (R) copies, and four numbers read through `convert` are X, Y, Width, Height.
template <class Rectangle, class Number>
bool constructRectangle(ValueArgs args, Rectangle& out, Number (ValueArg::*convert)() const) {
    switch (args.size()) {
    case 0:
        out = Rectangle();
        return true;
    case 1:
        if (const Rectangle* r = args[0].as<Rectangle>()) {
            out = *r;
            return true;
        }
        return false;
    case 4:
        out =
            Rectangle((args[0].*convert)(), (args[1].*convert)(), (args[2].*convert)(), (args[3].*convert)());
        return true;
    default:
        return false;
    }
}

} // namespace

bool constructVector2(ValueArgs args, Vector2& out) {
    return constructVector<Vector2, 2>(args, out);
}

bool constructVector3(ValueArgs args, Vector3& out) {
    return constructVector<Vector3, 3>(args, out);
}

bool constructVector4(ValueArgs args, Vector4& out) {
    return constructVector<Vector4, 4>(args, out);
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
    return constructRectangle(args, out, &ValueArg::toInteger);
}

bool constructRectF(ValueArgs args, RectF& out) {
    return constructRectangle(args, out, &ValueArg::toFloat);
}

bool constructIntegralF(ValueArgs, IntegralF& out) {
    out = IntegralF();
    return true;
}
