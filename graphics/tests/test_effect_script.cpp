// Effect and EffectEmitter through real scripts: CreateEmitter, the emitter's methods, the global functions
// that reach its interfaces, and the bounding rectangle from loadFromScript culling what lies off the target.
#include <unistd.h>

#include <filesystem>

#include "binding/binding.h"
#include "binding/component_class.h"
#include "binding/global_functions.h"
#include "binding/value_binding.h"
#include "graphics/effect.h"
#include "graphics/graphics_classes.h"
#include "graphics/particles/particle_library.h"
#include "graphics/tests/effect_fixtures.h"
#include "graphics/tests/gl_test_support.h"
#include "platform/kd_start.h"
#include "script/script_api.h"
#include "script/script_host.h"

namespace {

using namespace graphics::test;

class EffectScriptTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        m_previous = std::filesystem::current_path();
        char pattern[] = "/tmp/hh-effect-script-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        m_root = pattern;
        std::filesystem::current_path(m_root);
        platform::startFileSystems();
        registerBindingScriptApi(ScriptApi::instance());
        registerGraphicsScriptApi(ScriptApi::instance());
        const char* arguments[] = {"harborhaven"};
        ScriptHost::create(1, arguments);
        ASSERT_NE(nullptr, ScriptHost::vm());

        writeFile("test.effect", particles::writeEffectData(simpleEffect()));
        m_effect = display().CreateEffect().query<IEffect>();
        ASSERT_TRUE(m_effect);
        ASSERT_TRUE(queryInterface<ILoadable>(m_effect.get())->LoadFromFile("test.effect"));
        share("effect", m_effect.get());
    }
    void TearDown() override {
        ScriptHost::destroy();
        m_effect.reset();
        kdUnmountAll();
        std::filesystem::current_path(m_previous);
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
        GlTest::TearDown();
    }
    void share(const char* name, IAbstract* component) {
        pushComponent(ScriptHost::vm(), component);
        ScriptHost::setValue(ScriptHost::root(), name, ScriptValue::fromStack(-1));
        sq_pop(ScriptHost::vm(), 1);
    }
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
    // The emitter a script stored in ::name.
    EffectEmitter* emitterNamed(const char* name) {
        ScriptValue value = run(std::string("return ::") + name + ";");
        value.push();
        IAbstract* component = componentArgument(ScriptHost::vm(), -1);
        sq_pop(ScriptHost::vm(), 1);
        return dynamic_cast<EffectEmitter*>(component);
    }

    std::filesystem::path m_previous;
    std::filesystem::path m_root;
    ComponentRef<IEffect> m_effect;
};

TEST_F(EffectScriptTest, EmittersAreMadeAndSteeredFromScripts) {
    EXPECT_EQ("Effect", eval("typeof effect"));
    EXPECT_EQ("EffectEmitter", eval("typeof effect.CreateEmitter(\"quiet\")"));
    EXPECT_EQ("null", eval("effect.CreateEmitter(\"missing\")"));

    run("::e <- effect.CreateEmitter(\"steady\");"
        "e.SetRenderLayer(7);"
        "e.SetLocalMode(false);"
        "e.SetLocalMatrix(Matrix3(Vector2(2, 0), Vector2(0, 2), Vector2(5, 6)));"
        "setPosition(e, Matrix3(Vector2(10, 20)));"
        "for (local i = 0; i < 10; i++) updateComponent(e, 64, 16);");
    EffectEmitter* emitter = emitterNamed("e");
    ASSERT_NE(nullptr, emitter);
    EXPECT_EQ(7, emitter->GetRenderLayer());
    EXPECT_FALSE(emitter->isLocalMode());
    EXPECT_EQ("160", eval("getLifeTime(e)"));
    EXPECT_EQ("false", eval("isExpired(e)"));
    // W = L * P: the local matrix's scale and move, then the position's.
    std::uint32_t count = 0;
    const particles::Emitter::Particle* p = emitter->emitter()->layerParticles(0, count);
    ASSERT_GT(count, 0u);
    EXPECT_EQ(15.0f, p[0].x);
    EXPECT_EQ(26.0f, p[0].y);

    run("e.SetEnabled(false); e.Reset();");
    EXPECT_EQ("0", eval("getLifeTime(e)"));
    EXPECT_EQ(0u, emitter->emitter()->liveParticles());
    run("delete ::e;");
}

TEST_F(EffectScriptTest, TheBoundingRectangleCullsEmittersOffTheTarget) {
    EXPECT_EQ("true", eval("loadFromScript(effect, {BoundingRect = RectF(-20, -20, 40, 40)})"));
    EXPECT_EQ(-20.0f, dynamic_cast<Effect*>(m_effect.get())->boundingRect().X);
    EXPECT_EQ(40.0f, dynamic_cast<Effect*>(m_effect.get())->boundingRect().Height);
    EXPECT_EQ("false", eval("loadFromScript(effect, 5)"));

    const struct {
        float x;
        bool drawn;
    } cases[] = {{30.0f, true}, {-15.0f, true}, {-25.0f, false}, {90.0f, false}};
    for (const auto& c : cases) {
        ComponentRef<IEffectEmitter> emitter = m_effect->CreateEmitter("steady");
        queryInterface<IPositionable>(emitter.get())->SetPosition(Matrix3(Vector2{c.x, 16.0f}));
        for (int i = 0; i < 10; ++i) {
            queryInterface<IUpdateable>(emitter.get())->Update(64, 20);
        }
        ComponentRef<IRenderTarget> rt = target(64, 32);
        IGraphics* g = rt->Begin(nullptr);
        Gfx_ResetDrawCallCount();
        emitter->Render(g);
        rt->End();
        EXPECT_EQ(c.drawn, Gfx_PrimitiveCount() > 0) << c.x;
    }
}

} // namespace
