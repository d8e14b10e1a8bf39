// Desktop notices over D-Bus, against a notification service of the test's own on a private message bus.
#include "platform/foundation/user_notifications.h"
#include "support/event_wait.h"
#include "support/outside_tools.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QVariantMap>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// Serves events for a while.
void serveEvents(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    kxtest::processEventsUntil([&] { return std::chrono::steady_clock::now() >= end; });
}

// A stand-in for the desktop's notification service: records each Notify call and answers with an id.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString appName, summary, body;
        QStringList actions;
        QVariantMap hints;
    };
    std::vector<Call> calls;

public slots:
    uint Notify(const QString& appName, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int) {
        calls.push_back({appName, summary, body, actions, hints});
        return uint(calls.size()) + 40;
    }
};

class UserNotificationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        KX_REQUIRE_TOOLS("dbus-daemon");
        daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
        ASSERT_TRUE(daemon.waitForStarted());
        ASSERT_TRUE(kxtest::processEventsUntil([&] { return daemon.canReadLine(); }));
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        service = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, "kx-test-service"));
        ASSERT_TRUE(service->isConnected());
        ASSERT_TRUE(service->registerService("org.freedesktop.Notifications"));
        ASSERT_TRUE(service->registerObject("/org/freedesktop/Notifications", &fake, QDBusConnection::ExportAllSlots));
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus("kx-test-service");
        QDBusConnection::disconnectFromBus("kx-test-client");
        daemon.kill();
        daemon.waitForFinished();
    }
    QDBusConnection client() { return QDBusConnection::connectToBus(address, "kx-test-client"); }
    void emitSignal(const char* name, const QVariantList& arguments) {
        QDBusMessage signal = QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                                         "org.freedesktop.Notifications", name);
        signal.setArguments(arguments);
        ASSERT_TRUE(service->send(signal));
    }

    QProcess daemon;
    QString address;
    std::unique_ptr<QDBusConnection> service;
    FakeNotificationService fake;
};

TEST_F(UserNotificationsTest, ANoticeReachesTheServiceAndItsActivationComesBack) {
    KXDesktopNotifications notices(client());
    std::vector<QString> activated;
    QObject::connect(&notices, &KXUserNotifications::notificationActivated,
                     [&](const QString& identifier) { activated.push_back(identifier); });
    KXUserNotification notice;
    notice.identifier = "news-7";
    notice.title = "New packs";
    notice.informativeText = "Have a look";
    notice.actionButtonTitle = "Check";
    notice.deliveryDelay = 50ms;
    notices.scheduleNotification(notice);
    serveEvents(20ms);
    EXPECT_TRUE(fake.calls.empty());  // not before its delay
    ASSERT_TRUE(kxtest::processEventsUntil([&] { return !fake.calls.empty(); }));
    EXPECT_EQ(fake.calls[0].summary, "New packs");
    EXPECT_EQ(fake.calls[0].body, "Have a look");
    EXPECT_EQ(fake.calls[0].actions, (QStringList{"default", "", "check", "Check"}));
    EXPECT_TRUE(fake.calls[0].hints.contains("sound-name"));
    serveEvents(50ms);  // the answer with the notice's id

    // Another application's notice, then ours (id 41) clicked.
    emitSignal("ActionInvoked", {uint(99), QString("default")});
    emitSignal("ActionInvoked", {uint(41), QString("check")});
    ASSERT_TRUE(kxtest::processEventsUntil([&] { return !activated.empty(); }));
    serveEvents(50ms);
    EXPECT_EQ(activated, std::vector<QString>{"news-7"});

    // Once closed, the id means nothing any more.
    emitSignal("NotificationClosed", {uint(41), uint(2)});
    emitSignal("ActionInvoked", {uint(41), QString("default")});
    serveEvents(100ms);
    EXPECT_EQ(activated.size(), 1u);
}

TEST_F(UserNotificationsTest, ANoticeWithoutButtonOrSoundAndNoBusAtAll) {
    KXDesktopNotifications notices(client());
    KXUserNotification notice;
    notice.identifier = "Summer";
    notice.title = "Installed";
    notice.playsDefaultSound = false;
    notices.scheduleNotification(notice);
    ASSERT_TRUE(kxtest::processEventsUntil([&] { return !fake.calls.empty(); }));
    EXPECT_EQ(fake.calls[0].actions, (QStringList{"default", ""}));
    EXPECT_FALSE(fake.calls[0].hints.contains("sound-name"));
    // Without a bus a notice is dropped quietly.
    KXDesktopNotifications unconnected(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"), "kx-none"));
    unconnected.scheduleNotification(notice);
    serveEvents(20ms);
    EXPECT_EQ(fake.calls.size(), 1u);
    QDBusConnection::disconnectFromBus("kx-none");
}

}  // namespace

#include "user_notifications_test.moc"
