#pragma once
// What a component does in a frame: update in time, draw, take input, show or hide.

#include <cstdint>

#include "component/abstract.h"
#include "component/class_mask.h"

struct KDEvent;
class IGraphics;

// A component stepped in game time on one or more update layers (bits 1 ... 128).
class IUpdateable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IUpdateable";
    static constexpr InterfaceId ID{Name};

    // The layer bits this component is updated on (-1: every layer).
    virtual std::int32_t GetUpdateLayer() = 0;
    // Called once when the component joins an update group, with the game time in ms.
    virtual void Init(std::int32_t time) = 0;
    // One step of `elapsed` ms on `layer`.
    virtual void Update(std::int32_t layer, std::int32_t elapsed) = 0;
};

// An updateable component with a limited life (particle emitters).
class IWithLifeTime : public IUpdateable {
public:
    static constexpr char Name[] = "IWithLifeTime";
    static constexpr InterfaceId ID{Name};

    // Milliseconds lived so far.
    virtual std::int32_t GetLifeTime() = 0;
    virtual bool IsExpired() = 0;
};

// A component drawn by render groups, in ascending render layer.
class IRenderable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IRenderable";
    static constexpr InterfaceId ID{Name};

    // Draws what matches `mask` (classificator filtering is up to the class).
    virtual void Render(IGraphics* graphics, ClassMask mask) = 0;
    // Render with the all-zero mask. (A class overriding the masked form hides this one in its own
    // scope; it adds `using IRenderable::Render;` if it calls it directly.)
    void Render(IGraphics* graphics) { Render(graphics, ClassMask{}); }
    virtual std::int32_t GetRenderLayer() = 0;
};

// A component offered input events until one consumes them.
class IInputHandler : public virtual IAbstract {
public:
    static constexpr char Name[] = "IInputHandler";
    static constexpr InterfaceId ID{Name};

    // A key or character event (KD_EVENT_INPUT); true when consumed.
    virtual bool HandleKeyEvent(const KDEvent& event) = 0;
    // A pointer event (KD_EVENT_INPUT_POINTER); true when consumed.
    virtual bool HandlePointerEvent(const KDEvent& event) = 0;
};

// A component that can be hidden.
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

    virtual void EnableControl(bool enabled) = 0;
    virtual bool IsControlEnabled() = 0;
};
