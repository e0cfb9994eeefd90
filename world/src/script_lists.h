#pragma once
// Script arrays as native lists, for the world classes' script methods. Not for use outside world/.

#include <cstdint>
#include <vector>

#include "math/vector2.h"
#include "script/script_value.h"

namespace world_detail {

// The numbers of a script array (floats truncated toward zero); an entry that is no number, or does not fit
// in 32 bits, reads as -1 (no tile). Anything but an array gives an empty list and false.
bool integerList(const ScriptValue& array, std::vector<std::int32_t>& out);
// The Vector2 entries of a script array; other entries are skipped. Anything but an array gives an empty list
// and false.
bool vectorList(const ScriptValue& array, std::vector<Vector2>& out);
// A coordinate truncated toward zero; a value outside the 32-bit range (or NaN) reads as INT32_MIN, which
// lies outside every grid.
std::int32_t truncatedCell(float value);

} // namespace world_detail
