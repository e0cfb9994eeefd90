// Textures: the builder's formats and size rules, loading through the file system, locking and cloning.
#include "graphics/tests/gl_test_support.h"
#include "graphics/texture.h"

namespace {

using namespace graphics::test;

struct ImageDeleter {
    void operator()(ImageRecord* image) const { FreeImage(image); }
};
using Image = std::unique_ptr<ImageRecord, ImageDeleter>;

class TextureTest : public FolderGlTest {
protected:
    TextureTest() : FolderGlTest("hh-gfx") {}

    bool build(ITexture& texture, const Bytes& file) {
        Image image(ReadImageFromMemory(file.data(), file.size()));
        return image != nullptr && texture.CreateTextureFromImage(*image);
    }
};

TEST_F(TextureTest, PowerOfTwoDeviceEnlargesAndAddressesTheSamePixels) {
    Bytes rgba(300 * 200 * 4);
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        rgba[i] = 0x11;
        rgba[i + 1] = 0x22;
        rgba[i + 2] = 0x33;
        rgba[i + 3] = 0xFF;
    }
    ASSERT_TRUE(writeFile("big.png", makePngRgba(300, 200, rgba)));
    Gfx_SetTextureRules({true, false});
    ComponentRef<ITexture> texture = display().CreateTexture();
    ASSERT_TRUE(queryInterface<ILoadable>(texture.get())->LoadFromFile("big.png"));
    EXPECT_EQ(512, texture->GetWidth());
    EXPECT_EQ(256, texture->GetHeight());
    EXPECT_TRUE(logged("[Texture] info: Loaded big.png (size: 512x256)"));
    std::uint32_t* p = texture->Lock(0, 0, 0, 0, true);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0xFF112233u, p[0]);
    EXPECT_EQ(0xFF112233u, p[199 * 512 + 299]);
    EXPECT_EQ(0u, p[199 * 512 + 300]); // padding is transparent black
    texture->Unlock();

    Gfx_SetTextureRules({false, true});
    ComponentRef<ITexture> square = display().CreateTexture();
    ASSERT_TRUE(build(*square, makePngRgba(300, 200, rgba)));
    EXPECT_EQ(300, square->GetWidth());
    EXPECT_EQ(300, square->GetHeight());

    Gfx_SetTextureRules({});
    ComponentRef<ITexture> exact = display().CreateTexture();
    ASSERT_TRUE(build(*exact, makePngRgba(300, 200, rgba)));
    EXPECT_EQ(300, exact->GetWidth());
}

TEST_F(TextureTest, FormatsTheBuilderRefuses) {
    ComponentRef<ITexture> texture = display().CreateTexture();
    PngOptions grey;
    grey.colourType = 0;
    EXPECT_FALSE(build(*texture, makePng(4, 4, Bytes(16, 9), grey)));
    EXPECT_TRUE(logged("Unsupported image format: 134"));
    EXPECT_FALSE(build(*texture, makeTga(2, 2, 16, 0, Bytes(8, 1))));
    EXPECT_TRUE(logged("Unsupported image format: 130"));
    EXPECT_EQ(0, texture->GetWidth());
    EXPECT_FALSE(queryInterface<ILoadable>(texture.get())->LoadFromFile("missing.png"));
}

TEST_F(TextureTest, ConversionsOfTheAcceptedFormats) {
    ComponentRef<ITexture> texture = display().CreateTexture();
    // RGB (JPEG-like 24-bit TGA) gets opaque alpha; BGRA PVR rows are taken as they are.
    ASSERT_TRUE(build(*texture, makeTga(1, 1, 24, 0, {0x30, 0x20, 0x10})));
    std::uint32_t* p = texture->Lock(0, 0, 0, 0, true);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0xFF102030u, p[0]);
    texture->Unlock();
    ASSERT_TRUE(build(*texture, makePvr(1, 1, 26, 32, {0x01, 0x02, 0x03, 0x04})));
    p = texture->Lock(0, 0, 0, 0, true);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0x04030201u, p[0]);
    texture->Unlock();

    // DXT5 and A4R4G4B4 draw but cannot be locked or cloned.
    ASSERT_TRUE(build(*texture, makePvr(8, 8, 36, 8, Bytes(64, 0xFF), 0xFF)));
    EXPECT_EQ(nullptr, texture->Lock(0, 0, 0, 0, false));
    EXPECT_FALSE(queryInterface<ICloneable>(texture.get())->Clone());
    ASSERT_TRUE(build(*texture, makePvr(2, 2, 16, 16, Bytes(8, 0xF0))));
    EXPECT_EQ(nullptr, texture->Lock(0, 0, 0, 0, true));
}

TEST_F(TextureTest, LockCreatesAndCloneCopies) {
    ComponentRef<ITexture> texture = display().CreateTexture();
    EXPECT_EQ(nullptr, texture->Lock(0, 0, 3, 2, true)); // a reading lock creates nothing
    std::uint32_t* p = texture->Lock(0, 0, 3, 2, false);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(3, texture->GetWidth());
    for (std::uint32_t i = 0; i < 6; ++i) {
        p[i] = 0xFF000000u + i;
    }
    texture->Unlock();

    ComponentRef<> clone = queryInterface<ICloneable>(texture.get())->Clone();
    ASSERT_TRUE(clone);
    auto* copy = queryInterface<ITexture>(clone.get());
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(3, copy->GetWidth());
    EXPECT_EQ(2, copy->GetHeight());
    std::uint32_t* q = copy->Lock(1, 1, 2, 1, true);
    ASSERT_NE(nullptr, q);
    EXPECT_EQ(0xFF000004u, q[0]);
    EXPECT_EQ(0xFF000005u, q[1]);
    copy->Unlock();

    // Rectangles outside the texture are refused.
    EXPECT_EQ(nullptr, texture->Lock(2, 0, 2, 2, false));
    EXPECT_EQ(nullptr, texture->Lock(-1, 0, 1, 1, false));
}

TEST_F(TextureTest, TexturesOutliveTheDisplay) {
    ComponentRef<ITexture> texture = display().CreateTexture();
    ASSERT_NE(nullptr, texture->Lock(0, 0, 4, 4, false));
    texture->Unlock();
    ComponentRef<IRenderTarget> target = display().CreateRenderTarget(8, 8);
    ASSERT_TRUE(target);
    ComponentRef<ITexture> targetTexture(target->GetTexture());
    ComponentRef<> clone = queryInterface<ICloneable>(texture.get())->Clone();
    display().Shutdown();
    EXPECT_FALSE(Gfx_IsStarted());
    // Released after the device is gone, each frees its own records once and touches no device (the
    // sanitizer build sees any second free).
    EXPECT_EQ(4, texture->GetWidth());
    target.reset();
    texture.reset();
    clone.reset();
    EXPECT_EQ(0, targetTexture->GetWidth()) << "the target's texture is empty once its target is gone";
    targetTexture.reset();
    ASSERT_TRUE(display().Init(320, 240)); // the display again, for the tests that follow
    EXPECT_TRUE(Gfx_IsStarted());
}

} // namespace
