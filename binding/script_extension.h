#pragma once
// `ScriptExtension`: the script object that a scriptable component (camera, compound and scripted objects,
// scenes, ...) carries beside its native methods. Members the script object defines hide native methods of
// the same name: a component's IScriptObject::GetMember asks the extension first and its MethodTable second
// (ScriptObjectBase in binding/binding_script_object.h wires both).
//
// The extension holds one script value (null until attached) and the owning component, which is the receiver
// of the script object's `constructor`. It holds no reference to the owner (the owner holds the extension).

#include "component/abstract.h"
#include "script/script_value.h"

class ScriptExtension {
public:
    // Attaching (what a component's LoadFromScript does): a class gets a new instance of it (its constructor
    // is not run by the VM); a table or an instance is kept as it is. Then the kept value's member
    // `constructor`, when there is one, is called with a `Component` handle of `owner` as receiver and no
    // arguments (its result is dropped). False, with the previous value kept, for null or any other kind of
    // value.
    bool attach(IAbstract* owner, const ScriptValue& value);

    // An ordinary (non-raw) script get of `name` on the kept value: table slots, instance fields, class
    // methods and delegates are all found. False without a kept value or when the get fails (the VM's last
    // error is then cleared).
    bool getMember(const char* name, ScriptValue& value) const;
    // Stores value under name in the kept value (creating the slot in a table); false without a kept value or
    // when the store fails.
    bool setMember(const char* name, const ScriptValue& value);

    // Releases the kept value (the component's Shutdown).
    void shutdown() { m_object.reset(); }

    const ScriptValue& object() const { return m_object; }
    bool isAttached() const { return !m_object.isNull(); }

private:
    ScriptValue m_object;
};
