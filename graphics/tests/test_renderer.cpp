// The renderer through the drawing context on real OpenGL: pixel-exact placement, blend modes, clipping,
// transforms, lines, texture filtering, batching and render targets, checked by pixel values and against
// reference images.
#include <cmath>

#include "graphics/tests/gl_test_support.h"
#include "graphics/texture.h"

namespace {

using namespace graphics::test;

constexpr int kSize = 64;

struct Frame {
    ComponentRef<IRenderTarget> target;
    IGraphics* g = nullptr;
};

class RendererTest : public GlTest {
protected:
    Frame begin(int width = kSize, int height = kSize, std::uint32_t clear = 0xFF000000u) {
        Frame frame{target(width, height), nullptr};
        EXPECT_TRUE(frame.target);
        frame.g = frame.target->Begin(nullptr);
        EXPECT_NE(nullptr, frame.g);
        frame.g->Clear(clear);
        return frame;
    }
    std::vector<std::uint32_t> finish(Frame& frame) {
        frame.target->End();
        return pixels(*frame.target);
    }
    // A texture made from ARGB pixels through a writing lock.
    ComponentRef<ITexture> textureOf(int width, int height, const std::vector<std::uint32_t>& argb) {
        ComponentRef<ITexture> texture = display().CreateTexture();
        std::uint32_t* p = texture->Lock(0, 0, width, height, false);
        EXPECT_NE(nullptr, p);
        std::copy(argb.begin(), argb.end(), p);
        texture->Unlock();
        return texture;
    }
};

TEST_F(RendererTest, RectanglesCoverExactlyTheirPixels) {
    Frame f = begin();
    f.g->SetColor(0xFFFFFFFFu);
    f.g->FillRect(1, 1, 3, 3);
    f.g->FillRect(10, 10, -5, -5); // from (5, 5) to (10, 10)
    const auto px = finish(f);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool first = x >= 1 && x < 4 && y >= 1 && y < 4;
            const bool second = x >= 5 && x < 10 && y >= 5 && y < 10;
            EXPECT_EQ(first || second ? 0xFFFFFFFFu : 0xFF000000u, at(px, kSize, x, y)) << x << "," << y;
        }
    }
}

TEST_F(RendererTest, BlendModes) {
    // Columns of 12 pixels: modes -1, 0, 1, 2, 3 over a grey background. Top half untextured half-red, bottom
    // half a dark-blue texture modulated or added with a half-transparent colour.
    auto texture = textureOf(1, 1, {0xFF204080u});
    Frame f = begin(60, 24, 0xFF404040u);
    const std::int32_t modes[] = {-1, 0, 1, 2, 3};
    for (int i = 0; i < 5; ++i) {
        f.g->SetBlendMode(modes[i]);
        f.g->SetColor(0x80FF0000u);
        f.g->FillRect(12.0f * i, 0, 12, 12);
        f.g->SetColor(0x80402010u);
        f.g->DrawTexture(texture.get(), RectF(0, 0, 1, 1), RectF(12.0f * i, 12, 12, 12));
    }
    const auto px = finish(f);
    auto near = [](std::uint32_t actual, std::uint32_t expected) {
        for (int shift = 0; shift < 24; shift += 8) {
            if (std::abs(int((actual >> shift) & 0xFF) - int((expected >> shift) & 0xFF)) > 2) {
                return false;
            }
        }
        return true;
    };
    // -1: written as is; 0: source x alpha added; 1: (white) x alpha added; 2: alpha blend; 3: white blended.
    EXPECT_PRED2(near, at(px, 60, 6, 6), 0xFFFF0000u);
    EXPECT_PRED2(near, at(px, 60, 18, 6), 0xFFC04040u);
    EXPECT_PRED2(near, at(px, 60, 30, 6), 0xFFC0C0C0u);
    EXPECT_PRED2(near, at(px, 60, 42, 6), 0xFF9F2020u);
    EXPECT_PRED2(near, at(px, 60, 54, 6), 0xFFA0A0A0u);
    // Texture 20 40 80 modulated by 40 20 10: 08 08 08 written as is; added: 60 60 90, half blended.
    EXPECT_PRED2(near, at(px, 60, 6, 18), 0xFF080808u);
    EXPECT_PRED2(near, at(px, 60, 54, 18), 0xFF505068u);
    expectGolden("blend_modes", px, 60, 24);
}

TEST_F(RendererTest, ClipWithNegativeXKeepsItsRightEdge) {
    Frame f = begin();
    f.g->SetClip(Rect(-10, 0, 50, 20));
    EXPECT_EQ(-10, f.g->GetClip().X); // stored as given
    f.g->SetColor(0xFF00FF00u);
    f.g->FillRect(0, 0, kSize, kSize);
    // A zero-sized clip draws nothing.
    f.g->SetClip(Rect(30, 30, 0, 10));
    f.g->SetColor(0xFFFF0000u);
    f.g->FillRect(0, 0, kSize, kSize);
    const auto px = finish(f);
    EXPECT_EQ(0xFF00FF00u, at(px, kSize, 0, 0));
    EXPECT_EQ(0xFF00FF00u, at(px, kSize, 39, 19));
    EXPECT_EQ(0xFF000000u, at(px, kSize, 40, 0));
    EXPECT_EQ(0xFF000000u, at(px, kSize, 0, 20));
    expectGolden("clip_negative_x", px, kSize, kSize);
}

TEST_F(RendererTest, TransformAndTranslate) {
    Frame f = begin();
    f.g->SetTransform(Matrix3(Vector2{2, 0}, Vector2{0, 2}, Vector2{0, 0}));
    f.g->Translate(10, 0); // 20 target pixels under the 2x scale
    EXPECT_FLOAT_EQ(20.0f, f.g->GetTranslate().x);
    f.g->SetColor(0xFF0000FFu);
    f.g->FillRect(0, 0, 5, 5);
    f.g->Translate(0, 12);
    f.g->SetColor(0xFFFFFF00u);
    f.g->FillRect(0, 0, 5, 5);
    const auto px = finish(f);
    EXPECT_EQ(0xFF0000FFu, at(px, kSize, 20, 0));
    EXPECT_EQ(0xFF0000FFu, at(px, kSize, 29, 9));
    EXPECT_EQ(0xFF000000u, at(px, kSize, 19, 0));
    EXPECT_EQ(0xFF000000u, at(px, kSize, 30, 0));
    EXPECT_EQ(0xFFFFFF00u, at(px, kSize, 20, 24));
    expectGolden("transform_translate", px, kSize, kSize);
}

TEST_F(RendererTest, TransformsApplyPerDrawingCallWithinOneBatch) {
    // A quarter turn about (40, 40): (x, y) lands on (40 - y, 40 + x). Quads and lines queued under
    // different transforms share the batch and each keeps the transform it was drawn under.
    Frame f = begin();
    Gfx_ResetDrawCallCount();
    f.g->SetColor(0xFFFF0000u);
    f.g->SetTransform(Matrix3(Vector2{0, 1}, Vector2{-1, 0}, Vector2{40, 40}));
    f.g->FillRect(0, 0, 8, 4); // pixels 36..39 x 40..47
    f.g->SetTransform(Matrix3(Vector2{2, 0}, Vector2{0, 2}, Vector2{4, 4}));
    f.g->SetColor(0xFF00FF00u);
    f.g->FillRect(0, 0, 3, 2); // pixels 4..9 x 4..7
    f.g->SetTransform(Matrix3(Vector2{0, 50}));
    f.g->SetColor(0xFF0000FFu);
    f.g->DrawLine(2, 0.5f, 12, 0.5f); // row 50, x 2..11
    Gfx_RenderBatch(false);
    EXPECT_EQ(2u, Gfx_DrawCallCount()); // quads, then the line
    const auto px = finish(f);
    auto inside = [](int x, int y, int x0, int y0, int x1, int y1) {
        return x >= x0 && x < x1 && y >= y0 && y < y1;
    };
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const std::uint32_t expected = inside(x, y, 36, 40, 40, 48)  ? 0xFFFF0000u
                                           : inside(x, y, 4, 4, 10, 8)   ? 0xFF00FF00u
                                           : inside(x, y, 2, 50, 12, 51) ? 0xFF0000FFu
                                                                         : 0xFF000000u;
            EXPECT_EQ(expected, at(px, kSize, x, y)) << x << "," << y;
        }
    }
}

TEST_F(RendererTest, LinesRectangleAndEllipse) {
    Frame f = begin();
    f.g->SetBlendMode(-1); // lines ignore the context's mode
    f.g->SetColor(0xFFFFFFFFu);
    f.g->DrawRect(2.5f, 2.5f, 20, 10);
    f.g->SetColor(0xFF00FFFFu);
    f.g->DrawEllipse(8.5f, 20.5f, 48, 36);
    const auto px = finish(f);
    EXPECT_EQ(0xFFFFFFFFu, at(px, kSize, 12, 2));
    EXPECT_EQ(0xFFFFFFFFu, at(px, kSize, 2, 7));
    expectGolden("lines_ellipse", px, kSize, kSize);
}

TEST_F(RendererTest, PointAndLinearFiltering) {
    std::vector<std::uint32_t> checker(16);
    for (int i = 0; i < 16; ++i) {
        checker[i] = ((i + i / 4) % 2 != 0) ? 0xFFFFFFFFu : 0xFF000000u;
    }
    auto texture = textureOf(4, 4, checker);
    Frame f = begin(64, 32);
    f.g->SetTexFilterMode(1);
    f.g->DrawTexture(texture.get(), RectF(0, 0, 4, 4), RectF(0, 0, 32, 32));
    f.g->SetTexFilterMode(0);
    f.g->DrawTexture(texture.get(), RectF(0, 0, 4, 4), RectF(32, 0, 32, 32));
    const auto px = finish(f);
    // Point sampling keeps the 8-pixel squares sharp; linear blends across their edges.
    EXPECT_EQ(0xFF000000u, at(px, 64, 7, 3));
    EXPECT_EQ(0xFFFFFFFFu, at(px, 64, 8, 3));
    const std::uint32_t edge = at(px, 64, 32 + 8, 12) & 0xFF;
    EXPECT_GT(edge, 0x20u);
    EXPECT_LT(edge, 0xE0u);
    expectGolden("texture_filtering", px, 64, 32);
}

TEST_F(RendererTest, TexelsMapOneToOneAtTheirOwnSize) {
    std::vector<std::uint32_t> ramp(16 * 4);
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 4) << 16 | static_cast<std::uint32_t>(i);
    }
    auto texture = textureOf(16, 4, ramp);
    Frame f = begin();
    f.g->DrawTexture(texture.get(), RectF(0, 0, 16, 4), RectF(3, 5, 16, 4)); // linear filter, still exact
    const auto px = finish(f);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(ramp[static_cast<std::size_t>(y) * 16 + x], at(px, kSize, 3 + x, 5 + y))
                << x << "," << y;
        }
    }
}

TEST_F(RendererTest, BatchesSplitOnlyWhenFullOrOnStateChange) {
    Frame f = begin();
    Gfx_ResetDrawCallCount();
    for (int i = 0; i < 1001; ++i) {
        f.g->FillRect(static_cast<float>(i % 60), 0, 1, 1);
    }
    Gfx_RenderBatch(false);
    EXPECT_EQ(2u, Gfx_DrawCallCount());

    Gfx_ResetDrawCallCount();
    f.g->FillRect(0, 0, 1, 1);
    f.g->DrawLine(0, 0, 5, 5);
    f.g->FillRect(0, 0, 1, 1);
    Gfx_RenderBatch(false);
    EXPECT_EQ(3u, Gfx_DrawCallCount());

    // A colour change is not a state change; a blend change is.
    Gfx_ResetDrawCallCount();
    f.g->SetColor(0xFF00FF00u);
    f.g->FillRect(0, 0, 1, 1);
    f.g->SetColor(0xFF0000FFu);
    f.g->FillRect(1, 0, 1, 1);
    f.g->SetBlendMode(0);
    f.g->FillRect(2, 0, 1, 1);
    Gfx_RenderBatch(false);
    EXPECT_EQ(2u, Gfx_DrawCallCount());

    // Neither is a transform change nor the clip in force set again; a different clip is.
    Gfx_ResetDrawCallCount();
    f.g->FillRect(0, 0, 1, 1);
    f.g->Translate(3, 2);
    f.g->FillRect(0, 0, 1, 1);
    f.g->SetState(f.g->GetState());
    f.g->FillRect(0, 0, 1, 1);
    f.g->SetClip(Rect(0, 0, 10, 10));
    f.g->FillRect(0, 0, 1, 1);
    Gfx_RenderBatch(false);
    EXPECT_EQ(2u, Gfx_DrawCallCount());

    Gfx_ResetDrawCallCount();
    f.g->DrawEllipse(0, 0, 10, 10);
    Gfx_RenderBatch(false);
    EXPECT_EQ(20u, Gfx_PrimitiveCount()); // 20 segments, the last ending just past 2 pi
    Gfx_ResetDrawCallCount();
    f.g->DrawRect(0, 0, 5, 5);
    Gfx_RenderBatch(false);
    EXPECT_EQ(4u, Gfx_PrimitiveCount());
    EXPECT_EQ(1u, Gfx_DrawCallCount());
    finish(f);
}

TEST_F(RendererTest, SecondSceneIsRefusedAndTheOpenOneStays) {
    Frame f = begin();
    auto other = target(8, 8);
    EXPECT_EQ(nullptr, other->Begin(nullptr));
    f.g->SetColor(0xFFFF00FFu);
    f.g->FillRect(0, 0, 2, 2);
    const auto px = finish(f);
    EXPECT_EQ(0xFFFF00FFu, at(px, kSize, 1, 1));
}

TEST_F(RendererTest, ContextResetsAtBegin) {
    Frame f = begin(40, 30);
    f.g->SetColor(0x12345678u);
    f.g->SetBlendMode(0);
    f.g->SetClip(Rect(1, 2, 3, 4));
    finish(f);
    IGraphics* g = f.target->Begin(nullptr);
    ASSERT_NE(nullptr, g);
    EXPECT_EQ(0xFFFFFFFFu, g->GetColor());
    EXPECT_EQ(2, g->GetBlendMode());
    const Rect clip = g->GetClip();
    EXPECT_EQ(0, clip.X);
    EXPECT_EQ(40, clip.Width);
    EXPECT_EQ(30, clip.Height);
    EXPECT_EQ(nullptr, g->GetFont());
    f.target->End();
}

TEST_F(RendererTest, RenderTargetDrawnIntoTheScreen) {
    Frame f = begin(16, 16, 0xFF102030u);
    f.g->SetColor(0xFFFF8000u);
    f.g->FillRect(4, 4, 8, 8);
    finish(f);

    IGraphics* screen = display().Begin(nullptr);
    ASSERT_NE(nullptr, screen);
    screen->Clear(0xFF000000u);
    screen->DrawTexture(f.target->GetTexture(), RectF(0, 0, 16, 16), RectF(10, 20, 32, 32));
    std::vector<std::uint32_t> px(48 * 56);
    ASSERT_TRUE(Gfx_ReadPixels(nullptr, 0, 0, 48, 56, px.data()));
    display().End();
    EXPECT_EQ(0xFF102030u, at(px, 48, 10, 20));
    EXPECT_EQ(0xFFFF8000u, at(px, 48, 26, 36));
    EXPECT_EQ(0xFF000000u, at(px, 48, 9, 20));
    expectGolden("target_on_screen", px, 48, 56);
}

TEST_F(RendererTest, TargetTextureLocksThroughACopy) {
    Frame f = begin(8, 4, 0xFF336699u);
    f.g->SetColor(0xFFFFFFFFu);
    f.g->FillRect(0, 0, 1, 1);
    finish(f);
    ITexture* texture = f.target->GetTexture();
    ASSERT_NE(nullptr, texture);
    EXPECT_EQ(8, texture->GetWidth());
    std::uint32_t* p = texture->Lock(0, 0, 0, 0, true);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(nullptr, texture->Lock(0, 0, 0, 0, true)); // "already locked"
    EXPECT_EQ(0xFFFFFFFFu, p[0]);
    EXPECT_EQ(0xFF336699u, p[1]);
    EXPECT_EQ(0xFF336699u, p[8 * 4 - 1]);
    texture->Unlock();
}

} // namespace
