// Shared by the tile-world benchmarks (tile layer, road renderer, construction): an offscreen display in a
// scratch working folder, a tile set loaded from its file bytes, and a texture of noise.
#pragma once

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "component/component_ref.h"
#include "component/component_registry.h"
#include "graphics/display.h"
#include "graphics/tile_manager.h"
#include "platform/kd_start.h"

namespace bench {

// SDL's offscreen video driver (unless another is chosen), a new scratch folder /tmp/<prefix>-XXXXXX as the
// working folder, a display of width x height and the file systems; null when any of it fails.
inline Display* startOffscreen(const char* prefix, int width, int height) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::string folder = std::string("/tmp/") + prefix + "-XXXXXX";
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0 || mkdtemp(folder.data()) == nullptr ||
        chdir(folder.data()) != 0) {
        return nullptr;
    }
    auto* display = new Display;
    if (!display->Init(width, height)) {
        return nullptr;
    }
    platform::startFileSystems();
    return display;
}

// `file` written as tiles.bin in the working folder and loaded by the (single) tile manager; null on failure.
inline TileManager* loadTileSet(const std::vector<std::uint8_t>& file) {
    FILE* f = std::fopen("tiles.bin", "wb");
    if (f == nullptr) {
        return nullptr;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), f) == file.size();
    std::fclose(f);
    auto* tiles = dynamic_cast<TileManager*>(createSingleInstance<TileManager>());
    return written && tiles != nullptr && tiles->LoadFromFile("tiles.bin") ? tiles : nullptr;
}

// A width x height texture of opaque noise.
inline ComponentRef<ITexture> noiseTexture(Display* display, int width, int height) {
    ComponentRef<ITexture> texture = display->CreateTexture();
    std::uint32_t* p = texture->Lock(0, 0, width, height, false);
    for (int i = 0; i < width * height; ++i) {
        p[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    }
    texture->Unlock();
    return texture;
}

} // namespace bench
