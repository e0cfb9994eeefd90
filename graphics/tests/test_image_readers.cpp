// The five image readers on good files, files they must refuse, and damaged or forged files.
#include <gtest/gtest.h>

#include <memory>

#include "graphics/image_record.h"
#include "graphics/tests/image_fixtures.h"

namespace {

using namespace graphics::test;

struct ImageDeleter {
    void operator()(ImageRecord* image) const { FreeImage(image); }
};
using Image = std::unique_ptr<ImageRecord, ImageDeleter>;

Image read(const Bytes& bytes) {
    return Image(ReadImageFromMemory(bytes.data(), bytes.size()));
}

Bytes pattern(std::size_t n, unsigned seed = 7) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        out[i] = static_cast<std::uint8_t>(seed >> 16);
    }
    return out;
}

Bytes pixelsOf(const ImageRecord& image) {
    return Bytes(image.pixels, image.pixels + static_cast<std::size_t>(image.pitch) * image.height);
}

// Every prefix of a good file must be refused or read without touching bytes past its end (the sanitizer
// build catches any stray read), and a copy is used so the prefix really ends where it says.
void expectPrefixesSafe(const Bytes& file, bool allRefused = true) {
    for (std::size_t cut = 0; cut < file.size(); ++cut) {
        const Bytes prefix(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
        Image image = read(prefix);
        if (allRefused) {
            EXPECT_EQ(nullptr, image) << "prefix of " << cut << " bytes";
        }
    }
}

// --- PNG -------------------------------------------------------------------------------------------------

TEST(PngReader, ColourTypesDecodeExactlyThroughEveryRowFilter) {
    struct Case {
        std::uint8_t colourType;
        std::size_t channels;
        std::int32_t format;
        bool alpha;
    };
    for (const Case& c : {Case{0, 1, IMAGE_FORMAT_GREY8, false}, Case{2, 3, IMAGE_FORMAT_RGB8, false},
                          Case{4, 2, IMAGE_FORMAT_GREY_ALPHA8, true}, Case{6, 4, IMAGE_FORMAT_RGBA8, true}}) {
        const Bytes samples = pattern(13 * 11 * c.channels);
        PngOptions options;
        options.colourType = c.colourType;
        options.filter = -1;
        Image image = read(makePng(13, 11, samples, options));
        ASSERT_NE(nullptr, image) << int(c.colourType);
        EXPECT_EQ(c.format, image->format);
        EXPECT_EQ(13, image->width);
        EXPECT_EQ(11, image->height);
        EXPECT_EQ(static_cast<std::int32_t>(13 * c.channels), image->pitch);
        EXPECT_EQ(static_cast<std::int32_t>(8 * c.channels), image->bitsPerPixel);
        EXPECT_EQ(c.alpha, image->hasAlpha);
        EXPECT_EQ(samples, pixelsOf(*image));
    }
}

TEST(PngReader, SplitImageDataDecodesLikeOneChunk) {
    const Bytes samples = pattern(40 * 30 * 4, 3);
    PngOptions split;
    split.idatPieces = 7;
    Image one = read(makePng(40, 30, samples));
    Image many = read(makePng(40, 30, samples, split));
    ASSERT_NE(nullptr, one);
    ASSERT_NE(nullptr, many);
    EXPECT_EQ(pixelsOf(*one), pixelsOf(*many));
}

TEST(PngReader, SixteenBitSamplesKeepTheirHighByte) {
    Bytes samples;
    for (std::uint8_t i = 0; i < 2 * 2 * 3; ++i) {
        samples.push_back(static_cast<std::uint8_t>(i * 20)); // high byte
        samples.push_back(0xEE);                              // low byte
    }
    PngOptions options;
    options.colourType = 2;
    options.depth = 16;
    options.filter = -1;
    Image image = read(makePng(2, 2, samples, options));
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(IMAGE_FORMAT_RGB8, image->format);
    EXPECT_EQ(6, image->pitch);
    const Bytes expected = {0, 20, 40, 60, 80, 100, 120, 140, 160, 180, 200, 220};
    EXPECT_EQ(expected, pixelsOf(*image));
}

TEST(PngReader, RefusesWhatItDoesNotSupportAndDamagedFiles) {
    const Bytes samples = pattern(8 * 8 * 4);
    auto variant = [&](auto change) {
        PngOptions options;
        change(options);
        return makePng(8, 8, samples, options);
    };
    EXPECT_EQ(nullptr, read(variant([](PngOptions& o) { o.interlace = 1; })));
    EXPECT_EQ(nullptr, read(variant([](PngOptions& o) { o.colourType = 3; }))); // palette
    EXPECT_EQ(nullptr, read(variant([](PngOptions& o) { o.depth = 4; })));
    EXPECT_EQ(nullptr, read(variant([](PngOptions& o) { o.withIend = false; })));
    EXPECT_EQ(nullptr, read(variant([](PngOptions& o) { o.filter = 5; })));

    Bytes wrongLength = makePng(8, 8, samples);
    wrongLength[11] = 14; // IHDR length
    EXPECT_EQ(nullptr, read(wrongLength));

    // A header that claims more rows than the compressed data holds: a short stream is an error.
    Bytes taller = makePng(8, 8, samples);
    taller[16 + 7] = 9;
    EXPECT_EQ(nullptr, read(taller));

    // A header that claims an image far larger than any data could inflate to.
    Bytes huge = makePng(8, 8, samples);
    huge[16 + 1] = 0x40; // width 0x400008
    huge[20 + 2] = 0x30;
    EXPECT_EQ(nullptr, read(huge));

    expectPrefixesSafe(makePng(8, 8, samples));
}

// --- JPEG ------------------------------------------------------------------------------------------------

// libjpeg's own conversion of the same file, without smoothing: the engine's integer conversion and plane
// replication must stay within rounding of it.
Bytes libjpegRgb(const Bytes& file) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), file.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.do_fancy_upsampling = FALSE;
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    Bytes out(static_cast<std::size_t>(cinfo.output_width) * cinfo.output_height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.data() + cinfo.output_scanline * cinfo.output_width * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return out;
}

TEST(JpegReader, ColourImagesMatchAPlainDecodeWithinRounding) {
    struct Case {
        int width, height, h, v;
    };
    for (const Case& c : {Case{33, 17, 2, 2}, Case{16, 16, 1, 1}, Case{20, 9, 2, 1}}) {
        Bytes rgb(static_cast<std::size_t>(c.width) * c.height * 3);
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * c.width + x) * 3];
                p[0] = static_cast<std::uint8_t>(x * 7);
                p[1] = static_cast<std::uint8_t>(y * 13);
                p[2] = static_cast<std::uint8_t>(200 - x * 3);
            }
        }
        JpegOptions options;
        options.hSampling = c.h;
        options.vSampling = c.v;
        const Bytes file = makeJpeg(c.width, c.height, rgb, options);
        Image image = read(file);
        ASSERT_NE(nullptr, image);
        EXPECT_EQ(IMAGE_FORMAT_RGB8, image->format);
        EXPECT_EQ(24, image->bitsPerPixel);
        EXPECT_EQ(c.width * 3, image->pitch);
        const Bytes reference = libjpegRgb(file);
        const Bytes ours = pixelsOf(*image);
        ASSERT_EQ(reference.size(), ours.size());
        int worst = 0;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            worst = std::max(worst, std::abs(int(ours[i]) - int(reference[i])));
        }
        EXPECT_LE(worst, 2) << c.width << "x" << c.height << " sampling " << c.h << "x" << c.v;
    }
}

TEST(JpegReader, GreyIsFormat134) {
    const Bytes grey = pattern(24 * 8);
    JpegOptions options;
    options.components = 1;
    Image image = read(makeJpeg(24, 8, grey, options));
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(IMAGE_FORMAT_GREY8, image->format);
    EXPECT_EQ(8, image->bitsPerPixel);
    EXPECT_EQ(24, image->pitch);
}

TEST(JpegReader, RefusesProgressiveAndDamagedFiles) {
    const Bytes rgb = pattern(32 * 32 * 3);
    JpegOptions progressive;
    progressive.progressive = true;
    EXPECT_EQ(nullptr, read(makeJpeg(32, 32, rgb, progressive)));

    const Bytes good = makeJpeg(32, 32, rgb);
    ASSERT_NE(nullptr, read(good));
    // Cut inside the entropy-coded data: libjpeg would pad with grey, the reader refuses.
    EXPECT_EQ(nullptr, read(Bytes(good.begin(), good.end() - 40)));
    expectPrefixesSafe(good);
}

// --- TGA -------------------------------------------------------------------------------------------------

TEST(TgaReader, BottomUpAndTopDownRowsComeOutUpright) {
    // Two rows of 2 pixels, B, G, R in the file; row "top" is (1,2,3),(4,5,6).
    const Bytes top = {3, 2, 1, 6, 5, 4};
    const Bytes bottom = {9, 8, 7, 12, 11, 10};
    Bytes bottomUp = bottom;
    bottomUp.insert(bottomUp.end(), top.begin(), top.end());
    Bytes topDown = top;
    topDown.insert(topDown.end(), bottom.begin(), bottom.end());
    const Bytes expected = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    for (const Bytes& file : {makeTga(2, 2, 24, 0x00, bottomUp, 5), makeTga(2, 2, 24, 0x20, topDown)}) {
        Image image = read(file);
        ASSERT_NE(nullptr, image);
        EXPECT_EQ(IMAGE_FORMAT_RGB8, image->format);
        EXPECT_FALSE(image->hasAlpha);
        EXPECT_EQ(expected, pixelsOf(*image));
    }
}

TEST(TgaReader, ThirtyTwoAndSixteenBitLayouts) {
    Image rgba = read(makeTga(1, 1, 32, 0x28, {30, 20, 10, 99}));
    ASSERT_NE(nullptr, rgba);
    EXPECT_EQ(IMAGE_FORMAT_RGBA8, rgba->format);
    EXPECT_TRUE(rgba->hasAlpha);
    EXPECT_EQ((Bytes{10, 20, 30, 99}), pixelsOf(*rgba));

    // A1R5G5B5 0x7C00 (red, alpha clear) becomes R5G5B5A1 0xF801 with alpha forced on.
    Image packed = read(makeTga(1, 1, 16, 0x20, {0x00, 0x7C}));
    ASSERT_NE(nullptr, packed);
    EXPECT_EQ(IMAGE_FORMAT_RGBA5551, packed->format);
    EXPECT_EQ((Bytes{0x01, 0xF8}), pixelsOf(*packed));
}

TEST(TgaReader, RefusesOtherKindsAndShortFiles) {
    const Bytes pixels(2 * 2 * 3, 0x40);
    Bytes rightToLeft = makeTga(2, 2, 24, 0x10, pixels);
    EXPECT_EQ(nullptr, read(rightToLeft));
    Bytes rle = makeTga(2, 2, 24, 0, pixels);
    rle[2] = 10;
    EXPECT_EQ(nullptr, read(rle));
    EXPECT_EQ(nullptr, read(makeTga(2, 2, 8, 0, pixels)));
    // A colour map whose declared size runs past the end.
    Bytes mapped = makeTga(2, 2, 24, 0, pixels);
    mapped[1] = 1;
    mapped[5] = 0xFF;
    mapped[7] = 24;
    EXPECT_EQ(nullptr, read(mapped));
    expectPrefixesSafe(makeTga(2, 2, 24, 0, pixels));
}

// --- PVR -------------------------------------------------------------------------------------------------

TEST(PvrReader, FormatsAndInPlacePixels) {
    const Bytes dxt = pattern(2 * 2 * 16); // 8x8 pixels: 2x2 blocks of 16 bytes
    Image dxt5 = read(makePvr(8, 8, 36, 8, dxt, 0xFF));
    ASSERT_NE(nullptr, dxt5);
    EXPECT_EQ(IMAGE_FORMAT_DXT5, dxt5->format);
    EXPECT_EQ(8, dxt5->pitch);
    EXPECT_TRUE(dxt5->hasAlpha);
    EXPECT_EQ(dxt.size(), dxt5->dataSize);
    EXPECT_EQ(dxt5->fileBytes + 52, dxt5->pixels);

    Image rgba = read(makePvr(2, 2, 18, 32, pattern(16), 0, "PVR!", 0x100, 3));
    ASSERT_NE(nullptr, rgba);
    EXPECT_EQ(IMAGE_FORMAT_RGBA8, rgba->format);
    EXPECT_EQ(4, rgba->levelCount);
    EXPECT_FALSE(rgba->hasAlpha);

    Image psp = read(makePvr(2, 2, 18, 32, pattern(16), 0, "PSP!"));
    ASSERT_NE(nullptr, psp);
    EXPECT_EQ(IMAGE_FORMAT_PSP_BASE + 18, psp->format);
}

TEST(PvrReader, RefusesForgedHeaders) {
    EXPECT_EQ(nullptr, read(makePvr(2, 2, 18, 32, pattern(16), 0, "XVR!")));
    EXPECT_EQ(nullptr, read(makePvr(2, 2, 99, 32, pattern(16)))); // unknown pixel type
    EXPECT_EQ(nullptr, read(makePvr(2, 2, 26, 64, pattern(32)))); // BGRA claiming 64 bits per pixel
    EXPECT_EQ(nullptr, read(makePvr(4, 4, 18, 32, pattern(16)))); // data shorter than the image
    Bytes longer = makePvr(2, 2, 18, 32, pattern(16));
    longer[20] = 200; // data length past the end of the file
    EXPECT_EQ(nullptr, read(longer));
    expectPrefixesSafe(makePvr(8, 8, 36, 8, pattern(64)));
}

// --- NTF -------------------------------------------------------------------------------------------------

TEST(NtfReader, LayoutAndRefusals) {
    Image image = read(makeNtf(2, 1, 64, 32, 100, 20, 904, 1024));
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(302, image->format);
    EXPECT_EQ(32, image->pitch);
    EXPECT_EQ(4, image->bitsPerPixel);
    EXPECT_TRUE(image->hasAlpha);
    EXPECT_EQ(1024u, image->dataSize);

    EXPECT_EQ(nullptr, read(makeNtf(7, 0, 64, 32, 0, 0, 16, 16)));   // unknown type
    EXPECT_EQ(nullptr, read(makeNtf(0, 0, 0, 32, 0, 0, 16, 16)));    // zero width
    EXPECT_EQ(nullptr, read(makeNtf(0, 0, 2048, 32, 0, 0, 16, 16))); // over 1024
    EXPECT_EQ(nullptr, read(makeNtf(0, 0, 64, 32, 0, 0, 17, 16)));   // data past the end
}

TEST(ImageReaders, UnknownBytesAreRefused) {
    EXPECT_EQ(nullptr, read(Bytes{}));
    EXPECT_EQ(nullptr, read(Bytes(100, 0)));
    EXPECT_EQ(nullptr, read(Bytes{'G', 'I', 'F', '8', '9', 'a'}));
}

} // namespace
