#pragma once
// Display, drawing, textures, fonts, particle effects, tile sets and sound.

#include <cstdint>
#include <string>
#include <vector>

#include "component/component_ref.h"
#include "component/frame_interfaces.h"
#include "component/media_records.h"
#include "math/matrix3.h"
#include "math/rect.h"
#include "math/rect_f.h"
#include "math/vector2.h"

struct KDWindow;
class ICamera;
class IFont;
class ITexture;
class IGraphics;
class IEffectEmitter;

// Something drawn into: the screen or an offscreen target.
class IRenderTarget : public virtual IAbstract {
public:
    static constexpr char Name[] = "IRenderTarget";
    static constexpr InterfaceId ID{Name};

    // Starts a frame viewed through `camera`; the drawing context is owned by the target. Null on failure.
    virtual IGraphics* Begin(ICamera* camera) = 0;
    virtual void End() = 0;
    virtual std::int32_t GetWidth() = 0;
    virtual std::int32_t GetHeight() = 0;
    // The target's contents as a texture (null for the screen). Not a reference.
    virtual ITexture* GetTexture() = 0;
};

// The game's window surface and the device that draws it.
class IDisplay : public IRenderTarget {
public:
    static constexpr char Name[] = "IDisplay";
    static constexpr InterfaceId ID{Name};

    virtual bool Init(std::int32_t width, std::int32_t height) = 0;
    virtual bool IsWindowed() = 0;
    virtual void SetWindowed(bool windowed) = 0;
    virtual KDWindow* GetWindow() = 0;
    virtual void ShowKeyboard(bool show) = 0;
    // A new, empty Texture component.
    virtual ComponentRef<ITexture> CreateTexture() = 0;
    // A new offscreen target, or null when the device cannot make one.
    virtual ComponentRef<IRenderTarget> CreateRenderTarget(std::int32_t width, std::int32_t height) = 0;
    // A new, empty Effect component.
    virtual ComponentRef<> CreateEffect() = 0;
};

// A 2D drawing context on a render target.
class IGraphics : public virtual IAbstract {
public:
    static constexpr char Name[] = "IGraphics";
    static constexpr InterfaceId ID{Name};

    virtual GraphicsState GetState() = 0;
    virtual void SetState(const GraphicsState& state) = 0;
    // The camera of the frame, or null. Not a reference.
    virtual ICamera* GetCamera() = 0;
    virtual Rect GetTargetRect() = 0;
    virtual Rect GetClip() = 0;
    virtual void SetClip(const Rect& clip) = 0;
    virtual std::uint32_t GetColor() = 0;
    virtual void SetColor(std::uint32_t argb) = 0;
    virtual std::int32_t GetBlendMode() = 0;
    virtual void SetBlendMode(std::int32_t mode) = 0;
    virtual std::int32_t GetTexFilterMode() = 0;
    virtual void SetTexFilterMode(std::int32_t mode) = 0;
    virtual IFont* GetFont() = 0;
    virtual void SetFont(IFont* font) = 0;
    virtual void Clear(std::uint32_t argb) = 0;
    virtual Matrix3 GetTransform() = 0;
    virtual void SetTransform(const Matrix3& transform) = 0;
    virtual Vector2 GetTranslate() = 0;
    virtual void Translate(float dx, float dy) = 0;
    virtual void FillRect(float x, float y, float width, float height) = 0;
    virtual void DrawRect(float x, float y, float width, float height) = 0;
    virtual void DrawTexture(ITexture* texture, const RectF& source, const RectF& destination) = 0;
    virtual void DrawQuads(ITexture* texture, const Quad* quads, std::int32_t count) = 0;
    virtual void DrawString(const char* text, float x, float y) = 0;
    virtual void DrawLine(float x1, float y1, float x2, float y2) = 0;
    virtual void DrawEllipse(float x, float y, float width, float height) = 0;
};

// A device texture.
class ITexture : public virtual IAbstract {
public:
    static constexpr char Name[] = "ITexture";
    static constexpr InterfaceId ID{Name};

    virtual bool CreateTextureFromImage(const ImageRecord& image) = 0;
    virtual std::int32_t GetWidth() = 0;
    virtual std::int32_t GetHeight() = 0;
    // 32-bit pixels of the rectangle, or null.
    virtual std::uint32_t* Lock(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                                bool readOnly) = 0;
    virtual void Unlock() = 0;
};

// A bitmap font.
class IFont : public virtual IAbstract {
public:
    static constexpr char Name[] = "IFont";
    static constexpr InterfaceId ID{Name};

    virtual bool IsSymbolExists(std::uint32_t codePoint) = 0;
    virtual std::int32_t GetWidth(const char* text) = 0;
    virtual std::int32_t GetHeight() = 0;
    virtual std::vector<std::string> SplitString(const char* text, std::int32_t width) = 0;
    // Draws at the context's origin.
    virtual void Draw(IGraphics* graphics, const char* text) = 0;
};

// A loaded particle effect file.
class IEffect : public virtual IAbstract {
public:
    static constexpr char Name[] = "IEffect";
    static constexpr InterfaceId ID{Name};

    // A new emitter of the named (or first) emitter of the effect, or null.
    virtual ComponentRef<IEffectEmitter> CreateEmitter(const char* name) = 0;
};

// One running particle emitter.
class IEffectEmitter : public IRenderable {
public:
    static constexpr char Name[] = "IEffectEmitter";
    static constexpr InterfaceId ID{Name};

    virtual void Reset() = 0;
    virtual void SetRenderLayer(std::int32_t layer) = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual void SetLocalMode(bool local) = 0;
    virtual void SetLocalMatrix(const Matrix3& matrix) = 0;
};

class ISound;

// The audio system.
class ISoundDriver : public virtual IAbstract {
public:
    static constexpr char Name[] = "ISoundDriver";
    static constexpr InterfaceId ID{Name};

    virtual bool Init(KDWindow* window) = 0;
    virtual ComponentRef<ISound> CreateSound() = 0;
    virtual ComponentRef<ISound> CreateMusic() = 0;
    virtual bool Start() = 0;
    virtual bool Stop() = 0;
    virtual bool Pause() = 0;
    // Master volume in percent, or -1 on error.
    virtual std::int32_t GetVolume() = 0;
    virtual bool SetVolume(std::int32_t percent) = 0;
};

// A sound or a piece of music.
class ISound : public virtual IAbstract {
public:
    static constexpr char Name[] = "ISound";
    static constexpr InterfaceId ID{Name};

    // The channel handle, or -1.
    virtual std::int32_t Play(bool restart) = 0;
    virtual bool Stop() = 0;
    virtual bool Pause() = 0;
    virtual bool Resume() = 0;
    virtual std::int32_t GetFrequency() = 0;
    virtual bool SetFrequency(std::int32_t hz, std::int32_t durationMs) = 0;
    virtual std::int32_t GetVolume() = 0;
    virtual bool SetVolume(std::int32_t percent, std::int32_t durationMs) = 0;
    virtual std::int32_t GetPan() = 0;
    virtual bool SetPan(std::int32_t percent, std::int32_t durationMs) = 0;
    virtual bool SetLoop(bool loop) = 0;
    virtual bool IsPlaying() = 0;
    virtual bool IsPaused() = 0;
    virtual bool IsSliding() = 0;
};

// The tile sets: tile programs drawn from texture slots.
class ITileManager : public virtual IAbstract {
public:
    static constexpr char Name[] = "ITileManager";
    static constexpr InterfaceId ID{Name};

    virtual Rect GetRect(std::int32_t tile, std::int32_t flags) = 0;
    // Whether the tile (or a nested tile) holds a joint with `key`; `offset` receives its position.
    virtual bool FindMarker(std::int32_t tile, std::int32_t key, Vector2& offset, std::int32_t flags) = 0;
    virtual void Render(IGraphics* graphics, std::int32_t tile, float x, float y, std::int32_t flags) = 0;
    virtual bool HitTest(std::int32_t tile, std::int32_t x, std::int32_t y, std::int32_t flags) = 0;
    // The texture slot of the tile's first sprite, or -1.
    virtual std::int32_t GetTextureIndex(std::int32_t tile) = 0;
    virtual std::vector<TileFragment> GetFragments(std::int32_t tile, std::int32_t flags) = 0;
    // The texture of a slot, loaded on first use. Not a reference.
    virtual ITexture* GetTexture(std::int32_t slot) = 0;
    virtual void SetTexture(std::int32_t slot, ITexture* texture) = 0;
};
