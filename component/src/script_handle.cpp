#include "component/script_handle.h"

#include <functional>

bool canHandToScript(IAbstract* component) {
    return component != nullptr && component->refCount() > 0;
}

int compareComponentHandles(const IAbstract* first, const IAbstract* second) {
    if (first == second) {
        return 0;
    }
    return std::less<const IAbstract*>()(first, second) ? 1 : -1;
}

void releaseFromScriptInstance(IAbstract* component, const void* instance) {
    if (component == nullptr) {
        return;
    }
    if (component->scriptInstance() == instance) {
        component->setScriptInstance(nullptr);
    }
    component->Release();
}
