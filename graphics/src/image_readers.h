#pragma once
// The image readers behind ReadImage: each has a name, a header check that fills the record's fields or
// rejects the bytes, and a decode step that sets the pixels. Internal to graphics/.

#include <cstddef>
#include <cstdint>

#include "graphics/image_record.h"

struct ImageReader {
    const char* name;
    // Accepts or rejects the bytes; on acceptance the record's size, format and layout fields are set.
    bool (*readHeader)(ImageRecord& image, const std::uint8_t* bytes, std::size_t size);
    // Sets image.pixels (decoding into image.decoded where needed); false on damaged data.
    bool (*decode)(ImageRecord& image);
};

namespace image_limits {
// Largest side accepted from any file: a forged header cannot make us allocate gigabytes.
inline constexpr std::int64_t kMaxSide = 16384;
// Largest pixel count a decoding reader allocates for (64 Mi pixels).
inline constexpr std::int64_t kMaxPixels = std::int64_t{1} << 26;
} // namespace image_limits

const ImageReader& pvrImageReader();
const ImageReader& jpegImageReader();
const ImageReader& pngImageReader();
const ImageReader& tgaImageReader();
const ImageReader& ntfImageReader();

// Little-endian and big-endian fields of a file.
inline std::uint16_t readLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t readLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint32_t readBe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[3]) | static_cast<std::uint32_t>(p[2]) << 8 |
           static_cast<std::uint32_t>(p[1]) << 16 | static_cast<std::uint32_t>(p[0]) << 24;
}
