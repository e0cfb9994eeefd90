// A script host with the Component class, the value classes and the global functions, the object-model
// classes installed in the registry, and the log captured. Tests drive components through real scripts:
// scripts leave what they saw in the root string `trace`.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "binding/binding.h"
#include "binding/binding_test.h"
#include "binding/component_class.h"
#include "binding/global_functions.h"
#include "binding/value_binding.h"
#include "component/component_registry.h"
#include "component/media_interfaces.h"
#include "component/media_records.h" // GraphicsState, for the test drawing context
#include "component/object_interfaces.h"
#include "component/stream_interfaces.h"
#include "objects/system.h"
#include "platform/kd.h"
#include "script/script_host.h"

class ObjectsTest : public BindingScriptTest {
protected:
    void addScriptApis(ScriptApi& api) override {
        registerObjectModelClasses(ComponentRegistry::instance());
        BindingScriptTest::addScriptApis(api);
        registerObjectModelScriptApi(api);
    }
    void afterHostCreated() override { run("::trace <- \"\";"); }
    void beforeHostDestroyed() override {
        if (System* system = System::live()) {
            system->Shutdown(); // drops the objects that hold script values before the VM goes
        }
    }

    // The integer a script expression gives (0 for anything else).
    SQInteger integer(const std::string& expression) {
        ScriptValue value = run("return (" + expression + ");");
        return value.type() == OT_INTEGER ? value.object()._unVal.nInteger : 0;
    }
    std::string text(const std::string& expression) {
        run("::textResult <- (" + expression + ");");
        const char* result = ScriptHost::getString(ScriptHost::root(), "textResult");
        return result != nullptr ? result : "";
    }
    // The trace so far, emptied.
    std::string takeTrace() {
        std::string result = text("::trace");
        run("::trace = \"\";");
        return result;
    }
    // The component of a root variable (no reference added).
    IAbstract* component(const char* name) {
        HSQUIRRELVM v = ScriptHost::vm();
        SQInteger top = sq_gettop(v);
        ScriptHost::getSlot(ScriptHost::root(), name).push();
        IAbstract* result = componentArgument(v, -1);
        sq_settop(v, top);
        return result;
    }
};

// Key and pointer events as the window delivers them.
inline KDEvent keyEvent(std::int32_t index, std::uint32_t state, std::uint32_t keyData) {
    KDEvent event{};
    event.type = KD_EVENT_INPUT;
    event.data.input.index = index;
    event.data.input.value = static_cast<KDint64>((static_cast<std::uint64_t>(keyData) << 32) | state);
    return event;
}
inline KDEvent pointerEvent(std::int32_t index, std::int32_t select, std::int32_t x, std::int32_t y) {
    KDEvent event{};
    event.type = KD_EVENT_INPUT_POINTER;
    event.data.inputpointer = {index, select, x, y};
    return event;
}

// A drawing context that records what a frame did to it.
class TestGraphics final : public IGraphics {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<IGraphics>(this, id); }
    GraphicsState GetState() override { return {}; }
    void SetState(const GraphicsState&) override {}
    ICamera* GetCamera() override { return camera; }
    Rect GetTargetRect() override { return target; }
    Rect GetClip() override { return target; }
    void SetClip(const Rect&) override {}
    std::uint32_t GetColor() override { return 0; }
    void SetColor(std::uint32_t) override {}
    std::int32_t GetBlendMode() override { return 2; }
    void SetBlendMode(std::int32_t) override {}
    std::int32_t GetTexFilterMode() override { return 0; }
    void SetTexFilterMode(std::int32_t) override {}
    IFont* GetFont() override { return nullptr; }
    void SetFont(IFont*) override {}
    void Clear(std::uint32_t argb) override { clears.push_back(argb); }
    Matrix3 GetTransform() override { return transform; }
    void SetTransform(const Matrix3& m) override { transform = m; }
    Vector2 GetTranslate() override { return transform.GetOrigin(); }
    void Translate(float, float) override {}
    void FillRect(float, float, float, float) override {}
    void DrawRect(float, float, float, float) override {}
    void DrawTexture(ITexture*, const RectF&, const RectF&) override {}
    void DrawQuads(ITexture*, const Quad*, std::int32_t) override {}
    void DrawString(const char*, float, float) override {}
    void DrawLine(float, float, float, float) override {}
    void DrawEllipse(float, float, float, float) override {}

    ICamera* camera = nullptr;
    Rect target{0, 0, 800, 600};
    Matrix3 transform;
    std::vector<std::uint32_t> clears;
};

// A loadable texture that counts its loads; paths containing "missing" fail.
class TestTexture final : public ITexture, public ILoadable, public IShutdownable {
public:
    void* QueryInterface(InterfaceId id) override {
        return queryAmong<ITexture, ILoadable, IShutdownable>(this, id);
    }
    bool CreateTextureFromImage(const ImageRecord&) override { return false; }
    std::int32_t GetWidth() override { return 1; }
    std::int32_t GetHeight() override { return 1; }
    std::uint32_t* Lock(std::int32_t, std::int32_t, std::int32_t, std::int32_t, bool) override {
        return nullptr;
    }
    void Unlock() override {}
    bool LoadFromFile(const char* path) override {
        ++s_loads;
        return std::string(path).find("missing") == std::string::npos;
    }
    void Shutdown() override { ++s_shutdowns; }
    static inline int s_loads = 0;
    static inline int s_shutdowns = 0;
};

// The display stand-in: frames begin on a TestGraphics of 800 x 600 after the camera is applied, as the real
// drawing context does; `lost` makes Begin fail.
class TestDisplay final : public IDisplay {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<IDisplay, IRenderTarget>(this, id); }
    IGraphics* Begin(ICamera* camera) override {
        ++begins;
        if (lost) {
            return nullptr;
        }
        graphics.camera = camera;
        graphics.clears.clear();
        if (camera != nullptr) {
            camera->Apply(&graphics, graphics.target);
        }
        return &graphics;
    }
    void End() override { ++ends; }
    std::int32_t GetWidth() override { return 800; }
    std::int32_t GetHeight() override { return 600; }
    ITexture* GetTexture() override { return nullptr; }
    bool Init(std::int32_t, std::int32_t) override { return true; }
    bool IsWindowed() override { return true; }
    void SetWindowed(bool) override {}
    KDWindow* GetWindow() override { return nullptr; }
    void ShowKeyboard(bool) override {}
    ComponentRef<ITexture> CreateTexture() override {
        return ComponentRef<ITexture>::adopt(new TestTexture());
    }
    ComponentRef<IRenderTarget> CreateRenderTarget(std::int32_t, std::int32_t) override { return nullptr; }
    ComponentRef<> CreateEffect() override { return nullptr; }

    TestGraphics graphics;
    bool lost = false;
    int begins = 0;
    int ends = 0;
};
