#include "objects/resource_manager.h"

#include <string>

#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/media_interfaces.h"
#include "component/stream_interfaces.h"
#include "objects/system.h"
#include "platform/kd.h"

namespace {

constexpr char kTag[] = "ResourceManager";

// The display of the live system object, or null.
IDisplay* systemDisplay() {
    auto* system = queryInterface<ISystem>(System::liveInstance());
    return system != nullptr ? system->GetDisplay() : nullptr;
}

ComponentRef<ISoundDriver> soundDriver() {
    return ComponentRegistry::instance().create(classId(ClassName::SoundDriver)).query<ISoundDriver>();
}

} // namespace

const MethodTable& ResourceManager::scriptMethods() {
    static const MethodTable table{
        scriptMethod<ResourceManager>("GetTexture", &ResourceManager::GetTexture),
        scriptMethod<ResourceManager>("GetFont", &ResourceManager::GetFont),
        scriptMethod<ResourceManager>("GetEffect", &ResourceManager::GetEffect),
        scriptMethod<ResourceManager>("GetMesh", &ResourceManager::GetMesh),
        scriptMethod<ResourceManager>("GetSound", &ResourceManager::GetSound),
        scriptMethod<ResourceManager>("GetMusic", &ResourceManager::GetMusic),
        scriptMethod<ResourceManager>("FreeResource", &ResourceManager::FreeResource),
        scriptMethod<ResourceManager>("FreeUnusedResources", &ResourceManager::FreeUnusedResources),
    };
    return table;
}

template <class Make> ComponentRef<> ResourceManager::fetch(const char* path, Make make) {
    if (path == nullptr) {
        return nullptr;
    }
    if (ComponentRef<> cached = GetObject(path)) {
        return cached;
    }
    ComponentRef<> made = make();
    ILoadable* loadable = queryInterface<ILoadable>(made.get());
    if (loadable == nullptr) {
        logError(kTag, "Isn't loadable: %s", path);
        return nullptr;
    }
    if (!loadable->LoadFromFile(path)) {
        logError(kTag, "Can't load: %s", path);
        return nullptr;
    }
    RegisterObject(path, made.get());
    return made;
}

ComponentRef<> ResourceManager::GetTexture(const char* path) {
    return fetch(path, [] {
        IDisplay* display = systemDisplay();
        return display != nullptr ? ComponentRef<>(abstractOf(display->CreateTexture().get())) : nullptr;
    });
}

ComponentRef<> ResourceManager::GetFont(const char* path) {
    return fetch(path, [] { return ComponentRegistry::instance().create(classId(ClassName::Font)); });
}

ComponentRef<> ResourceManager::GetEffect(const char* path) {
    return fetch(path, [] {
        IDisplay* display = systemDisplay();
        return display != nullptr ? display->CreateEffect() : nullptr;
    });
}

ComponentRef<> ResourceManager::GetMesh(const char* path) {
    return fetch(path, [] { return ComponentRegistry::instance().create(classId(ClassName::Mesh)); });
}

ComponentRef<> ResourceManager::GetSound(const char* path) {
    return fetch(path, [] {
        ComponentRef<ISoundDriver> driver = soundDriver();
        return driver ? ComponentRef<>(abstractOf(driver->CreateSound().get())) : nullptr;
    });
}

ComponentRef<> ResourceManager::GetMusic(const char* path) {
    return fetch(path, [] {
        ComponentRef<ISoundDriver> driver = soundDriver();
        return driver ? ComponentRef<>(abstractOf(driver->CreateMusic().get())) : nullptr;
    });
}

void ResourceManager::FreeResource(const char* path) {
    if (path == nullptr) {
        return;
    }
    ComponentRef<> removed = UnregisterObject(path);
    if (auto* shutdownable = queryInterface<IShutdownable>(removed.get())) {
        shutdownable->Shutdown();
        logPlain(kTag, "Unloaded %s", path);
    }
}

void ResourceManager::FreeUnusedResources() {
    ClearCache();
    std::string identifier; // copied: the entry goes away with its text
    for (std::size_t i = 0; i < GetObjectMap().size();) {
        const GroupEntry& entry = GetObjectMap()[i];
        IAbstract* resource = entry.component.get();
        resource->AddRef();
        if (resource->Release() != 1) {
            ++i;
            continue;
        }
        identifier = entry.identifier;
        logPlain(kTag, "FreeUnusedResources: %s deleted", identifier.c_str());
        UnregisterObject(identifier);
    }
}
