#include "platform/foundation/notification_center.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QtDebug>

#include <algorithm>
#include <mutex>

namespace kx {

struct NotificationToken::Registry {
    struct Entry {
        std::uint64_t id;
        QString name;
        const void* sender;
        // Shared so that a callback that ends its own observation is not destroyed while it runs.
        std::shared_ptr<NotificationCallback> callback;
    };
    // Observers come and go on any thread (a model object copied on a worker for output observes the
    // default centre as well), so the list is locked. Callbacks run outside the lock: they may observe or
    // end observations themselves.
    mutable std::mutex mutex;
    std::vector<Entry> entries;
    std::uint64_t nextId = 1;

    std::uint64_t add(const QString& name, const void* sender, NotificationCallback callback) {
        auto shared = std::make_shared<NotificationCallback>(std::move(callback));
        std::lock_guard lock(mutex);
        const std::uint64_t id = nextId++;
        entries.push_back({id, name, sender, std::move(shared)});
        return id;
    }

    void remove(std::uint64_t id) {
        std::shared_ptr<NotificationCallback> removed;  // destroyed after the lock is released
        std::lock_guard lock(mutex);
        auto it = std::find_if(entries.begin(), entries.end(), [id](const Entry& e) { return e.id == id; });
        if (it != entries.end()) {
            removed = std::move(it->callback);
            entries.erase(it);
        }
    }

    bool contains(std::uint64_t id) const {
        std::lock_guard lock(mutex);
        return std::any_of(entries.begin(), entries.end(), [id](const Entry& e) { return e.id == id; });
    }

    static void deliver(const std::shared_ptr<Registry>& registry, const Notification& n) {
        std::vector<std::pair<std::uint64_t, std::shared_ptr<NotificationCallback>>> matching;
        {
            std::lock_guard lock(registry->mutex);
            for (const Entry& e : registry->entries) {
                if (e.name == n.name && (!e.sender || e.sender == n.sender))
                    matching.emplace_back(e.id, e.callback);
            }
        }
        for (const auto& [id, callback] : matching) {
            if (registry->contains(id))
                (*callback)(n);
        }
    }
};

NotificationToken::NotificationToken(NotificationToken&& other) noexcept
    : m_registry(std::move(other.m_registry)), m_id(other.m_id) {
    other.m_registry.reset();
    other.m_id = 0;
}

NotificationToken& NotificationToken::operator=(NotificationToken&& other) noexcept {
    if (this != &other) {
        reset();
        m_registry = std::move(other.m_registry);
        m_id = other.m_id;
        other.m_registry.reset();
        other.m_id = 0;
    }
    return *this;
}

NotificationToken::~NotificationToken() {
    reset();
}

void NotificationToken::reset() {
    if (auto registry = m_registry.lock())
        registry->remove(m_id);
    m_registry.reset();
    m_id = 0;
}

bool NotificationToken::isActive() const {
    auto registry = m_registry.lock();
    return registry && registry->contains(m_id);
}

NotificationCenter::NotificationCenter() : m_registry(std::make_shared<NotificationToken::Registry>()) {}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationToken NotificationCenter::addObserver(const QString& name, const void* sender,
                                                  NotificationCallback callback) {
    if (!callback)
        return {};
    return NotificationToken(m_registry, m_registry->add(name, sender, std::move(callback)));
}

void NotificationCenter::post(const QString& name, const void* sender, const ValueDictionary& userInfo) {
    post(Notification{name, sender, userInfo});
}

void NotificationCenter::post(const Notification& notification) {
    // A local owner keeps the observer list alive even if an observer destroys this centre.
    const std::shared_ptr<NotificationToken::Registry> registry = m_registry;
    NotificationToken::Registry::deliver(registry, notification);
}

void NotificationCenter::postOnMainThread(const QString& name, const void* sender, const ValueDictionary& userInfo) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        qWarning("postOnMainThread: no application object, notification %s dropped", qPrintable(name));
        return;
    }
    std::weak_ptr<NotificationToken::Registry> weak = m_registry;
    Notification n{name, sender, userInfo};
    QMetaObject::invokeMethod(
        app,
        [weak, n = std::move(n)]() {
            if (auto registry = weak.lock())
                NotificationToken::Registry::deliver(registry, n);
        },
        Qt::QueuedConnection);
}

}  // namespace kx
