#pragma once
// `ClassifiableBase`: the plain IClassifiable of a component that keeps its own 32-bit mask, and
// the ClassMask test applied to any component.

#include <cstdint>

#include "component/class_mask.h"
#include "component/object_interfaces.h"

class ClassifiableBase : public IClassifiable {
public:
    void AddClassificator(std::uint32_t bits) override { m_classificators |= bits; }
    void RemoveClassificator(std::uint32_t bits) override { m_classificators &= ~bits; }
    std::uint32_t GetClassificators() override { return m_classificators; }

private:
    std::uint32_t m_classificators = 0;
};

// Whether the component matches the mask. A component without IClassifiable, or null, has no
// classificators: it matches only a mask whose include part is 0.
bool matchesClassMask(IAbstract* component, ClassMask mask);
