#pragma once
// The renderer core under every drawing call: immediate-mode batching of textured quads and lines over
// OpenGL 3.3 core, a blend-state cache, clipping, the 2D view transform and render-target switching. One
// renderer per process (the display owns its lifetime); main thread only.
//
// Batching: quads and lines are queued in one 4000-vertex buffer and drawn in one call per batch: at most
// 1000 quads (through one static index buffer) or 2000 lines. A batch is flushed only when the primitive
// kind, the texture or the blend mode changes, when it is full, and on clip, filter and target changes. The
// view transform is applied to positions on the processor as they are queued, so a transform change keeps
// the batch (text drawn string by string, each under its own translation, is one batch per font page).
//
// Coordinates: pixel positions of the current target, (0, 0) the top-left corner of its top-left pixel, so
// a quad from (0, 0) to (w, h) covers exactly the pixels 0..w-1, 0..h-1 and a texture drawn at its own size
// maps texel to pixel (the pixel-exact projection). Offscreen targets store their top row first.

#include <cstdint>

#include "component/media_records.h"
#include "math/matrix3.h"

// Pixel layouts of device textures.
enum class DeviceFormat {
    ARGB8,    // 32-bit A8R8G8B8, lockable
    XRGB8,    // 32-bit with alpha 0xFF, lockable
    ARGB4,    // 16-bit 4-4-4-4
    DXT5,     // S3TC DXT5 blocks
    TargetRGB // offscreen target contents (alpha reads as opaque)
};

// An offscreen render target on the device.
struct DeviceTarget;

// Texture size rules the device imposes; tests switch them on to check the size adjustments.
struct TextureRules {
    bool powerOfTwo = false;
    bool squareOnly = false;
};

// --- lifetime (the display) -----------------------------------------------------------------------------

// Creates the OpenGL context on the SDL window (void* SDL_Window) and the device objects; logs the driver
// lines. False, with a log line, on failure.
bool Gfx_Start(void* sdlWindow);
// Releases every device object, detaches every texture still alive (their later release leaves the device
// alone) and destroys the context.
void Gfx_Stop();
bool Gfx_IsStarted();
// Size of the window's drawable surface (the back buffer).
void Gfx_GetBackBufferSize(std::int32_t& width, std::int32_t& height);
void Gfx_SetTextureRules(TextureRules rules);
TextureRules Gfx_GetTextureRules();
// Applies the rules to a requested size: square-only takes the larger side for both, power-of-two rounds
// each side up (1 stays 1).
void Gfx_AdjustTextureSize(std::int32_t& width, std::int32_t& height);

// --- frames ---------------------------------------------------------------------------------------------

// Starts drawing into the target (null: the screen). False while a scene is open ("Gfx_BeginScene: Scene
// is already being rendered") or when the target cannot be bound.
bool Gfx_BeginScene(DeviceTarget* target);
// Draws what is queued and, for the screen, presents. With HH_FIRST_FRAME_CLOCK in the environment at start,
// the first presented frame is finished and logs the monotonic clock and the process's processor time
// ("First frame presented at ... us on the monotonic clock, ... us of processor time").
void Gfx_EndScene();
bool Gfx_InScene();
void Gfx_RenderQuad(const Quad& quad);
// Copies the vertices of `count` pre-built quads with one texture and blend mode (their own texture and
// blend fields are not consulted), in batches of at most 1000, with no per-quad checks.
void Gfx_RenderQuads(const Quad* quads, std::int32_t count, DeviceTexture* texture, std::int32_t blend);
// Lines always draw untextured with blend mode 2.
void Gfx_RenderLine(float x1, float y1, float x2, float y2, std::uint32_t colour, float z);
// Draws the queued batch.
void Gfx_RenderBatch(bool endScene);
void Gfx_SetBlendMode(std::int32_t mode);
// Clamps the rectangle to the target and, when that differs from the clip in force, flushes and sets
// viewport and projection. A zero-sized clip draws nothing.
void Gfx_SetClipping(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);
// Positions queued from now on go through the transform (the third column is taken as (0, 0, 1)); what is
// already queued keeps its own, so nothing is flushed. A scene on a new target starts with the identity.
void Gfx_SetTransform(const Matrix3& transform);
// 0 linear, anything else point sampling; device-wide, flushes the batch.
void Gfx_SetTextureFilter(std::int32_t mode);
void Gfx_Clear(std::uint32_t argb);

// Benchmarks of the processor side turn submission off: batches are counted and dropped instead of
// reaching the GPU.
void Gfx_SetSubmitEnabled(bool enabled);

// Draw calls issued since start or the last reset (tests).
std::uint64_t Gfx_DrawCallCount();
// Quads and lines drawn (or, with submission off, dropped) since start or the last reset.
std::uint64_t Gfx_PrimitiveCount();
// Resets both counters.
void Gfx_ResetDrawCallCount();
// Reads the current target's pixels (rectangle in target pixels, top row first) as ARGB into `out`
// (width x height values). False outside the target or without a device.
bool Gfx_ReadPixels(DeviceTarget* target, std::int32_t x, std::int32_t y, std::int32_t width,
                    std::int32_t height, std::uint32_t* out);

// --- textures -------------------------------------------------------------------------------------------

// A new device texture of the (already adjusted) size; null with a log line on failure. The image list
// holds it until Gfx_ReleaseTexture.
DeviceTexture* Gfx_CreateTexture(std::int32_t width, std::int32_t height, DeviceFormat format);
void Gfx_ReleaseTexture(DeviceTexture* texture);
std::int32_t Gfx_TextureWidth(const DeviceTexture* texture);
std::int32_t Gfx_TextureHeight(const DeviceTexture* texture);
DeviceFormat Gfx_TextureFormat(const DeviceTexture* texture);
// Uploads a rectangle of pixels: 32-bit ARGB values for ARGB8/XRGB8, 16-bit RGBA4444 words for ARGB4, block
// rows for DXT5 (x, y, width, height in pixels, multiples of 4 for DXT5). `pitch` in bytes.
bool Gfx_UploadTexture(DeviceTexture* texture, std::int32_t x, std::int32_t y, std::int32_t width,
                       std::int32_t height, const void* pixels, std::int32_t pitch);

// --- offscreen targets ----------------------------------------------------------------------------------

// A target of the size as given (adjust it first); null with "Can't create render target texture".
DeviceTarget* Gfx_CreateTarget(std::int32_t width, std::int32_t height);
// Releases the target; a scene still open on it ends (the screen is bound again).
void Gfx_ReleaseTarget(DeviceTarget* target);
std::int32_t Gfx_TargetWidth(const DeviceTarget* target);
std::int32_t Gfx_TargetHeight(const DeviceTarget* target);
// The target's colour texture, drawable like any texture.
DeviceTexture* Gfx_TargetTexture(DeviceTarget* target);
