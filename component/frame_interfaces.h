#pragma once
// What a component does in a frame: update in time, draw, take input, show or hide, take over the
// keyboard. Conventions of the catalogue: component/engine_interfaces.h.

#include <cstdint>

#include "component/abstract.h"
#include "component/class_mask.h"

struct KDEvent;
class IGraphics;

// A component stepped in game time on one or more update layers (bits 1 ... 128). Update groups
// call it once per layer bit it answers, with that layer's share of the frame's game time.
class IUpdateable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IUpdateable";
    static constexpr InterfaceId ID{Name};

    // The layer bits this component is updated on (-1: every layer, 0: never).
    virtual std::int32_t GetUpdateLayer() = 0;
    // Called once when the component joins an update group, with the game time in ms, so elapsed
    // times start from there.
    virtual void Init(std::int32_t time) = 0;
    // One step of `elapsed` ms (≥ 0) on `layer` (one bit).
    virtual void Update(std::int32_t layer, std::int32_t elapsed) = 0;
};

// An updateable component with a limited life (particle emitters); its owner removes it once expired.
class IWithLifeTime : public IUpdateable {
public:
    static constexpr char Name[] = "IWithLifeTime";
    static constexpr InterfaceId ID{Name};

    // Milliseconds lived so far (the sum of the elapsed times of its updates).
    virtual std::int32_t GetLifeTime() = 0;
    // True once the component has nothing left to show; it stays expired until reset.
    virtual bool IsExpired() = 0;
};

// A component drawn by render groups, in ascending render layer (ties in insertion order).
class IRenderable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IRenderable";
    static constexpr InterfaceId ID{Name};

    // Draws into `graphics` (borrowed for the call) what matches `mask`; classificator filtering
    // is up to the class.
    virtual void Render(IGraphics* graphics, ClassMask mask) = 0;
    // Render with the all-zero mask. (A class overriding the masked form hides this one in its own
    // scope; it adds `using IRenderable::Render;` if it calls it directly.)
    void Render(IGraphics* graphics) { Render(graphics, ClassMask{}); }
    // The sort key among the members of a render group (ascending).
    virtual std::int32_t GetRenderLayer() = 0;
};

// A component offered input events; an input group asks its members in turn until one consumes
// the event.
class IInputHandler : public virtual IAbstract {
public:
    static constexpr char Name[] = "IInputHandler";
    static constexpr InterfaceId ID{Name};

    // A key or character event (KD_EVENT_INPUT); true when consumed, which ends its delivery.
    virtual bool HandleKeyEvent(const KDEvent& event) = 0;
    // A pointer event (KD_EVENT_INPUT_POINTER, UI coordinates); true when consumed.
    virtual bool HandlePointerEvent(const KDEvent& event) = 0;
};

// A component that can be hidden: a hidden component neither draws nor (for groups) lets its
// members draw.
class IVisible : public virtual IAbstract {
public:
    static constexpr char Name[] = "IVisible";
    static constexpr InterfaceId ID{Name};

    virtual void SetVisible(bool visible) = 0;
    virtual bool IsVisible() = 0;
};

// A component that can take over the keyboard (the debug console).
class IManualControl : public virtual IAbstract {
public:
    static constexpr char Name[] = "IManualControl";
    static constexpr InterfaceId ID{Name};

    // While enabled the component consumes key and character events before the game sees them.
    virtual void EnableControl(bool enabled) = 0;
    virtual bool IsControlEnabled() = 0;
};
