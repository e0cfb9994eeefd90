#pragma once
// Not for use outside construction/: which cells of a builder's shading overlay can show in a frame.

#include <cstdint>

#include "component/media_interfaces.h"
#include "math/matrix3.h"
#include "math/rect.h"

namespace construction {

// The part of `cells` whose unit squares, drawn through `cellToTarget` (cell units to target pixels), can
// reach the graphics clip: empty when the clip shows nothing, all of `cells` when the transform cannot be
// inverted (no culling then).
Rect cellsInClip(IGraphics* graphics, const Matrix3& cellToTarget, const Rect& cells);

} // namespace construction
