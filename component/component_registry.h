#pragma once
// `ComponentRegistry`: creates components by class name. Keyed by class identity (the address of
// the class-name constant, component/class_names.h) with a binary search; by text with a linear
// scan, used only by the script function that creates components from a name.
//
// The engine's registry lists its 36 classes in a fixed order at first use. The classes live in
// layers above this one, so each is listed with a placeholder that creates nothing until the layer
// implementing it calls provideFactory at start-up.

#include <span>
#include <string_view>
#include <vector>

#include "component/component_factory.h"
#include "component/component_ref.h"
#include "component/interface_id.h"

class ComponentRegistry {
public:
    // An empty registry; the engine uses instance().
    ComponentRegistry() = default;

    // The process-wide registry, holding the engine's classes (registerEngineClasses).
    static ComponentRegistry& instance();

    // Adds a class. A second registration of an identity is ignored (false); the first factory
    // stays. A null factory lists the class without making anything.
    bool registerClass(ClassId name, ComponentFactory factory);
    // Sets the factory of a class already listed (the layer implementing it calls this at
    // start-up). False, with no change, when the identity is not listed.
    bool provideFactory(ClassId name, ComponentFactory factory);

    // A new component of the class, or null for an unknown class or one without a factory.
    ComponentRef<> create(ClassId name) const;
    // The same by text: the first listed class whose name has exactly these bytes.
    ComponentRef<> createByName(std::string_view name) const;
    // Whether the identity is listed.
    bool contains(ClassId name) const;
    // Every listed class in registration order. (Ordering by name address would change from one
    // build to the next; registration order keeps scripts and tests reproducible.)
    std::span<const ClassId> names() const { return m_order; }

private:
    struct Entry {
        ClassId name;
        ComponentFactory factory;
    };
    const Entry* find(ClassId name) const;

    std::vector<Entry> m_byIdentity; // sorted by the address of the name
    std::vector<ClassId> m_order;    // registration order
};

// Lists the engine's 36 classes in their fixed order (Display ... RoadCellsRenderer), each with a
// placeholder factory that creates nothing.
void registerEngineClasses(ComponentRegistry& registry);
