#pragma once
// Not for use outside construction/: the script values the builders hand to their callbacks and read from
// their script methods (cells as Vector2 instances, arrays of them, integer lists), and the answer test.

#include <cstdint>
#include <vector>

#include "math/rect.h"
#include "math/vector2.h"
#include "script/script_value.h"

namespace construction {

// New script instances (null when the value classes are missing).
ScriptValue scriptVector2(const Vector2& value);
ScriptValue scriptRect(const Rect& value);
ScriptValue scriptVector2Array(const std::vector<Vector2>& values);

// A callback's yes: true, or a number other than 0.
bool answeredYes(const ScriptValue& result);

// The integers of a script array (floats truncated, other elements skipped); empty for anything but an array.
std::vector<std::int16_t> tileNumbers(const ScriptValue& array);
// The Vector2 instances of a script array (other elements skipped); empty for anything but an array.
std::vector<Vector2> vector2Elements(const ScriptValue& array);

// A float coordinate truncated toward zero into an int32 (NaN reads 0, the rest is clamped first).
std::int32_t truncated(float value);

} // namespace construction
