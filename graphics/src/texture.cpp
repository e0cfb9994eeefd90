// Texture: the builder from image records, locking through the processor copy, loading and cloning.
#include "graphics/texture.h"

#include <cstring>

#include "graphics/image_record.h"
#include "platform/kd.h"

namespace {

constexpr const char* kRendererTag = "Display";
constexpr const char* kTextureTag = "Texture";
constexpr const char* kTargetTag = "RenderTarget";

bool formatFor(std::int32_t imageFormat, DeviceFormat& format) {
    switch (imageFormat) {
    case IMAGE_FORMAT_RGBA8:
    case IMAGE_FORMAT_BGRA8:
        format = DeviceFormat::ARGB8;
        return true;
    case IMAGE_FORMAT_RGB8:
        format = DeviceFormat::XRGB8;
        return true;
    case IMAGE_FORMAT_RGBA4444:
        format = DeviceFormat::ARGB4;
        return true;
    case IMAGE_FORMAT_DXT5:
        format = DeviceFormat::DXT5;
        return true;
    default:
        return false;
    }
}

bool lockable(DeviceFormat format) {
    return format == DeviceFormat::ARGB8 || format == DeviceFormat::XRGB8;
}

} // namespace

const MethodTable& Texture::scriptMethods() {
    static const MethodTable table{
        scriptMethod<Texture>("GetWidth", &Texture::GetWidth),
        scriptMethod<Texture>("GetHeight", &Texture::GetHeight),
    };
    return table;
}

Texture::Texture(DeviceTarget* target) : m_target(target) {
    m_width = Gfx_TargetWidth(target);
    m_height = Gfx_TargetHeight(target);
}

Texture::~Texture() {
    releaseDevice();
}

void Texture::releaseDevice() {
    if (m_target == nullptr && m_texture != nullptr) {
        Gfx_ReleaseTexture(m_texture);
    }
    m_texture = nullptr;
    m_pixels.clear();
    m_pixels.shrink_to_fit();
}

void Texture::detachTarget() {
    m_target = nullptr;
    m_width = 0;
    m_height = 0;
    m_locked = false;
    m_targetCopy.clear();
}

DeviceTexture* Texture::deviceTexture() const {
    return m_target != nullptr ? Gfx_TargetTexture(m_target) : m_texture;
}

Texture* Texture::fromInterface(IAbstract* object) {
    return object != nullptr ? dynamic_cast<Texture*>(abstractOf(object)) : nullptr;
}

bool Texture::CreateTextureFromImage(const ImageRecord& image) {
    if (m_target != nullptr) {
        return false;
    }
    releaseDevice();
    DeviceFormat format;
    if (!formatFor(image.format, format)) {
        logError(kRendererTag, "Unsupported image format: %d", image.format);
        return false;
    }
    std::int32_t width = image.width;
    std::int32_t height = image.height;
    Gfx_AdjustTextureSize(width, height);
    DeviceTexture* texture = Gfx_CreateTexture(width, height, format);
    if (texture == nullptr) {
        return false;
    }
    const std::size_t imageWidth = static_cast<std::size_t>(image.width);
    const std::size_t imageHeight = static_cast<std::size_t>(image.height);
    const std::size_t pitch = static_cast<std::size_t>(image.pitch);
    bool uploaded = true;
    if (lockable(format)) {
        // Padding beyond the image stays transparent black.
        m_pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
        for (std::size_t y = 0; y < imageHeight; ++y) {
            const std::uint8_t* row = image.pixels + y * pitch;
            std::uint32_t* out = m_pixels.data() + y * static_cast<std::size_t>(width);
            if (image.format == IMAGE_FORMAT_BGRA8) {
                std::memcpy(out, row, imageWidth * 4);
            } else if (image.format == IMAGE_FORMAT_RGBA8) {
                for (std::size_t x = 0; x < imageWidth; ++x, row += 4) {
                    out[x] = std::uint32_t{row[3]} << 24 | std::uint32_t{row[0]} << 16 |
                             std::uint32_t{row[1]} << 8 | row[2];
                }
            } else {
                for (std::size_t x = 0; x < imageWidth; ++x, row += 3) {
                    out[x] = 0xFF000000u | std::uint32_t{row[0]} << 16 | std::uint32_t{row[1]} << 8 | row[2];
                }
            }
        }
        uploaded = Gfx_UploadTexture(texture, 0, 0, width, height, m_pixels.data(), width * 4);
    } else if (format == DeviceFormat::ARGB4) {
        uploaded = Gfx_UploadTexture(texture, 0, 0, image.width, image.height, image.pixels, image.pitch);
    } else {
        // Whole 4x4 block rows; a block column past the texture's edge is cut to the edge.
        const std::int32_t regionWidth = std::min((image.width + 3) / 4 * 4, width);
        const std::int32_t regionHeight = std::min((image.height + 3) / 4 * 4, height);
        const std::int32_t blockRowBytes = (image.width + 3) / 4 * 16;
        uploaded = Gfx_UploadTexture(texture, 0, 0, regionWidth, regionHeight, image.pixels, blockRowBytes);
    }
    if (!uploaded) {
        Gfx_ReleaseTexture(texture);
        m_pixels.clear();
        return false;
    }
    m_texture = texture;
    m_width = width;
    m_height = height;
    return true;
}

std::uint32_t* Texture::Lock(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                             bool readOnly) {
    if (m_target != nullptr) {
        if (m_locked) {
            logError(kTargetTag, "already locked");
            return nullptr;
        }
        if (width == 0 || height == 0) {
            x = y = 0;
            width = m_width;
            height = m_height;
        }
        if (width < 0 || height < 0) {
            logError(kRendererTag, "Can't lock texture");
            return nullptr;
        }
        m_targetCopy.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        if (!Gfx_ReadPixels(m_target, x, y, width, height, m_targetCopy.data())) {
            logError(kRendererTag, "Can't lock texture");
            return nullptr;
        }
        m_locked = true;
        m_lockWrites = false;
        return m_targetCopy.data();
    }
    if (m_texture == nullptr) {
        if (readOnly || width <= 0 || height <= 0) {
            return nullptr;
        }
        // A first writing lock makes an empty 32-bit texture of the rectangle's size.
        std::int32_t w = width;
        std::int32_t h = height;
        Gfx_AdjustTextureSize(w, h);
        m_texture = Gfx_CreateTexture(w, h, DeviceFormat::ARGB8);
        if (m_texture == nullptr) {
            return nullptr;
        }
        m_pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
        m_width = width;
        m_height = height;
    }
    if (!lockable(Gfx_TextureFormat(m_texture))) {
        return nullptr;
    }
    const std::int32_t deviceWidth = Gfx_TextureWidth(m_texture);
    const std::int32_t deviceHeight = Gfx_TextureHeight(m_texture);
    if (width == 0 || height == 0) {
        x = y = 0;
        width = deviceWidth;
        height = deviceHeight;
    }
    if (m_locked || x < 0 || y < 0 || width < 0 || height < 0 || std::int64_t{x} + width > deviceWidth ||
        std::int64_t{y} + height > deviceHeight) {
        logError(kRendererTag, "Can't lock texture");
        return nullptr;
    }
    m_locked = true;
    m_lockWrites = !readOnly;
    m_lockRect[0] = x;
    m_lockRect[1] = y;
    m_lockRect[2] = width;
    m_lockRect[3] = height;
    return m_pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(deviceWidth) + x;
}

void Texture::Unlock() {
    if (!m_locked) {
        return;
    }
    m_locked = false;
    if (m_target != nullptr || !m_lockWrites || m_texture == nullptr) {
        return;
    }
    const std::size_t deviceWidth = static_cast<std::size_t>(Gfx_TextureWidth(m_texture));
    const auto [x, y, w, h] = m_lockRect;
    if (Gfx_TextureFormat(m_texture) == DeviceFormat::XRGB8) {
        // No alpha channel: whatever was written there reads back as opaque.
        for (std::int32_t row = y; row < y + h; ++row) {
            std::uint32_t* p = m_pixels.data() + static_cast<std::size_t>(row) * deviceWidth + x;
            for (std::int32_t i = 0; i < w; ++i) {
                p[i] |= 0xFF000000u;
            }
        }
    }
    Gfx_UploadTexture(m_texture, x, y, w, h, m_pixels.data() + static_cast<std::size_t>(y) * deviceWidth + x,
                      static_cast<std::int32_t>(deviceWidth * 4));
}

bool Texture::LoadFromFile(const char* path) {
    if (path == nullptr || m_target != nullptr) {
        return false;
    }
    ImageRecord* image = ReadImage(kdFopen(path, "rb"));
    if (image == nullptr) {
        return false;
    }
    const bool created = CreateTextureFromImage(*image);
    if (created) {
        logInfo(kTextureTag, "Loaded %s (size: %ix%i)", path, m_width, m_height);
    }
    FreeImage(image);
    return created;
}

ComponentRef<> Texture::Clone() {
    auto copy = ComponentRef<Texture>::adopt(new (std::nothrow) Texture);
    if (!copy) {
        return nullptr;
    }
    const std::int32_t width = m_width;
    const std::int32_t height = m_height;
    std::uint32_t* source = Lock(0, 0, width, height, true);
    if (source == nullptr) {
        return nullptr;
    }
    std::uint32_t* destination = copy->Lock(0, 0, width, height, false);
    if (destination == nullptr) {
        Unlock();
        return nullptr;
    }
    // Both sides are addressed with their own row pitch (the device widths may differ after adjustment).
    const std::size_t sourcePitch = m_target != nullptr
                                        ? static_cast<std::size_t>(width)
                                        : static_cast<std::size_t>(Gfx_TextureWidth(m_texture));
    const std::size_t destinationPitch = static_cast<std::size_t>(Gfx_TextureWidth(copy->m_texture));
    for (std::int32_t row = 0; row < height; ++row) {
        std::memcpy(destination + row * destinationPitch, source + row * sourcePitch,
                    static_cast<std::size_t>(width) * 4);
    }
    copy->Unlock();
    Unlock();
    return ComponentRef<>(abstractOf(copy.get()));
}

bool TextureFilter_ColorMatrix(ITexture* texture, const Matrix4& matrix) {
    if (texture == nullptr) {
        return false;
    }
    const std::int32_t width = texture->GetWidth();
    const std::int32_t height = texture->GetHeight();
    std::uint32_t* pixels = texture->Lock(0, 0, width, height, false);
    if (pixels == nullptr) {
        return false;
    }
    // Out-of-range results are clamped rather than wrapped, so an over-bright matrix saturates.
    auto toByte = [](float v) {
        const float scaled = v * 255.0f;
        const auto truncated = static_cast<std::int64_t>(scaled > 1e6f    ? 1e6f
                                                         : scaled < -1e6f ? -1e6f
                                                                          : scaled);
        return static_cast<std::uint32_t>(truncated < 0 ? 0 : truncated > 255 ? 255 : truncated);
    };
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const float(&m)[4][4] = matrix.m;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = pixels[i];
        const float v[4] = {static_cast<float>((p >> 16) & 0xFF) / 255.0f,
                            static_cast<float>((p >> 8) & 0xFF) / 255.0f,
                            static_cast<float>(p & 0xFF) / 255.0f, static_cast<float>(p >> 24) / 255.0f};
        float r[4];
        for (int c = 0; c < 4; ++c) {
            r[c] = v[0] * m[0][c] + v[1] * m[1][c] + v[2] * m[2][c] + v[3] * m[3][c];
        }
        pixels[i] = toByte(r[3]) << 24 | toByte(r[0]) << 16 | toByte(r[1]) << 8 | toByte(r[2]);
    }
    texture->Unlock();
    return true;
}
