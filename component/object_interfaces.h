#pragma once
// Properties of a placed object: identifier, classificators, position, bounds, animation state,
// and the camera that views the world. Conventions of the catalogue: component/engine_interfaces.h.

#include <cstdint>
#include <string_view>

#include "component/class_mask.h"
#include "component/component_ref.h"
#include "math/matrix3.h"
#include "math/matrix4.h"
#include "math/rect.h"
#include "math/rect_f.h"

class IGraphics;
struct TileAnimationMap;

// A component with a text identifier.
class IIdentifiable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IIdentifiable";
    static constexpr InterfaceId ID{Name};

    // The identifier ("" when none); owned by the component, valid until it changes.
    virtual const char* GetIdentificator() = 0;
    // Replaces the identifier (a compound object passes it on to its parts).
    virtual void SetIdentificator(std::string_view identifier) = 0;
};

// A component carrying a 32-bit classificator mask (matched by ClassMask).
class IClassifiable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IClassifiable";
    static constexpr InterfaceId ID{Name};

    // ORs the bits in (a compound object does the same to its parts).
    virtual void AddClassificator(std::uint32_t bits) = 0;
    // Clears the bits.
    virtual void RemoveClassificator(std::uint32_t bits) = 0;
    // The mask; 0 for a new component.
    virtual std::uint32_t GetClassificators() = 0;
};

// A component placed by a 2D transform (X axis, Y axis, origin rows).
class IPositionable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IPositionable";
    static constexpr InterfaceId ID{Name};

    // Replaces the transform (taken as given, not normalised).
    virtual void SetPosition(const Matrix3& position) = 0;
    // The transform; identity for a new component.
    virtual Matrix3 GetPosition() = 0;
};

// A component placed by a 3D transform as well (exposed by no engine class).
class IPositionable3D : public IPositionable {
public:
    static constexpr char Name[] = "IPositionable3D";
    static constexpr InterfaceId ID{Name};

    // Replaces the 3D transform.
    virtual void SetPosition3D(const Matrix4& position) = 0;
    // The 3D transform.
    virtual Matrix4 GetPosition3D() = 0;
};

// A component that follows another component's position.
class IPositionableUser : public virtual IAbstract {
public:
    static constexpr char Name[] = "IPositionableUser";
    static constexpr InterfaceId ID{Name};

    // Follows the IPositionable of `positionable` (a reference is kept); null or a component without
    // IPositionable detaches.
    virtual void SetPositionable(IAbstract* positionable) = 0;
};

// A component that knows the world rectangle it covers.
class IBoundingInfo : public virtual IAbstract {
public:
    static constexpr char Name[] = "IBoundingInfo";
    static constexpr InterfaceId ID{Name};

    // The world rectangle the component covers (a class may narrow it by `mask`; tile objects don't).
    virtual RectF GetBoundingRect(ClassMask mask) = 0;
};

// A component answering animation-state questions by state name.
class IStateProvider : public virtual IAbstract {
public:
    static constexpr char Name[] = "IStateProvider";
    static constexpr InterfaceId ID{Name};

    // How strongly the state applies (0 ... 1); 0 for an unknown state.
    virtual float GetStateWeight(const char* state) = 0;
    // How far the state has run (0 ... 1); 0 for an unknown state.
    virtual float GetStatePhase(const char* state) = 0;
};

// A component playing named animations.
class IAnimateable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IAnimateable";
    static constexpr InterfaceId ID{Name};

    // Starts the animation `name` at `phase`; false when there is no such animation.
    virtual bool SetAnimation(const char* name, float phase) = 0;
    // The animation map of the animation data, or null without data. Owned by the data.
    virtual const TileAnimationMap* GetAnimations() = 0;
};

// A component that drives another one.
class IObjectControl : public virtual IAbstract {
public:
    static constexpr char Name[] = "IObjectControl";
    static constexpr InterfaceId ID{Name};

    // Drives `slave` from now on (a reference is kept); null, or a component of a kind the class
    // cannot drive, stops driving.
    virtual void SetSlaveObject(IAbstract* slave) = 0;
};

// The view onto the world: world, screen and UI coordinate systems and the matrices between them.
class ICamera : public IPositionable {
public:
    static constexpr char Name[] = "ICamera";
    static constexpr InterfaceId ID{Name};

    // Recomputes the six matrices for a render target rectangle (pixels) and sets the graphics
    // transform to world-to-screen.
    virtual void Apply(IGraphics* graphics, const Rect& target) = 0;
    // The matrices of the last Apply (identity before the first). World: the game's units; screen:
    // pixels of the render target; UI: pointer pixels of the window.
    virtual Matrix3 GetWorldToScreen() = 0;
    virtual Matrix3 GetScreenToWorld() = 0;
    virtual Matrix3 GetWorldToUI() = 0;
    virtual Matrix3 GetUIToWorld() = 0;
    virtual Matrix3 GetScreenToUI() = 0;
    virtual Matrix3 GetUIToScreen() = 0;
};
