#include "library/promotion.h"

#include "app_services/ga_object.h"
#include "graphics/app_info.h"
#include "library/store_catalogue.h"
#include "library/template_alerts.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/user_defaults.h"
#include "platform/foundation/web_address.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

using kx::Value;
using kx::ValueDictionary;
using kx::templates::localized;

namespace {

constexpr qint64 kMaxDescriptionBytes = 1024 * 1024;
// The largest page size honoured, in points.
constexpr double kMaxPageSide = 4000;

QPointer<KXEventWindowController> g_shared;
bool g_created = false;

}  // namespace

// Follows the page's own navigation: a redirect leaves for the browser, everything else loads in the view.
class KXEventPage : public QWebEnginePage {
public:
    KXEventPage(KXEventWindowController* owner) : QWebEnginePage(owner), m_owner(owner) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        if (type == NavigationTypeRedirect) {
            m_owner->linkFollowed(url);
            return false;
        }
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    }

private:
    KXEventWindowController* m_owner;
};

KXEvent KXEvent::fromDescription(const ValueDictionary& description) {
    const auto field = [&](const char* key) {
        const auto it = description.find(QString::fromLatin1(key));
        return it == description.end() ? Value() : it->second;
    };
    KXEvent event;
    event.version = field("Version").toInteger();
    event.eventID = field("Event ID").toInteger();
    event.eventType = std::uint64_t(field("Event Type").toInteger());
    event.title = field("Event Title").toString();
    event.pageWidth = float(field("Width").toDouble());
    event.pageHeight = float(field("Height").toDouble());
    event.beginTime = field("Event Begin Time").toDate();
    event.endTime = field("Event End Time").toDate();
    event.contentURL = field("Event Content URL").toString();
    event.eventLink = field("Event Link").toString();
    event.intervalDate = field("Interval Date").toInteger();
    return event;
}

bool KXShouldShowEvent(const KXEvent& event, std::int64_t applicationEventVersion, std::int64_t lastEventID,
                       const QDateTime& now) {
    return event.version >= applicationEventVersion && event.eventID > lastEventID && event.endTime.isValid() &&
           now < event.endTime && event.beginTime.isValid() && now > event.beginTime;
}

KXEventSettings KXEventSettings::standard() {
    KXEventSettings settings;
    static QNetworkAccessManager* network = new QNetworkAccessManager(qApp);
    settings.network = network;
    settings.defaults = &kx::UserDefaults::standard();
    settings.eventVersion = kx::Bundle::main().infoValue(QStringLiteral("Event Version")).toInteger();
    settings.analytics = GAObject::defaultObject();
    settings.openURL = [](const QUrl& url) { openURLString(url.toString()); };
    return settings;
}

KXEventWindowController* KXEventWindowController::initializeEventWithURL(const QString& address,
                                                                         KXEventSettings settings) {
    const QDateTime now = settings.now ? settings.now() : QDateTime::currentDateTimeUtc();
    const QDateTime requestDate = settings.defaults->value(KXRequestEventDate).toDate();
    if (g_created || (requestDate.isValid() && requestDate > now))
        return nullptr;
    // Without a web address there is nothing to read and no window could ever show.
    if (!kx::isWebAddress(QUrl(address)))
        return nullptr;
    g_created = true;
    g_shared = new KXEventWindowController(address, std::move(settings));
    g_shared->setAttribute(Qt::WA_DeleteOnClose, false);
    return g_shared;
}

KXEventWindowController* KXEventWindowController::sharedController() {
    return g_shared;
}

void KXEventWindowController::resetSharedController() {
    delete g_shared;
    g_created = false;
}

KXEventWindowController::KXEventWindowController(const QString& address, KXEventSettings settings, QWidget* parent)
    : QWidget(parent, Qt::Window), m_address(address), m_settings(std::move(settings)) {
    setObjectName(QStringLiteral("EventWindow"));
    m_btOpen = new QPushButton(localized(QStringLiteral("Check It Now")));
    m_btOpen->setObjectName(QStringLiteral("btOpen"));
    m_btOpen->setDefault(true);
    m_btNO = new QPushButton(localized(QStringLiteral("Close")));
    m_btNO->setObjectName(QStringLiteral("btNO"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_btNO);
    buttons->addWidget(m_btOpen);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->addLayout(buttons);
    connect(m_btOpen, &QPushButton::clicked, this, &KXEventWindowController::openInBrowserAction);
    connect(m_btNO, &QPushButton::clicked, this, &KXEventWindowController::closeAction);
    m_queue = new KXStoreFetchQueue(m_settings.network, {std::max(1, m_settings.attempts), m_settings.firstPause}, this);
    start();
}

KXEventWindowController::~KXEventWindowController() = default;

void KXEventWindowController::start() {
    const QUrl url(m_address);
    // An address that is not a web address reads nothing: the window is never shown.
    m_queue->fetch(url, kMaxDescriptionBytes, [this](bool ok, const QByteArray& body) { descriptionArrived(ok, body); });
}

void KXEventWindowController::descriptionArrived(bool ok, const QByteArray& body) {
    const std::optional<Value> description = ok ? kx::readPropertyList(body) : std::nullopt;
    if (!description || description->type() != Value::Type::Dictionary) {
        emit decided(false);
        return;
    }
    m_event = KXEvent::fromDescription(description->toDictionary());
    m_hasEvent = true;
    const QDateTime now = m_settings.now ? m_settings.now() : QDateTime::currentDateTimeUtc();
    const std::int64_t days = std::clamp<std::int64_t>(m_event.intervalDate, 0, 3650);
    m_settings.defaults->setValue(KXRequestEventDate, Value(now.addDays(days)));
    const bool show = KXShouldShowEvent(m_event, m_settings.eventVersion, m_settings.defaults->integerValue(KXEventID), now) &&
                      kx::isWebAddress(QUrl(m_event.contentURL));
    if (show)
        present();
    emit decided(show);
}

void KXEventWindowController::present() {
    m_presenting = true;
    // The web engine is loaded only for a promotion that is due, not at every launch.
    m_webView = new QWebEngineView(this);
    m_webView->setObjectName(QStringLiteral("webView"));
    m_webView->setPage(new KXEventPage(this));
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, m_webView, 1);
    connect(m_webView, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (!ok)
            return;  // a page that fails to load leaves the window hidden
        show();
        raise();
        activateWindow();
        emit pageShown();
    });
    const double width = std::clamp(m_event.pageWidth, 100.0, kMaxPageSide);
    const double height = std::clamp(m_event.pageHeight, 100.0, kMaxPageSide);
    // The web view is exactly the page's size; the window adds the button row below it.
    m_webView->setFixedSize(int(width), int(height));
    layout()->activate();
    adjustSize();
    setWindowTitle(m_event.title);
    m_webView->setUrl(QUrl(m_event.contentURL));
}

void KXEventWindowController::closePromotion() {
    close();
    if (m_hasEvent)
        m_settings.defaults->setValue(KXEventID, Value(m_event.eventID));
}

void KXEventWindowController::track(const QString& label) {
    GAObject* analytics = m_settings.analytics;
    if (!analytics)
        return;
    analytics->clearEvent();
    analytics->trackEventType(QStringLiteral("Event"), m_event.title, label, 1);
    analytics->postEvent();
}

void KXEventWindowController::openInBrowserAction() {
    if (m_event.eventType == 1) {
        kx::NotificationCenter::defaultCenter().post(KXCheckIAPEventNotification, this);
    } else if (m_event.eventType == 0) {
        const QUrl link(m_event.eventLink);
        if (kx::isWebAddress(link) && m_settings.openURL)
            m_settings.openURL(link);
    }
    closePromotion();
    track(QStringLiteral("Check It Now"));
}

void KXEventWindowController::closeAction() {
    closePromotion();
    track(QStringLiteral("Close"));
}

void KXEventWindowController::linkFollowed(const QUrl& url) {
    if (kx::isWebAddress(url) && m_settings.openURL)
        m_settings.openURL(url);
    track(url.toString());
}
