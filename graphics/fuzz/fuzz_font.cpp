// libFuzzer target for the font reader: the input is a font description, read from a file through the
// engine's file layer. Page textures come from a stand-in resource manager (64 x 32 texels each, no device),
// so the target needs no display. A font that loads must then measure, wrap and look up text without fault:
// every glyph lies on its page, and wrapping always makes progress.
#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/engine_interfaces.h"
#include "component/media_interfaces.h"
#include "graphics/font.h"
#include "platform/kd_start.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

class PageTexture final : public ITexture {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<ITexture>(this, id); }
    bool CreateTextureFromImage(const ImageRecord&) override { return false; }
    std::int32_t GetWidth() override { return 64; }
    std::int32_t GetHeight() override { return 32; }
    std::uint32_t* Lock(std::int32_t, std::int32_t, std::int32_t, std::int32_t, bool) override {
        return nullptr;
    }
    void Unlock() override {}
};

// Gives a texture for any page name except those starting with "missing".
class PageManager final : public IResourceManager {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<IResourceManager>(this, id); }
    ComponentRef<> GetTexture(const char* path) override {
        const char* name = std::strrchr(path, '/');
        if (std::strncmp(name != nullptr ? name + 1 : path, "missing", 7) == 0) {
            return nullptr;
        }
        return ComponentRef<>::adopt(new PageTexture());
    }
    ComponentRef<> GetFont(const char*) override { return nullptr; }
    ComponentRef<> GetEffect(const char*) override { return nullptr; }
    ComponentRef<> GetMesh(const char*) override { return nullptr; }
    ComponentRef<> GetSound(const char*) override { return nullptr; }
    ComponentRef<> GetMusic(const char*) override { return nullptr; }
    void FreeResource(const char*) override {}
    void FreeUnusedResources() override {}
};

IAbstract* makePageManager() {
    return new PageManager();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/hh-fuzz-font-XXXXXX";
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0) {
        std::abort();
    }
    platform::startFileSystems();
    ComponentRegistry::instance().provideFactory(classId(ClassName::ResourceManager), &makePageManager);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FILE* file = std::fopen("fuzz.fnt", "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::abort();
    }
    auto font = ComponentRef<Font>::adopt(new Font());
    if (!font->LoadFromFile("fuzz.fnt")) {
        return 0;
    }
    // Text made of the file's own bytes reaches the glyphs and kerning pairs it declares.
    const std::string own(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 256));
    const std::string texts[] = {"", "AV To", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8C\x8A \xFF\xC3", own.c_str()};
    for (const std::string& text : texts) {
        font->GetWidth(text.c_str());
        for (std::int32_t width : {-1, 0, 1, 40, 100000}) {
            std::size_t total = 0;
            for (const std::string& line : font->SplitString(text.c_str(), width)) {
                total += line.size();
            }
            if (total > text.size()) {
                std::abort(); // wrapping only drops spaces, it never adds text
            }
        }
    }
    for (std::uint32_t c : {0u, 32u, 45u, 65u, 0x20ACu, 0xFFFFFFFFu}) {
        font->IsSymbolExists(c);
        if (const Font::Glyph* glyph = font->glyphFor(c)) {
            if (glyph->page < 0 || glyph->srcX < 0 || glyph->srcY < 0 || glyph->srcWidth < 0 ||
                glyph->srcHeight < 0) {
                std::abort();
            }
        }
        font->kerning(c, 'V');
    }
    font->GetHeight();
    return 0;
}
