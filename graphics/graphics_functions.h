#pragma once
// The global script functions the drawing layer owns, stored in the root table (replacing any stand-ins):
//
//   setCursor(id)            shows the cursor picture res/cursors/<id>.bmp over the game window (an SDL
//   colour
//                            cursor; the system arrow when the picture is missing). The window keeps it.
//   enableCursor(id, on)     turns a cursor request on or off; the highest enabled id is shown, so a game can
//                            lay a "busy" cursor over its normal one and take it away again. With none
//                            enabled the cursor stays as it is.
//   renderFrame(g, Rect, tiles, colour)
//                            a nine-part frame of the TileManager's tiles over the rectangle: corners,
//                            repeated edges and a repeated centre, in the colour; `tiles` is an array of nine
//                            tile numbers (top-left, top, top-right, left, centre, right, bottom-left,
//                            bottom, bottom-right), or the nine numbers themselves as arguments.
//   fillRectByTile(g, Rect, tile, spacing, offset, cameraRelative)
//                            the rectangle filled with one tile repeated every tile size + spacing, its
//                            pattern shifted by the Vector2 offset (and by the camera's screen position when
//                            cameraRelative; without a camera in the context nothing is drawn). Tiles are not
//                            cut at the rectangle: the context's clip decides what shows.
//   decodeUTF8(text)         the text's characters as an array of integers, read as fonts read text.
//
// Drawing functions given no drawing context, fewer than nine tiles, or tiles of no size (steps that would
// never advance) draw nothing or skip that part. The tile set is the TileManager singleton, asked for on each
// call and not kept.

#include <cstdint>
#include <vector>

#include "squirrel/squirrel.h"

class IGraphics;
class ITileManager;
struct Rect;
struct Vector2;

// Stores the functions above in the root table of v.
void registerGraphicsFunctions(HSQUIRRELVM v);

// The native forms (tiles: the nine frame tiles).
void setCursor(std::int32_t id);
void enableCursor(std::int32_t id, bool enabled);
// The id the cursor requests would show now, or -1 when none is enabled.
std::int32_t enabledCursor();
// Forgets every cursor request (tests).
void resetCursorRequests();
void renderFrame(IGraphics* graphics, ITileManager* tiles, const Rect& rect, const std::int32_t (&frame)[9],
                 std::uint32_t colour);
void fillRectByTile(IGraphics* graphics, ITileManager* tiles, const Rect& rect, std::int32_t tile,
                    std::int32_t spacing, const Vector2& offset, bool cameraRelative);
