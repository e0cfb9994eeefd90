#pragma once
// Display, drawing, textures, fonts, particle effects, tile sets and sound. Conventions of the
// catalogue: component/engine_interfaces.h. Colours are 32-bit ARGB.

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

    // Starts drawing into the target viewed through `camera` (null: pixel coordinates); the camera
    // is applied to the target's rectangle. The drawing context is owned by the target and valid
    // until End. Null when the device is not started or a scene is already open.
    virtual IGraphics* Begin(ICamera* camera) = 0;
    // Flushes what was drawn since Begin (and presents, for the screen). Nothing happens without
    // a Begin.
    virtual void End() = 0;
    // The size in pixels; 0 before the target exists.
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

    // Opens the window and the device at the size. False (logged) for a size ≤ 0 or when the window
    // or the OpenGL context cannot be made; true at once when already started.
    virtual bool Init(std::int32_t width, std::int32_t height) = 0;
    virtual bool IsWindowed() = 0;
    // Switches between windowed and full screen (before Init: only records the choice). Ignored
    // inside a frame, and windowed is refused when the window would not fit the desktop.
    virtual void SetWindowed(bool windowed) = 0;
    // The platform window, or null before Init. Not a reference.
    virtual KDWindow* GetWindow() = 0;
    // Shows or hides an on-screen keyboard where the platform has one (nothing on desktops).
    virtual void ShowKeyboard(bool show) = 0;
    // A new, empty Texture component (null before Init).
    virtual ComponentRef<ITexture> CreateTexture() = 0;
    // A new offscreen target, or null when the device cannot make one.
    virtual ComponentRef<IRenderTarget> CreateRenderTarget(std::int32_t width, std::int32_t height) = 0;
    // A new, empty Effect component (loaded through its ILoadable).
    virtual ComponentRef<> CreateEffect() = 0;
};

// A 2D drawing context on a render target.
class IGraphics : public virtual IAbstract {
public:
    static constexpr char Name[] = "IGraphics";
    static constexpr InterfaceId ID{Name};

    // The whole drawing state (clip, colour, blend and filter modes, font, transform), to be put
    // back with SetState after a change.
    virtual GraphicsState GetState() = 0;
    virtual void SetState(const GraphicsState& state) = 0;
    // The camera of the frame, or null. Not a reference.
    virtual ICamera* GetCamera() = 0;
    // The target's rectangle in pixels.
    virtual Rect GetTargetRect() = 0;
    // The clip rectangle in target pixels; drawing outside it is dropped.
    virtual Rect GetClip() = 0;
    virtual void SetClip(const Rect& clip) = 0;
    // The colour that tints what is drawn next (opaque white draws textures as they are).
    virtual std::uint32_t GetColor() = 0;
    virtual void SetColor(std::uint32_t argb) = 0;
    // One of the BLEND_* modes, used by what is drawn next.
    virtual std::int32_t GetBlendMode() = 0;
    virtual void SetBlendMode(std::int32_t mode) = 0;
    // Point or linear texture filtering.
    virtual std::int32_t GetTexFilterMode() = 0;
    virtual void SetTexFilterMode(std::int32_t mode) = 0;
    // The font of DrawString, or null. Not a reference (the context keeps its own while set).
    virtual IFont* GetFont() = 0;
    virtual void SetFont(IFont* font) = 0;
    // Fills the whole target with `argb`, ignoring clip, blending and transform.
    virtual void Clear(std::uint32_t argb) = 0;
    // The transform from drawing coordinates to target pixels.
    virtual Matrix3 GetTransform() = 0;
    virtual void SetTransform(const Matrix3& transform) = 0;
    // The translation part of the transform.
    virtual Vector2 GetTranslate() = 0;
    // Moves the origin by (dx, dy) in drawing coordinates.
    virtual void Translate(float dx, float dy) = 0;
    // A filled or outlined rectangle in the current colour (a negative width or height extends it
    // to the left or upwards).
    virtual void FillRect(float x, float y, float width, float height) = 0;
    virtual void DrawRect(float x, float y, float width, float height) = 0;
    // The `source` rectangle of the texture (texels) stretched over `destination`; nothing for a
    // null or empty texture.
    virtual void DrawTexture(ITexture* texture, const RectF& source, const RectF& destination) = 0;
    // `count` ready-made quads (vertices in drawing coordinates) of one texture, in one batch.
    virtual void DrawQuads(ITexture* texture, const Quad* quads, std::int32_t count) = 0;
    // UTF-8 text in the current font with its top-left at (x, y); nothing without a font.
    virtual void DrawString(const char* text, float x, float y) = 0;
    // A one-pixel line.
    virtual void DrawLine(float x1, float y1, float x2, float y2) = 0;
    // The outline of the ellipse inscribed in the rectangle.
    virtual void DrawEllipse(float x, float y, float width, float height) = 0;
};

// A device texture.
class ITexture : public virtual IAbstract {
public:
    static constexpr char Name[] = "ITexture";
    static constexpr InterfaceId ID{Name};

    // Replaces the contents by a decoded image; false (contents unchanged) when the device refuses
    // its size or format.
    virtual bool CreateTextureFromImage(const ImageRecord& image) = 0;
    // The size in texels; 0 while empty.
    virtual std::int32_t GetWidth() = 0;
    virtual std::int32_t GetHeight() = 0;
    // The 32-bit ARGB pixels of the rectangle (rows of `width`), owned by the texture and valid until
    // Unlock. Null when already locked, the rectangle is invalid, or the device cannot read back.
    virtual std::uint32_t* Lock(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                                bool readOnly) = 0;
    // Ends a Lock, uploading the pixels unless it was read-only. Nothing happens without a Lock.
    virtual void Unlock() = 0;
};

// A bitmap font.
class IFont : public virtual IAbstract {
public:
    static constexpr char Name[] = "IFont";
    static constexpr InterfaceId ID{Name};

    // Whether the font has a glyph for the code point.
    virtual bool IsSymbolExists(std::uint32_t codePoint) = 0;
    // The advance of the UTF-8 text in pixels (kerning included); 0 for null or empty text.
    virtual std::int32_t GetWidth(const char* text) = 0;
    // The line height in pixels; 0 while nothing is loaded.
    virtual std::int32_t GetHeight() = 0;
    // The text broken into lines no wider than `width` where it can be (at spaces and line
    // breaks); empty for null text.
    virtual std::vector<std::string> SplitString(const char* text, std::int32_t width) = 0;
    // Draws the UTF-8 text at the context's origin in its colour; glyphs the font lacks are skipped.
    virtual void Draw(IGraphics* graphics, const char* text) = 0;
};

// A loaded particle effect file.
class IEffect : public virtual IAbstract {
public:
    static constexpr char Name[] = "IEffect";
    static constexpr InterfaceId ID{Name};

    // A new emitter of the named emitter of the effect (the first one for a null name); null when
    // the effect is not loaded or has no such emitter.
    virtual ComponentRef<IEffectEmitter> CreateEmitter(const char* name) = 0;
};

// One running particle emitter.
class IEffectEmitter : public IRenderable {
public:
    static constexpr char Name[] = "IEffectEmitter";
    static constexpr InterfaceId ID{Name};

    // Starts over: no particles, life time 0, not expired.
    virtual void Reset() = 0;
    virtual void SetRenderLayer(std::int32_t layer) = 0;
    // A disabled emitter emits nothing new; live particles run out.
    virtual void SetEnabled(bool enabled) = 0;
    // In local mode particles move with the emitter's position; in world mode they stay where they
    // were emitted.
    virtual void SetLocalMode(bool local) = 0;
    // The transform applied after the emitter's position.
    virtual void SetLocalMatrix(const Matrix3& matrix) = 0;
};

class ISound;

// The audio system.
class ISoundDriver : public virtual IAbstract {
public:
    static constexpr char Name[] = "ISoundDriver";
    static constexpr InterfaceId ID{Name};

    // Opens the audio device. False (logged) when there is none; sounds then stay silent and every
    // call below answers its neutral result.
    virtual bool Init(KDWindow* window) = 0;
    // A new, empty sound (decoded into memory) or music (streamed), loaded through its ILoadable;
    // null before a successful Init.
    virtual ComponentRef<ISound> CreateSound() = 0;
    virtual ComponentRef<ISound> CreateMusic() = 0;
    // Start resumes output, Stop ends every channel, Pause holds them; false without a device.
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

    // Plays on a free channel (or, without `restart`, resumes a paused one) and answers the channel
    // handle; -1 (logged) when nothing is loaded, no channel is free or there is no device.
    virtual std::int32_t Play(bool restart) = 0;
    // Stop ends, Pause holds and Resume continues every channel of the sound; false without one.
    virtual bool Stop() = 0;
    virtual bool Pause() = 0;
    virtual bool Resume() = 0;
    // The playback rate in Hz (the file's own until changed).
    virtual std::int32_t GetFrequency() = 0;
    // Slides the rate, volume (percent) or pan (-100 left ... 100 right) to the value over
    // `durationMs` (0: at once); false without a device.
    virtual bool SetFrequency(std::int32_t hz, std::int32_t durationMs) = 0;
    virtual std::int32_t GetVolume() = 0;
    virtual bool SetVolume(std::int32_t percent, std::int32_t durationMs) = 0;
    virtual std::int32_t GetPan() = 0;
    virtual bool SetPan(std::int32_t percent, std::int32_t durationMs) = 0;
    // Whether the next Play loops.
    virtual bool SetLoop(bool loop) = 0;
    virtual bool IsPlaying() = 0;
    virtual bool IsPaused() = 0;
    // Whether a frequency, volume or pan slide is still running.
    virtual bool IsSliding() = 0;
};

// The tile sets: tile programs drawn from texture slots.
class ITileManager : public virtual IAbstract {
public:
    static constexpr char Name[] = "ITileManager";
    static constexpr InterfaceId ID{Name};

    // The tile's bounds around its anchor, in pixels, under the flip `flags`; empty for a tile
    // number out of range.
    virtual Rect GetRect(std::int32_t tile, std::int32_t flags) = 0;
    // Whether the tile (or a nested tile) holds a joint with `key`; `offset` receives its position.
    virtual bool FindMarker(std::int32_t tile, std::int32_t key, Vector2& offset, std::int32_t flags) = 0;
    // Draws the tile's program with its anchor at (x, y) in drawing coordinates; nothing for a tile
    // number out of range.
    virtual void Render(IGraphics* graphics, std::int32_t tile, float x, float y, std::int32_t flags) = 0;
    // Whether the pixel (x, y), relative to the anchor, is opaque in the tile; false out of range.
    virtual bool HitTest(std::int32_t tile, std::int32_t x, std::int32_t y, std::int32_t flags) = 0;
    // The texture slot of the tile's first sprite, or -1.
    virtual std::int32_t GetTextureIndex(std::int32_t tile) = 0;
    // The sprites the tile draws (nested tiles expanded), for callers that batch them; empty out of
    // range.
    virtual std::vector<TileFragment> GetFragments(std::int32_t tile, std::int32_t flags) = 0;
    // The texture of a slot, loaded on first use. Not a reference.
    virtual ITexture* GetTexture(std::int32_t slot) = 0;
    // Puts a texture into a slot (a reference is kept); nothing for a slot out of range.
    virtual void SetTexture(std::int32_t slot, ITexture* texture) = 0;
};
