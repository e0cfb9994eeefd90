#pragma once
// `ComponentRef<T>`: a counted handle to a component through its interface T. It owns one
// reference: copying adds one, destruction or reassignment drops it. A reassignment takes the new
// reference before it drops the old one, so assigning a component to a handle that already holds
// it never lets the count touch 0.

#include <cstddef>
#include <utility>

#include "component/abstract.h"

template <class T = IAbstract> class ComponentRef {
public:
    ComponentRef() = default;
    ComponentRef(std::nullptr_t) {}
    // Shares `object`: adds a reference.
    explicit ComponentRef(T* object) : m_object(object) {
        if (m_object) {
            m_object->AddRef();
        }
    }
    ComponentRef(const ComponentRef& other) : ComponentRef(other.m_object) {}
    ComponentRef(ComponentRef&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    ~ComponentRef() {
        if (m_object) {
            m_object->Release();
        }
    }

    ComponentRef& operator=(const ComponentRef& other) {
        reset(other.m_object);
        return *this;
    }
    ComponentRef& operator=(ComponentRef&& other) noexcept {
        if (this != &other) {
            T* old = std::exchange(m_object, std::exchange(other.m_object, nullptr));
            if (old) {
                old->Release();
            }
        }
        return *this;
    }

    // Takes over a reference the caller already owns (a factory result, a moved-out entry).
    static ComponentRef adopt(T* object) {
        ComponentRef ref;
        ref.m_object = object;
        return ref;
    }

    // Shares `object` (adding its reference first) and drops the previous one.
    void reset(T* object = nullptr) {
        if (object) {
            object->AddRef();
        }
        T* old = std::exchange(m_object, object);
        if (old) {
            old->Release();
        }
    }

    // Gives up the reference without dropping it; the caller now owns it.
    [[nodiscard]] T* detach() { return std::exchange(m_object, nullptr); }

    T* get() const { return m_object; }
    T* operator->() const { return m_object; }
    T& operator*() const { return *m_object; }
    explicit operator bool() const { return m_object != nullptr; }

    // A new reference to interface I of the same component, or null when it lacks I.
    template <class I> ComponentRef<I> query() const { return ComponentRef<I>(queryInterface<I>(m_object)); }

    friend bool operator==(const ComponentRef& a, const ComponentRef& b) { return a.m_object == b.m_object; }
    friend bool operator==(const ComponentRef& a, std::nullptr_t) { return a.m_object == nullptr; }

private:
    T* m_object = nullptr;
};
