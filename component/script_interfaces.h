#pragma once
// Interfaces through which scripts see a component: its members (IScriptObject) and its script
// object (IScriptLoadable, IScriptSaveable). Script values are the host's `ScriptValue` handles.

#include "component/abstract.h"

class ScriptValue;

// A component that scripts can call: members are resolved by name at run time.
class IScriptObject : public virtual IAbstract {
public:
    static constexpr char Name[] = "IScriptObject";
    static constexpr InterfaceId ID{Name};

    // The member `name` (a script-extension member first, then a native method); false when absent.
    virtual bool GetMember(const char* name, ScriptValue& value) = 0;
    // Stores `value` under `name` in the script extension; false when there is none.
    virtual bool SetMember(const char* name, const ScriptValue& value) = 0;
    // The class name scripts see ("Camera", ...).
    virtual const char* GetTypeName() = 0;
};

// A component that takes a script object (its extension or its data) from a script value.
class IScriptLoadable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IScriptLoadable";
    static constexpr InterfaceId ID{Name};

    virtual bool LoadFromScript(const ScriptValue& value) = 0;
};

// A component that can describe itself as a script value.
class IScriptSaveable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IScriptSaveable";
    static constexpr InterfaceId ID{Name};

    virtual ScriptValue SaveToScript() = 0;
};
