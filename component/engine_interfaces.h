#pragma once
// The two engine-wide services: the system object and the resource cache.
//
// Conventions of the interface catalogue (every `*_interfaces.h` of this folder):
// - A result of type `ComponentRef<...>` is a new reference that the caller owns; a plain pointer
//   result is borrowed: it stays valid while its owner holds it and the caller must AddRef it to
//   keep it longer. Arguments passed as plain pointers are borrowed for the call; an operation that
//   keeps one takes its own reference.
// - No operation throws. Each states its neutral result on failure (false, null, -1, 0, an empty
//   list, or "nothing happens"); the implementation logs why, the caller decides what to do.
// - Components live on the main thread only.

#include "component/component_ref.h"
#include "component/group_interfaces.h"

class IDisplay;

// The root of the running game: named top-level objects (as a component group), the frame loop
// and the display it draws through.
class ISystem : public IComponentGroup {
public:
    static constexpr char Name[] = "ISystem";
    static constexpr InterfaceId ID{Name};

    // Keeps a reference to the display (null draws nothing), starts the 8 ms frame timer once and
    // reads the clear colour from the root table's `Settings`. False when the timer cannot be started.
    virtual bool Init(IDisplay* display) = 0;
    // The display given to Init, or null before Init. Not a reference.
    virtual IDisplay* GetDisplay() = 0;
};

// The cache of loaded media by path. Each getter answers a new reference to the object cached
// under the path, or loads, caches and answers a new one; null (nothing cached, a log line) when
// the file is missing or cannot be decoded. Paths resolve through the resource tree (language
// folders, loose files, mounted archives).
class IResourceManager : public virtual IAbstract {
public:
    static constexpr char Name[] = "IResourceManager";
    static constexpr InterfaceId ID{Name};

    // A `Texture` from an image file (PNG, JPEG, TGA, PVR, NTF).
    virtual ComponentRef<> GetTexture(const char* path) = 0;
    // A bitmap `Font`.
    virtual ComponentRef<> GetFont(const char* path) = 0;
    // A particle `Effect`.
    virtual ComponentRef<> GetEffect(const char* path) = 0;
    // A mesh: no class makes meshes, so always null.
    virtual ComponentRef<> GetMesh(const char* path) = 0;
    // A `Sound`, decoded into memory.
    virtual ComponentRef<> GetSound(const char* path) = 0;
    // A `Music`, streamed while it plays.
    virtual ComponentRef<> GetMusic(const char* path) = 0;
    // Drops the cache entry of the path, shutting the resource down; holders keep a live but empty
    // object. Nothing happens for a path not in the cache.
    virtual void FreeResource(const char* path) = 0;
    // Drops every entry whose only holder is the cache.
    virtual void FreeUnusedResources() = 0;
};
