// PNG reader over zlib: 8- and 16-bit grey, grey+alpha, RGB and RGBA, not interlaced. 16-bit samples keep
// their high byte, so every record carries 8-bit channels as its format code says.
#include <zlib.h>

#include <cstring>

#include "graphics/src/image_readers.h"

namespace {

constexpr const char* kTag = "Texture";
constexpr std::uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::size_t kFirstChunk = 8;
constexpr std::size_t kIhdrLength = 13;
constexpr std::size_t kMaxInflateRatio = 1100;

struct PngLayout {
    std::uint32_t channels;
    std::uint32_t sampleBytes; // 1 or 2
};

PngLayout layoutOf(const std::uint8_t* bytes) {
    const std::uint8_t depth = bytes[kFirstChunk + 8 + 8];
    const std::uint8_t colourType = bytes[kFirstChunk + 8 + 9];
    const std::uint32_t channels = colourType == 0 ? 1 : colourType == 2 ? 3 : colourType == 4 ? 2 : 4;
    return {channels, depth / 8u};
}

bool readHeader(ImageRecord& image, const std::uint8_t* bytes, std::size_t size) {
    if (size < kFirstChunk + 8 || std::memcmp(bytes, kSignature, sizeof kSignature) != 0) {
        return false;
    }
    const std::uint32_t length = readBe32(bytes + kFirstChunk);
    if (length != kIhdrLength) {
        kdLogMessage("%d\n", static_cast<int>(length));
        return false;
    }
    if (size < kFirstChunk + 8 + kIhdrLength + 4) {
        return false;
    }
    const std::uint8_t* ihdr = bytes + kFirstChunk + 8;
    const std::uint32_t width = readBe32(ihdr);
    const std::uint32_t height = readBe32(ihdr + 4);
    const std::uint8_t depth = ihdr[8];
    const std::uint8_t colourType = ihdr[9];
    const std::uint8_t interlace = ihdr[12];
    if ((colourType != 0 && colourType != 2 && colourType != 4 && colourType != 6) ||
        (depth != 8 && depth != 16) || interlace != 0) {
        return false;
    }
    if (width == 0 || height == 0 || width > image_limits::kMaxSide || height > image_limits::kMaxSide ||
        std::int64_t{width} * height > image_limits::kMaxPixels) {
        return false;
    }
    const PngLayout layout = layoutOf(bytes);
    image.width = static_cast<std::int32_t>(width);
    image.height = static_cast<std::int32_t>(height);
    image.format = colourType == 0   ? IMAGE_FORMAT_GREY8
                   : colourType == 2 ? IMAGE_FORMAT_RGB8
                   : colourType == 4 ? IMAGE_FORMAT_GREY_ALPHA8
                                     : IMAGE_FORMAT_RGBA8;
    image.pitch = static_cast<std::int32_t>(layout.channels * width);
    image.bitsPerPixel = static_cast<std::int32_t>(8 * layout.channels);
    image.dataSize = std::uint64_t{static_cast<std::uint32_t>(image.pitch)} * height;
    image.hasAlpha = colourType == 4 || colourType == 6;
    return true;
}

bool isType(const std::uint8_t* chunk, const char* type) {
    return std::memcmp(chunk + 4, type, 4) == 0;
}

// Inflates the run of consecutive IDAT chunks starting at `offset` into `out` (exactly its size) and moves
// `offset` past the run. False on a damaged stream or one that ends short of the image.
bool inflateImageData(const std::uint8_t* bytes, std::size_t size, std::size_t& offset,
                      std::vector<std::uint8_t>& out) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        return false;
    }
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int status = Z_OK;
    while (offset + 12 <= size && isType(bytes + offset, "IDAT")) {
        const std::uint64_t length = readBe32(bytes + offset);
        if (length > size - offset - 12) {
            inflateEnd(&z);
            return false;
        }
        z.next_in = const_cast<Bytef*>(bytes + offset + 8);
        z.avail_in = static_cast<uInt>(length);
        while (status == Z_OK && z.avail_in > 0 && z.avail_out > 0) {
            status = inflate(&z, Z_NO_FLUSH);
        }
        offset += 12 + length;
        if (status != Z_OK && status != Z_STREAM_END) {
            break;
        }
    }
    const bool complete = (status == Z_OK || status == Z_STREAM_END) && z.avail_out == 0;
    inflateEnd(&z);
    return complete;
}

std::uint8_t paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = p > a ? p - a : a - p;
    const int pb = p > b ? p - b : b - p;
    const int pc = p > c ? p - c : c - p;
    return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Undoes the row filters in place; rows are `rowBytes` long after their filter byte.
bool unfilter(std::vector<std::uint8_t>& data, std::size_t rowBytes, std::size_t height, std::size_t unit) {
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* row = data.data() + y * (rowBytes + 1);
        const std::uint8_t filter = row[0];
        std::uint8_t* cur = row + 1;
        const std::uint8_t* up = y > 0 ? row - rowBytes : nullptr;
        for (std::size_t x = 0; x < rowBytes; ++x) {
            const int a = x >= unit ? cur[x - unit] : 0;
            const int b = up != nullptr ? up[x] : 0;
            const int c = up != nullptr && x >= unit ? up[x - unit] : 0;
            switch (filter) {
            case 0:
                break;
            case 1:
                cur[x] = static_cast<std::uint8_t>(cur[x] + a);
                break;
            case 2:
                cur[x] = static_cast<std::uint8_t>(cur[x] + b);
                break;
            case 3:
                cur[x] = static_cast<std::uint8_t>(cur[x] + (a + b) / 2);
                break;
            case 4:
                cur[x] = static_cast<std::uint8_t>(cur[x] + paeth(a, b, c));
                break;
            default:
                return false;
            }
        }
    }
    return true;
}

bool decode(ImageRecord& image) {
    const std::uint8_t* bytes = image.fileBytes;
    const std::size_t size = image.fileSize;
    const PngLayout layout = layoutOf(bytes);
    const std::size_t unit = layout.channels * layout.sampleBytes;
    const std::size_t width = static_cast<std::size_t>(image.width);
    const std::size_t height = static_cast<std::size_t>(image.height);
    const std::size_t rowBytes = unit * width;

    std::vector<std::uint8_t> filtered;
    bool haveData = false;
    std::size_t offset = kFirstChunk;
    while (offset + 12 <= size) {
        const std::uint64_t length = readBe32(bytes + offset);
        if (length > size - offset - 12) {
            logError(kTag, "PNG chunk runs past the end of the file");
            return false;
        }
        if (isType(bytes + offset, "IEND")) {
            break;
        }
        if (isType(bytes + offset, "IDAT") && !haveData) {
            // Deflate cannot expand beyond about 1032:1; a header asking for more than the file could
            // hold is forged, and is refused before the allocation.
            if ((rowBytes + 1) * height / kMaxInflateRatio > size) {
                logError(kTag, "PNG image is larger than its data can hold");
                return false;
            }
            filtered.resize((rowBytes + 1) * height);
            if (!inflateImageData(bytes, size, offset, filtered)) {
                logError(kTag, "PNG image data is damaged or short");
                return false;
            }
            haveData = true;
            continue;
        }
        offset += 12 + length;
    }
    if (!haveData || offset + 12 > size || !isType(bytes + offset, "IEND")) {
        logError(kTag, "PNG file ends without image data and IEND");
        return false;
    }
    if (!unfilter(filtered, rowBytes, height, unit)) {
        logError(kTag, "PNG row filter is unknown");
        return false;
    }
    // Drop the filter bytes (and the low bytes of 16-bit samples) while compacting into the result.
    image.decoded.resize(static_cast<std::size_t>(image.pitch) * height);
    std::uint8_t* out = image.decoded.data();
    for (std::size_t y = 0; y < height; ++y) {
        const std::uint8_t* row = filtered.data() + y * (rowBytes + 1) + 1;
        if (layout.sampleBytes == 1) {
            std::memcpy(out, row, rowBytes);
            out += rowBytes;
        } else {
            for (std::size_t i = 0; i < rowBytes; i += 2) {
                *out++ = row[i];
            }
        }
    }
    image.pixels = image.decoded.data();
    return true;
}

} // namespace

const ImageReader& pngImageReader() {
    static const ImageReader reader{"png", &readHeader, &decode};
    return reader;
}
