#include "component/classifiable_base.h"

bool matchesClassMask(IAbstract* component, ClassMask mask) {
    auto* classifiable = queryInterface<IClassifiable>(component);
    if (classifiable == nullptr) {
        return mask.include == 0;
    }
    return mask.matches(classifiable->GetClassificators());
}
