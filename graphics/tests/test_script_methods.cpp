// The script methods of Display, Graphics and Texture through real scripts.
#include "binding/binding.h"
#include "binding/component_class.h"
#include "binding/global_functions.h"
#include "binding/value_binding.h"
#include "graphics/graphics_classes.h"
#include "graphics/tests/gl_test_support.h"
#include "graphics/texture.h"
#include "script/script_api.h"
#include "script/script_host.h"

namespace {

using namespace graphics::test;

class ScriptMethodsTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        registerBindingScriptApi(ScriptApi::instance());
        registerGraphicsScriptApi(ScriptApi::instance());
        const char* arguments[] = {"harborhaven"};
        ScriptHost::create(1, arguments);
        ASSERT_NE(nullptr, ScriptHost::vm());
    }
    void TearDown() override {
        ScriptHost::destroy();
        GlTest::TearDown();
    }
    void share(const char* name, IAbstract* component) {
        pushComponent(ScriptHost::vm(), component);
        ScriptHost::setValue(ScriptHost::root(), name, ScriptValue::fromStack(-1));
        sq_pop(ScriptHost::vm(), 1);
    }
    void unshare(const char* name) { run(std::string("delete ::") + name + ";"); }
    ScriptValue run(const std::string& text) {
        return ScriptHost::callClosure(ScriptHost::compileBuffer(text.c_str()));
    }
    std::string eval(const std::string& expression) {
        ScriptValue result = run("local r = (" + expression + "); return r == null ? \"null\" : \"\" + r;");
        if (result.type() != OT_STRING) {
            return "<error>";
        }
        const SQChar* text = nullptr;
        sq_pushobject(ScriptHost::vm(), result.object());
        sq_getstring(ScriptHost::vm(), -1, &text);
        std::string copy = text;
        sq_pop(ScriptHost::vm(), 1);
        return copy;
    }
};

TEST_F(ScriptMethodsTest, DisplayAndTexture) {
    share("display", &display());
    EXPECT_EQ("320", eval("display.GetWidth()"));
    EXPECT_EQ("240", eval("display.GetHeight()"));
    EXPECT_EQ("true", eval("display.IsWindowed()"));
    EXPECT_EQ("RenderTarget", eval("typeof display.CreateRenderTarget(16, 8)"));
    EXPECT_EQ("null", eval("display.CreateRenderTarget(0, 8)"));

    ComponentRef<ITexture> texture = display().CreateTexture();
    texture->Lock(0, 0, 5, 3, false);
    texture->Unlock();
    share("texture", texture.get());
    EXPECT_EQ("5x3", eval("texture.GetWidth() + \"x\" + texture.GetHeight()"));
    unshare("display");
    unshare("texture");
}

TEST_F(ScriptMethodsTest, GraphicsDrawsFromScripts) {
    auto target = display().CreateRenderTarget(16, 8);
    IGraphics* g = target->Begin(nullptr);
    ASSERT_NE(nullptr, g);
    g->Clear(0xFF000000u);
    share("g", g);
    run("g.SetColor(0xFFFF0000);"
        "g.FillRect(0, 0, 4, 4);"
        "g.Translate(Vector2(8, 0));"
        "g.SetColor(0xFF00FF00);"
        "g.FillRect(0, 0, 2.5, 2);"
        "g.SetBlendMode(3.7);");
    EXPECT_EQ("16", eval("g.GetClip().Width"));
    EXPECT_EQ("8", eval("g.GetTranslate().x"));
    EXPECT_EQ("3", eval("g.GetBlendMode()"));
    EXPECT_EQ("-16711936", eval("g.GetColor()"));
    EXPECT_EQ("null", eval("g.GetFont()"));
    EXPECT_EQ("Graphics", eval("typeof g"));
    unshare("g");
    target->End();
    std::vector<std::uint32_t> px(16 * 8);
    ASSERT_TRUE(
        Gfx_ReadPixels(static_cast<RenderTarget*>(target.get())->deviceTarget(), 0, 0, 16, 8, px.data()));
    EXPECT_EQ(0xFFFF0000u, at(px, 16, 3, 3));
    EXPECT_EQ(0xFF00FF00u, at(px, 16, 9, 1));
    EXPECT_EQ(0xFF000000u, at(px, 16, 11, 1));
}

TEST_F(ScriptMethodsTest, ReleasingATargetWithItsSceneOpenEndsTheScene) {
    share("display", &display());
    run("::t <- display.CreateRenderTarget(16, 8); ::g <- beginRender(::t, null);"
        "::t = null; collectgarbage();");
    EXPECT_EQ("Graphics", eval("typeof ::g"));
    EXPECT_FALSE(Gfx_InScene());
    // Later frames reach the screen again.
    IGraphics* screen = display().Begin(nullptr);
    ASSERT_NE(nullptr, screen);
    screen->Clear(0xFF000000u);
    screen->SetColor(0xFF00FF00u);
    screen->FillRect(0, 0, 4, 4);
    std::vector<std::uint32_t> px(4 * 4);
    ASSERT_TRUE(Gfx_ReadPixels(nullptr, 0, 0, 4, 4, px.data()));
    display().End();
    EXPECT_EQ(0xFF00FF00u, at(px, 4, 2, 2));
    unshare("g");
    unshare("display");
}

TEST_F(ScriptMethodsTest, ColorMatrixFromAScriptRecoloursATexture) {
    ComponentRef<ITexture> texture = display().CreateTexture();
    std::uint32_t* p = texture->Lock(0, 0, 2, 1, false);
    p[0] = 0x80102030u;
    p[1] = 0xFF804020u;
    texture->Unlock();
    share("texture", texture.get());
    run("TextureFilter_ColorMatrix(texture,"
        " Matrix4(Vector3(2, 0, 0), Vector3(0, 2, 0), Vector3(0, 0, 2), Vector3(0, 0, 0)));"
        "TextureFilter_ColorMatrix(null, Matrix4());");
    p = texture->Lock(0, 0, 0, 0, true);
    EXPECT_EQ(0x80204060u, p[0]);
    EXPECT_EQ(0xFFFF8040u, p[1]);
    texture->Unlock();
    unshare("texture");
}

TEST_F(ScriptMethodsTest, ColorMatrixRecolours) {
    ComponentRef<ITexture> texture = display().CreateTexture();
    std::uint32_t* p = texture->Lock(0, 0, 2, 1, false);
    p[0] = 0x80102030u;
    p[1] = 0xFFFFFFFFu;
    texture->Unlock();
    ASSERT_TRUE(TextureFilter_ColorMatrix(texture.get(), Matrix4()));
    p = texture->Lock(0, 0, 0, 0, true);
    EXPECT_EQ(0x80102030u, p[0]); // the identity changes nothing
    EXPECT_EQ(0xFFFFFFFFu, p[1]);
    texture->Unlock();
    Matrix4 doubled;
    for (int i = 0; i < 3; ++i) {
        doubled.m[i][i] = 2.0f;
    }
    ASSERT_TRUE(TextureFilter_ColorMatrix(texture.get(), doubled));
    p = texture->Lock(0, 0, 0, 0, true);
    EXPECT_EQ(0x80204060u, p[0]);
    EXPECT_EQ(0xFFFFFFFFu, p[1]); // saturates instead of wrapping
    texture->Unlock();
    EXPECT_FALSE(TextureFilter_ColorMatrix(display().CreateTexture().get(), Matrix4()));
}

} // namespace
