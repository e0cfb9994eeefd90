#include "component/abstract.h"

void IAbstract::AddRef() {
    // A count of 0 means destruction is under way; a reference taken now would dangle.
    if (m_refCount != 0) {
        ++m_refCount;
    }
}

std::int32_t IAbstract::Release() {
    if (m_refCount <= 0) {
        // Released during its own destruction (or more often than referenced): nothing to drop.
        return 0;
    }
    if (--m_refCount == 0) {
        destroy();
        return 0;
    }
    return m_refCount;
}

void IAbstract::destroy() {
    delete this;
}
