// The recording layer: drawing recorded once and replayed every frame, the state it leaves behind, Clear, and
// the script methods.
#include "binding/component_class.h"
#include "binding/global_functions.h"
#include "binding/value_binding.h"
#include "graphics/layer.h"
#include "graphics/tests/font_fixture.h"
#include "script/script_api.h"
#include "script/script_host.h"

namespace {

using namespace graphics::test;

bool isEverything(const Rect& r) {
    return r.X == 0 && r.Y == 0 && r.Width == 2147483647 && r.Height == 2147483647;
}

class LayerTest : public FontTest {
protected:
    ComponentRef<Layer> makeLayer() {
        ComponentRef<> made = ComponentRegistry::instance().create(classId(ClassName::Layer));
        return ComponentRef<Layer>(dynamic_cast<Layer*>(made.get()));
    }
    // One frame: clear to black, set a blue drawing colour, replay the layer, then draw a probe pixel with
    // whatever colour the context has afterwards.
    std::vector<std::uint32_t> frame(IRenderable& layer, std::uint32_t* colourAfter = nullptr) {
        auto out = target(32, 16);
        IGraphics* g = out->Begin(nullptr);
        g->Clear(0xFF000000u);
        g->SetColor(0xFF0000FFu);
        layer.Render(g);
        if (colourAfter != nullptr) {
            *colourAfter = g->GetColor();
        }
        out->End();
        return pixels(*out);
    }
};

TEST_F(LayerTest, ReplaysEveryFrameAndRestoresTheTargetState) {
    ComponentRef<Layer> layer = makeLayer();
    ASSERT_TRUE(layer);
    layer->SetColor(0xFFFF0000u);
    layer->FillRect(2, 2, 4, 4);
    layer->Translate(10, 0);
    layer->SetClip(Rect(0, 0, 12, 16));
    layer->FillRect(0, 0, 4, 4); // at x 10, clipped to 10..11
    EXPECT_EQ(0xFFFF0000u, layer->GetColor());
    EXPECT_EQ(10.0f, layer->GetTranslate().x);
    for (int round = 0; round < 2; ++round) {
        std::uint32_t after = 0;
        const auto px = frame(*layer, &after);
        EXPECT_EQ(0xFFFF0000u, at(px, 32, 3, 3)) << round;
        EXPECT_EQ(0xFFFF0000u, at(px, 32, 11, 1)) << round;
        EXPECT_EQ(0xFF000000u, at(px, 32, 12, 1)) << round; // the recorded clip
        EXPECT_EQ(0xFF0000FFu, after) << round;             // the target's colour is back
    }
}

TEST_F(LayerTest, ClearEmptiesTheRecordingAndRestoresDefaults) {
    ComponentRef<Layer> layer = makeLayer();
    layer->SetColor(0xFF00FF00u);
    layer->SetBlendMode(-1);
    layer->FillRect(0, 0, 32, 16);
    layer->Clear(0xFFFFFFFFu);
    EXPECT_EQ(0u, layer->commandCount());
    EXPECT_EQ(0xFFFFFFFFu, layer->GetColor());
    EXPECT_EQ(2, layer->GetBlendMode());
    EXPECT_TRUE(isEverything(layer->GetClip()));
    for (std::uint32_t p : frame(*layer)) {
        ASSERT_EQ(0xFF000000u, p);
    }
    EXPECT_EQ(nullptr, layer->GetCamera());
    EXPECT_TRUE(isEverything(layer->GetTargetRect()));
}

TEST_F(LayerTest, TextTexturesAndFontsStayReferencedUntilClear) {
    ComponentRef<IFont> font = loadFont();
    ASSERT_TRUE(font);
    ComponentRef<Layer> layer = makeLayer();
    layer->SetFont(font.get());
    layer->DrawString("HiT", 1, 1);
    font.reset();
    System::live()->GetResourceManager()->FreeUnusedResources(); // the layer still holds the font
    EXPECT_FALSE(logged("FreeUnusedResources: fonts/test.fnt deleted"));
    const auto px = frame(*layer);
    int inked = 0;
    for (std::uint32_t p : px) inked += p == 0xFF0000FFu; // the target's colour tints the text
    EXPECT_GT(inked, 20);
    layer->Clear(0);
    System::live()->GetResourceManager()->FreeUnusedResources();
    EXPECT_TRUE(logged("FreeUnusedResources: fonts/test.fnt deleted"));
}

TEST_F(LayerTest, ALayerNeverReplaysIntoItself) {
    ComponentRef<Layer> layer = makeLayer();
    EXPECT_FALSE(layer->SetMember("x", ScriptValue())); // no script object
    layer->FillRect(0, 0, 1, 1);
    layer->Render(layer.get());
    EXPECT_EQ(1u, layer->commandCount());
    // Into another layer: that one records a copy, once.
    ComponentRef<Layer> other = makeLayer();
    layer->Render(other.get());
    EXPECT_EQ(1u + 6u, other->commandCount()); // the fill and the six setters restoring the state
}

TEST_F(LayerTest, ScriptMethods) {
    registerBindingScriptApi(ScriptApi::instance());
    const char* arguments[] = {"harborhaven"};
    ScriptHost::create(1, arguments);
    ScriptValue result = ScriptHost::callClosure(ScriptHost::compileBuffer(
        "local l = getComponent(\"Layer\");"
        "l.SetColor(0xFF00FF00); l.Translate(Vector2(3, 4)); l.FillRect(0, 0, 2, 2);"
        "return typeof l + \":\" + l.GetColor() + \":\" + l.GetTranslate().x + \":\" + (l.GetCamera() == "
        "null);"));
    ASSERT_EQ(OT_STRING, result.type()) << "script failed";
    sq_pushobject(ScriptHost::vm(), result.object());
    const SQChar* text = nullptr;
    sq_getstring(ScriptHost::vm(), -1, &text);
    EXPECT_STREQ("Layer:-16711936:3:true", text);
    sq_pop(ScriptHost::vm(), 1);
    result.reset();
    ScriptHost::destroy();
}

} // namespace
