#include "app/src/screenshot.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding.h"
#include "component/component_ref.h"
#include "component/media_interfaces.h"
#include "platform/kd.h"

#include <zlib.h>

namespace {

constexpr char kTag[] = "Screenshot";

void putBig32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void putChunk(std::vector<std::uint8_t>& out, const char type[4], const std::uint8_t* data,
              std::size_t size) {
    putBig32(out, static_cast<std::uint32_t>(size));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + size);
    putBig32(out,
             static_cast<std::uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

// An 8-bit RGBA PNG: one zlib stream of filter-0 rows (best compression is cheap at screenshot sizes).
// Empty when zlib fails.
std::vector<std::uint8_t> pngBytes(const std::uint32_t* pixels, std::int32_t width, std::int32_t height) {
    const std::size_t stride = std::size_t(width) * 4 + 1;
    std::vector<std::uint8_t> raw(stride * std::size_t(height));
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = raw.data() + stride * std::size_t(y);
        row[0] = 0;
        const std::uint32_t* source = pixels + std::size_t(y) * std::size_t(width);
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t argb = source[x];
            row[1 + x * 4] = static_cast<std::uint8_t>(argb >> 16);
            row[2 + x * 4] = static_cast<std::uint8_t>(argb >> 8);
            row[3 + x * 4] = static_cast<std::uint8_t>(argb);
            row[4 + x * 4] = static_cast<std::uint8_t>(argb >> 24);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
        return {};
    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    putBig32(header, static_cast<std::uint32_t>(width));
    putBig32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, no filter choice, no interlace
    putChunk(out, "IHDR", header.data(), header.size());
    putChunk(out, "IDAT", packed.data(), packedSize);
    putChunk(out, "IEND", nullptr, 0);
    return out;
}

// Offscreen targets read back tightly packed, top row first, as 0xAARRGGBB; stored little-endian that is
// the B, G, R, A byte order of a 32-bit TGA, so rows go out as they are with the top-left origin flag set.
std::vector<std::uint8_t> tgaBytes(const std::uint32_t* pixels, std::int32_t width, std::int32_t height) {
    std::vector<std::uint8_t> bytes(18 + std::size_t(width) * std::size_t(height) * 4);
    bytes[2] = 2; // uncompressed true colour
    bytes[12] = static_cast<std::uint8_t>(width);
    bytes[13] = static_cast<std::uint8_t>(width >> 8);
    bytes[14] = static_cast<std::uint8_t>(height);
    bytes[15] = static_cast<std::uint8_t>(height >> 8);
    bytes[16] = 32;
    bytes[17] = 0x28; // 8 alpha bits, top-left origin
    std::uint8_t* out = bytes.data() + 18;
    for (std::size_t i = 0, n = std::size_t(width) * std::size_t(height); i < n; ++i, out += 4) {
        const std::uint32_t argb = pixels[i];
        out[0] = static_cast<std::uint8_t>(argb);
        out[1] = static_cast<std::uint8_t>(argb >> 8);
        out[2] = static_cast<std::uint8_t>(argb >> 16);
        out[3] = static_cast<std::uint8_t>(argb >> 24);
    }
    return bytes;
}

// A path ending in ".png" is written as PNG, anything else as TGA.
bool saveScreenshot(IAbstract* target, std::string_view path) {
    IRenderTarget* renderTarget = queryInterface<IRenderTarget>(target);
    ITexture* texture = renderTarget ? renderTarget->GetTexture() : nullptr;
    if (!texture) {
        logError(kTag, "not an offscreen render target");
        return false;
    }
    const std::int32_t width = renderTarget->GetWidth();
    const std::int32_t height = renderTarget->GetHeight();
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) {
        logError(kTag, "can't save a %d x %d target", width, height);
        return false;
    }
    const std::uint32_t* pixels = texture->Lock(0, 0, width, height, true);
    if (!pixels) {
        logError(kTag, "can't read the target back");
        return false;
    }
    const bool png = path.size() >= 4 && path.substr(path.size() - 4) == ".png";
    std::vector<std::uint8_t> bytes = png ? pngBytes(pixels, width, height) : tgaBytes(pixels, width, height);
    texture->Unlock();
    if (bytes.empty()) {
        logError(kTag, "can't compress the picture");
        return false;
    }

    const std::string name(path);
    KDFile* file = kdFopen(name.c_str(), "wb");
    if (!file) {
        logError(kTag, "can't open %s", name.c_str());
        return false;
    }
    const bool written = kdFwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    // A data file replaces the old one only when it closes cleanly.
    const bool closed = kdFclose(file) == 0;
    if (!written || !closed) {
        logError(kTag, "can't write %s", name.c_str());
        return false;
    }
    return true;
}

} // namespace

void registerScreenshotFunction(HSQUIRRELVM vm) {
    sq_pushroottable(vm);
    bindFunction(
        vm, -1, "saveScreenshot",
        +[](IAbstract* target, std::string_view path) { return saveScreenshot(target, path); });
    sq_pop(vm, 1);
}
