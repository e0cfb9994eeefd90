#pragma once
// `buildLaneRoute`: the right-hand driving lane along a route of cells, with rounded corners (no engine
// needed). All in cell space; the caller maps the points to the world.
//
// 1. Every cell becomes its centre (+0.5, +0.5). Repeated consecutive cells are dropped first: they have no
//    direction to drive in.
// 2. Each point moves `laneOffset` to the right of the direction it is entered from, (−d.y, d.x) with y
// growing
//    downwards (the first point: the direction it is left by). Directions are not normalised.
// 3. A turn of more than 45° becomes 9 points on a quarter circle of radius 0.5 − laneOffset: a right turn
// hugs
//    the inner corner, a left turn swings wide across the crossing.
// 4. A transport at the roadside starts `roadsideOffset − laneOffset` further right.

#include "math/vector2.h"

#include <vector>

struct LaneGeometry {
    float laneOffset = 0.2f;
    float roadsideOffset = 0.4f;
};

// Appends the lane points of `cells` to `out` (cleared first).
void buildLaneRoute(const std::vector<Vector2>& cells, const LaneGeometry& geometry, bool atRoadside,
                    std::vector<Vector2>& out);
