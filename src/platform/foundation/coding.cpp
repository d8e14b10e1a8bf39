#include "platform/foundation/coding.h"

namespace kx {

ClassRegistry& ClassRegistry::shared() {
    static ClassRegistry registry;
    return registry;
}

void ClassRegistry::registerClass(const QString& className, ClassFactory factory) {
    std::lock_guard lock(m_mutex);
    m_factories.insert_or_assign(className, std::move(factory));
}

bool ClassRegistry::hasClass(const QString& className) const {
    std::lock_guard lock(m_mutex);
    return m_factories.count(className) != 0;
}

ObjectPtr ClassRegistry::makeObject(const QString& className) const {
    ClassFactory factory;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_factories.find(className);
        if (found == m_factories.end())
            return nullptr;
        factory = found->second;
    }
    // Called outside the lock: a factory may itself look up classes.
    return factory ? factory() : nullptr;
}

}  // namespace kx
