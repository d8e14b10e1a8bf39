// Desktop notices: short messages the desktop shows outside the application's windows, optionally after a
// delay, with an action button; activating one tells the application which notice it was.
//
// KXUserNotifications is the interface the application talks to; KXDesktopNotifications delivers through
// the desktop's notification service (org.freedesktop.Notifications on the session bus). Tests install a
// fake with setDefaultCenter. Use from the main thread only.
#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

#include <chrono>

struct KXUserNotification {
    // Names the notice; activations report it.
    QString identifier;
    QString title;
    QString informativeText;
    // Empty: no action button.
    QString actionButtonTitle;
    bool playsDefaultSound = true;
    // How long after scheduling the notice appears (zero: at once).
    std::chrono::milliseconds deliveryDelay{0};
};

class KXUserNotifications : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Shows the notice after its delivery delay.
    virtual void scheduleNotification(const KXUserNotification& notification) = 0;

    // The application's centre: the desktop one unless a test installed another. Never null.
    static KXUserNotifications* defaultCenter();
    // Installs a centre (not owned; null restores the desktop one).
    static void setDefaultCenter(KXUserNotifications* center);

signals:
    // The user clicked the notice or its action button.
    void notificationActivated(const QString& identifier);
};

class KXDesktopNotifications : public KXUserNotifications {
    Q_OBJECT
public:
    // Talks to the notification service on the given bus (the session bus unless a test brings its own).
    explicit KXDesktopNotifications(QObject* parent = nullptr);
    explicit KXDesktopNotifications(const QDBusConnection& bus, QObject* parent = nullptr);

    void scheduleNotification(const KXUserNotification& notification) override;

private:
    void deliver(const KXUserNotification& notification);

private slots:
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

private:

    QDBusConnection m_bus;
    // The service's notice ids of the notices shown, with their identifiers.
    QHash<uint, QString> m_shown;
};
