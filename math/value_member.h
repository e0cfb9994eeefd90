#pragma once
// Description of one field of a math value type that scripts read and write as a member variable.
// The binding layer walks these tables to create its member-variable descriptors; the value types
// themselves stay plain C++.

#include <cstddef>
#include <cstring>
#include <span>

enum class ValueMemberKind {
    Int32,   // 32-bit signed integer field
    Float,   // 32-bit float field
    Vector3, // a nested Vector3, copied in and out as a script Vector3 instance
};

struct ValueMember {
    const char* name;   // the script-visible member name
    std::size_t offset; // byte offset of the field inside the value
    ValueMemberKind kind;
};

// Orders two values by their raw bytes in memory order, as unsigned bytes; used by the `_cmp`
// metamethod of the vector, matrix, quaternion and colour classes. Returns -1, 0 or 1.
template <class T> int compareValueBytes(const T& a, const T& b) {
    int result = std::memcmp(&a, &b, sizeof(T));
    return (result > 0) - (result < 0);
}
