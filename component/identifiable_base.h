#pragma once
// `IdentifiableBase`: the plain IIdentifiable of a component that keeps its identifier as text.

#include <string>
#include <string_view>

#include "component/object_interfaces.h"

class IdentifiableBase : public IIdentifiable {
public:
    explicit IdentifiableBase(std::string_view identifier = {}) : m_identifier(identifier) {}

    const char* GetIdentificator() override { return m_identifier.c_str(); }
    void SetIdentificator(std::string_view identifier) override { m_identifier.assign(identifier); }

private:
    std::string m_identifier;
};
