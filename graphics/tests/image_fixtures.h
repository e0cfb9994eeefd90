// Test images made on the fly: PNG (our own writer over zlib, with the options the reader must refuse),
// JPEG (libjpeg's compressor), TGA, PVR and NTF byte layouts.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <zlib.h>

namespace graphics::test {

using Bytes = std::vector<std::uint8_t>;

inline void putBe32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}
inline void putLe16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void putLe32(Bytes& out, std::uint32_t v) {
    putLe16(out, v & 0xFFFF);
    putLe16(out, v >> 16);
}

inline void putChunk(Bytes& out, const char* type, const Bytes& data) {
    putBe32(out, static_cast<std::uint32_t>(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    out.insert(out.end(), typed.begin(), typed.end());
    putBe32(out, static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

struct PngOptions {
    std::uint8_t colourType = 6;
    std::uint8_t depth = 8;
    std::uint8_t interlace = 0;
    int idatPieces = 1; // the compressed stream split over this many IDAT chunks
    bool withIend = true;
    int filter = 0; // row filter 0..4, or -1 to cycle through all five row by row
};

inline std::uint8_t paethPredict(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// Applies PNG row filter `type` to `row` given the unfiltered row above (empty for the first row).
inline Bytes filterRow(int type, const std::uint8_t* row, const std::uint8_t* up, std::size_t n,
                       std::size_t unit) {
    Bytes out(n);
    for (std::size_t x = 0; x < n; ++x) {
        const int a = x >= unit ? row[x - unit] : 0;
        const int b = up ? up[x] : 0;
        const int c = up && x >= unit ? up[x - unit] : 0;
        const int predictor = type == 1   ? a
                              : type == 2 ? b
                              : type == 3 ? (a + b) / 2
                              : type == 4 ? paethPredict(a, b, c)
                                          : 0;
        out[x] = static_cast<std::uint8_t>(row[x] - predictor);
    }
    return out;
}

// `samples` holds width x height pixels of channels(colourType) samples of depth bits (16-bit big-endian).
inline Bytes makePng(std::uint32_t width, std::uint32_t height, const Bytes& samples,
                     PngOptions options = {}) {
    Bytes out = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    putBe32(ihdr, width);
    putBe32(ihdr, height);
    ihdr.insert(ihdr.end(), {options.depth, options.colourType, 0, 0, options.interlace});
    putChunk(out, "IHDR", ihdr);
    putChunk(out, "tEXt", Bytes{'C', 0, 'x'});
    const std::size_t rowBytes = height > 0 ? samples.size() / height : 0;
    Bytes raw;
    const std::size_t channels = options.colourType == 0   ? 1
                                 : options.colourType == 2 ? 3
                                 : options.colourType == 4 ? 2
                                                           : 4;
    const std::size_t unit = channels * (options.depth == 16 ? 2 : 1);
    for (std::uint32_t y = 0; y < height; ++y) {
        const int type = options.filter >= 0 ? options.filter : static_cast<int>(y % 5);
        raw.push_back(static_cast<std::uint8_t>(type));
        const std::uint8_t* row = samples.data() + y * rowBytes;
        const Bytes filtered = filterRow(type, row, y > 0 ? row - rowBytes : nullptr, rowBytes, unit);
        raw.insert(raw.end(), filtered.begin(), filtered.end());
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    Bytes packed(packedSize);
    compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(packedSize);
    const std::size_t piece = (packed.size() + options.idatPieces - 1) / options.idatPieces;
    for (std::size_t at = 0; at < packed.size(); at += piece) {
        putChunk(out, "IDAT",
                 Bytes(packed.begin() + at, packed.begin() + std::min(packed.size(), at + piece)));
    }
    if (options.withIend) {
        putChunk(out, "IEND", {});
    }
    return out;
}

// Width x height RGBA bytes as an 8-bit RGBA PNG.
inline Bytes makePngRgba(std::uint32_t width, std::uint32_t height, const Bytes& rgba) {
    return makePng(width, height, rgba);
}

struct JpegOptions {
    int components = 3;
    bool progressive = false;
    int quality = 100;
    int hSampling = 2; // luma sampling factors (chroma 1x1)
    int vSampling = 2;
};

// Width x height pixels of `components` bytes each, compressed by libjpeg.
inline Bytes makeJpeg(int width, int height, const Bytes& pixels, JpegOptions options = {}) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = options.components;
    cinfo.in_color_space = options.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.components == 3) {
        cinfo.comp_info[0].h_samp_factor = options.hSampling;
        cinfo.comp_info[0].v_samp_factor = options.vSampling;
    }
    if (options.progressive) {
        jpeg_simple_progression(&cinfo);
    }
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = static_cast<std::size_t>(width) * options.components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + cinfo.next_scanline * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// An uncompressed TGA: `pixels` are rows in file order (B, G, R(, A) or 16-bit little-endian values).
inline Bytes makeTga(std::uint16_t width, std::uint16_t height, std::uint8_t depth, std::uint8_t descriptor,
                     const Bytes& pixels, std::uint8_t idLength = 0) {
    Bytes out = {idLength, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    putLe16(out, width);
    putLe16(out, height);
    out.push_back(depth);
    out.push_back(descriptor);
    out.insert(out.end(), idLength, 'i');
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

// A legacy PVR with the 52-byte header.
inline Bytes makePvr(std::uint32_t width, std::uint32_t height, std::uint32_t pixelType, std::uint32_t bits,
                     const Bytes& data, std::uint32_t alphaMask = 0, const char* tag = "PVR!",
                     std::uint32_t flagsExtra = 0, std::uint32_t mipMaps = 0) {
    Bytes out;
    for (std::uint32_t v : {52u, height, width, mipMaps, pixelType | flagsExtra,
                            static_cast<std::uint32_t>(data.size()), bits, 0u, 0u, 0u, alphaMask}) {
        putLe32(out, v);
    }
    out.insert(out.end(), tag, tag + 4);
    putLe32(out, 1);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

inline Bytes makeNtf(std::uint16_t type, std::uint16_t flags, std::uint16_t width, std::uint16_t height,
                     std::uint16_t a, std::uint16_t b, std::uint32_t c, std::size_t payload) {
    Bytes out;
    for (std::uint32_t v : {std::uint32_t{type}, std::uint32_t{flags}, std::uint32_t{width},
                            std::uint32_t{height}, std::uint32_t{a}, std::uint32_t{b}}) {
        putLe16(out, v);
    }
    putLe32(out, c);
    out.resize(out.size() + payload, 0x5A);
    return out;
}

inline bool writeFile(const std::string& path, const Bytes& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

inline Bytes readFile(const std::string& path) {
    Bytes bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return bytes;
    }
    std::uint8_t buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    std::fclose(file);
    return bytes;
}

} // namespace graphics::test
