#pragma once
// `ScriptObjectBase<Derived>`: IScriptObject for a component class with native script methods and an optional
// script extension. Derived provides
//     static constexpr char ScriptTypeName[] = "Camera";       // what `typeof` answers
//     static const MethodTable& scriptMethods();               // binding/binding_method_table.h
// and lists IScriptObject in its QueryInterface. GetMember asks the script extension first, so a member the
// script object defines hides a native method of the same name; SetMember stores into the extension.
// A class with IScriptLoadable attaches the extension in its LoadFromScript:
//     bool LoadFromScript(const ScriptValue& value) override { return scriptExtension().attach(this, value);
//     }
// and releases it in its Shutdown with scriptExtension().shutdown().

#include "binding/binding_method_table.h"
#include "binding/script_extension.h"
#include "component/script_interfaces.h"

template <class Derived> class ScriptObjectBase : public IScriptObject {
public:
    bool GetMember(const char* name, ScriptValue& value) override {
        return m_extension.getMember(name, value) || Derived::scriptMethods().find(name, value);
    }
    bool SetMember(const char* name, const ScriptValue& value) override {
        return m_extension.setMember(name, value);
    }
    const char* GetTypeName() override { return Derived::ScriptTypeName; }

    ScriptExtension& scriptExtension() { return m_extension; }
    const ScriptExtension& scriptExtension() const { return m_extension; }

private:
    ScriptExtension m_extension;
};
