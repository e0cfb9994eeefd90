#pragma once
// `IAbstract`: the root of every component interface. A component is a reference-counted object
// reached only through interfaces; every interface derives virtually from IAbstract, so all
// interfaces of one object share one count and one IAbstract pointer, which is the object's
// identity (two interface pointers denote the same component exactly when their IAbstract
// pointers are equal).
//
// Ownership: a new object starts with count 1, owned by its creator. AddRef adds an owner, Release
// drops one and destroys the object when the count reaches 0. QueryInterface never adds a
// reference. Counts are plain integers: components live on the main thread only.

#include <cstdint>

#include "component/interface_id.h"

class IAbstract {
public:
    static constexpr char Name[] = "IAbstract";
    static constexpr InterfaceId ID{Name};

    // The object's pointer for the interface `id` (to be cast to that interface's type), or null
    // when the class does not expose it. Asking for IAbstract always yields the same pointer.
    virtual void* QueryInterface(InterfaceId id) = 0;
    // Adds an owner. Ignored while the count is 0 (the object is being destroyed).
    virtual void AddRef();
    // Drops an owner; destroys the object at 0. Returns the remaining count.
    virtual std::int32_t Release();

    std::int32_t refCount() const { return m_refCount; }

    // The script instance that currently represents this object (a weak pointer kept by the
    // binding layer), or null.
    void* scriptInstance() const { return m_scriptInstance; }
    void setScriptInstance(void* instance) { m_scriptInstance = instance; }

    IAbstract(const IAbstract&) = delete;
    IAbstract& operator=(const IAbstract&) = delete;

protected:
    IAbstract() = default;
    virtual ~IAbstract() = default;
    // Deletes the object; called only by Release.
    virtual void destroy();

private:
    std::int32_t m_refCount = 1;
    void* m_scriptInstance = nullptr;
};

// The interface I of any component pointer, or null (no reference added).
template <class I> I* queryInterface(IAbstract* object) {
    return object ? static_cast<I*>(object->QueryInterface(I::ID)) : nullptr;
}

// The IAbstract identity of any interface pointer, or null.
inline IAbstract* abstractOf(IAbstract* object) {
    return queryInterface<IAbstract>(object);
}

// Answers QueryInterface for a class that exposes the listed interfaces (and IAbstract):
//   void* QueryInterface(InterfaceId id) override { return queryAmong<IRenderable, IVisible>(this, id); }
// The first listed interface whose ID matches wins, so list a derived interface to answer its own
// ID and the base interfaces it extends separately when the class should answer them too.
template <class... Interfaces, class Self> void* queryAmong(Self* self, InterfaceId id) {
    void* result = nullptr;
    (void)((id == Interfaces::ID && (result = static_cast<Interfaces*>(self)) != nullptr) || ...);
    if (result == nullptr && id == IAbstract::ID) {
        result = static_cast<IAbstract*>(self);
    }
    return result;
}
