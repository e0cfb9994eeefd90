// NTF reader: a 16-byte header in front of packed GPU formats, used in place. No texture format accepts them,
// but the record is still described exactly.
#include "graphics/src/image_readers.h"

namespace {

constexpr std::size_t kHeaderSize = 16;
constexpr std::uint32_t kMaxSide = 1024;

bool readHeader(ImageRecord& image, const std::uint8_t* bytes, std::size_t size) {
    if (size < kHeaderSize) {
        return false;
    }
    const std::uint32_t type = readLe16(bytes);
    const std::uint32_t flags = readLe16(bytes + 2);
    const std::uint32_t width = readLe16(bytes + 4);
    const std::uint32_t height = readLe16(bytes + 6);
    const std::uint64_t dataSize =
        std::uint64_t{readLe16(bytes + 8)} + readLe16(bytes + 10) + std::uint64_t{readLe32(bytes + 12)};
    // A zero side would divide by zero below; it describes no image anyway.
    if (type > 6 || width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
        dataSize > size - kHeaderSize) {
        return false;
    }
    const std::int32_t format = IMAGE_FORMAT_NTF_FIRST + static_cast<std::int32_t>(type);
    std::int32_t pitch = 0;
    const auto w = static_cast<std::int32_t>(width);
    switch (format) {
    case 300:
        pitch = w / 4;
        break;
    case 302:
    case 305:
        pitch = w / 2;
        break;
    case 306:
        pitch = w * 2;
        break;
    default:
        break;
    }
    // The rows the header describes must lie inside its own data.
    if (std::uint64_t{static_cast<std::uint32_t>(pitch)} * height > dataSize) {
        return false;
    }
    image.width = w;
    image.height = static_cast<std::int32_t>(height);
    image.format = format;
    image.pitch = pitch;
    image.bitsPerPixel = pitch * 8 / w;
    image.dataSize = dataSize;
    image.hasAlpha = (flags & 1) != 0;
    return true;
}

bool decode(ImageRecord& image) {
    image.pixels = image.fileBytes + kHeaderSize;
    return true;
}

} // namespace

const ImageReader& ntfImageReader() {
    static const ImageReader reader{"ntf", &readHeader, &decode};
    return reader;
}
