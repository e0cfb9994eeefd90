#include "component/component_registry.h"

#include <algorithm>

#include "component/class_names.h"

ComponentRegistry& ComponentRegistry::instance() {
    static ComponentRegistry registry = [] {
        ComponentRegistry engine;
        registerEngineClasses(engine);
        return engine;
    }();
    return registry;
}

bool ComponentRegistry::registerClass(ClassId name, ComponentFactory factory) {
    if (!name) {
        return false;
    }
    auto at = std::lower_bound(m_byIdentity.begin(), m_byIdentity.end(), name,
                               [](const Entry& entry, ClassId key) { return entry.name < key; });
    if (at != m_byIdentity.end() && at->name == name) {
        return false;
    }
    m_byIdentity.insert(at, Entry{name, factory});
    m_order.push_back(name);
    return true;
}

bool ComponentRegistry::provideFactory(ClassId name, ComponentFactory factory) {
    auto at = std::lower_bound(m_byIdentity.begin(), m_byIdentity.end(), name,
                               [](const Entry& entry, ClassId key) { return entry.name < key; });
    if (at == m_byIdentity.end() || !(at->name == name)) {
        return false;
    }
    at->factory = factory;
    return true;
}

const ComponentRegistry::Entry* ComponentRegistry::find(ClassId name) const {
    auto at = std::lower_bound(m_byIdentity.begin(), m_byIdentity.end(), name,
                               [](const Entry& entry, ClassId key) { return entry.name < key; });
    return (at != m_byIdentity.end() && at->name == name) ? &*at : nullptr;
}

ComponentRef<> ComponentRegistry::create(ClassId name) const {
    const Entry* entry = find(name);
    if (entry == nullptr || entry->factory == nullptr) {
        return nullptr;
    }
    return ComponentRef<>::adopt(entry->factory());
}

ComponentRef<> ComponentRegistry::createByName(std::string_view name) const {
    for (ClassId id : m_order) {
        if (name == id.name()) {
            return create(id);
        }
    }
    return nullptr;
}

bool ComponentRegistry::contains(ClassId name) const {
    return find(name) != nullptr;
}

void registerEngineClasses(ComponentRegistry& registry) {
    static constexpr const char* engineClasses[] = {
        ClassName::Display,
        ClassName::SoundDriver,
        ClassName::System,
        ClassName::Console,
        ClassName::Font,
        ClassName::Layer,
        ClassName::UpdateGroup,
        ClassName::RenderGroup,
        ClassName::InputGroup,
        ClassName::ResourceManager,
        ClassName::CompoundObject,
        ClassName::File,
        ClassName::Scene,
        ClassName::Blob,
        ClassName::Camera,
        ClassName::ScriptedObject,
        ClassName::GameLevel,
        ClassName::GameObject,
        ClassName::TileManager,
        ClassName::TileAnimationData,
        ClassName::TileLayer,
        ClassName::TileObject,
        ClassName::PassMap,
        ClassName::GridRouter,
        ClassName::TerrainBuilder,
        ClassName::RoadRenderer,
        ClassName::TileAnimation,
        ClassName::BuildingBuilder,
        ClassName::Route,
        ClassName::TransportMover,
        ClassName::GridRectRenderer,
        ClassName::ObjectWatcher,
        ClassName::ClassificatedRenderer,
        ClassName::TSPSolver,
        ClassName::GroupRenderer,
        ClassName::RoadCellsRenderer,
    };
    static_assert(std::size(engineClasses) == 36);
    for (const char* name : engineClasses) {
        registry.registerClass(classId(name), nullptr);
    }
}
