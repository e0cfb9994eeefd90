#pragma once
// Factories: how a component class hands out new references. A `ComponentFactory` takes no
// arguments and returns a new reference to the IAbstract of a component (owned by the caller), or
// null.

#include <new>

#include "component/abstract.h"

using ComponentFactory = IAbstract* (*)();

// Turns the construction reference of a new object into the caller's reference to its IAbstract.
template <class T> IAbstract* handOverNew(T* object) {
    IAbstract* abstract = abstractOf(object);
    abstract->AddRef(); // the caller's reference
    object->Release();  // the construction reference
    return abstract;
}

// A new T; the caller receives its only reference. Null when the allocation fails.
template <class T> IAbstract* createComponent() {
    T* object = new (std::nothrow) T();
    return object ? handOverNew(object) : nullptr;
}

template <class T> IAbstract* createSingleInstance();

// Base of a process-wide single-instance component (Display, System, ...): remembers the live
// instance without owning it and forgets it when that instance is destroyed, so the instance lives
// while anyone holds it and a creation after its end makes a fresh one. Register the class with
// the factory createSingleInstance<T>.
template <class T> class SingleInstance {
public:
    // The live instance, or null. Not a reference: AddRef before keeping it.
    static IAbstract* liveInstance() { return s_liveAbstract; }

protected:
    SingleInstance() = default;
    ~SingleInstance() {
        if (s_liveBase == this) {
            s_liveBase = nullptr;
            s_liveAbstract = nullptr;
        }
    }

private:
    friend IAbstract* createSingleInstance<T>();

    static inline const SingleInstance* s_liveBase = nullptr;
    static inline IAbstract* s_liveAbstract = nullptr;
};

// Factory of a SingleInstance class: a new reference to the live instance, or a new instance.
template <class T> IAbstract* createSingleInstance() {
    IAbstract* live = SingleInstance<T>::s_liveAbstract;
    // An instance whose count is 0 is being destroyed: a reference to it would dangle.
    if (live != nullptr && live->refCount() > 0) {
        live->AddRef();
        return live;
    }
    T* object = new (std::nothrow) T();
    if (object == nullptr) {
        return nullptr;
    }
    SingleInstance<T>::s_liveBase = object;
    SingleInstance<T>::s_liveAbstract = handOverNew(object);
    return SingleInstance<T>::s_liveAbstract;
}

// Factory of a class shared by every caller for the rest of the run (TSPSolver): created on the
// first request and never destroyed.
template <class T> IAbstract* createSharedInstance() {
    static IAbstract* const shared = createComponent<T>();
    if (shared != nullptr) {
        shared->AddRef();
    }
    return shared;
}
