// The global script functions through real scripts: each one's main path on a component that has the
// interface, and its cast-failure report and neutral result on one that has not.
#include "test_global_fixture.h"

#include "component/component_registry.h"
#include "component/frame_interfaces.h"
#include "component/group_interfaces.h"
#include "component/media_interfaces.h"
#include "component/object_interfaces.h"
#include "component/script_interfaces.h"
#include "component/stream_interfaces.h"
#include "script/engine_random.h"

#include <fstream>

namespace {

// A component without any interface of its own.
class Bare final : public IAbstract {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<>(this, id); }
};

// A component with most of the interfaces the global functions use; it records what it was asked.
class Probe final : public IShutdownable,
                    public ILoadable,
                    public ICloneable,
                    public IManualControl,
                    public IObjectControl,
                    public IScriptLoadable,
                    public IScriptSaveable,
                    public IIdentifiable,
                    public IClassifiable,
                    public IPositionable,
                    public IPositionableUser,
                    public IAnimateable,
                    public IVisible,
                    public IWithLifeTime,
                    public IRenderable,
                    public IRenderTarget,
                    public IBoundingInfo {
public:
    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IShutdownable, ILoadable, ICloneable, IManualControl, IObjectControl,
                          IScriptLoadable, IScriptSaveable, IIdentifiable, IClassifiable, IPositionable,
                          IPositionableUser, IAnimateable, IVisible, IWithLifeTime, IUpdateable, IRenderable,
                          IRenderTarget, IBoundingInfo>(this, id);
    }
    void Shutdown() override { ++shutdowns; }
    bool LoadFromFile(const char* path) override {
        loadedPath = path;
        return true;
    }
    ComponentRef<> Clone() override { return ComponentRef<>::adopt(new Bare()); }
    void EnableControl(bool enabled) override { control = enabled; }
    bool IsControlEnabled() override { return control; }
    void SetSlaveObject(IAbstract* object) override { slave = object; }
    bool LoadFromScript(const ScriptValue& value) override {
        loaded = value;
        return true;
    }
    ScriptValue SaveToScript() override { return loaded; }
    const char* GetIdentificator() override { return identifier.c_str(); }
    void SetIdentificator(std::string_view id) override { identifier = id; }
    void AddClassificator(std::uint32_t bits) override { classes |= bits; }
    void RemoveClassificator(std::uint32_t bits) override { classes &= ~bits; }
    std::uint32_t GetClassificators() override { return classes; }
    void SetPosition(const Matrix3& m) override { position = m; }
    Matrix3 GetPosition() override { return position; }
    void SetPositionable(IAbstract* p) override { positionable = p; }
    bool SetAnimation(const char* name, float phase) override {
        animation = name;
        animationPhase = phase;
        return true;
    }
    const TileAnimationMap* GetAnimations() override { return nullptr; }
    void SetVisible(bool v) override { visible = v; }
    bool IsVisible() override { return visible; }
    std::int32_t GetUpdateLayer() override { return 1; }
    void Init(std::int32_t) override {}
    void Update(std::int32_t layer, std::int32_t elapsed) override {
        updateLayer = layer;
        updateElapsed = elapsed;
    }
    std::int32_t GetLifeTime() override { return 77; }
    bool IsExpired() override { return true; }
    void Render(IGraphics* graphics, ClassMask mask) override {
        ++renders;
        renderGraphics = graphics;
        renderMask = mask;
    }
    std::int32_t GetRenderLayer() override { return 0; }
    IGraphics* Begin(ICamera*) override {
        ++begins;
        return nullptr;
    }
    void End() override { ++ends; }
    std::int32_t GetWidth() override { return 0; }
    std::int32_t GetHeight() override { return 0; }
    ITexture* GetTexture() override { return nullptr; }
    RectF GetBoundingRect(ClassMask) override { return RectF(1, 2, 3, 4); }

    int shutdowns = 0, renders = 0, begins = 0, ends = 0;
    std::string loadedPath, identifier = "probe", animation;
    float animationPhase = 0;
    bool control = false, visible = false;
    IAbstract* slave = nullptr;
    IAbstract* positionable = reinterpret_cast<IAbstract*>(1);
    ScriptValue loaded;
    std::uint32_t classes = 0;
    Matrix3 position;
    std::int32_t updateLayer = 0, updateElapsed = 0;
    IGraphics* renderGraphics = reinterpret_cast<IGraphics*>(1);
    ClassMask renderMask{1, 1};
};

class GlobalFunctions : public GlobalFunctionsTest {
protected:
    void SetUp() override {
        GlobalFunctionsTest::SetUp();
        m_probe = ComponentRef<Probe>::adopt(new Probe());
        m_bare = ComponentRef<Bare>::adopt(new Bare());
        setRootComponent("probe", m_probe.get());
        setRootComponent("bare", m_bare.get());
    }
    // The value of a root slot as value class T (default T when it is not one).
    template <class T> T rootValue(const char* name) {
        HSQUIRRELVM v = ScriptHost::vm();
        ScriptHost::getSlot(ScriptHost::root(), name).push();
        T* value = getInstance<T>(v, -1);
        T result = value ? *value : T();
        sq_poptop(v);
        return result;
    }
    ComponentRef<Probe> m_probe;
    ComponentRef<Bare> m_bare;
};

// Each function on `bare` (or null) writes the cast report naming its interface and answers neutral.
TEST_F(GlobalFunctions, CastFailuresReportTheInterfaceAndAnswerNeutral) {
    const struct {
        const char* check; // true when the neutral result came back
        const char* interfaceName;
    } cases[] = {
        {"shutdown(bare) == null", "IShutdownable"},
        {"loadFromFile(bare, \"a\") == false", "ILoadable"},
        {"saveToFile(probe, \"a\") == false", "ISaveable"},
        {"cloneComponent(null) == null", "ICloneable"},
        {"getPartsQty(probe) == 0", "IComposite"},
        {"getPart(probe, 0) == null", "IComposite"},
        {"findPart(probe, \"x\") == null", "IComposite"},
        {"getPartID(probe, 0) == null", "IComposite"},
        {"getPartParent(probe, bare) == null", "IComposite"},
        {"enableControl(bare, true) == null", "IManualControl"},
        {"isControlEnabled(bare) == false", "IManualControl"},
        {"setSlaveObject(bare, probe) == null", "IObjectControl"},
        {"loadFromScript(bare, {}) == false", "IScriptLoadable"},
        {"saveToScript(bare) == null", "IScriptSaveable"},
        {"getIdentificator(bare) == \"\"", "IIdentifiable"},
        {"setIdentificator(bare, \"x\") == null", "IIdentifiable"},
        {"addClassificator(bare, 1) == null", "IClassifiable"},
        {"removeClassificator(bare, 1) == null", "IClassifiable"},
        {"getClassificators(bare) == 0", "IClassifiable"},
        {"setPosition3D(probe, Matrix4()) == null", "IPositionable3D"},
        {"setPosition(bare, Matrix3()) == null", "IPositionable"},
        {"setPositionable(bare, probe) == null", "IPositionableUser"},
        {"setAnimation(bare, \"a\", 1.0) == false", "IAnimateable"},
        {"isVisible(bare) == false", "IVisible"},
        {"setVisible(bare, true) == null", "IVisible"},
        {"updateComponent(bare, 1, 2) == null", "IUpdateable"},
        {"renderComponent(bare, null) == null", "IRenderable"},
        {"beginRender(bare, null) == null", "IRenderTarget"},
        {"endRender(bare) == null", "IRenderTarget"},
        {"getRenderTargetTexture(null) == null", "IRenderTarget"},
        {"getLifeTime(bare) == 0", "IWithLifeTime"},
        {"isExpired(bare) == false", "IWithLifeTime"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(holds(c.check)) << c.check;
        std::string log = takeLog();
        std::string report = std::string("error: can't cast to ") + c.interfaceName + "\n";
        EXPECT_EQ(log.substr(0, report.size()), report) << c.check;
        EXPECT_GT(log.size(), report.size()) << "the call stack follows: " << c.check;
    }
    EXPECT_EQ(m_probe->shutdowns, 0);
}

TEST_F(GlobalFunctions, NeutralMatricesAndRectangleAreNotTheIdentity) {
    run("p3 <- getPosition(null); p4 <- getPosition3D(probe); r <- getBoundingRect(bare);");
    Matrix3 m3 = rootValue<Matrix3>("p3");
    Matrix4 m4 = rootValue<Matrix4>("p4");
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(m3.m[i][j], i == 2 && j == 2 ? 1.0f : 0.0f) << i << j;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(m4.m[i][j], i == 3 && j == 3 ? 1.0f : 0.0f) << i << j;
    RectF r = rootValue<RectF>("r");
    EXPECT_EQ(r.X, 0);
    EXPECT_EQ(r.Width, 0);
    EXPECT_NE(takeLog().find("can't cast to IBoundingInfo"), std::string::npos);
}

TEST_F(GlobalFunctions, InterfaceCallsReachTheComponent) {
    EXPECT_TRUE(holds("shutdown(probe) == null"));
    EXPECT_EQ(m_probe->shutdowns, 1);
    EXPECT_TRUE(holds("loadFromFile(probe, \"res/a.bin\")"));
    EXPECT_EQ(m_probe->loadedPath, "res/a.bin");
    EXPECT_TRUE(holds("cloneComponent(probe) != null && cloneComponent(probe) != probe"));
    run("enableControl(probe, true); setSlaveObject(probe, bare); setVisible(probe, 1);");
    EXPECT_TRUE(m_probe->control);
    EXPECT_TRUE(holds("isControlEnabled(probe) && isVisible(probe)"));
    EXPECT_EQ(m_probe->slave, m_bare.get());
    EXPECT_TRUE(holds("loadFromScript(probe, {a = 5}) && saveToScript(probe).a == 5"));
    EXPECT_TRUE(holds("isIdentifiable(probe) && !isIdentifiable(bare) && !isIdentifiable(null)"));
    run("setIdentificator(probe, \"harbour\");");
    EXPECT_TRUE(holds("getIdentificator(probe) == \"harbour\""));
    run("addClassificator(probe, 7); removeClassificator(probe, 1);");
    EXPECT_EQ(m_probe->classes, 6u);
    EXPECT_TRUE(holds("getClassificators(probe) == 6"));
    run("local m = Matrix3(); setPosition(probe, m);");
    EXPECT_EQ(m_probe->position.m[0][0], 1.0f);
    run("setPositionable(probe, probe);");
    EXPECT_EQ(m_probe->positionable, static_cast<IAbstract*>(static_cast<IPositionable*>(m_probe.get())));
    run("setPositionable(probe, bare);");
    EXPECT_EQ(m_probe->positionable, nullptr) << "a provider without IPositionable gives null";
    EXPECT_TRUE(holds("setAnimation(probe, \"walk\", 0.5)"));
    EXPECT_EQ(m_probe->animation, "walk");
    EXPECT_EQ(m_probe->animationPhase, 0.5f);
    run("updateComponent(probe, 2, 16); renderComponent(probe, bare);");
    EXPECT_EQ(m_probe->updateLayer, 2);
    EXPECT_EQ(m_probe->updateElapsed, 16);
    EXPECT_EQ(m_probe->renders, 1);
    EXPECT_EQ(m_probe->renderGraphics, nullptr) << "a graphics argument without IGraphics gives null";
    EXPECT_EQ(m_probe->renderMask.include, 0u);
    EXPECT_EQ(m_probe->renderMask.exclude, 0u);
    EXPECT_TRUE(holds("beginRender(probe, null) == null && endRender(probe) == null && "
                      "getRenderTargetTexture(probe) == null"));
    EXPECT_EQ(m_probe->begins, 1);
    EXPECT_EQ(m_probe->ends, 1);
    run("r <- getBoundingRect(probe);");
    EXPECT_EQ(rootValue<RectF>("r").Height, 4.0f);
    EXPECT_TRUE(holds("getLifeTime(probe) == 77 && isExpired(probe)"));
    EXPECT_EQ(takeLog(), "");
}

TEST_F(GlobalFunctions, CheckMaskTestsClassificatorsWithoutReports) {
    m_probe->classes = 6;
    const struct {
        const char* call;
        bool expected;
    } cases[] = {
        {"checkMask(null, 0, 5)", true},   {"checkMask(null, 1, 0)", false},
        {"checkMask(bare, 0, 0)", true},   {"checkMask(probe, 2, 1)", true},
        {"checkMask(probe, 2, 4)", false}, {"checkMask(probe, 3, 0)", false},
        {"checkMask(probe, 6, 0)", true},
    };
    for (const auto& c : cases) EXPECT_EQ(holds(c.call), c.expected) << c.call;
    EXPECT_EQ(takeLog(), "");
}

TEST_F(GlobalFunctions, ArgumentsOfTheWrongTypeAreReported) {
    EXPECT_TRUE(holds("setAnimation(probe, 5, 0.5)"));
    EXPECT_EQ(m_probe->animation, "");
    EXPECT_EQ(takeLog(), "error: sq_get*() failed (type error)\n");
    EXPECT_TRUE(holds("randNum(\"x\") == 0"));
    EXPECT_EQ(takeLog(), "error: sq_get*() failed (type error)\n");
}

TEST_F(GlobalFunctions, ComponentsByName) {
    EXPECT_TRUE(holds("getComponent(\"NoSuchClass\") == null"));
    auto names = ComponentRegistry::instance().names();
    ASSERT_FALSE(names.empty());
    EXPECT_TRUE(holds("getComponentIDs().len() == " + std::to_string(names.size())));
    EXPECT_TRUE(holds(std::string("getComponentIDs()[0] == \"") + names[0].name() + "\""));
    EXPECT_EQ(takeLog(), "");
}

TEST_F(GlobalFunctions, LoggingWritesTheTextFormAsItStands) {
    run("logMessage(\"50% %s done\"); logWarning(5); logError(\"bad\"); logInfo(true);");
    EXPECT_EQ(takeLog(), "50% %s done\nwarning: 5\nerror: bad\ninfo: true\n");
}

TEST_F(GlobalFunctions, QuitPostsTheQuitEventAndReturns) {
    EXPECT_TRUE(holds("quit() == null"));
    const KDEvent* event = kdWaitEvent();
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->type, KD_EVENT_QUIT);
    EXPECT_EQ(event->userptr, nullptr);
    EXPECT_NE(event->timestamp, 0u) << "posting stamps it";
}

TEST_F(GlobalFunctions, ExitEndsTheProcessWithItsCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(run("exit(3);"), ::testing::ExitedWithCode(3), "");
}

TEST_F(GlobalFunctions, TimeFilesAndLocale) {
    SQInteger now = static_cast<SQInteger>(static_cast<std::uint32_t>(kdGetTimeUST() / 1000000u));
    ScriptValue systemTime = run("return getSystemTime();");
    ASSERT_EQ(systemTime.type(), OT_INTEGER);
    EXPECT_NEAR(systemTime.object()._unVal.nInteger, now, 1000);

    EXPECT_TRUE(holds("makeDir(\"data/saves\") && !makeDir(\"data/saves\")"));
    EXPECT_TRUE(std::filesystem::is_directory(m_folder / "Harbor Haven" / "saves"));
    std::ofstream(m_folder / "Harbor Haven" / "saves" / "a.sav") << "x";
    EXPECT_TRUE(holds("fileExists(\"data/saves/a.sav\") && !fileExists(\"data/saves/b.sav\")"));
    EXPECT_TRUE(holds("!removeDir(\"data/saves\")")) << "not empty";
    EXPECT_TRUE(holds("removeFile(\"data/saves/a.sav\") && !removeFile(\"data/saves/a.sav\")"));
    EXPECT_TRUE(holds("removeDir(\"data/saves\") && !fileExists(\"data/saves\")"));
    EXPECT_TRUE(holds(std::string("getLocale() == \"") + kdGetLocale() + "\""));
    EXPECT_EQ(takeLog(), "");
}

TEST_F(GlobalFunctions, RandomNumbersStayInRangeAndFollowSrand) {
    EXPECT_TRUE(holds("randNum(0) == 0 && randNum(-3) == 0 && randVal(2.0, 2.0) == 2.0"));
    EXPECT_TRUE(holds("(function() { for (local i = 0; i < 2000; ++i) {"
                      " local n = randNum(10); if (n < 0 || n > 9 || randNum(1) != 0) return false;"
                      " local f = randVal(-1.0, 3.0); if (f < -1.0 || f > 3.0) return false; }"
                      " return true; })()"));
    EXPECT_TRUE(holds("(function() { srand(5); local a = [randNum(1000), randVal(0.0, 1.0)]; srand(5);"
                      " return a[0] == randNum(1000) && a[1] == randVal(0.0, 1.0); })()"));
    // The generator's own output: randNum(n) = n * r / 32768.
    engineSeedRandom(11);
    std::int32_t r = engineRandom();
    run("srand(11);");
    EXPECT_TRUE(holds("randNum(32768) == " + std::to_string(r)));
}

TEST_F(GlobalFunctions, AnglesAndSigns) {
    const struct {
        const char* call;
        float expected;
    } cases[] = {
        {"angleDelta(0.5, 0.0)", 0.5f},
        {"angleDelta(0.0, 0.5)", -0.5f},
        {"angleDelta(6.0, 0.0)", -0.2831855f},
        {"angleDelta(7.0, 0.0)", 0.7168145f},
        {"angleDelta(3.1415927, 0.0)", 3.1415927f},
        {"angleDelta(-20.0, 0.0)", -1.1504440f},
        {"fltsign(-0.0)", 0.0f},
        {"fltsign(-2)", -1.0f},
        {"fltsign(0.001)", 1.0f},
    };
    for (const auto& c : cases) {
        ScriptValue value = run(std::string("return ") + c.call + ";");
        ASSERT_EQ(value.type(), OT_FLOAT) << c.call;
        EXPECT_NEAR(value.object()._unVal.fFloat, c.expected, 1e-5f) << c.call;
    }
}

TEST_F(GlobalFunctions, Utf8Conversions) {
    const struct {
        const char* codes;
        const char* bytes;
    } encodings[] = {
        {"[72, 233, 8364]", "\x48\xC3\xA9\xE2\x82\xAC"},
        {"[65, 0, 66]", "A"},
        {"[]", ""},
        {"[0x1F600]", "\xF0\x9F\x98\x80"},
        {"[-1, 0x110000]", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& e : encodings) {
        ScriptValue value = run(std::string("return encodeUTF8(") + e.codes + ");");
        ASSERT_EQ(value.type(), OT_STRING) << e.codes;
        HSQOBJECT object = value.object();
        EXPECT_STREQ(sq_objtostring(&object), e.bytes) << e.codes;
    }
    EXPECT_EQ(takeLog(), "");
}

TEST_F(GlobalFunctions, ApplicationGroupPlaceholdersAcceptTheirArguments) {
    EXPECT_TRUE(holds("profilerReset() == null && XPromoReportLink(\"x\") == null"));
    EXPECT_EQ(takeLog(), "");
}

TEST_F(GlobalFunctions, SystemExecuteAnswersWhetherTheOpenerStarted) {
    std::filesystem::path bin = m_folder / "bin";
    std::filesystem::create_directories(bin);
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", bin.c_str(), 1);
    EXPECT_TRUE(holds("systemExecute(\"https://example.invalid/\") == false")) << "no opener";
    std::ofstream(bin / "xdg-open") << "#!/bin/sh\nexit 0\n";
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    EXPECT_TRUE(holds("systemExecute(\"https://example.invalid/\") == true"));
    setenv("PATH", oldPath.c_str(), 1);
}

} // namespace
