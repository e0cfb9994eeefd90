// PVR reader (legacy 52-byte header, little-endian 32-bit fields). The pixels are used in place.
#include <algorithm>

#include "graphics/src/image_readers.h"

namespace {

constexpr std::size_t kHeaderSize = 52;

struct PixelType {
    std::uint32_t type;
    std::int32_t format;
    std::int32_t bitsPerPixel; // 0: taken from the header (types whose layout no texture format uses)
};

constexpr PixelType kPixelTypes[] = {
    {7, IMAGE_FORMAT_PVR_TYPE7, 0},       {16, IMAGE_FORMAT_RGBA4444, 16},
    {17, IMAGE_FORMAT_RGBA5551, 16},      {18, IMAGE_FORMAT_RGBA8, 32},
    {19, IMAGE_FORMAT_RGB565, 16},        {20, IMAGE_FORMAT_RGBA5551, 16},
    {21, IMAGE_FORMAT_RGB8, 24},          {22, IMAGE_FORMAT_GREY8, 8},
    {23, IMAGE_FORMAT_GREY_ALPHA8, 16},   {24, IMAGE_FORMAT_PVRTC2, 2},
    {25, IMAGE_FORMAT_PVRTC4, 4},         {26, IMAGE_FORMAT_BGRA8, 32},
    {32, IMAGE_FORMAT_DXT1, 4},           {34, IMAGE_FORMAT_DXT3, 8},
    {36, IMAGE_FORMAT_DXT5, 8},           {57, IMAGE_FORMAT_PVR_TYPE57, 0},
    {58, IMAGE_FORMAT_PVR_TYPE57 + 1, 0}, {59, IMAGE_FORMAT_PVR_TYPE57 + 2, 0},
};

bool isBlockFormat(std::int32_t format) {
    return format == IMAGE_FORMAT_DXT1 || format == IMAGE_FORMAT_DXT3 || format == IMAGE_FORMAT_DXT5;
}

// Bytes of the first level as the texture builder reads it: whole rows, or whole 4x4 block rows.
std::uint64_t firstLevelBytes(std::int32_t format, std::uint64_t width, std::uint64_t height,
                              std::uint64_t bitsPerPixel) {
    if (isBlockFormat(format)) {
        const std::uint64_t blockBytes = format == IMAGE_FORMAT_DXT1 ? 8 : 16;
        return (width + 3) / 4 * ((height + 3) / 4) * blockBytes;
    }
    return (bitsPerPixel * width + 7) / 8 * height;
}

bool readHeader(ImageRecord& image, const std::uint8_t* bytes, std::size_t size) {
    if (size < kHeaderSize || readLe32(bytes) != kHeaderSize) {
        return false;
    }
    const std::uint8_t* tag = bytes + 44;
    const bool pvr = tag[0] == 'P' && tag[1] == 'V' && tag[2] == 'R' && tag[3] == '!';
    const bool psp = tag[0] == 'P' && tag[1] == 'S' && tag[2] == 'P' && tag[3] == '!';
    if (!pvr && !psp) {
        return false;
    }
    const std::uint32_t height = readLe32(bytes + 4);
    const std::uint32_t width = readLe32(bytes + 8);
    const std::uint32_t mipMaps = readLe32(bytes + 12);
    const std::uint32_t flags = readLe32(bytes + 16);
    const std::uint32_t dataLength = readLe32(bytes + 20);
    const std::uint32_t headerBits = readLe32(bytes + 24);
    const std::uint32_t alphaMask = readLe32(bytes + 40);

    const PixelType* type = nullptr;
    for (const PixelType& candidate : kPixelTypes) {
        if (candidate.type == (flags & 0xFF)) {
            type = &candidate;
        }
    }
    if (type == nullptr || width == 0 || height == 0 || width > image_limits::kMaxSide ||
        height > image_limits::kMaxSide) {
        return false;
    }
    // The layout follows the pixel type; a header that claims another depth is forged or damaged.
    if (type->bitsPerPixel != 0 ? headerBits != static_cast<std::uint32_t>(type->bitsPerPixel)
                                : headerBits == 0 || headerBits > 32) {
        return false;
    }
    const std::uint64_t available = size - kHeaderSize;
    if (dataLength > available || firstLevelBytes(type->format, width, height, headerBits) > dataLength) {
        return false;
    }
    image.width = static_cast<std::int32_t>(width);
    image.height = static_cast<std::int32_t>(height);
    image.format = psp ? IMAGE_FORMAT_PSP_BASE + static_cast<std::int32_t>(type->type) : type->format;
    image.bitsPerPixel = static_cast<std::int32_t>(headerBits);
    image.pitch = static_cast<std::int32_t>(std::uint64_t{headerBits} * width / 8);
    image.levelCount =
        (flags & 0x100) != 0 ? static_cast<std::int32_t>(std::min<std::uint32_t>(mipMaps, 32)) + 1 : 1;
    image.dataSize = dataLength;
    image.hasAlpha = alphaMask != 0;
    return true;
}

bool decode(ImageRecord& image) {
    image.pixels = image.fileBytes + kHeaderSize;
    return true;
}

} // namespace

const ImageReader& pvrImageReader() {
    static const ImageReader reader{"pvr", &readHeader, &decode};
    return reader;
}
