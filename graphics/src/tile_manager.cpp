// TileManager: walking tile programs to draw, hit-test and search them.
#include "graphics/tile_manager.h"

#include <cmath>

#include "graphics/display.h"
#include "graphics/graphics.h"
#include "objects/system.h"
#include "platform/kd.h"
#include "script/script_call.h"
#include "script/script_host.h"

namespace {

constexpr char kTag[] = "TileManager";

// Script forms whose arguments or results differ from the native operation.
Rect getRectFromScript(TileManager& m, std::int32_t tile, std::int32_t flags) {
    return m.GetRect(tile, flags);
}
void renderFromScript(TileManager& m, IGraphics* graphics, std::int32_t tile, float x, float y,
                      std::int32_t flags) {
    if (graphics != nullptr) {
        m.Render(graphics, tile, x, y, flags);
    }
}
bool hitTestFromScript(TileManager& m, std::int32_t tile, std::int32_t x, std::int32_t y,
                       std::int32_t flags) {
    return m.HitTest(tile, x, y, flags);
}
std::int32_t textureIndexFromScript(TileManager& m, std::int32_t tile) {
    return m.GetTextureIndex(tile);
}
ITexture* getTextureFromScript(TileManager& m, std::int32_t slot) {
    return m.GetTexture(slot);
}
void setTextureFromScript(TileManager& m, std::int32_t slot, ITexture* texture) {
    m.SetTexture(slot, texture);
}
// An array of tile, x, y, tile, x, y, ...
ScriptValue fragmentsFromScript(TileManager& m, std::int32_t tile, std::int32_t flags) {
    HSQUIRRELVM v = ScriptHost::vm();
    if (v == nullptr) {
        return {};
    }
    const std::vector<TileFragment> fragments = m.GetFragments(tile, flags);
    sq_newarray(v, 0);
    for (const TileFragment& f : fragments) {
        for (std::int32_t value : {f.tile, f.x, f.y}) {
            sq_pushinteger(v, value);
            sq_arrayappend(v, -2);
        }
    }
    ScriptValue array = ScriptValue::fromStack(-1);
    sq_poptop(v);
    return array;
}
void highlightBlendFromScript(TileManager& m, std::int32_t mode) {
    m.SetHighlightBlendMode(mode);
}
void highlightColourFromScript(TileManager& m, std::int32_t argb) {
    m.SetHighlightColor(static_cast<std::uint32_t>(argb));
}
void resetTextureUsage(TileManager&) {}

} // namespace

const MethodTable& TileManager::scriptMethods() {
    static const MethodTable table{
        scriptMethod<TileManager>("GetRect", &getRectFromScript),
        scriptMethod<TileManager>("Render", &renderFromScript),
        scriptMethod<TileManager>("HitTest", &hitTestFromScript),
        scriptMethod<TileManager>("GetTextureIndex", &textureIndexFromScript),
        scriptMethod<TileManager>("GetTexture", &getTextureFromScript),
        scriptMethod<TileManager>("SetTexture", &setTextureFromScript),
        scriptMethod<TileManager>("GetFragments", &fragmentsFromScript),
        scriptMethod<TileManager>("SetHighlightBlendMode", &highlightBlendFromScript),
        scriptMethod<TileManager>("SetHighlightColor", &highlightColourFromScript),
        scriptMethod<TileManager>("GetJointPosition", &TileManager::GetJointPosition),
        scriptMethod<TileManager>("ResetTextureUsage", &resetTextureUsage),
    };
    return table;
}

TileManager* TileManager::live() {
    return dynamic_cast<TileManager*>(liveInstance());
}

TileManager::~TileManager() {
    unmap();
}

void TileManager::unmap() {
    ++m_version;
    m_set.close();
    if (m_file != nullptr) {
        if (m_mapped != nullptr) {
            kdUnmapFile(m_file, m_mapped);
        }
        kdFclose(m_file);
    }
    m_file = nullptr;
    m_mapped = nullptr;
}

bool TileManager::LoadFromScript(const ScriptValue& value) {
    return scriptExtension().attach(this, value);
}

bool TileManager::LoadFromFile(const char* path) {
    unmap();
    if (path == nullptr) {
        return false;
    }
    m_file = kdFopen(path, "rb");
    if (m_file == nullptr) {
        logError(kTag, "Can't open tile set %s", path);
        return false;
    }
    KDsize size = 0;
    m_mapped = kdMapFile(m_file, &size);
    std::string why;
    if (m_mapped == nullptr || !m_set.open(m_mapped, size, &why)) {
        logError(kTag, "Bad tile set %s: %s", path, m_mapped == nullptr ? "can't map it" : why.c_str());
        unmap();
        return false;
    }
    ++m_version;
    return true;
}

void TileManager::Shutdown() {
    unmap();
    m_hitTarget.reset();
    for (ComponentRef<ITexture>& slot : m_slots) {
        slot.reset();
    }
    scriptExtension().shutdown();
}

void TileManager::SetSpriteClip(const RectF* clip) {
    m_hasSpriteClip = clip != nullptr;
    if (clip != nullptr) {
        m_spriteClip = *clip;
    }
}

Rect TileManager::GetRect(std::int32_t tile, std::int32_t flags) {
    if (!m_set.contains(tile)) {
        return Rect(0, 0, 0, 0);
    }
    const TileSetRecord r = m_set.record(tile);
    Rect rect(r.x, r.y, r.width, r.height);
    if (flags & TILEFLAG_FlipX) {
        rect.X = 1 - rect.Width - rect.X;
    }
    if (flags & TILEFLAG_FlipY) {
        rect.Y = 1 - rect.Height - rect.Y;
    }
    return rect;
}

ITexture* TileManager::GetTexture(std::int32_t slot) {
    if (slot < 0 || slot >= TextureSlots) {
        return nullptr;
    }
    ComponentRef<ITexture>& held = m_slots[static_cast<std::size_t>(slot)];
    if (held) {
        return held.get();
    }
    ScriptValue function;
    HSQUIRRELVM v = ScriptHost::vm();
    if (v == nullptr || !scriptExtension().getMember("LoadTexture", function) ||
        !ScriptCall::begin(function, scriptExtension().object())) {
        return nullptr;
    }
    ScriptCall::pushInt(slot);
    const ScriptValue result = ScriptCall::end();
    result.push();
    held.reset(queryInterface<ITexture>(componentArgument(v, -1)));
    sq_poptop(v);
    return held.get();
}

void TileManager::SetTexture(std::int32_t slot, ITexture* texture) {
    if (slot >= 0 && slot < TextureSlots) {
        m_slots[static_cast<std::size_t>(slot)].reset(texture);
    }
}

void TileManager::Render(IGraphics* graphics, std::int32_t tile, float x, float y, std::int32_t flags) {
    if (graphics != nullptr) {
        renderTile(graphics, tile, x, y, flags, 0);
    }
}

void TileManager::renderTile(IGraphics* g, std::int32_t tile, float x, float y, std::int32_t flags,
                             std::int32_t depth) {
    if (!m_set.contains(tile) || (flags & TILEFLAG_Hidden) || depth > TileSetData::MaxNesting) {
        return;
    }
    const TileSetRecord r = m_set.record(tile);
    RectF dest(r.x + x, r.y + y, r.width, r.height);
    if (!(flags & TILEFLAG_SubPixel)) {
        dest.X = std::floor(dest.X);
        dest.Y = std::floor(dest.Y);
    }
    // Culling against the clip, when the transform is a plain scale and move.
    const Matrix3 t = g->GetTransform();
    if (t.m[0][1] == 0.0f && t.m[1][0] == 0.0f && t.m[0][0] > 0.0f && t.m[1][1] > 0.0f) {
        const auto left = static_cast<std::int64_t>(dest.X * t.m[0][0] + t.m[2][0]);
        const auto top = static_cast<std::int64_t>(dest.Y * t.m[1][1] + t.m[2][1]);
        const auto width = static_cast<std::int64_t>(dest.Width * t.m[0][0]);
        const auto height = static_cast<std::int64_t>(dest.Height * t.m[1][1]);
        const Rect clip = g->GetClip();
        if (left + width <= clip.X || top + height <= clip.Y || left >= std::int64_t(clip.X) + clip.Width ||
            top >= std::int64_t(clip.Y) + clip.Height) {
            return;
        }
    }

    std::int32_t current = flags;
    std::int32_t ox = 0;
    std::int32_t oy = 0;
    std::uint32_t position = m_set.programBegin(tile);
    const std::uint32_t end = m_set.programEnd(tile);
    TileInstruction in;
    while (m_set.next(position, end, true, in)) {
        switch (in.op) {
        case TILEOP_Sprite: {
            ITexture* texture = GetTexture(tileSpriteSlot(in.word));
            if (texture == nullptr) {
                break;
            }
            RectF source(in.a, in.b, dest.Width, dest.Height);
            RectF to = dest;
            if (m_hasSpriteClip) {
                RectF cut = to;
                cut.Intersect(m_spriteClip);
                if (cut.IsEmpty()) {
                    break;
                }
                source.X += static_cast<float>(static_cast<std::int32_t>(cut.X - to.X));
                source.Y += static_cast<float>(static_cast<std::int32_t>(cut.Y - to.Y));
                source.Width = cut.Width;
                source.Height = cut.Height;
                to = cut;
            }
            if (current & TILEFLAG_FlipX) {
                source.X += source.Width;
                source.Width = -source.Width;
            }
            if (current & TILEFLAG_FlipY) {
                source.Y += source.Height;
                source.Height = -source.Height;
            }
            g->DrawTexture(texture, source, to);
            if (current & TILEFLAG_Highlight) {
                const std::int32_t blend = g->GetBlendMode();
                const std::uint32_t colour = g->GetColor();
                g->SetBlendMode(m_highlightBlend);
                g->SetColor(m_highlightColour);
                g->DrawTexture(texture, source, to);
                g->SetBlendMode(blend);
                g->SetColor(colour);
            }
            break;
        }
        case TILEOP_FlipX:
            current ^= TILEFLAG_FlipX;
            break;
        case TILEOP_FlipY:
            current ^= TILEFLAG_FlipY;
            break;
        case TILEOP_Offset:
            ox = (current & TILEFLAG_FlipX) ? -in.a : in.a;
            oy = (current & TILEFLAG_FlipY) ? -in.b : in.b;
            break;
        case TILEOP_Tile:
            renderTile(g, in.a, x + static_cast<float>(ox), y + static_cast<float>(oy), current, depth + 1);
            break;
        case TILEOP_Frame: {
            // A zero period or frame count shows none of the frames (nothing to divide by).
            bool shown = false;
            if (in.b != 0 && in.c != 0) {
                const System* system = System::live();
                // The game time's 32 bits count on past 2^31 ms: taken unsigned, frames keep turning.
                const std::int64_t time =
                    system != nullptr ? std::int64_t(static_cast<std::uint32_t>(system->GetTime())) : 0;
                shown = (time / in.b) % in.c == in.a;
            }
            current = shown ? (current & ~TILEFLAG_Hidden) : (current | TILEFLAG_Hidden);
            break;
        }
        case TILEOP_Color:
            g->SetColor((static_cast<std::uint32_t>(static_cast<std::uint16_t>(in.a)) << 16) |
                        static_cast<std::uint16_t>(in.b));
            break;
        case TILEOP_Line: {
            const float dx = (current & TILEFLAG_FlipX) ? -in.b : in.b;
            const float dy = (current & TILEFLAG_FlipY) ? -in.a : in.a;
            const float px = x + static_cast<float>(ox);
            const float py = y + static_cast<float>(oy);
            g->DrawLine(px, py, px + dx, py + dy);
            break;
        }
        case TILEOP_FillRect:
        case TILEOP_Rect: {
            float px = static_cast<float>(static_cast<std::int32_t>(x) + ox);
            float py = static_cast<float>(static_cast<std::int32_t>(y) + oy);
            if (current & TILEFLAG_FlipX) {
                px -= in.a;
            }
            if (current & TILEFLAG_FlipY) {
                py -= in.b;
            }
            if (in.op == TILEOP_FillRect) {
                g->FillRect(px, py, in.a, in.b);
            } else {
                g->DrawRect(px, py, in.a, in.b);
            }
            break;
        }
        case TILEOP_BlendMode:
            g->SetBlendMode(in.a);
            break;
        default:
            break;
        }
    }
}

bool TileManager::HitTest(std::int32_t tile, std::int32_t x, std::int32_t y, std::int32_t flags) {
    if (!m_set.contains(tile)) {
        return false;
    }
    const Rect rect = GetRect(tile, flags);
    if (x < rect.X || std::int64_t(x) >= std::int64_t(rect.X) + rect.Width || y < rect.Y ||
        std::int64_t(y) >= std::int64_t(rect.Y) + rect.Height) {
        return false;
    }
    // No pixel can be read while a frame is being drawn or without a display: the rectangle answers.
    Display* display = Display::live();
    if (display == nullptr || Gfx_InScene()) {
        return true;
    }
    if (!m_hitTarget) {
        m_hitTarget = display->CreateRenderTarget(1, 1);
        if (!m_hitTarget) {
            return true;
        }
    }
    IGraphics* g = m_hitTarget->Begin(nullptr);
    if (g == nullptr) {
        return true;
    }
    g->Clear(0xFFFF00FF);
    renderTile(g, tile, static_cast<float>(-x), static_cast<float>(-y), flags, 0);
    m_hitTarget->End();
    ITexture* texture = m_hitTarget->GetTexture();
    const std::uint32_t* pixel = texture != nullptr ? texture->Lock(0, 0, 1, 1, true) : nullptr;
    if (pixel == nullptr) {
        return true;
    }
    const bool hit = (*pixel & 0xFFFFFFu) != 0xFF00FFu;
    texture->Unlock();
    return hit;
}

std::vector<TileFragment> TileManager::GetFragments(std::int32_t tile, std::int32_t flags) {
    std::vector<TileFragment> out;
    if (!m_set.contains(tile)) {
        return out;
    }
    std::int32_t current = flags;
    std::int32_t ox = 0;
    std::int32_t oy = 0;
    std::uint32_t position = m_set.programBegin(tile);
    const std::uint32_t end = m_set.programEnd(tile);
    TileInstruction in;
    while (m_set.next(position, end, false, in)) {
        if (in.op == TILEOP_FlipX) {
            current ^= TILEFLAG_FlipX;
        } else if (in.op == TILEOP_FlipY) {
            current ^= TILEFLAG_FlipY;
        } else if (in.op == TILEOP_Offset) {
            ox = (current & TILEFLAG_FlipX) ? -in.a : in.a;
            oy = (current & TILEFLAG_FlipY) ? -in.b : in.b;
        } else if (in.op == TILEOP_Tile) {
            out.push_back({in.a, ox, oy});
        }
    }
    return out;
}

bool TileManager::FindMarker(std::int32_t tile, std::int32_t key, Vector2& offset, std::int32_t flags) {
    return findMarker(tile, key, offset, flags, 0);
}

bool TileManager::findMarker(std::int32_t tile, std::int32_t key, Vector2& offset, std::int32_t flags,
                             std::int32_t depth) {
    if (!m_set.contains(tile) || depth > TileSetData::MaxNesting) {
        return false;
    }
    std::int32_t current = flags;
    std::uint32_t position = m_set.programBegin(tile);
    const std::uint32_t end = m_set.programEnd(tile);
    TileInstruction in;
    while (m_set.next(position, end, false, in)) {
        if (in.op == TILEOP_FlipX) {
            current ^= TILEFLAG_FlipX;
        } else if (in.op == TILEOP_FlipY) {
            current ^= TILEFLAG_FlipY;
        } else if (in.op == TILEOP_Offset) {
            offset.x = static_cast<float>((current & TILEFLAG_FlipX) ? -in.a : in.a);
            offset.y = static_cast<float>((current & TILEFLAG_FlipY) ? -in.b : in.b);
        } else if (in.op == TILEOP_Tile) {
            if (findMarker(in.a, key, offset, current, depth + 1)) {
                return true;
            }
        } else if (in.op == TILEOP_Joint && in.a == key) {
            return true;
        }
    }
    return false;
}

Vector2 TileManager::GetJointPosition(std::int32_t tile, std::int32_t key) {
    Vector2 offset;
    if (!FindMarker(tile, key, offset, 0)) {
        return Vector2{};
    }
    return offset;
}

std::int32_t TileManager::GetTextureIndex(std::int32_t tile) {
    return textureIndex(tile, 0);
}

std::int32_t TileManager::textureIndex(std::int32_t tile, std::int32_t depth) {
    if (!m_set.contains(tile) || depth > TileSetData::MaxNesting) {
        return -1;
    }
    std::uint32_t position = m_set.programBegin(tile);
    const std::uint32_t end = m_set.programEnd(tile);
    TileInstruction in;
    while (m_set.next(position, end, false, in)) {
        if (in.op == TILEOP_Sprite) {
            return tileSpriteSlot(in.word);
        }
        if (in.op == TILEOP_Tile) {
            return textureIndex(in.a, depth + 1);
        }
    }
    return -1;
}
