#pragma once
// The two engine-wide services: the system object and the resource cache.

#include "component/component_ref.h"
#include "component/group_interfaces.h"

class IDisplay;

// The root of the running game: named top-level objects (as a component group), the frame loop
// and the display it draws through.
class ISystem : public IComponentGroup {
public:
    static constexpr char Name[] = "ISystem";
    static constexpr InterfaceId ID{Name};

    // Starts the frame timer and keeps the display; false on failure.
    virtual bool Init(IDisplay* display) = 0;
    // The display given to Init, or null. Not a reference.
    virtual IDisplay* GetDisplay() = 0;
};

// The cache of loaded media by path. Each getter answers the cached object under the path or
// loads a new one; null when it cannot be loaded.
class IResourceManager : public virtual IAbstract {
public:
    static constexpr char Name[] = "IResourceManager";
    static constexpr InterfaceId ID{Name};

    virtual ComponentRef<> GetTexture(const char* path) = 0;
    virtual ComponentRef<> GetFont(const char* path) = 0;
    virtual ComponentRef<> GetEffect(const char* path) = 0;
    virtual ComponentRef<> GetMesh(const char* path) = 0;
    virtual ComponentRef<> GetSound(const char* path) = 0;
    virtual ComponentRef<> GetMusic(const char* path) = 0;
    // Drops the cache entry of the path (shutting the resource down).
    virtual void FreeResource(const char* path) = 0;
    // Drops every entry nobody else holds.
    virtual void FreeUnusedResources() = 0;
};
