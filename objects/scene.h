#pragma once
// `Scene`: a self-contained world with its own update, render and input groups and a registry of named
// objects. Registering an object stores it under its identifier and adds it (and, for a component group,
// its parts first) to each enabled group of the scene's group list; each group keeps only what has its
// interface. As an updateable, renderable and input handler the scene passes everything to its own groups.
//
// The group list starts as [update group, render group, input group]; bit i of the enabled mask belongs to
// position i (at most 32 groups are addressable). Messages carry the tag "Scene".

#include <cstdint>
#include <string_view>
#include <vector>

#include "binding/binding_method_table.h"
#include "binding/script_extension.h"
#include "component/component_group.h"
#include "component/frame_interfaces.h"
#include "component/object_interfaces.h"
#include "component/script_interfaces.h"

class Scene : public ComponentGroupBase<>,
              public IScriptObject,
              public IScriptLoadable,
              public IUpdateable,
              public IRenderable,
              public IInputHandler,
              public IVisible,
              public IIdentifiable {
public:
    static constexpr char ScriptTypeName[] = "Scene";
    // RegisterObject, UnregisterObject, GetObject, AppendGroup, RemoveGroup, EnableGroup.
    static const MethodTable& scriptMethods();

    Scene();

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IComponentGroup, IShutdownable, IScriptObject, IScriptLoadable, IUpdateable,
                          IRenderable, IInputHandler, IVisible, IIdentifiable>(this, id);
    }

    bool GetMember(const char* name, ScriptValue& value) override;
    bool SetMember(const char* name, const ScriptValue& value) override {
        return m_extension.setMember(name, value);
    }
    const char* GetTypeName() override { return ScriptTypeName; }
    bool LoadFromScript(const ScriptValue& value) override {
        return m_extension.attach(abstractOf(this), value);
    }

    // Refuses a taken identifier ("Object %s already exists"); otherwise stores the object and adds it to
    // the enabled groups.
    bool RegisterObject(std::string_view identifier, IAbstract* component) override;
    // Takes the object out of the enabled groups and the registry; "Object %s not found" when absent.
    ComponentRef<> UnregisterObject(std::string_view identifier) override;
    // Releases the groups, shuts the objects down, then releases the script object.
    void Shutdown() override;

    std::int32_t GetUpdateLayer() override { return -1; }
    void Init(std::int32_t time) override;
    void Update(std::int32_t layer, std::int32_t elapsed) override;
    void Render(IGraphics* graphics, ClassMask mask) override;
    std::int32_t GetRenderLayer() override { return 0; }
    bool HandleKeyEvent(const KDEvent& event) override;
    bool HandlePointerEvent(const KDEvent& event) override;
    void SetVisible(bool visible) override;
    bool IsVisible() override;
    const char* GetIdentificator() override { return m_identifier.c_str(); }
    void SetIdentificator(std::string_view identifier) override { m_identifier.assign(identifier); }

    // Script methods.
    void registerFromScript(const char* identifier, IAbstract* component) {
        RegisterObject(identifier, component);
    }
    ComponentRef<> unregisterFromScript(const char* identifier) { return UnregisterObject(identifier); }
    ComponentRef<> getFromScript(const char* identifier) { return GetObject(identifier); }
    void AppendGroup(IAbstract* group);
    void RemoveGroup(IAbstract* group);
    void EnableGroup(const char* identifier, bool enable);

protected:
    // For scenes built on this one (the game level): the groups (bit i: position i) that `member` (a
    // registered object or one of its parts) joins or leaves; the enabled mask here.
    virtual std::uint32_t groupsFor(IAbstract* member) { return m_enabled; }
    // The group list, the enabled mask and the script object.
    const std::vector<ComponentRef<IFunctionalGroup>>& groups() const { return m_groups; }
    std::uint32_t enabledGroups() const { return m_enabled; }
    void setEnabledGroups(std::uint32_t mask) { m_enabled = mask; }
    ScriptExtension& scriptExtension() { return m_extension; }

private:
    void addToGroups(IAbstract* component);
    void removeFromGroups(IAbstract* component);
    // apply(group, member) for the parts of a component group (recursively, first) and then the component,
    // on each enabled group in list order.
    template <class Apply> void applyToGroups(IAbstract* component, Apply apply);

    ScriptExtension m_extension;
    ComponentRef<IUpdateable> m_updateGroup;
    ComponentRef<IRenderable> m_renderGroup;
    ComponentRef<IInputHandler> m_inputGroup;
    std::vector<ComponentRef<IFunctionalGroup>> m_groups;
    std::uint32_t m_enabled = 0xFFFFFFFFu;
    std::string m_identifier;
};
