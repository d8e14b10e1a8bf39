#include "platform/foundation/observable.h"

#include <algorithm>

namespace kx {

const PropertyAccessor* PropertyTable::find(const QString& key) const {
    for (const PropertyAccessor& a : m_entries) {
        if (a.key == key)
            return &a;
    }
    return m_base ? m_base->find(key) : nullptr;
}

QStringList PropertyTable::keys() const {
    QStringList result = m_base ? m_base->keys() : QStringList();
    for (const PropertyAccessor& a : m_entries)
        result << a.key;
    return result;
}

QStringList Observable::announcedKeys() const {
    return {};
}

void Observable::addObserver(KeyObserver* observer) {
    for (const QString& key : announcedKeys())
        addObserver(observer, key);
}

void Observable::removeObserver(KeyObserver* observer) {
    for (const QString& key : announcedKeys())
        removeObserver(observer, key);
}

void Observable::addObserver(KeyObserver* observer, const QString& key) {
    if (!observer)
        return;
    m_registrations.push_back({observer, key, m_nextId++});
}

void Observable::removeObserver(KeyObserver* observer, const QString& key) {
    // The newest matching registration goes first, so counted registrations unwind in reverse.
    auto it = std::find_if(m_registrations.rbegin(), m_registrations.rend(),
                           [&](const Registration& r) { return r.observer == observer && r.key == key; });
    if (it != m_registrations.rend())
        m_registrations.erase(std::next(it).base());
}

int Observable::observationCount(const KeyObserver* observer, const QString& key) const {
    return int(std::count_if(m_registrations.begin(), m_registrations.end(),
                             [&](const Registration& r) { return r.observer == observer && r.key == key; }));
}

const PropertyTable& Observable::propertyTable() const {
    static const PropertyTable empty;
    return empty;
}

Value Observable::valueForKey(const QString& key) const {
    const PropertyAccessor* a = propertyTable().find(key);
    return a ? a->get(*this) : Value();
}

bool Observable::setValueForKey(const QString& key, const Value& value) {
    const PropertyAccessor* a = propertyTable().find(key);
    if (!a || !a->set)
        return false;
    a->set(*this, value);
    return true;
}

void Observable::didChangeValue(const QString& key, const Value& oldValue, const Value& newValue) {
    // An observer may drop the last owner of this object: keep it alive until every observer was told.
    const std::shared_ptr<Object> keepAlive = weak_from_this().lock();
    // Work from the ids registered now: observers may change the registrations while they are told.
    std::vector<std::uint64_t> ids;
    for (const Registration& r : m_registrations) {
        if (r.key == key)
            ids.push_back(r.id);
    }
    for (std::uint64_t id : ids) {
        auto it = std::find_if(m_registrations.begin(), m_registrations.end(),
                               [id](const Registration& r) { return r.id == id; });
        if (it != m_registrations.end())
            it->observer->observeValue(key, this, oldValue, newValue);
    }
}

}  // namespace kx
