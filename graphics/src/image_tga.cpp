// TGA reader: uncompressed true colour, 16, 24 or 32 bits. Rows come out top-down, 24/32-bit pixels as
// R, G, B(, A) and 16-bit pixels as R5G5B5A1 with alpha set.
#include <cstring>
#include <utility>

#include "graphics/src/image_readers.h"

namespace {

constexpr std::size_t kHeaderSize = 18;

struct TgaLayout {
    std::uint64_t dataOffset;
    std::uint32_t bytesPerPixel;
    bool topDown;
};

TgaLayout layoutOf(const std::uint8_t* h) {
    const std::uint64_t mapLength = readLe16(h + 5);
    const std::uint64_t entryBytes = (std::uint64_t{h[7]} + 7) / 8;
    return {kHeaderSize + h[0] + mapLength * entryBytes, h[16] / 8u, (h[17] & 0x20) != 0};
}

bool readHeader(ImageRecord& image, const std::uint8_t* bytes, std::size_t size) {
    if (size < kHeaderSize) {
        return false;
    }
    const std::uint8_t mapType = bytes[1];
    const std::uint8_t imageType = bytes[2];
    const std::uint32_t mapFirst = readLe16(bytes + 3);
    const std::uint32_t mapLength = readLe16(bytes + 5);
    const std::uint8_t entrySize = bytes[7];
    const std::uint32_t width = readLe16(bytes + 12);
    const std::uint32_t height = readLe16(bytes + 14);
    const std::uint8_t depth = bytes[16];
    const std::uint8_t descriptor = bytes[17];
    const bool mapOk =
        mapType == 0 || (mapType == 1 && mapFirst < mapLength && entrySize >= 1 && entrySize <= 32);
    if (!mapOk || imageType != 2 || width == 0 || height == 0 ||
        (depth != 16 && depth != 24 && depth != 32) || (descriptor & 0x10) != 0) {
        return false;
    }
    const TgaLayout layout = layoutOf(bytes);
    if (layout.dataOffset + std::uint64_t{layout.bytesPerPixel} * width * height > size) {
        return false;
    }
    image.width = static_cast<std::int32_t>(width);
    image.height = static_cast<std::int32_t>(height);
    image.format = depth == 16 ? IMAGE_FORMAT_RGBA5551 : depth == 24 ? IMAGE_FORMAT_RGB8 : IMAGE_FORMAT_RGBA8;
    image.bitsPerPixel = depth;
    image.pitch = static_cast<std::int32_t>(depth * width / 8);
    image.dataSize = std::uint64_t{static_cast<std::uint32_t>(image.pitch)} * height;
    image.hasAlpha = (descriptor & 0x0F) != 0 || depth == 32;
    return true;
}

bool decode(ImageRecord& image) {
    const TgaLayout layout = layoutOf(image.fileBytes);
    const std::size_t pitch = static_cast<std::size_t>(image.pitch);
    const std::size_t height = static_cast<std::size_t>(image.height);
    image.decoded.resize(pitch * height);
    const std::uint8_t* source = image.fileBytes + layout.dataOffset;
    for (std::size_t row = 0; row < height; ++row) {
        const std::size_t from = layout.topDown ? row : height - 1 - row;
        std::memcpy(image.decoded.data() + row * pitch, source + from * pitch, pitch);
    }
    std::uint8_t* p = image.decoded.data();
    const std::size_t count = static_cast<std::size_t>(image.width) * height;
    if (layout.bytesPerPixel == 2) {
        for (std::size_t i = 0; i < count; ++i, p += 2) {
            const auto value = static_cast<std::uint16_t>(readLe16(p) * 2 + 1);
            p[0] = static_cast<std::uint8_t>(value);
            p[1] = static_cast<std::uint8_t>(value >> 8);
        }
    } else {
        for (std::size_t i = 0; i < count; ++i, p += layout.bytesPerPixel) {
            std::swap(p[0], p[2]);
        }
    }
    image.pixels = image.decoded.data();
    return true;
}

} // namespace

const ImageReader& tgaImageReader() {
    static const ImageReader reader{"tga", &readHeader, &decode};
    return reader;
}
