#pragma once
// Script binding of the math value classes (Color, Vector2, Vector3, Vector4, Matrix3, Matrix4, Quaternion,
// Rect, RectF, IntegralF): each is a script class of its own, registered in the root table in that order,
// whose instances own a private copy of the native value (passing one to native code copies it, returning one
// makes a new instance).
//
// Member variables (x, y of a Vector2, X ... Height of a Rect, v and w of a Quaternion) are read and written
// through the class's `_get`/`_set`, which find a variable descriptor stored in the class under "_v" + name.
// A clone (`clone v`) copies the value into storage of its own.

#include "binding/binding.h"

#include <cstddef>
#include <cstdint>

// Registers the ten value classes in the root table, after `Component`. False when a class cannot be made.
bool registerValueClasses(HSQUIRRELVM v);

// ---- Member variables
// ----------------------------------------------------------------------------------------

// Type codes of a bound member variable.
enum class VariableType : std::int32_t {
    SignedInteger = 0,   // 1, 2 or 4 bytes
    UnsignedInteger = 1, // 1, 2 or 4 bytes
    Float = 2,           // 32-bit float
    Bool = 3,
    UserPointer = 6, // read as a script user pointer; never written
    Instance = 7,    // a value of a bound class, copied in and out
};

enum VariableAccess : std::uint16_t {
    VAR_ACCESS_READ_WRITE = 0,
    VAR_ACCESS_READ_ONLY = 1,
    VAR_ACCESS_CONSTANT = 2, // the value itself is kept in the descriptor in place of an offset
};

// What the class keeps per member variable, as user data under "_v" + name (sized by the structure itself).
struct VariableDescriptor {
    std::size_t offset = 0; // the field's offset in the native value (the value itself when constant)
    const ClassTypeTag* owner = nullptr;
    VariableType type = VariableType::SignedInteger;
    const ClassTypeTag* fieldType = nullptr; // the field's own class, for VariableType::Instance
    std::uint16_t size = 0;                  // the field's size in bytes
    std::uint16_t access = VAR_ACCESS_READ_WRITE;
};

// Binds a member variable of the class at stack index `klass` (whose type tag is `owner`). The first variable
// of a class also installs `_set` (typemask "sn|b|s|x") and `_get` ("s") unless the class has a `_set`
// already. The field type's name is recorded in the root table `__SqTypes` under a small per-type number.
// Reports "Could not create UserData." and answers false when the descriptor cannot be stored.
bool bindMemberVariable(HSQUIRRELVM v, SQInteger klass, const ClassTypeTag& owner, const char* name,
                        const VariableDescriptor& descriptor);
