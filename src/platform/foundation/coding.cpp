#include "platform/foundation/coding.h"

namespace kx {

ClassRegistry& ClassRegistry::shared() {
    static ClassRegistry registry;
    return registry;
}

void ClassRegistry::registerClass(const QString& className, ClassFactory factory, const QString& superclassName) {
    std::lock_guard lock(m_mutex);
    m_classes.insert_or_assign(className, Entry{std::move(factory), superclassName});
}

bool ClassRegistry::hasClass(const QString& className) const {
    std::lock_guard lock(m_mutex);
    return m_classes.count(className) != 0;
}

ObjectPtr ClassRegistry::makeObject(const QString& className) const {
    ClassFactory factory;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_classes.find(className);
        if (found == m_classes.end())
            return nullptr;
        factory = found->second.factory;
    }
    // Called outside the lock: a factory may itself look up classes.
    return factory ? factory() : nullptr;
}

QStringList ClassRegistry::classChain(const QString& className) const {
    QStringList chain{className};
    std::lock_guard lock(m_mutex);
    QString current = className;
    while (current != kRootClassName) {
        const auto found = m_classes.find(current);
        const QString next = found == m_classes.end() || found->second.superclassName.isEmpty()
                                 ? kRootClassName
                                 : found->second.superclassName;
        if (chain.contains(next))
            break;
        chain.push_back(next);
        current = next;
    }
    if (chain.back() != kRootClassName)
        chain.push_back(kRootClassName);
    return chain;
}

}  // namespace kx
