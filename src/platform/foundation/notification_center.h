// Notification centre: components that do not hold each other talk through named notifications.
//
// Posting is synchronous on the posting thread (the main thread); postOnMainThread hands a notification to
// the main thread from any thread. An observation lasts as long as the NotificationToken that addObserver
// returns.
#pragma once

#include "platform/foundation/value.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kx {

struct Notification {
    QString name;
    // The object that posted, used for identity; null when none was given.
    const void* sender = nullptr;
    ValueDictionary userInfo;

    // The sender as the type the observer knows it to be.
    template <class T>
    T* senderAs() const {
        return static_cast<T*>(const_cast<void*>(sender));
    }
};

using NotificationCallback = std::function<void(const Notification&)>;

// Ends its observation when destroyed or reset. Move-only; a default-constructed token observes nothing.
// A token may outlive its centre.
class NotificationToken {
public:
    NotificationToken() = default;
    NotificationToken(NotificationToken&& other) noexcept;
    NotificationToken& operator=(NotificationToken&& other) noexcept;
    NotificationToken(const NotificationToken&) = delete;
    NotificationToken& operator=(const NotificationToken&) = delete;
    ~NotificationToken();

    void reset();
    bool isActive() const;

private:
    friend class NotificationCenter;
    struct Registry;
    NotificationToken(std::weak_ptr<Registry> registry, std::uint64_t id) : m_registry(std::move(registry)), m_id(id) {}

    std::weak_ptr<Registry> m_registry;
    std::uint64_t m_id = 0;
};

class NotificationCenter {
public:
    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // The process-wide centre.
    static NotificationCenter& defaultCenter();

    // Observes the notifications of one name from one sender (null: from any sender).
    [[nodiscard]] NotificationToken addObserver(const QString& name, const void* sender,
                                                NotificationCallback callback);

    // Tells every matching observer now, in the order they were added. An observer removed while a
    // notification is being delivered is not told; one added meanwhile hears only later notifications.
    void post(const QString& name, const void* sender = nullptr, const ValueDictionary& userInfo = {});
    void post(const Notification& notification);

    // Posts from any thread: the notification is delivered on the main thread when its event loop next runs
    // (always queued, also when called on the main thread). The sender is only compared, never used, by the
    // centre; whoever posts must keep it alive if observers use it. Dropped if the centre is gone by then.
    void postOnMainThread(const QString& name, const void* sender = nullptr, const ValueDictionary& userInfo = {});

private:
    std::shared_ptr<NotificationToken::Registry> m_registry;
};

}  // namespace kx
