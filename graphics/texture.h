#pragma once
// `Texture`: one device texture for scripts and the engine. Loaded from an image file, created from pixels
// by a first writing `Lock`, or standing for an offscreen target's contents. 32-bit textures keep a copy of
// their pixels on the processor so they can be locked, cloned and recoloured; `Unlock` uploads a writing
// lock's changes.

#include <cstdint>
#include <vector>

#include "binding/binding_script_object.h"
#include "component/media_interfaces.h"
#include "component/stream_interfaces.h"
#include "graphics/renderer.h"
#include "math/matrix4.h"

struct ImageRecord;

class Texture final : public ITexture, public ILoadable, public ICloneable, public ScriptObjectBase<Texture> {
public:
    static constexpr char ScriptTypeName[] = "Texture";
    // GetWidth, GetHeight.
    static const MethodTable& scriptMethods();

    Texture() = default;
    // The contents of an offscreen target: drawable, lockable through a copy, never owning the device
    // texture.
    explicit Texture(DeviceTarget* target);
    ~Texture() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<ITexture, ILoadable, ICloneable, IScriptObject>(this, id);
    }

    // ITexture
    bool CreateTextureFromImage(const ImageRecord& image) override;
    std::int32_t GetWidth() override { return m_width; }
    std::int32_t GetHeight() override { return m_height; }
    std::uint32_t* Lock(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                        bool readOnly) override;
    void Unlock() override;
    // ILoadable
    bool LoadFromFile(const char* path) override;
    // ICloneable: a new Texture with a copy of the pixels, or null when this one cannot be locked.
    ComponentRef<> Clone() override;

    // The device texture, or null (drawn as untextured quads).
    DeviceTexture* deviceTexture() const;
    // The target is going away: from now on this is an empty texture.
    void detachTarget();
    // This engine's Texture behind an interface pointer, or null for anything else.
    static Texture* fromInterface(IAbstract* object);

private:
    void releaseDevice();

    DeviceTexture* m_texture = nullptr;
    DeviceTarget* m_target = nullptr;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    // 32-bit textures: the pixels, rows of 4 x device width bytes.
    std::vector<std::uint32_t> m_pixels;
    // A target's lock: the copied rectangle.
    std::vector<std::uint32_t> m_targetCopy;
    bool m_locked = false;
    bool m_lockWrites = false;
    std::int32_t m_lockRect[4] = {0, 0, 0, 0};
};

// Recolours a texture in place: each pixel's (R, G, B, A) / 255 as a row vector times the matrix, written
// back as A = w, R = x, G = y, B = z, each x 255, truncated and clamped to 0..255. A texture that cannot be
// locked for writing (not 32-bit, or no device texture) is left alone: false.
bool TextureFilter_ColorMatrix(ITexture* texture, const Matrix4& matrix);
