#include "tools/font_baker/png_writer.h"

#include <zlib.h>

#include <cstdio>

namespace {

void putBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

// Length, type, data, and the CRC of type and data.
void putChunk(std::vector<std::uint8_t>& out, const char type[4], const std::vector<std::uint8_t>& data) {
    putBe32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
    putBe32(out, static_cast<std::uint32_t>(crc));
}

} // namespace

std::vector<std::uint8_t> encodePngRgba(std::uint32_t width, std::uint32_t height,
                                        const std::vector<std::uint8_t>& rgba) {
    const std::size_t rowBytes = std::size_t(width) * 4;
    if (width == 0 || height == 0 || rgba.size() != rowBytes * height) {
        return {};
    }
    std::vector<std::uint8_t> raw;
    raw.reserve((rowBytes + 1) * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = rgba.data() + rowBytes * y;
        raw.push_back(1); // Sub: each byte minus the same byte of the pixel to its left
        for (std::size_t i = 0; i < rowBytes; ++i) {
            raw.push_back(static_cast<std::uint8_t>(row[i] - (i >= 4 ? row[i - 4] : 0)));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) {
        return {};
    }
    packed.resize(packedSize);

    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<std::uint8_t> header;
    putBe32(header, width);
    putBe32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, adaptive filters, no interlace
    putChunk(out, "IHDR", header);
    putChunk(out, "IDAT", packed);
    putChunk(out, "IEND", {});
    return out;
}

bool writePngRgba(const std::string& path, std::uint32_t width, std::uint32_t height,
                  const std::vector<std::uint8_t>& rgba) {
    const std::vector<std::uint8_t> bytes = encodePngRgba(width, height, rgba);
    if (bytes.empty()) {
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}
