#pragma once
// `TileManager`: the game's tile set, one per process. Every tile is a small drawing program in a tile-set
// file (graphics/tile_set.h) that stays mapped while loaded: sprites from up to 1024 texture slots, nested
// tiles, flips, frame conditions on the game time, lines, rectangles, colour and blend changes and joints.
//
// Textures are not named in the file: the first time slot n is needed, the script object given to
// LoadFromScript is asked through its `LoadTexture(n)`; an empty answer leaves the slot empty and is asked
// again next time.
//
// Tile numbers and slots from anywhere (scripts, saved layers, other components) are checked: a tile outside
// the set behaves as tile -1 (draws nothing, empty rectangle, no hit, no fragments, no joint), a slot outside
// 0 ... 1023 as an empty slot.

#include <array>
#include <cstdint>
#include <vector>

#include "binding/binding_script_object.h"
#include "component/component_factory.h"
#include "component/component_ref.h"
#include "component/group_interfaces.h"
#include "component/media_interfaces.h"
#include "component/script_interfaces.h"
#include "component/stream_interfaces.h"
#include "graphics/tile_set.h"
#include "math/rect_f.h"
#include "math/vector2.h"

struct KDFile;

class TileManager final : public ITileManager,
                          public IScriptLoadable,
                          public IShutdownable,
                          public ILoadable,
                          public ScriptObjectBase<TileManager>,
                          public SingleInstance<TileManager> {
public:
    static constexpr char ScriptTypeName[] = "TileManager";
    static constexpr std::int32_t TextureSlots = 1024;
    // GetRect, Render, HitTest, GetTextureIndex, GetTexture, SetTexture, GetFragments, SetHighlightBlendMode,
    // SetHighlightColor, GetJointPosition, ResetTextureUsage.
    static const MethodTable& scriptMethods();

    TileManager() = default;
    ~TileManager() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<ITileManager, IScriptLoadable, IShutdownable, ILoadable, IScriptObject>(this, id);
    }

    // ITileManager
    // The record's rectangle; under a horizontal flip x becomes 1 - width - x (vertical: y likewise).
    Rect GetRect(std::int32_t tile, std::int32_t flags) override;
    bool FindMarker(std::int32_t tile, std::int32_t key, Vector2& offset, std::int32_t flags) override;
    void Render(IGraphics* graphics, std::int32_t tile, float x, float y, std::int32_t flags) override;
    // Whether the point (relative to the tile's anchor) falls on a drawn pixel. Outside the rectangle false;
    // when no pixel can be read back (no display, or a frame is open) the rectangle decides.
    bool HitTest(std::int32_t tile, std::int32_t x, std::int32_t y, std::int32_t flags) override;
    std::int32_t GetTextureIndex(std::int32_t tile) override;
    std::vector<TileFragment> GetFragments(std::int32_t tile, std::int32_t flags) override;
    ITexture* GetTexture(std::int32_t slot) override;
    void SetTexture(std::int32_t slot, ITexture* texture) override;

    // IScriptLoadable: the script object that answers LoadTexture.
    bool LoadFromScript(const ScriptValue& value) override;
    // ILoadable: maps the tile-set file; false (logged) when it is missing or fails its checks, leaving no
    // tile set loaded.
    bool LoadFromFile(const char* path) override;
    // IShutdownable: unmaps the file, drops the hit-test target, empties every slot and the script object.
    void Shutdown() override;

    void SetHighlightBlendMode(std::int32_t mode) { m_highlightBlend = mode; }
    void SetHighlightColor(std::uint32_t argb) { m_highlightColour = argb; }
    // The clip rectangle for sprites (tile-drawing helpers set it while they draw); null clears it.
    void SetSpriteClip(const RectF* clip);
    std::int32_t GetTileCount() const { return m_set.count(); }
    // Changes whenever a tile set is loaded or dropped (users that cache rectangles compare it).
    std::uint32_t version() const { return m_version; }
    // The joint's offset with flags 0, (0, 0) without one.
    Vector2 GetJointPosition(std::int32_t tile, std::int32_t key);

    // The live tile manager, or null.
    static TileManager* live();

private:
    void renderTile(IGraphics* graphics, std::int32_t tile, float x, float y, std::int32_t flags,
                    std::int32_t depth);
    bool findMarker(std::int32_t tile, std::int32_t key, Vector2& offset, std::int32_t flags,
                    std::int32_t depth);
    std::int32_t textureIndex(std::int32_t tile, std::int32_t depth);
    void unmap();

    TileSetData m_set;
    KDFile* m_file = nullptr;
    void* m_mapped = nullptr;
    std::array<ComponentRef<ITexture>, TextureSlots> m_slots;
    ComponentRef<IRenderTarget> m_hitTarget;
    RectF m_spriteClip;
    bool m_hasSpriteClip = false;
    std::int32_t m_highlightBlend = 2;
    std::uint32_t m_highlightColour = 0xFFFFFFFF;
    std::uint32_t m_version = 1;
};
