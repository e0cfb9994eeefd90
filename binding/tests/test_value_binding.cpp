// The value classes through real scripts: every method and operator, member variables, constructors and the
// argument messages. Expected texts are worked out by hand from the definitions of the operations.
#include "test_binding_vm.h"

#include "math/rect.h"

#include "math/vector2.h"
#include "math/vector3.h"
#include <cstddef>
#include <cstdint>

namespace {

struct Case {
    const char* expression;
    const char* expected;
};

// One case per method or operator; "%f" forms for instances, "%g" for floats.
const Case kCases[] = {
    // Color
    {"Color()", "Color(255, 0, 0, 0)"},
    {"Color(255, 0, 0)", "Color(255, 255, 0, 0)"},
    {"Color(255, 0, 0).GetValue() == Color.Red", "true"},
    {"Color(0x1FF, 0, 0, 0).GetA()", "255"},
    {"Color(1.9).GetValue()", "1"},
    {"Color(0x80402010).GetR()", "64"},
    {"Color(0x80402010).GetG()", "32"},
    {"Color(0x80402010).GetB()", "16"},
    {"Color(0xFF000000).GetAlpha()", "1"},
    {"Color(0x00330000).GetRed()", "0.2"},
    {"Color(0x00006600).GetGreen()", "0.4"},
    {"Color(0x00000099).GetBlue()", "0.6"},
    {"(function() { local c = Color(); c.SetValue(0x11223344); return c.GetB() })()", "68"},
    {"Color.MakeARGB(1, 2, 3, 0x104)", "16909060"},
    {"Color.Red.tostring() + Color.Transparent", "-6553616777215"},
    {"Color.AlphaMask", "-16777216"},
    {"Color.GreenShift", "8"},
    {"Color.YellowGreen", "-6632142"},
    // raw bytes in memory order: 256 (00 01 00 00) sorts before 1 (01 00 00 00)
    {"Color(256) < Color(1)", "true"},
    {"Color(7) <= Color(7)", "true"},

    // Vector2
    {"Vector2()", "Vector2(0.000000, 0.000000)"},
    {"Vector2(3)", "Vector2(3.000000, 3.000000)"},
    {"Vector2(1, 2) + Vector2(3, 4)", "Vector2(4.000000, 6.000000)"},
    {"Vector2(1, 2) - Vector2(3, 5)", "Vector2(-2.000000, -3.000000)"},
    {"Vector2(1, 2) * 2", "Vector2(2.000000, 4.000000)"},
    {"Vector2(1, 2) / 4", "Vector2(0.250000, 0.500000)"},
    {"-Vector2(1, -2)", "Vector2(-1.000000, 2.000000)"},
    {"Vector2(1, 2) < Vector2(1, 3)", "true"},
    {"Vector2(1, 2).Equal(Vector2(1, 2))", "true"},
    {"Vector2(1, 2).Equal(Vector2(1, 2.5))", "false"},
    {"(function() { local v = Vector2(3, 4); v.Normalize(); return v })()", "Vector2(0.600000, 0.800000)"},
    {"Vector2(0, 5).GetNormalized()", "Vector2(0.000000, 1.000000)"},
    {"Vector2(3, 4).GetMagnitude()", "5"},
    {"Vector2(3, 4).GetSquareMagnitude()", "25"},
    {"Vector2(1, 0).IsValid()", "true"},
    {"(Vector2(1, 0) / 0).IsValid()", "false"},
    {"Vector2.GetDotProduct(Vector2(1, 2), Vector2(3, 4))", "11"},
    {"Vector2.AngleBetween(Vector2(1, 0), Vector2(0, 1))", "-1.5708"},
    {"Vector2.Lerp(Vector2(0, 0), Vector2(10, 20), 0.25)", "Vector2(2.500000, 5.000000)"},
    {"Vector2.GetOrthogonal(Vector2(1, 2))", "Vector2(-2.000000, 1.000000)"},
    {"Vector2(7, 8).GetDotProduct(Vector2(1, 0), Vector2(2, 0))", "2"}, // class-level: receiver ignored
    {"(function() { local v = Vector2(1, 2); v.x = 5; v.y = 7.5; return v.x + v.y })()", "12.5"},
    {"(function() { local v = Vector2(); v.x = \"text\"; return v.x })()", "0"},

    // Vector3
    {"Vector3(1)", "Vector3(1.000000, 1.000000, 1.000000)"},
    {"Vector3(1, 2)", "Vector3(1.000000, 2.000000, 0.000000)"},
    {"Vector3(1, 2, 3) + Vector3(1, 1, 1)", "Vector3(2.000000, 3.000000, 4.000000)"},
    {"Vector3(1, 2, 3) - Vector3(1, 1, 1)", "Vector3(0.000000, 1.000000, 2.000000)"},
    {"Vector3(1, 2, 3) * 3", "Vector3(3.000000, 6.000000, 9.000000)"},
    {"Vector3(2, 4, 8) / 2", "Vector3(1.000000, 2.000000, 4.000000)"},
    {"-Vector3(1, 2, 3)", "Vector3(-1.000000, -2.000000, -3.000000)"},
    {"Vector3(1, 2, 3) > Vector3(1, 2, 2)", "true"},
    {"(function() { local v = Vector3(0, 0, 2); v.Normalize(); return v })()",
     "Vector3(0.000000, 0.000000, 1.000000)"},
    {"Vector3(2, 3, 6).GetNormalized().z", "0.857143"},
    {"Vector3(2, 3, 6).GetMagnitude()", "7"},
    {"Vector3(2, 3, 6).GetSquareMagnitude()", "49"},
    {"Vector3.GetDotProduct(Vector3(1, 2, 3), Vector3(4, 5, 6))", "32"},
    {"Vector3.GetCrossProduct(Vector3(1, 0, 0), Vector3(0, 1, 0))", "Vector3(0.000000, 0.000000, 1.000000)"},
    {"Vector3.Lerp(Vector3(0, 0, 0), Vector3(2, 4, 6), 0.5)", "Vector3(1.000000, 2.000000, 3.000000)"},
    {"(function() { local v = Vector3(); v.z = 3; return v })()", "Vector3(0.000000, 0.000000, 3.000000)"},

    // Vector4
    {"Vector4(2)", "Vector4(2.000000, 2.000000, 2.000000, 2.000000)"},
    {"Vector4(1, 2, 3)", "Vector4(1.000000, 2.000000, 3.000000, 0.000000)"},
    {"Vector4(1, 2, 3, 4) + Vector4(1, 1, 1, 1)", "Vector4(2.000000, 3.000000, 4.000000, 5.000000)"},
    {"Vector4(1, 2, 3, 4) - Vector4(1, 1, 1, 1)", "Vector4(0.000000, 1.000000, 2.000000, 3.000000)"},
    {"Vector4(1, 2, 3, 4) * 0.5", "Vector4(0.500000, 1.000000, 1.500000, 2.000000)"},
    {"Vector4(1, 2, 3, 4) / 0.5", "Vector4(2.000000, 4.000000, 6.000000, 8.000000)"},
    {"-Vector4(1, 2, 3, 4)", "Vector4(-1.000000, -2.000000, -3.000000, -4.000000)"},
    {"Vector4(1, 2, 3, 4) <= Vector4(1, 2, 3, 4)", "true"},
    {"Vector4(1, 1, 1, 1).GetMagnitude()", "2"},
    {"Vector4(1, 1, 1, 1).GetSquareMagnitude()", "4"},
    {"Vector4(0, 0, 0, 3).GetNormalized()", "Vector4(0.000000, 0.000000, 0.000000, 1.000000)"},
    {"(function() { local v = Vector4(4, 0, 0, 0); v.Normalize(); return v.x })()", "1"},
    {"Vector4.GetDotProduct(Vector4(1, 2, 3, 4), Vector4(1, 1, 1, 1))", "10"},
    {"Vector4.GetCrossProduct(Vector4(0, 1, 0, 9), Vector4(0, 0, 1, 9))",
     "Vector3(1.000000, 0.000000, 0.000000)"},
    {"Vector4.Lerp(Vector4(0, 0, 0, 0), Vector4(4, 4, 4, 4), 0.75)",
     "Vector4(3.000000, 3.000000, 3.000000, 3.000000)"},
    {"(function() { local v = Vector4(); v.w = 2; return v.w })()", "2"},

    // Matrix3
    {"Matrix3()", "Matrix3(Vector3(1.000000, 0.000000, 0.000000), Vector3(0.000000, 1.000000, 0.000000), "
                  "Vector3(0.000000, 0.000000, 1.000000))"},
    {"Matrix3(Vector2(1, 0), Vector2(5, 7)).MultVrt(Vector2(1, 1))", "Vector2(6.000000, 8.000000)"},
    {"Matrix3(Vector2(0, 1), Vector2(0, 0)).GetYVec()", "Vector2(-1.000000, 0.000000)"},
    {"Matrix3(Vector2(1, 2), Vector2(3, 4), Vector2(5, 6)).GetXVec()", "Vector2(1.000000, 2.000000)"},
    {"Matrix3(Vector2(1, 2), Vector2(3, 4), Vector2(5, 6)).GetOrigin()", "Vector2(5.000000, 6.000000)"},
    // script a * b applies b first: rotate (1, 0) to (0, 1), then translate by (1, 0)
    {"(Matrix3(Vector2(1, 0)) * Matrix3(Vector2(0, 1), Vector2(0, 0))).MultVrt(Vector2(1, 0))",
     "Vector2(1.000000, 1.000000)"},
    {"(Matrix3(Vector2(1, 0)) + Matrix3()).GetOrigin()", "Vector2(1.000000, 0.000000)"},
    {"(Matrix3(Vector2(1, 0)) - Matrix3()).GetXVec()", "Vector2(0.000000, 0.000000)"},
    {"(Matrix3(Vector2(4, 8)) / 4).GetOrigin()", "Vector2(1.000000, 2.000000)"},
    {"-Matrix3(Vector2(1, 2), Vector2(3, 4), Vector2(5, 6))",
     "Matrix3(Vector3(-1.000000, -3.000000, -5.000000), Vector3(-2.000000, -4.000000, -6.000000), "
     "Vector3(-0.000000, -0.000000, -1.000000))"},
    {"Matrix3() < Matrix3(Vector2(1, 0))", "true"},
    {"(function() { local m = Matrix3(); m.SetXVec(Vector2(2, 0)); m.SetYVec(Vector2(0, 3)); "
     "m.SetOrigin(Vector2(1, 1)); return m.MultVrt(Vector2(1, 1)) })()",
     "Vector2(3.000000, 4.000000)"},
    {"(function() { local m = Matrix3(Vector2(3, 4), Vector2(0, 5), Vector2(9, 9)); m.Normalize(); "
     "return m.GetXVec() })()",
     "Vector2(0.600000, 0.800000)"},
    {"Matrix3(Vector2(0, 2), Vector2(0, 0)).GetNormalized().GetYVec()", "Vector2(-1.000000, 0.000000)"},
    {"Matrix3(Vector2(1, 2), Vector2(3, 4), Vector2(5, 6)).Mult(Vector3(1, 1, 1))",
     "Vector3(9.000000, 12.000000, 1.000000)"},
    {"Matrix3(Vector2(1, 2), Vector2(3, 4), Vector2(5, 6)).MultInvVect(Vector2(1, 1))",
     "Vector2(3.000000, 7.000000)"},
    {"Matrix3(Vector2(1, 2), Vector2(3, 4), Vector2(5, 6)).MultInvVrt(Vector2(6, 7))",
     "Vector2(3.000000, 7.000000)"},
    {"Matrix3(Vector2(1, 2), Vector2(3, 4), Vector2(5, 6)).MultVect(Vector2(1, 1))",
     "Vector2(4.000000, 6.000000)"},
    {"(function() { local m = Matrix3(); m.MultVecs(Vector2(2, 3)); return m.GetYVec() })()",
     "Vector2(0.000000, 3.000000)"},
    {"Matrix3(Vector2(5, 7)).Inverse().GetOrigin()", "Vector2(-5.000000, -7.000000)"},
    {"Matrix3(Vector2(1, 2), Vector2(3, 4), Vector2(5, 6)).Transpose().GetXVec()",
     "Vector2(1.000000, 3.000000)"},

    // Matrix4
    {"Matrix4(Vector3(1, 2, 3)).MultVrt(Vector3(1, 1, 1))", "Vector3(2.000000, 3.000000, 4.000000)"},
    {"Matrix4(Vector3(1, 2, 3)).Mult(Vector4(1, 1, 1, 1))",
     "Vector4(2.000000, 3.000000, 4.000000, 1.000000)"},
    {"Matrix4(Vector3(1, 0, 0), Vector3(0, 0, 0)).GetXVec()", "Vector3(1.000000, 0.000000, 0.000000)"},
    {"Matrix4(Vector3(2, 0, 0), Vector3(0, 3, 0), Vector3(0, 0, 4), Vector3(1, 1, 1)).GetZVec()",
     "Vector3(0.000000, 0.000000, 4.000000)"},
    {"Matrix4(Vector3(2, 0, 0), Vector3(0, 3, 0), Vector3(0, 0, 4), Vector3(1, 1, 1)).GetYVec()",
     "Vector3(0.000000, 3.000000, 0.000000)"},
    {"Matrix4(Vector3(1, 2, 3)).GetOrigin()", "Vector3(1.000000, 2.000000, 3.000000)"},
    {"(Matrix4(Vector3(1, 0, 0)) * Matrix4(Vector3(0, 1, 0), Vector3(-1, 0, 0), Vector3(0, 0, 1), Vector3(0, "
     "0, 0)))"
     ".MultVrt(Vector3(1, 0, 0))",
     "Vector3(1.000000, 1.000000, 0.000000)"},
    {"(Matrix4(Vector3(1, 2, 3)) + Matrix4()).GetOrigin()", "Vector3(1.000000, 2.000000, 3.000000)"},
    {"(Matrix4(Vector3(1, 2, 3)) - Matrix4()).GetXVec()", "Vector3(0.000000, 0.000000, 0.000000)"},
    {"(Matrix4(Vector3(2, 4, 6)) / 2).GetOrigin()", "Vector3(1.000000, 2.000000, 3.000000)"},
    {"(-Matrix4(Vector3(1, 2, 3))).GetZVec()", "Vector3(-0.000000, -0.000000, -1.000000)"},
    {"Matrix4() > Matrix4(Vector3(1, 0, 0))", "false"},
    {"(function() { local m = Matrix4(); m.SetXVec(Vector3(2, 0, 0)); m.SetYVec(Vector3(0, 2, 0)); "
     "m.SetZVec(Vector3(0, 0, 2)); m.SetOrigin(Vector3(1, 1, 1)); return m.MultVrt(Vector3(1, 1, 1)) })()",
     "Vector3(3.000000, 3.000000, 3.000000)"},
    {"(function() { local m = Matrix4(Vector3(0, 3, 0), Vector3(0, 0, 0)); m.Normalize(); return m.GetXVec() "
     "})()",
     "Vector3(0.000000, 1.000000, 0.000000)"},
    {"Matrix4(Vector3(0, 0, 5), Vector3(0, 0, 0)).GetNormalized().GetXVec()",
     "Vector3(0.000000, 0.000000, 1.000000)"},
    {"Matrix4(Vector3(1, 2, 3)).MultInvVrt(Vector3(2, 3, 4))", "Vector3(1.000000, 1.000000, 1.000000)"},
    {"Matrix4(Vector3(0, 1, 0), Vector3(-1, 0, 0), Vector3(0, 0, 1), Vector3(0, 0, "
     "0)).MultInvVect(Vector3(0, 1, 0))",
     "Vector3(1.000000, 0.000000, 0.000000)"},
    {"Matrix4(Vector3(0, 1, 0), Vector3(-1, 0, 0), Vector3(0, 0, 1), Vector3(9, 9, 9)).MultVect(Vector3(1, "
     "0, 0))",
     "Vector3(0.000000, 1.000000, 0.000000)"},
    {"(function() { local m = Matrix4(); m.MultVecs(Vector3(2, 3, 4)); return m.GetZVec() })()",
     "Vector3(0.000000, 0.000000, 4.000000)"},
    {"Matrix4(Vector3(1, 2, 3)).Inverse().GetOrigin()", "Vector3(-1.000000, -2.000000, -3.000000)"},
    {"Matrix4(Vector3(1, 2, 3)).Transpose().GetXVec()", "Vector3(1.000000, 0.000000, 0.000000)"},
    {"Matrix4.Rotation(0, 0, 0).GetYVec()", "Vector3(0.000000, 1.000000, 0.000000)"},
    {"Matrix4.RotationZ(0).GetXVec()", "Vector3(1.000000, 0.000000, 0.000000)"},
    {"Matrix4.RotationZ(PI).GetXVec().x", "-1"},

    // Quaternion
    {"Quaternion()", "Quaternion(Vector3(0.000000, 0.000000, 0.000000), 0.000000)"},
    {"Quaternion(0, Vector3(0, 0, 1))", "Quaternion(Vector3(0.000000, 0.000000, 0.000000), 1.000000)"},
    {"Quaternion(1, 2, 3, 4).v", "Vector3(1.000000, 2.000000, 3.000000)"},
    {"Quaternion(1, 2, 3, 4).w", "4"},
    {"(function() { local q = Quaternion(); q.v = Vector3(5, 6, 7); q.w = 8; return q })()",
     "Quaternion(Vector3(5.000000, 6.000000, 7.000000), 8.000000)"},
    {"Quaternion(1, 2, 3, 4) + Quaternion(1, 1, 1, 1)",
     "Quaternion(Vector3(2.000000, 3.000000, 4.000000), 5.000000)"},
    {"Quaternion(1, 2, 3, 4) - Quaternion(1, 1, 1, 1)",
     "Quaternion(Vector3(0.000000, 1.000000, 2.000000), 3.000000)"},
    {"Quaternion(1, 2, 3, 4) * 2", "Quaternion(Vector3(2.000000, 4.000000, 6.000000), 8.000000)"},
    {"Quaternion(2, 4, 6, 8) / 2", "Quaternion(Vector3(1.000000, 2.000000, 3.000000), 4.000000)"},
    {"-Quaternion(1, 2, 3, 4)", "Quaternion(Vector3(-1.000000, -2.000000, -3.000000), 4.000000)"},
    {"Quaternion(1, 2, 3, 4) >= Quaternion(1, 2, 3, 4)", "true"},
    {"Quaternion(1, 2, 2, 4).GetMagnitude()", "5"},
    {"Quaternion(1, 2, 2, 4).GetSquareMagnitude()", "25"},
    {"Quaternion(0, 0, 0, 2).GetNormalized()", "Quaternion(Vector3(0.000000, 0.000000, 0.000000), 1.000000)"},
    {"(function() { local q = Quaternion(0, 4, 0, 0); q.Normalize(); return q.v })()",
     "Vector3(0.000000, 1.000000, 0.000000)"},
    {"Quaternion(0, 0, 0, 2).Inverse()", "Quaternion(Vector3(-0.000000, -0.000000, -0.000000), 0.500000)"},
    {"Quaternion(0, 0, 0, 1).ToMatrix().GetXVec()", "Vector3(1.000000, 0.000000, 0.000000)"},
    {"(function() { local q = Quaternion(); q.FromMatrix(Matrix4()); return q })()",
     "Quaternion(Vector3(0.000000, 0.000000, 0.000000), 1.000000)"},
    {"Quaternion(Matrix4()).w", "1"},
    {"(function() { local q = Quaternion(); q.Slerp(Quaternion(0, 0, 0, 1), Quaternion(0, 0, 0, 1), 0.5); "
     "return q })()",
     "Quaternion(Vector3(0.000000, 0.000000, 0.000000), 1.000000)"},
    {"Quaternion(Quaternion(0, 0, 0, 1), Quaternion(0, 0, 0, 1), 0.25).w", "1"},

    // Rect and RectF
    {"Rect()", "Rect(0, 0, 0, 0)"},
    {"Rect(1.9, 2, 3, 4)", "Rect(1, 2, 3, 4)"},
    {"Rect(Rect(1, 2, 3, 4))", "Rect(1, 2, 3, 4)"},
    {"Rect(0, 0, 0, 5).IsEmpty()", "true"},
    {"Rect(0, 0, 10, 10).IsPointIn(10, 5)", "false"},
    {"Rect(0, 0, 10, 10).IsPointIn(9, 0)", "true"},
    {"(function() { local r = Rect(0, 0, 10, 10); r.Union(Rect(5, 5, 10, 10)); return r })()",
     "Rect(0, 0, 15, 15)"},
    {"(function() { local r = Rect(); r.Union(Rect(5, 5, 1, 1)); return r })()", "Rect(5, 5, 1, 1)"},
    {"(function() { local r = Rect(0, 0, 10, 10); r.Intersect(Rect(5, 5, 10, 10)); return r })()",
     "Rect(5, 5, 5, 5)"},
    {"(function() { local r = Rect(); r.X = 3.9; r.Y = -2; r.Width = 5; r.Height = \"h\"; return r })()",
     "Rect(3, -2, 5, 0)"},
    {"Rect(1, 2, 3, 4).Width + Rect(1, 2, 3, 4).Height", "7"},
    {"RectF(0.5, 1, 2, 3)", "RectF(0.500000, 1.000000, 2.000000, 3.000000)"},
    {"RectF(RectF(1, 2, 3, 4)).Y", "2"},
    {"RectF(0, 0, 1, 0).IsEmpty()", "true"},
    {"RectF(0, 0, 1, 1).IsPointIn(0.5, 0.99)", "true"},
    {"(function() { local r = RectF(0, 0, 1, 1); r.Union(RectF(2, 2, 1, 1)); return r })()",
     "RectF(0.000000, 0.000000, 3.000000, 3.000000)"},
    {"(function() { local r = RectF(0, 0, 2, 2); r.Intersect(RectF(1, 1, 2, 2)); return r })()",
     "RectF(1.000000, 1.000000, 1.000000, 1.000000)"},
    {"(function() { local r = RectF(); r.Width = 2; r.Height = 2.5; return r.Width * r.Height })()", "5"},

    // IntegralF
    {"(function() { local f = IntegralF(); f.SetIntegralSize(3); f.PushValue(1); return f.GetAverageValue() "
     "})()",
     "1"},
    {"(function() { local f = IntegralF(); f.SetIntegralSize(3); f.PushValue(1); f.PushValue(4); "
     "return f.GetIntegralValue() + \"/\" + f.GetAverageValue() })()",
     "6/2"},
    {"(function() { local f = IntegralF(); f.PushValue(5); f.Clear(); return f.GetIntegralValue() })()", "0"},

    // Copies: clones and instances returned by native code are independent of their source
    {"(function() { local a = Vector2(1, 2); local b = clone a; b.x = 9; return a.x + \",\" + b.x })()",
     "1,9"},
    {"(function() { local f = IntegralF(); f.PushValue(2); local g = clone f; g.PushValue(4); "
     "return f.GetIntegralValue() + \",\" + g.GetIntegralValue() })()",
     "2,4"},
    {"(function() { local m = Matrix3(Vector2(1, 1)); local o = m.GetOrigin(); o.x = 5; return "
     "m.GetOrigin().x })()",
     "1"},
    {"(function() { local q = Quaternion(1, 2, 3, 4); local v = q.v; v.x = 9; return q.v.x })()", "1"},
    {"typeof Vector2(1, 2)", "Vector2"},
    {"typeof Matrix4()", "Matrix4"},
};

class ValueBindingTest : public BindingTest {};

TEST_F(ValueBindingTest, TheClassesAreRegisteredAtCreation) {
    ScriptValue root = ScriptHost::root();
    // The Component class and the value classes are registered at creation.
    for (const char* name : {"Component", "Color", "Vector2", "Matrix3", "IntegralF"})
        EXPECT_EQ(ScriptHost::getSlot(root, name).type(), OT_CLASS) << name;
}

TEST_F(ValueBindingTest, EveryMethodAndOperatorGivesItsValue) {
    for (const Case& c : kCases) {
        EXPECT_EQ(eval(c.expression), c.expected) << c.expression;
        EXPECT_EQ(takeLog(), "") << c.expression;
    }
}

struct ErrorCase {
    const char* script;
    const char* message; // expected in the log
    const char* result;  // the text of the expression's value afterwards, "<error>" for a script error
};

const ErrorCase kErrors[] = {
    {"Vector3(1, 2, 3, 4)", "constructVector3: invalid arguments", "<error>"},
    {"Vector2(1, 2, 3)", "constructVector2: invalid arguments", "<error>"},
    {"Vector4(1, 2, 3, 4, 5)", "constructVector4: invalid arguments", "<error>"},
    {"Color(1, 2)", "constructColor: invalid arguments", "<error>"},
    {"Matrix3(1)", "constructMatrix3: invalid arguments", "<error>"},
    {"Matrix4(Vector2(1, 2))", "constructMatrix4: invalid arguments", "<error>"},
    {"Quaternion(Vector2())", "constructQuaternion: invalid arguments", "<error>"},
    {"Rect(RectF())", "constructRect: invalid arguments", "<error>"},
    {"RectF(1, 2)", "constructRectF: invalid arguments", "<error>"},
    // a mistyped instance argument: the method is not called and answers null
    {"Vector2(1, 2) + Vector3()", "GetInstance: Invalid argument type", "null"},
    {"Matrix3().MultVrt(Vector3())", "GetInstance: Invalid argument type", "null"},
    {"Vector2.Lerp(Vector2(), 5, 0.5)", "GetInstance: Invalid argument type", "null"},
    // a mistyped number: reported, read as 0
    {"Rect(0, 0, 10, 10).IsPointIn(\"a\", 5)", "sq_get*() failed (type error)", "true"},
    {"Vector2(1, 2) * \"x\"", "sq_get*() failed (type error)", "Vector2(0.000000, 0.000000)"},
    // member variables
    {"Vector2().z", "getInstanceVarInfo: Could not retrieve UserData", "<error>"},
    {"(function() { local q = Quaternion(); q.v = Color(); })()", "INSTANCE type assignment mismatch",
     "<error>"},
    // a receiver of another class
    {"Vector2.GetMagnitude.call(Vector3(1, 1, 1))", "GetInstance: Invalid argument type", "null"},
    // last: the nested class is gone, so a copy of the field cannot be made
    {"(function() { local q = Quaternion(1, 2, 3, 4); ::Vector3 <- null; return q.v })()",
     "getVar(): Could not create instance: Vector3", "<error>"},
};

TEST_F(ValueBindingTest, MistypedArgumentsAreReportedWithTheirMessages) {
    for (const ErrorCase& c : kErrors) {
        EXPECT_EQ(eval(c.script), c.result) << c.script;
        EXPECT_NE(takeLog().find(c.message), std::string::npos) << c.script;
    }
}

TEST_F(ValueBindingTest, NativeCodeReadsAndReturnsValueInstances) {
    ScriptValue made = run("return Vector2(3, 4);");
    HSQUIRRELVM v = vm();
    sq_pushobject(v, made.object());
    const Vector2* value = getInstance<Vector2>(v, -1);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->x, 3.0f);
    EXPECT_EQ(value->y, 4.0f);
    EXPECT_EQ(getInstance<Vector3>(v, -1), nullptr);
    EXPECT_NE(takeLog().find("GetInstance: Invalid argument type"), std::string::npos);
    sq_pop(v, 1);

    ASSERT_TRUE(pushValue(v, Rect(1, 2, 3, 4)));
    setRoot("pushed", ScriptValue::fromStack(-1));
    sq_pop(v, 1);
    EXPECT_EQ(eval("pushed.Width"), "3");

    // A class replaced by the script cannot take a native copy.
    run("Rect <- class {};");
    EXPECT_FALSE(pushValue(v, Rect()));
    sq_pop(v, 1);
    EXPECT_NE(takeLog().find("Push(): could not create INSTANCE copy (check registration name)"),
              std::string::npos);
}

TEST_F(ValueBindingTest, MemberVariablesAreDescribedInTheClass) {
    // The descriptor lives in the class under "_v" + name, and the field types are named in __SqTypes.
    EXPECT_EQ(eval("typeof Vector2._vx"), "userdata");
    EXPECT_EQ(eval("typeof Quaternion._vv"), "userdata");
    std::string types =
        eval("(function() { local s = \"\"; foreach (k, v in __SqTypes) s += v + \";\"; return s })()");
    EXPECT_NE(types.find("float;"), std::string::npos);
    EXPECT_NE(types.find("int;"), std::string::npos);
    EXPECT_NE(types.find("Vector3;"), std::string::npos);
}

// A value type with one field of every member-variable kind the value classes do not use.
struct Sample {
    static constexpr char ScriptName[] = "Sample";
    std::int8_t tiny = -5;
    std::uint16_t wide = 60000;
    std::int16_t mid = -300;
    bool flag = true;
    void* pointer = nullptr;
    std::int32_t fixed = 11;
};

TEST_F(ValueBindingTest, MemberVariablesOfEveryKind) {
    HSQUIRRELVM v = vm();
    const ClassTypeTag& tag = valueTypeTag<Sample>();
    ASSERT_TRUE(registerClass(
        v, tag, [](HSQUIRRELVM) -> SQInteger { return 0; }, "*"));
    auto bind = [&](const char* name, std::size_t offset, VariableType type, std::uint16_t size,
                    std::uint16_t access = VAR_ACCESS_READ_WRITE) {
        VariableDescriptor descriptor;
        descriptor.offset = offset;
        descriptor.type = type;
        descriptor.size = size;
        descriptor.access = access;
        return bindMemberVariable(v, -1, tag, name, descriptor);
    };
    ASSERT_TRUE(bind("tiny", offsetof(Sample, tiny), VariableType::SignedInteger, 1));
    ASSERT_TRUE(bind("wide", offsetof(Sample, wide), VariableType::UnsignedInteger, 2));
    ASSERT_TRUE(bind("mid", offsetof(Sample, mid), VariableType::SignedInteger, 2));
    ASSERT_TRUE(bind("flag", offsetof(Sample, flag), VariableType::Bool, 1));
    ASSERT_TRUE(bind("pointer", offsetof(Sample, pointer), VariableType::UserPointer, sizeof(void*)));
    ASSERT_TRUE(bind("fixed", offsetof(Sample, fixed), VariableType::SignedInteger, 4, VAR_ACCESS_READ_ONLY));
    ASSERT_TRUE(bind("answer", 42, VariableType::SignedInteger, 4, VAR_ACCESS_CONSTANT));
    sq_pop(v, 1);
    ASSERT_TRUE(pushValue(v, Sample{}));
    setRoot("s", ScriptValue::fromStack(-1));
    sq_pop(v, 1);

    EXPECT_EQ(
        eval("s.tiny + \",\" + s.wide + \",\" + s.mid + \",\" + s.flag + \",\" + s.fixed + \",\" + s.answer"),
        "-5,60000,-300,true,11,42");
    EXPECT_NE(eval("typeof s.pointer"), "<error>");
    EXPECT_EQ(eval("(function() { s.tiny = 130; s.wide = 70000.7; s.mid = -2; s.flag = 1; "
                   "return s.tiny + \",\" + s.wide + \",\" + s.mid + \",\" + s.flag })()"),
              "-126,4464,-2,false");
    EXPECT_EQ(takeLog(), "");

    const std::pair<const char*, const char*> refused[] = {
        {"s.fixed = 1", "setVar(): Cannot write to constant: fixed"},
        {"s.answer = 1", "setVar(): Cannot write to constant: answer"},
        {"s.pointer = 1", "setVar(): Cannot write to an SQUserPointer: pointer"},
    };
    for (const auto& [assignment, message] : refused) {
        EXPECT_EQ(eval(std::string("(function() { ") + assignment + "; })()"), "<error>") << assignment;
        EXPECT_NE(takeLog().find(message), std::string::npos) << assignment;
    }
    EXPECT_EQ(eval("s.fixed"), "11");
}

} // namespace
