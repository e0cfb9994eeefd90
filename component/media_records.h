#pragma once
// The plain records that the drawing and texture interfaces (component/media_interfaces.h) pass by value or
// by reference: a batched quad and its vertices, the blend mode bits, the drawing context's state, and a
// decoded image. They live beside the interfaces so a component can implement or call those interfaces
// without the renderer.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "math/matrix3.h"
#include "math/rect.h"

struct KDFile;
struct DeviceTexture;
struct ImageReader;
class IFont;

// One vertex as the batch holds it: position in target pixels (z in 0..1), ARGB colour, texture coordinates.
struct Vertex {
    float x, y, z;
    std::uint32_t colour;
    float u, v;
};
static_assert(sizeof(Vertex) == 24);

// Four vertices (top-left, top-right, bottom-right, bottom-left), the texture (null: untextured) and the
// blend mode.
struct Quad {
    Vertex v[4];
    DeviceTexture* texture = nullptr;
    std::int32_t blend = 2;
};

// Blend mode bits; -1 turns blending off.
enum BlendMode : std::int32_t {
    BLEND_COLORADD = 1,   // texture colour plus vertex colour (alpha still multiplies)
    BLEND_ALPHABLEND = 2, // destination weighted by inverse source alpha (else added)
    BLEND_ZWRITE = 4,     // depth write (no depth buffer exists: no effect)
    BLEND_OPAQUE = -1,
    BLEND_DEFAULT = 2,
};

// The part of the context moved as one record by GetState/SetState.
struct GraphicsState {
    Rect clip{0, 0, 2147483647, 2147483647};
    std::uint32_t colour = 0xFFFFFFFF;
    std::int32_t blendMode = BLEND_DEFAULT;
    std::int32_t texFilterMode = 0; // 0 linear, anything else point
    Matrix3 transform;
    IFont* font = nullptr; // the context holds a reference while it is set
};

// Pixel layout of an ImageRecord.
enum ImageFormat : std::int32_t {
    IMAGE_FORMAT_RGBA8 = 121,     // R, G, B, A bytes
    IMAGE_FORMAT_DXT1 = 123,      // 4x4 blocks of 8 bytes
    IMAGE_FORMAT_DXT3 = 124,      // 4x4 blocks of 16 bytes
    IMAGE_FORMAT_DXT5 = 125,      // 4x4 blocks of 16 bytes
    IMAGE_FORMAT_PVRTC2 = 126,    // PVRTC, 2 bits per pixel
    IMAGE_FORMAT_PVRTC4 = 127,    // PVRTC, 4 bits per pixel
    IMAGE_FORMAT_RGB8 = 128,      // R, G, B bytes
    IMAGE_FORMAT_RGB565 = 129,    // 16-bit 5-6-5
    IMAGE_FORMAT_RGBA5551 = 130,  // 16-bit 5-5-5-1, alpha in bit 0
    IMAGE_FORMAT_RGBA4444 = 131,  // 16-bit 4-4-4-4, alpha in the low nibble
    IMAGE_FORMAT_BGRA8 = 132,     // B, G, R, A bytes
    IMAGE_FORMAT_PVR_TYPE7 = 133, // PVR pixel type 7
    IMAGE_FORMAT_GREY8 = 134,     // 8-bit grey
    IMAGE_FORMAT_GREY_ALPHA8 = 135,
    IMAGE_FORMAT_PVR_TYPE57 = 208, // PVR pixel types 57, 58, 59: 208, 209, 210
    IMAGE_FORMAT_NTF_FIRST = 300,  // NTF container types 0..6: 300..306
    // PVR files tagged "PSP!" carry the same pixel types in a second code set: 400 + the pixel type. No
    // texture format accepts them.
    IMAGE_FORMAT_PSP_BASE = 400,
};

// One decoded image. Owned by whoever ReadImage handed it to; release it with FreeImage.
struct ImageRecord {
    const ImageReader* reader = nullptr; // the reader that accepted the bytes
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t format = 0; // ImageFormat
    std::int32_t pitch = 0;  // bytes per row of the first level
    std::int32_t bitsPerPixel = 0;
    std::int32_t levelCount = 1; // 1, or 1 + the mip-map count
    std::uint64_t dataSize = 0;  // bytes of pixel data (all levels)
    bool hasAlpha = false;

    // The file: its stream and bytes are kept until FreeImage (the stream is null for ReadImageFromMemory).
    KDFile* stream = nullptr;
    const std::uint8_t* fileBytes = nullptr;
    std::size_t fileSize = 0;

    // The first pixel: into `decoded` for readers that decode, into the file's bytes for those that do not.
    // The readers guarantee that `dataSize` bytes, and at least pitch x height bytes of the first level
    // (whole block rows for block formats), are readable from here.
    const std::uint8_t* pixels = nullptr;
    std::vector<std::uint8_t> decoded;
};

// One nested tile of a tile's program (ITileManager::GetFragments): the tile number and the offset it is
// drawn at.
struct TileFragment {
    std::int32_t tile = -1;
    std::int32_t x = 0;
    std::int32_t y = 0;
};
