#pragma once
// `System`: the root of the running game, one per process. It owns the default camera, the resource
// manager and the three top-level groups (update, render, input), keeps the named top-level objects, and
// drives the game: once initialised with the display, an 8 ms platform timer makes it tick, and each tick
// advances game time layer by layer (UpdateFrame) and draws one frame (RenderFrame).
//
// Game time: each tick measures the time since the last one, clamped to 0 ... 100 ms (a debugger stop or a
// window drag never turns into a jump), scales it by the update speed and steps every update layer bit
// 1 ... 128 in that order. A layer's steps are at most its limit (10 ms for layer 4, 50 ms for layer 64,
// unlimited for the others), so a tick of 35 ms updates layer 4 with 10, 10, 10 and 5 ms; every layer is
// called at least once per tick, with 0 ms when no time passed. A scaled tick is capped at 100 s of game
// time, so a huge update speed cannot stall the loop in millions of small steps.
//
// Named objects: RegisterObject stores an object under a name (logging "Object %s already exists" for a
// taken name) and adds it to the update, render and input groups, each of which keeps it only when it has
// that group's interface; UnregisterObject takes it out again ("Object %s not found"). Tag "System".

#include <array>
#include <cstdint>
#include <string_view>

#include "binding/binding_method_table.h"
#include "component/component_factory.h"
#include "component/component_group.h"
#include "component/engine_interfaces.h"
#include "component/frame_interfaces.h"
#include "component/object_interfaces.h"
#include "component/script_interfaces.h"
#include "platform/kd.h"

class ComponentRegistry;

class System final : public ComponentGroupBase<ISystem>,
                     public IRenderable,
                     public IInputHandler,
                     public IScriptObject,
                     public SingleInstance<System> {
public:
    static constexpr char ScriptTypeName[] = "System";
    // RegisterObject, UnregisterObject, GetObject, GetCamera, SetCamera, UpdateFrame, RenderFrame,
    // MakeGameTick, GetUpdateSpeed, SetUpdateSpeed, ResetTime, GetTime.
    static const MethodTable& scriptMethods();

    // The timer period.
    static constexpr KDint64 kFramePeriod = 8'000'000;
    // The largest elapsed time one tick takes into account, in ms.
    static constexpr std::int64_t kMaxElapsed = 100;

    System();
    ~System() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<ISystem, IComponentGroup, IShutdownable, IRenderable, IInputHandler, IScriptObject>(
            this, id);
    }

    // ISystem: keeps the display, starts the frame timer, reads Settings.ClearColor. False when the timer
    // cannot be started.
    bool Init(IDisplay* display) override;
    IDisplay* GetDisplay() override { return m_display.get(); }
    // Stops the timer, forgets the named objects, empties the groups and releases everything it holds.
    void Shutdown() override;
    bool RegisterObject(std::string_view name, IAbstract* object) override;
    ComponentRef<> UnregisterObject(std::string_view name) override;

    // IRenderable: the render group.
    void Render(IGraphics* graphics, ClassMask mask) override;
    std::int32_t GetRenderLayer() override { return 0; }
    // IInputHandler: the input group's answer (the display forwards its key and pointer events here).
    bool HandleKeyEvent(const KDEvent& event) override;
    bool HandlePointerEvent(const KDEvent& event) override;

    bool GetMember(const char* name, ScriptValue& value) override {
        return scriptMethods().find(name, value);
    }
    bool SetMember(const char*, const ScriptValue&) override { return false; }
    const char* GetTypeName() override { return ScriptTypeName; }

    // Frame loop.
    void UpdateFrame() { updateFrameAt(kdGetTimeUST()); }
    // UpdateFrame as if the clock read `now` (ns); the clock-free core that tests drive.
    void updateFrameAt(KDust now);
    void RenderFrame();
    void MakeGameTick();
    void ResetTime() { m_lastTick = kdGetTimeUST(); }
    // Sets the last tick time (ns) directly.
    void resetTimeAt(KDust now) { m_lastTick = now; }
    // The game time in ms as scripts see it: the low 32 bits of the running count, so it wraps from
    // 2^31 - 1 to -2^31 (after about 25 days at speed 1, within minutes at the largest speeds).
    std::int32_t GetTime() const { return static_cast<std::int32_t>(static_cast<std::uint32_t>(m_gameTime)); }
    float GetUpdateSpeed() const { return m_updateSpeed; }
    void SetUpdateSpeed(float speed) { m_updateSpeed = speed; }

    // The current camera (never null before Shutdown).
    ICamera* GetCamera() { return m_camera.get(); }
    // Null, or a component without ICamera, restores the default camera.
    void SetCamera(IAbstract* camera);
    IResourceManager* GetResourceManager() { return m_resources.get(); }
    IAbstract* updateGroup() { return m_updateGroup.get(); }
    IAbstract* renderGroup() { return m_renderGroup.get(); }
    IAbstract* inputGroup() { return m_inputGroup.get(); }
    std::uint32_t clearColor() const { return m_clearColor; }

    // Script forms of the named-object methods.
    void registerFromScript(const char* name, IAbstract* object) { RegisterObject(name, object); }
    ComponentRef<> unregisterFromScript(const char* name) { return UnregisterObject(name); }
    ComponentRef<> getFromScript(const char* name) { return GetObject(name); }

    // The process-wide live instance, or null (not a reference).
    static System* live();

private:
    static void onTimer(const KDEvent* event);

    ComponentRef<IDisplay> m_display;
    ComponentRef<IResourceManager> m_resources;
    ComponentRef<ICamera> m_defaultCamera;
    ComponentRef<ICamera> m_camera;
    ComponentRef<IFunctionalGroup> m_renderGroup;
    ComponentRef<IFunctionalGroup> m_updateGroup;
    ComponentRef<IFunctionalGroup> m_inputGroup;
    KDTimer* m_timer = nullptr;
    float m_updateSpeed = 1.0f;
    // Counted modulo 2^64 (negative speeds count down), so no sum ever overflows.
    std::uint64_t m_gameTime = 0;
    KDust m_lastTick = 0;
    std::uint32_t m_clearColor = 0xFF000000u;
    std::array<std::int32_t, 8> m_maxStep;
};

// Installs the factories of the object-model classes in the registry: CompoundObject, ScriptedObject,
// UpdateGroup, RenderGroup, InputGroup, Scene and Camera (a new object each), ResourceManager and System
// (the live instance).
void registerObjectModelClasses(ComponentRegistry& registry);

class ScriptApi;
// Hands the script host this layer's globals: getTime (the System object's game time in milliseconds, 0
// before a System exists) and the update-layer constants UPDATE_LAYER_SYSTEM 1, UPDATE_LAYER_MOVEMENT 2,
// UPDATE_LAYER_DYNAMICS 4, UPDATE_LAYER_EFFECTS 64 and the end marker UPDATE_LAYER_MAX 256.
void registerObjectModelScriptApi(ScriptApi& api);
