#include "platform/foundation/user_notifications.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QTimer>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");
const QString kButtonAction = QStringLiteral("check");

KXUserNotifications* g_installed = nullptr;

}  // namespace

KXUserNotifications* KXUserNotifications::defaultCenter() {
    if (g_installed)
        return g_installed;
    static KXDesktopNotifications* desktop = new KXDesktopNotifications(QCoreApplication::instance());
    return desktop;
}

void KXUserNotifications::setDefaultCenter(KXUserNotifications* center) {
    g_installed = center;
}

KXDesktopNotifications::KXDesktopNotifications(QObject* parent)
    : KXDesktopNotifications(QDBusConnection::sessionBus(), parent) {}

KXDesktopNotifications::KXDesktopNotifications(const QDBusConnection& bus, QObject* parent)
    : KXUserNotifications(parent), m_bus(bus) {
    if (!m_bus.isConnected())
        return;
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(actionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(notificationClosed(uint, uint)));
}

void KXDesktopNotifications::scheduleNotification(const KXUserNotification& notification) {
    if (notification.deliveryDelay.count() <= 0) {
        deliver(notification);
        return;
    }
    QTimer::singleShot(notification.deliveryDelay, this, [this, notification] { deliver(notification); });
}

void KXDesktopNotifications::deliver(const KXUserNotification& notification) {
    if (!m_bus.isConnected())
        return;  // no desktop session: the notice cannot be shown, and nothing else depends on it
    QStringList actions{kDefaultAction, QString()};
    if (!notification.actionButtonTitle.isEmpty())
        actions << kButtonAction << notification.actionButtonTitle;
    QVariantMap hints;
    if (notification.playsDefaultSound)
        hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QCoreApplication::applicationName() << uint(0) << QString() << notification.title
         << notification.informativeText << actions << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    const QString identifier = notification.identifier;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, identifier](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<uint> reply = *w;
        if (!reply.isError())
            m_shown.insert(reply.value(), identifier);
        w->deleteLater();
    });
}

void KXDesktopNotifications::actionInvoked(uint id, const QString& actionKey) {
    const auto it = m_shown.constFind(id);
    if (it == m_shown.constEnd())
        return;  // another application's notice
    if (actionKey == kDefaultAction || actionKey == kButtonAction)
        emit notificationActivated(it.value());
}

void KXDesktopNotifications::notificationClosed(uint id, uint) {
    m_shown.remove(id);
}
