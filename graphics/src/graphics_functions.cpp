// The drawing layer's global script functions: cursors, tiled frames and fills, and decodeUTF8.
#include "graphics/graphics_functions.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "binding/binding.h"
#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/media_interfaces.h"
#include "component/object_interfaces.h"
#include "graphics/utf8.h"
#include "math/rect.h"
#include "math/vector2.h"
#include "platform/kd.h"

namespace {

// (id, enabled), sorted by id; an id joins the first time it is mentioned and stays.
std::vector<std::pair<std::int32_t, bool>> g_cursorRequests;

ComponentRef<ITileManager> tileManager() {
    return ComponentRegistry::instance().create(classId(ClassName::TileManager)).query<ITileManager>();
}

// Tiles drawn by one fill are bounded, so a huge rectangle with a tiny tile cannot stall a frame for ever.
constexpr std::int64_t kMaxTilesPerFill = 1 << 20;

SQInteger setCursorFromScript(HSQUIRRELVM v) {
    SQInteger id = 0;
    binding_detail::readInteger(v, 2, id);
    setCursor(static_cast<std::int32_t>(id));
    return 0;
}

SQInteger enableCursorFromScript(HSQUIRRELVM v) {
    SQInteger id = 0;
    binding_detail::readInteger(v, 2, id);
    enableCursor(static_cast<std::int32_t>(id), binding_detail::readBool(v, 3));
    return 0;
}

SQInteger renderFrameFromScript(HSQUIRRELVM v) {
    IGraphics* graphics = queryInterface<IGraphics>(componentArgument(v, 2));
    const Rect* rect = getInstance<Rect>(v, 3);
    if (graphics == nullptr || rect == nullptr) {
        return 0;
    }
    std::int32_t frame[9] = {};
    SQInteger colourAt = 5;
    if (sq_gettype(v, 4) == OT_ARRAY) {
        if (sq_getsize(v, 4) < 9) {
            return 0;
        }
        for (SQInteger i = 0; i < 9; ++i) {
            sq_pushinteger(v, i);
            SQInteger tile = -1;
            if (SQ_SUCCEEDED(sq_get(v, 4))) {
                binding_detail::readInteger(v, -1, tile);
                sq_poptop(v);
            }
            frame[i] = static_cast<std::int32_t>(tile);
        }
    } else {
        if (sq_gettop(v) < 13) {
            return 0;
        }
        for (SQInteger i = 0; i < 9; ++i) {
            SQInteger tile = -1;
            binding_detail::readInteger(v, 4 + i, tile);
            frame[i] = static_cast<std::int32_t>(tile);
        }
        colourAt = 13;
    }
    SQInteger colour = 0;
    binding_detail::readInteger(v, colourAt, colour);
    ComponentRef<ITileManager> tiles = tileManager();
    renderFrame(graphics, tiles.get(), *rect, frame, static_cast<std::uint32_t>(colour));
    return 0;
}

SQInteger fillRectByTileFromScript(HSQUIRRELVM v) {
    IGraphics* graphics = queryInterface<IGraphics>(componentArgument(v, 2));
    const Rect* rect = getInstance<Rect>(v, 3);
    if (graphics == nullptr || rect == nullptr) {
        return 0;
    }
    SQInteger tile = -1, spacing = 0;
    binding_detail::readInteger(v, 4, tile);
    binding_detail::readInteger(v, 5, spacing);
    const Vector2* offset = getInstance<Vector2>(v, 6);
    if (offset == nullptr) {
        return 0;
    }
    const bool cameraRelative = binding_detail::readBool(v, 7);
    ComponentRef<ITileManager> tiles = tileManager();
    fillRectByTile(graphics, tiles.get(), *rect, static_cast<std::int32_t>(tile),
                   static_cast<std::int32_t>(spacing), *offset, cameraRelative);
    return 0;
}

SQInteger decodeUtf8FromScript(HSQUIRRELVM v) {
    const char* text = binding_detail::readText(v, 2);
    sq_newarray(v, 0);
    for (const char* p = text; p != nullptr && *p != 0;) {
        std::size_t length = 0;
        const std::uint32_t value = decodeUtf8Char(p, length);
        p += length;
        if (value == 0) {
            break;
        }
        sq_pushinteger(v, static_cast<SQInteger>(value));
        sq_arrayappend(v, -2);
    }
    return 1;
}

// Draws `tile` at each step from `from` while below `to` (one axis), the other coordinate fixed.
template <class Draw> void repeat(float from, float to, float step, Draw draw) {
    if (step <= 0) {
        return;
    }
    for (float at = from; at < to; at += step) {
        draw(at);
    }
}

} // namespace

void setCursor(std::int32_t id) {
    ComponentRef<IDisplay> display =
        ComponentRegistry::instance().create(classId(ClassName::Display)).query<IDisplay>();
    KDWindow* window = display ? display->GetWindow() : nullptr;
    if (window == nullptr) {
        return;
    }
    const KDint32 value = id;
    kdSetWindowPropertyiv(window, KD_WINDOWPROPERTY_CURSOR, &value);
}

void enableCursor(std::int32_t id, bool enabled) {
    auto it = std::lower_bound(g_cursorRequests.begin(), g_cursorRequests.end(), id,
                               [](const auto& request, std::int32_t key) { return request.first < key; });
    if (it != g_cursorRequests.end() && it->first == id) {
        it->second = enabled;
    } else {
        g_cursorRequests.insert(it, {id, enabled});
    }
    for (auto request = g_cursorRequests.rbegin(); request != g_cursorRequests.rend(); ++request) {
        if (request->second) {
            setCursor(request->first);
            return;
        }
    }
}

std::int32_t enabledCursor() {
    for (auto it = g_cursorRequests.rbegin(); it != g_cursorRequests.rend(); ++it) {
        if (it->second) {
            return it->first;
        }
    }
    return -1;
}

void resetCursorRequests() {
    g_cursorRequests.clear();
}

void renderFrame(IGraphics* g, ITileManager* tiles, const Rect& r, const std::int32_t (&frame)[9],
                 std::uint32_t colour) {
    if (g == nullptr || tiles == nullptr) {
        return;
    }
    g->SetColor(colour);
    const Rect top = tiles->GetRect(frame[1], 0);
    const Rect left = tiles->GetRect(frame[3], 0);
    const Rect centre = tiles->GetRect(frame[4], 0);
    const Rect right = tiles->GetRect(frame[5], 0);
    const Rect bottom = tiles->GetRect(frame[7], 0);
    const float x0 = float(r.X + left.Width);
    const float x1 = float(r.X + r.Width - right.Width);
    const float y0 = float(r.Y + top.Height);
    const float y1 = float(r.Y + r.Height - bottom.Height);

    // The last tile of a row or column is cut at the inner rectangle (on the context's clip, restored after).
    const Rect savedClip = g->GetClip();
    auto clipTo = [&](float x, float y, float w, float h) {
        Rect clip(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), static_cast<std::int32_t>(w),
                  static_cast<std::int32_t>(h));
        clip.Intersect(savedClip);
        g->SetClip(clip);
    };
    if (x1 > x0 && y1 > y0) {
        clipTo(x0, y0, x1 - x0, y1 - y0);
        repeat(y0, y1, float(centre.Height), [&](float y) {
            repeat(x0, x1, float(centre.Width), [&](float x) { tiles->Render(g, frame[4], x, y, 0); });
        });
    }
    if (x1 > x0) {
        clipTo(x0, float(r.Y), x1 - x0, float(r.Height));
        repeat(x0, x1, float(top.Width), [&](float x) { tiles->Render(g, frame[1], x, y0, 0); });
        repeat(x0, x1, float(bottom.Width), [&](float x) { tiles->Render(g, frame[7], x, y1, 0); });
    }
    if (y1 > y0) {
        clipTo(float(r.X), y0, float(r.Width), y1 - y0);
        repeat(y0, y1, float(left.Height), [&](float y) { tiles->Render(g, frame[3], x0, y, 0); });
        repeat(y0, y1, float(right.Height), [&](float y) { tiles->Render(g, frame[5], x1, y, 0); });
    }
    g->SetClip(savedClip);
    tiles->Render(g, frame[0], x0, y0, 0);
    tiles->Render(g, frame[2], x1, y0, 0);
    tiles->Render(g, frame[6], x0, y1, 0);
    tiles->Render(g, frame[8], x1, y1, 0);
}

void fillRectByTile(IGraphics* g, ITileManager* tiles, const Rect& r, std::int32_t tile, std::int32_t spacing,
                    const Vector2& offset, bool cameraRelative) {
    if (g == nullptr || tiles == nullptr) {
        return;
    }
    float offsetX = offset.x;
    float offsetY = offset.y;
    if (cameraRelative) {
        ICamera* camera = g->GetCamera();
        if (camera == nullptr) {
            return;
        }
        const Vector2 p = camera->GetPosition().GetOrigin();
        const Matrix3 m = camera->GetWorldToScreen();
        offsetX -= p.x * m.m[0][0] + p.y * m.m[1][0] + m.m[2][0];
        offsetY -= p.x * m.m[0][1] + p.y * m.m[1][1] + m.m[2][1];
    }
    const Rect t = tiles->GetRect(tile, 0);
    const std::int64_t sx = std::int64_t(t.Width) + spacing;
    const std::int64_t sy = std::int64_t(t.Height) + spacing;
    if (sx <= 0 || sy <= 0 || !std::isfinite(offsetX) || !std::isfinite(offsetY)) {
        return;
    }
    // The pattern's phase: -offset, reduced into [0, step).
    auto phase = [](float value, std::int64_t step) {
        const double truncated = std::trunc(-double(value));
        std::int64_t o = std::abs(truncated) < 9e15 ? std::int64_t(truncated) % step : 0;
        return o < 0 ? o + step : o;
    };
    const std::int64_t startX = std::int64_t(r.X) - phase(offsetX, sx) - t.X;
    const std::int64_t startY = std::int64_t(r.Y) - phase(offsetY, sy) - t.Y;
    const std::int64_t endX = std::int64_t(r.X) + r.Width - t.X;
    const std::int64_t endY = std::int64_t(r.Y) + r.Height - t.Y;
    if (endX <= startX || endY <= startY) {
        return;
    }
    if ((endX - startX) / sx * ((endY - startY) / sy) > kMaxTilesPerFill) {
        logWarning(nullptr, "fillRectByTile: %lld tiles is too many",
                   static_cast<long long>((endX - startX) / sx * ((endY - startY) / sy)));
        return;
    }
    // The clip is in target pixels and the tiles go through the context's transform: tiles are culled in
    // target pixels, and only under a plain scale and move (anything else is drawn; the tile manager still
    // culls what it can). Comparing untransformed tiles with the clip dropped visible tiles under a camera.
    const Rect clip = g->GetClip();
    const Matrix3 m = g->GetTransform();
    const bool plain = m.m[0][1] == 0.0f && m.m[1][0] == 0.0f && m.m[0][0] > 0.0f && m.m[1][1] > 0.0f;
    const double clipRight = double(clip.X) + clip.Width;
    const double clipBottom = double(clip.Y) + clip.Height;
    for (std::int64_t x = startX; x < endX; x += sx) {
        for (std::int64_t y = startY; y < endY; y += sy) {
            if (plain) {
                const double left = double(x + t.X) * m.m[0][0] + m.m[2][0];
                const double top = double(y + t.Y) * m.m[1][1] + m.m[2][1];
                const double right = left + double(t.Width) * m.m[0][0];
                const double bottom = top + double(t.Height) * m.m[1][1];
                if (right <= clip.X || bottom <= clip.Y || left >= clipRight || top >= clipBottom) {
                    continue;
                }
            }
            tiles->Render(g, tile, float(x), float(y), 0);
        }
    }
}

void registerGraphicsFunctions(HSQUIRRELVM v) {
    const SQInteger top = sq_gettop(v);
    sq_pushroottable(v);
    const SQInteger root = sq_gettop(v);
    createFunction(v, root, "setCursor", &setCursorFromScript, "*");
    createFunction(v, root, "enableCursor", &enableCursorFromScript, "*");
    createFunction(v, root, "fillRectByTile", &fillRectByTileFromScript, "*");
    createFunction(v, root, "renderFrame", &renderFrameFromScript, "*");
    createFunction(v, root, "decodeUTF8", &decodeUtf8FromScript, "*");
    sq_settop(v, top);
}
