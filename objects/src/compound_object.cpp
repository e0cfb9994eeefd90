#include "objects/compound_object.h"

#include "platform/kd.h"

namespace {
constexpr char kTag[] = "CompoundObject";
} // namespace

const MethodTable& CompoundObject::scriptMethods() {
    static const MethodTable table{
        scriptMethod<CompoundObject>("RegisterObject", &CompoundObject::registerFromScript),
        scriptMethod<CompoundObject>("UnregisterObject", &CompoundObject::unregisterFromScript),
        scriptMethod<CompoundObject>("GetObject", &CompoundObject::getFromScript),
        scriptMethod<CompoundObject>("SetPositionProvider", &CompoundObject::SetPositionProvider),
        scriptMethod<CompoundObject>("GetBoundingRect", &CompoundObject::GetBoundingRect),
    };
    return table;
}

void* CompoundObject::QueryInterface(InterfaceId id) {
    return queryCompound(id);
}

bool CompoundObject::GetMember(const char* name, ScriptValue& value) {
    return m_extension.getMember(name, value) || scriptMethods().find(name, value);
}

bool CompoundObject::SetMember(const char* name, const ScriptValue& value) {
    return m_extension.setMember(name, value);
}

bool CompoundObject::LoadFromScript(const ScriptValue& value) {
    return m_extension.attach(abstractOf(this), value);
}

void CompoundObject::SetPosition(const Matrix3& position) {
    if (m_positionProvider) {
        m_positionProvider->SetPosition(position);
    }
}

Matrix3 CompoundObject::GetPosition() {
    return m_positionProvider ? m_positionProvider->GetPosition() : Matrix3();
}

void CompoundObject::SetIdentificator(std::string_view identifier) {
    m_identifier.assign(identifier);
    for (const GroupEntry& entry : GetObjectMap()) {
        if (auto* part = queryInterface<IIdentifiable>(entry.component.get())) {
            part->SetIdentificator(identifier);
        }
    }
}

void CompoundObject::AddClassificator(std::uint32_t bits) {
    for (const GroupEntry& entry : GetObjectMap()) {
        if (auto* part = queryInterface<IClassifiable>(entry.component.get())) {
            part->AddClassificator(bits);
        }
    }
    m_classificators |= bits;
}

void CompoundObject::RemoveClassificator(std::uint32_t bits) {
    for (const GroupEntry& entry : GetObjectMap()) {
        if (auto* part = queryInterface<IClassifiable>(entry.component.get())) {
            part->RemoveClassificator(bits);
        }
    }
    m_classificators &= ~bits;
}

bool CompoundObject::RegisterObject(std::string_view identifier, IAbstract* component) {
    if (GetObject(identifier)) {
        logError(kTag, "Object with identifier \"%.*s\" already exists", static_cast<int>(identifier.size()),
                 identifier.data());
        return false;
    }
    if (component != nullptr) {
        if (auto* identifiable = queryInterface<IIdentifiable>(component)) {
            identifiable->SetIdentificator(m_identifier);
        }
        if (auto* classifiable = queryInterface<IClassifiable>(component)) {
            classifiable->AddClassificator(m_classificators);
        }
    }
    return ComponentGroupBase<>::RegisterObject(identifier, component);
}

void CompoundObject::registerFromScript(const char* identifier, IAbstract* component) {
    RegisterObject(identifier, component);
}

ComponentRef<> CompoundObject::unregisterFromScript(const char* identifier) {
    ComponentRef<> removed = UnregisterObject(identifier);
    if (!removed) {
        logError(kTag, "Object with identifier \"%s\" not found", identifier);
    }
    return removed;
}

void CompoundObject::SetPositionProvider(IAbstract* provider) {
    m_positionProvider.reset(queryInterface<IPositionable>(provider));
}

RectF CompoundObject::GetBoundingRect() {
    RectF bounds;
    for (const GroupEntry& entry : GetObjectMap()) {
        if (auto* part = queryInterface<IBoundingInfo>(entry.component.get())) {
            bounds.Union(part->GetBoundingRect(ClassMask{}));
        }
    }
    return bounds;
}

void CompoundObject::Shutdown() {
    ComponentRef<> self(abstractOf(this)); // the parts may hold the compound's last owners
    m_positionProvider.reset();
    ComponentGroupBase<>::Shutdown();
    m_extension.shutdown();
}
