// The library object and loaded effect files: reading, textures, lookup by name.
#include <algorithm>
#include <cstring>
#include <new>

#include "graphics/image_record.h"
#include "graphics/particles/particle_library.h"

namespace particles {

std::shared_ptr<Library> Library::create() {
    Library* library = new (std::nothrow) Library();
    if (library == nullptr) {
        return nullptr;
    }
    return std::shared_ptr<Library>(library);
}

Library::~Library() = default;

bool Library::initialise(Device* device) {
    m_device = device;
    return device != nullptr;
}

std::shared_ptr<EffectFile> Library::load(FileReader& reader, std::string& error) {
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (;;) {
        const std::size_t got = reader.read(chunk, sizeof chunk);
        if (got == 0) {
            break;
        }
        if (bytes.size() + got > kMaxFileBytes) {
            error = "file too large";
            return nullptr;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return loadFromMemory(bytes.data(), bytes.size(), error);
}

std::shared_ptr<EffectFile> Library::loadFromMemory(const std::uint8_t* bytes, std::size_t size,
                                                    std::string& error) {
    EffectData data;
    if (!readEffectData(bytes, size, data, error)) {
        return nullptr;
    }
    EffectFile* file = new (std::nothrow) EffectFile(shared_from_this(), std::move(data));
    if (file == nullptr) {
        error = "out of memory";
        return nullptr;
    }
    return std::shared_ptr<EffectFile>(file);
}

void Library::shutdown() {
    for (EffectFile* file : m_files) {
        file->releaseTextures();
    }
    m_device = nullptr;
}

EffectFile::EffectFile(std::shared_ptr<Library> library, EffectData data)
    : m_library(std::move(library)), m_data(std::move(data)), m_textures(m_data.textures.size(), nullptr),
      m_uv(m_data.bitmaps.size()) {
    m_library->m_files.push_back(this);
}

EffectFile::~EffectFile() {
    releaseTextures();
    auto& files = m_library->m_files;
    files.erase(std::remove(files.begin(), files.end(), this), files.end());
}

bool EffectFile::createTextures() {
    Device* dev = device();
    if (dev == nullptr) {
        return false;
    }
    bool ok = true;
    for (std::size_t i = 0; i < m_textures.size(); ++i) {
        if (m_textures[i] != nullptr) {
            continue;
        }
        const ImageDef& image = m_data.images[m_data.textures[i].image];
        ImageRecord* record = ReadImageFromMemory(image.bytes.data(), image.bytes.size());
        if (record == nullptr) {
            ok = false;
            continue;
        }
        m_textures[i] = dev->createTexture(*record);
        FreeImage(record);
        ok = ok && m_textures[i] != nullptr;
    }
    for (std::size_t b = 0; b < m_data.bitmaps.size(); ++b) {
        const BitmapDef& bitmap = m_data.bitmaps[b];
        const ImageDef& image = m_data.images[m_data.textures[bitmap.texture].image];
        std::int32_t width = image.width;
        std::int32_t height = image.height;
        DeviceTexture* texture = m_textures[bitmap.texture];
        if (texture != nullptr) {
            std::int32_t w = 0, h = 0;
            // A padded device texture keeps the image in its top-left corner.
            if (dev->textureSize(texture, w, h) && w > 0 && h > 0) {
                width = w;
                height = h;
            }
        }
        Uv& uv = m_uv[b];
        uv.uv[0] = static_cast<float>(bitmap.x) / static_cast<float>(width);
        uv.uv[1] = static_cast<float>(bitmap.y) / static_cast<float>(height);
        uv.uv[2] = static_cast<float>(bitmap.x + bitmap.width) / static_cast<float>(width);
        uv.uv[3] = static_cast<float>(bitmap.y + bitmap.height) / static_cast<float>(height);
    }
    return ok;
}

void EffectFile::releaseTextures() {
    Device* dev = device();
    for (DeviceTexture*& texture : m_textures) {
        if (texture != nullptr && dev != nullptr) {
            dev->releaseTexture(texture);
        }
        texture = nullptr;
    }
}

std::int32_t EffectFile::findEmitter(const char* name) const {
    if (name == nullptr) {
        return -1;
    }
    for (std::size_t i = 0; i < m_data.emitters.size(); ++i) {
        if (m_data.emitters[i].name == name) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

std::unique_ptr<Emitter> EffectFile::createEmitter(std::size_t index) {
    if (index >= m_data.emitters.size()) {
        return nullptr;
    }
    return std::unique_ptr<Emitter>(new (std::nothrow) Emitter(shared_from_this(), index));
}

DeviceTexture* EffectFile::bitmapTexture(std::uint32_t bitmap) const {
    return bitmap < m_data.bitmaps.size() ? m_textures[m_data.bitmaps[bitmap].texture] : nullptr;
}

} // namespace particles
