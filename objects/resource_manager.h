#pragma once
// `ResourceManager`: the one cache of loaded media, keyed by path (compared byte-wise, exactly as given).
// A request answers the cached object under the path, whatever kind it is, or makes a new object of the
// requested kind, loads it from the file and keeps it. A failed load is not remembered: the next request
// tries again. Entries live until FreeResource, a FreeUnusedResources sweep that finds nobody else holding
// them, or Shutdown. One instance per process.
//
// Where new objects come from: textures and effects from the system object's display, fonts by class name,
// sounds and music from the sound driver; meshes have no class, so a mesh request always fails.
// Messages carry the tag "ResourceManager".

#include "binding/binding_method_table.h"
#include "component/component_factory.h"
#include "component/component_group.h"
#include "component/engine_interfaces.h"
#include "component/script_interfaces.h"

class ResourceManager final : public ComponentGroupBase<>,
                              public IResourceManager,
                              public IScriptObject,
                              public SingleInstance<ResourceManager> {
public:
    static constexpr char ScriptTypeName[] = "ResourceManager";
    // GetTexture, GetFont, GetEffect, GetMesh, GetSound, GetMusic, FreeResource, FreeUnusedResources.
    static const MethodTable& scriptMethods();

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IResourceManager, IScriptObject, IComponentGroup, IShutdownable>(this, id);
    }

    // No script object: only the native methods.
    bool GetMember(const char* name, ScriptValue& value) override {
        return scriptMethods().find(name, value);
    }
    bool SetMember(const char*, const ScriptValue&) override { return false; }
    const char* GetTypeName() override { return ScriptTypeName; }

    ComponentRef<> GetTexture(const char* path) override;
    ComponentRef<> GetFont(const char* path) override;
    ComponentRef<> GetEffect(const char* path) override;
    ComponentRef<> GetMesh(const char* path) override;
    ComponentRef<> GetSound(const char* path) override;
    ComponentRef<> GetMusic(const char* path) override;
    // Removes the entry; a removed resource with IShutdownable is shut down ("Unloaded %s").
    void FreeResource(const char* path) override;
    // Removes, in path order, every entry only the cache holds ("FreeUnusedResources: %s deleted").
    void FreeUnusedResources() override;

private:
    // The cached entry, or `make()` loaded from the path and cached.
    template <class Make> ComponentRef<> fetch(const char* path, Make make);
};
