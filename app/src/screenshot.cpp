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

namespace {

constexpr char kTag[] = "Screenshot";

// Offscreen targets read back tightly packed, top row first, as 0xAARRGGBB; stored little-endian that is
// the B, G, R, A byte order of a 32-bit TGA, so rows go out as they are with the top-left origin flag set.
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
    texture->Unlock();

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
