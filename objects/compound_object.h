#pragma once
// `CompoundObject`: a container of named parts built in script. The parts share the compound's identifier
// and classificators (set on each part when it joins and whenever the compound's change), an optional
// position provider answers for the compound's position, and a script object (attached by loadFromScript)
// adds members visible before the native methods.
//
// Script methods: RegisterObject, UnregisterObject, GetObject, SetPositionProvider, GetBoundingRect.
// Messages are logged at error level with the tag "CompoundObject".

#include <cstdint>
#include <string>
#include <string_view>

#include "binding/binding_method_table.h"
#include "binding/script_extension.h"
#include "component/component_group.h"
#include "component/object_interfaces.h"
#include "component/script_interfaces.h"

class CompoundObject : public ComponentGroupBase<>,
                       public IScriptObject,
                       public IScriptLoadable,
                       public IPositionable,
                       public IIdentifiable,
                       public IClassifiable {
public:
    static constexpr char ScriptTypeName[] = "CompoundObject";
    static const MethodTable& scriptMethods();

    void* QueryInterface(InterfaceId id) override;

    // IScriptObject: the script object's members first, then the native methods.
    bool GetMember(const char* name, ScriptValue& value) override;
    bool SetMember(const char* name, const ScriptValue& value) override;
    const char* GetTypeName() override { return ScriptTypeName; }

    bool LoadFromScript(const ScriptValue& value) override;

    // Passed to the position provider; without one, SetPosition does nothing and GetPosition is identity.
    void SetPosition(const Matrix3& position) override;
    Matrix3 GetPosition() override;

    // Sets the compound's identifier, then that of every part with IIdentifiable.
    const char* GetIdentificator() override { return m_identifier.c_str(); }
    void SetIdentificator(std::string_view identifier) override;
    // Applied to every classifiable part first, then to the compound's own mask.
    void AddClassificator(std::uint32_t bits) override;
    void RemoveClassificator(std::uint32_t bits) override;
    std::uint32_t GetClassificators() override { return m_classificators; }

    // Refuses an identifier this compound (or a nested group) already has; otherwise the part takes the
    // compound's identifier and classificators and is stored.
    bool RegisterObject(std::string_view identifier, IAbstract* component) override;
    // Releases the position provider, shuts the parts down, then releases the script object.
    void Shutdown() override;

    // Script methods.
    void registerFromScript(const char* identifier, IAbstract* component);
    ComponentRef<> unregisterFromScript(const char* identifier);
    ComponentRef<> getFromScript(const char* identifier) { return GetObject(identifier); }
    void SetPositionProvider(IAbstract* provider);
    RectF GetBoundingRect();

    ScriptExtension& scriptExtension() { return m_extension; }

protected:
    // The interfaces every compound answers.
    void* queryCompound(InterfaceId id) {
        return queryAmong<IComponentGroup, IShutdownable, IScriptObject, IScriptLoadable, IPositionable,
                          IIdentifiable, IClassifiable>(this, id);
    }

private:
    ScriptExtension m_extension;
    ComponentRef<IPositionable> m_positionProvider;
    std::string m_identifier;
    std::uint32_t m_classificators = 0;
};
