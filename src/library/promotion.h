// The promotion window: at launch a remote description (Info.plist "Full Event URL") may announce a promotion
// page. Each promotion is shown at most once, between its begin and end times, and the description is asked
// for again only after the number of days it gives. The main button opens the promotion's link in the browser
// (http and https only) or the content store; both buttons are counted by usage analytics.
#pragma once

#include "platform/foundation/value.h"

#include <QDateTime>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <functional>

class GAObject;
class QNetworkAccessManager;
class QPushButton;
class QWebEngineView;
class KXStoreFetchQueue;

namespace kx {
class UserDefaults;
}

inline const QString KXRequestEventDate = QStringLiteral("KXRequestEventDate");
inline const QString KXEventID = QStringLiteral("KXEventID");
// Posted by the main button of a promotion of the store; the application brings the content store forward.
inline const QString KXCheckIAPEventNotification = QStringLiteral("KXCheckIAPEventNotification");

struct KXEvent {
    std::int64_t version = 0;
    std::int64_t eventID = 0;
    std::uint64_t eventType = 0;
    std::int64_t intervalDate = 0;
    double pageWidth = 0;
    double pageHeight = 0;
    QString title, contentURL, eventLink;
    QDateTime beginTime, endTime;

    static KXEvent fromDescription(const kx::ValueDictionary& description);
};

// Whether the promotion is shown: its version is at least the application's, its id is above the last one
// shown, and now lies between its begin and end times (a missing time never lets it show).
bool KXShouldShowEvent(const KXEvent& event, std::int64_t applicationEventVersion, std::int64_t lastEventID,
                       const QDateTime& now);

struct KXEventSettings {
    QNetworkAccessManager* network = nullptr;
    kx::UserDefaults* defaults = nullptr;
    std::function<QDateTime()> now;
    // The lowest description version shown (Info.plist "Event Version").
    std::int64_t eventVersion = 0;
    GAObject* analytics = nullptr;
    // Opens a web address in the browser; only ever given http and https addresses.
    std::function<void(const QUrl&)> openURL;
    // Retries of a failed read of the description.
    int attempts = 3;
    std::chrono::milliseconds firstPause{2000};

    static KXEventSettings standard();
};

class KXEventWindowController : public QWidget {
    Q_OBJECT
public:
    // Unless KXRequestEventDate lies ahead or a controller exists: creates the process's controller and starts
    // reading the description at the address. The window shows only once its page has loaded.
    static KXEventWindowController* initializeEventWithURL(const QString& address,
                                                           KXEventSettings settings = KXEventSettings::standard());
    // The process's controller; null before the first initializeEventWithURL that made one.
    static KXEventWindowController* sharedController();
    // Forgets the process's controller (tests).
    static void resetSharedController();

    KXEventWindowController(const QString& address, KXEventSettings settings, QWidget* parent = nullptr);
    ~KXEventWindowController() override;

    // The description once read; null before.
    const KXEvent* currentEvent() const { return m_hasEvent ? &m_event : nullptr; }
    QWebEngineView* webView() const { return m_webView; }
    QPushButton* openButton() const { return m_btOpen; }
    QPushButton* closeButton() const { return m_btNO; }
    // Whether the page of a promotion due to be shown is loading or loaded.
    bool isPresenting() const { return m_presenting; }

    void openInBrowserAction();
    void closeAction();
    // Closes the window and records the promotion as shown.
    void closePromotion();

signals:
    // The description was read and judged: shown or not.
    void decided(bool shown);
    // The page finished loading and the window came forward.
    void pageShown();

private:
    void start();
    void descriptionArrived(bool ok, const QByteArray& body);
    void present();
    void track(const QString& label);
    friend class KXEventPage;
    void linkFollowed(const QUrl& url);

    QString m_address;
    KXEventSettings m_settings;
    KXStoreFetchQueue* m_queue = nullptr;
    QWebEngineView* m_webView = nullptr;
    QPushButton* m_btOpen = nullptr;
    QPushButton* m_btNO = nullptr;
    KXEvent m_event;
    bool m_hasEvent = false;
    bool m_presenting = false;
};
