#pragma once
// Decoded images: the record the five image readers (PVR, JPEG, PNG, TGA, NTF) fill and the texture builder
// consumes. A file is read whole, the readers' header checks run in a fixed order ("pvr", "jpg", "png",
// "tga", "ntf", the extension is never consulted) and the first one that accepts the bytes decodes them.
//
// Every reader treats the file as hostile: each size, count and offset taken from a header is checked in
// 64-bit arithmetic against the bytes really present, so a damaged or forged image is a clean failure (null,
// platform error KD_EIO, a log line), never a read out of bounds.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/kd.h"

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

struct ImageReader;

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

// Reads a whole image from an open file. The record takes over the stream (it is closed by FreeImage, or
// here on failure). Null with error KD_EIO when the bytes cannot be read or no reader accepts them.
ImageRecord* ReadImage(KDFile* stream);

// Decodes an image from a buffer the caller owns and keeps alive until FreeImage. Null with error KD_EIO on
// failure.
ImageRecord* ReadImageFromMemory(const void* bytes, std::size_t size);

// Frees the decoded pixels, the file's bytes and the stream. Null is ignored.
void FreeImage(ImageRecord* image);
