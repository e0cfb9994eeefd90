#pragma once
// Interfaces through which scripts see a component: its members (IScriptObject) and its script
// object (IScriptLoadable, IScriptSaveable). Script values are the host's `ScriptValue` handles,
// each holding its own VM reference. Conventions of the catalogue: component/engine_interfaces.h.

#include "component/abstract.h"

class ScriptValue;

// A component that scripts can call: members are resolved by name at run time.
class IScriptObject : public virtual IAbstract {
public:
    static constexpr char Name[] = "IScriptObject";
    static constexpr InterfaceId ID{Name};

    // Sets `value` to the member `name`: a script-extension member first (an ordinary get, delegates
    // and class methods included), then a native method. False (value untouched, no VM error left)
    // when neither has it.
    virtual bool GetMember(const char* name, ScriptValue& value) = 0;
    // Stores `value` under `name` in the script extension (creating the slot); false when the
    // component has no script extension attached.
    virtual bool SetMember(const char* name, const ScriptValue& value) = 0;
    // The class name scripts see ("Camera", ...); a static string.
    virtual const char* GetTypeName() = 0;
};

// A component that takes a script object (its extension or its data) from a script value.
class IScriptLoadable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IScriptLoadable";
    static constexpr InterfaceId ID{Name};

    // Attaches `value`: a class is instantiated (without its constructor), a table or an instance is
    // kept as it is; then the extension's `constructor`, if any, runs with the component as `this`.
    // Data classes (Blob, tile and route classes) read their contents from the value instead.
    // False (state unchanged) for a null value or data the class cannot take.
    virtual bool LoadFromScript(const ScriptValue& value) = 0;
};

// A component that can describe itself as a script value.
class IScriptSaveable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IScriptSaveable";
    static constexpr InterfaceId ID{Name};

    // A new script value describing the component; null on failure.
    virtual ScriptValue SaveToScript() = 0;
};
