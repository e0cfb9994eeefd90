#include "objects/system.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/media_interfaces.h"
#include "objects/camera.h"
#include "objects/compound_object.h"
#include "objects/input_group.h"
#include "objects/render_group.h"
#include "objects/resource_manager.h"
#include "objects/scene.h"
#include "objects/scripted_object.h"
#include "objects/update_group.h"
#include "script/script_host.h"

namespace {

constexpr char kTag[] = "System";
// Fully transparent white: frames are not cleared.
constexpr std::uint32_t kNoClear = 0x00FFFFFFu;
// The most game time one tick may advance, in ms.
constexpr std::int64_t kMaxScaledTick = 100'000;

template <class I, class T> ComponentRef<I> makeOwned() {
    auto object = ComponentRef<T>::adopt(new T());
    return ComponentRef<I>(static_cast<I*>(object.get()));
}

} // namespace

const MethodTable& System::scriptMethods() {
    static const MethodTable table{
        scriptMethod<System>("RegisterObject", &System::registerFromScript),
        scriptMethod<System>("UnregisterObject", &System::unregisterFromScript),
        scriptMethod<System>("GetObject", &System::getFromScript),
        scriptMethod<System>("GetCamera", &System::GetCamera),
        scriptMethod<System>("SetCamera", &System::SetCamera),
        scriptMethod<System>("UpdateFrame", &System::UpdateFrame),
        scriptMethod<System>("RenderFrame", &System::RenderFrame),
        scriptMethod<System>("MakeGameTick", &System::MakeGameTick),
        scriptMethod<System>("GetUpdateSpeed", &System::GetUpdateSpeed),
        scriptMethod<System>("SetUpdateSpeed", &System::SetUpdateSpeed),
        scriptMethod<System>("ResetTime", &System::ResetTime),
        scriptMethod<System>("GetTime", &System::GetTime),
    };
    return table;
}

System::System() : m_lastTick(kdGetTimeUST()) {
    m_maxStep.fill(std::numeric_limits<std::int32_t>::max());
    m_maxStep[2] = 10; // layer 4, dynamics: small steps keep it stable
    m_maxStep[6] = 50; // layer 64, effects
    m_resources.reset(queryInterface<IResourceManager>(
        ComponentRef<>::adopt(createSingleInstance<ResourceManager>()).get()));
    m_defaultCamera = makeOwned<ICamera, Camera>();
    m_camera = m_defaultCamera;
    m_renderGroup = makeOwned<IFunctionalGroup, RenderGroup>();
    m_updateGroup = makeOwned<IFunctionalGroup, UpdateGroup>();
    m_inputGroup = makeOwned<IFunctionalGroup, InputGroup>();
    queryInterface<IUpdateable>(m_updateGroup.get())->Init(0);
}

System::~System() {
    if (m_timer != nullptr) {
        kdCancelTimer(m_timer);
        kdInstallCallback(nullptr, KD_EVENT_TIMER, this);
    }
}

System* System::live() {
    return dynamic_cast<System*>(liveInstance());
}

bool System::Init(IDisplay* display) {
    m_display.reset(display);
    if (m_timer == nullptr) {
        m_timer = kdSetTimer(kFramePeriod, this);
        if (m_timer == nullptr) {
            logError(kTag, "the frame timer could not be started");
            return false;
        }
        kdInstallCallback(&System::onTimer, KD_EVENT_TIMER, this);
    }
    ScriptValue settings = ScriptHost::getSlot(ScriptHost::root(), "Settings");
    if (settings.hasSlots() && !ScriptHost::getSlot(settings, "ClearColor").isNull()) {
        m_clearColor = static_cast<std::uint32_t>(ScriptHost::getInt(settings, "ClearColor"));
    }
    m_lastTick = kdGetTimeUST();
    return true;
}

void System::onTimer(const KDEvent*) {
    if (System* system = live()) {
        ComponentRef<> hold(abstractOf(system)); // a script may drop the last owner during the tick
        system->MakeGameTick();
    }
}

void System::Shutdown() {
    ComponentRef<> self(abstractOf(this));
    if (m_timer != nullptr) {
        kdCancelTimer(m_timer);
        m_timer = nullptr;
        // The entry's user pointer is this object, which may go away before the event system does.
        kdInstallCallback(nullptr, KD_EVENT_TIMER, this);
    }
    ComponentGroupBase<ISystem>::Shutdown();
    for (ComponentRef<IFunctionalGroup>* group : {&m_renderGroup, &m_updateGroup, &m_inputGroup}) {
        if (*group) {
            (*group)->Clear();
        }
    }
    m_renderGroup.reset();
    m_updateGroup.reset();
    m_inputGroup.reset();
    m_resources.reset();
    m_display.reset();
    m_camera.reset();
    m_defaultCamera.reset();
}

void System::updateFrameAt(KDust now) {
    const std::int64_t elapsed = std::clamp<std::int64_t>(
        (static_cast<std::int64_t>(now) - static_cast<std::int64_t>(m_lastTick)) / 1'000'000, 0, kMaxElapsed);
    const double scaled = static_cast<double>(m_updateSpeed) * static_cast<double>(elapsed);
    // Truncated toward zero; NaN counts as no time, and one tick never exceeds the cap either way.
    const auto d =
        std::isnan(scaled)
            ? 0
            : static_cast<std::int32_t>(std::clamp<double>(scaled, -kMaxScaledTick, kMaxScaledTick));
    m_gameTime += static_cast<std::uint64_t>(static_cast<std::int64_t>(d));
    m_lastTick = now;

    ComponentRef<IFunctionalGroup> group = m_updateGroup; // a script may shut the system down meanwhile
    auto* updateable = queryInterface<IUpdateable>(group.get());
    if (updateable == nullptr) {
        return;
    }
    for (std::size_t bit = 0; bit < m_maxStep.size(); ++bit) {
        const auto layer = static_cast<std::int32_t>(1u << bit);
        std::int32_t remaining = d;
        do {
            const std::int32_t step = std::min(remaining, m_maxStep[bit]);
            updateable->Update(layer, step);
            remaining -= step;
        } while (remaining > 0);
    }
}

void System::RenderFrame() {
    ComponentRef<IDisplay> display = m_display;
    ComponentRef<ICamera> camera = m_camera;
    if (!display) {
        return;
    }
    IGraphics* graphics = display->Begin(camera.get());
    if (graphics == nullptr) {
        return; // device lost or minimised: the frame is skipped
    }
    if (m_clearColor != kNoClear) {
        graphics->Clear(m_clearColor);
    }
    Render(graphics, ClassMask{});
    display->End();
}

void System::MakeGameTick() {
    ComponentRef<> self(abstractOf(this));
    UpdateFrame();
    RenderFrame();
}

void System::SetCamera(IAbstract* camera) {
    ICamera* chosen = queryInterface<ICamera>(camera);
    m_camera.reset(chosen != nullptr ? chosen : m_defaultCamera.get());
}

bool System::RegisterObject(std::string_view name, IAbstract* object) {
    const int length = static_cast<int>(name.size());
    if (GetObject(name)) {
        logError(kTag, "Object %.*s already exists", length, name.data());
        return false;
    }
    if (object == nullptr) {
        return false;
    }
    ComponentRef<> held(abstractOf(object));
    if (!ComponentGroupBase<ISystem>::RegisterObject(name, object)) {
        return false;
    }
    if (auto* identifiable = queryInterface<IIdentifiable>(object)) {
        identifiable->SetIdentificator(name);
    }
    for (ComponentRef<IFunctionalGroup> group : {m_updateGroup, m_renderGroup, m_inputGroup}) {
        if (group) {
            group->Add(held.get());
        }
    }
    return true;
}

ComponentRef<> System::UnregisterObject(std::string_view name) {
    ComponentRef<> removed = ComponentGroupBase<ISystem>::UnregisterObject(name);
    if (!removed) {
        logError(kTag, "Object %.*s not found", static_cast<int>(name.size()), name.data());
        return nullptr;
    }
    for (ComponentRef<IFunctionalGroup> group : {m_updateGroup, m_renderGroup, m_inputGroup}) {
        if (group) {
            group->Remove(removed.get());
        }
    }
    return removed;
}

void System::Render(IGraphics* graphics, ClassMask mask) {
    ComponentRef<IFunctionalGroup> group = m_renderGroup;
    if (auto* renderable = queryInterface<IRenderable>(group.get())) {
        renderable->Render(graphics, mask);
    }
}

bool System::HandleKeyEvent(const KDEvent& event) {
    ComponentRef<IFunctionalGroup> group = m_inputGroup;
    auto* handler = queryInterface<IInputHandler>(group.get());
    return handler != nullptr && handler->HandleKeyEvent(event);
}

bool System::HandlePointerEvent(const KDEvent& event) {
    ComponentRef<IFunctionalGroup> group = m_inputGroup;
    auto* handler = queryInterface<IInputHandler>(group.get());
    return handler != nullptr && handler->HandlePointerEvent(event);
}

void registerObjectModelClasses(ComponentRegistry& registry) {
    registry.provideFactory(classId(ClassName::UpdateGroup), &createComponent<UpdateGroup>);
    registry.provideFactory(classId(ClassName::RenderGroup), &createComponent<RenderGroup>);
    registry.provideFactory(classId(ClassName::InputGroup), &createComponent<InputGroup>);
    registry.provideFactory(classId(ClassName::ResourceManager), &createSingleInstance<ResourceManager>);
    registry.provideFactory(classId(ClassName::CompoundObject), &createComponent<CompoundObject>);
    registry.provideFactory(classId(ClassName::Scene), &createComponent<Scene>);
    registry.provideFactory(classId(ClassName::Camera), &createComponent<Camera>);
    registry.provideFactory(classId(ClassName::ScriptedObject), &createComponent<ScriptedObject>);
    registry.provideFactory(classId(ClassName::System), &createSingleInstance<System>);
}
