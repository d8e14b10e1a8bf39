#include "app_services/ga_object.h"

#include "platform/foundation/user_defaults.h"
#include "platform/foundation/web_address.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUuid>

namespace {

QByteArray encoded(const QString& value) { return QUrl::toPercentEncoding(value); }

// The shared client belongs to the application object, so that it ends before the application does.
QPointer<GAObject>& sharedClient() {
    static QPointer<GAObject> client;
    return client;
}
bool sharedClientCreated = false;

// The stored client id, or a new random one stored in its place.
QString clientIDFrom(kx::UserDefaults& defaults) {
    static const QRegularExpression wellFormed(QStringLiteral("^[0-9a-f]{32}$"));
    const QString stored = defaults.stringValue(GAObject::clientIDDefaultsKey);
    if (wellFormed.match(stored).hasMatch())
        return stored;
    const QString fresh = QUuid::createUuid().toString(QUuid::Id128);
    defaults.setValue(GAObject::clientIDDefaultsKey, kx::Value(fresh));
    defaults.synchronize();
    return fresh;
}

}  // namespace

const QString GAObject::clientIDDefaultsKey = QStringLiteral("KXAnalyticsClientID");

GAObject::GAObject(kx::UserDefaults& defaults, QObject* parent)
    : QObject(parent), m_clientID(clientIDFrom(defaults)), m_network(new QNetworkAccessManager(this)) {
    // Hits go to the configured address only.
    m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

GAObject::GAObject(QObject* parent) : GAObject(kx::UserDefaults::standard(), parent) {}

GAObject::~GAObject() = default;

void GAObject::initializeGATrackerWithID(const QString& trackerID, const QUrl& collectURL) {
    if (sharedClientCreated)
        return;
    sharedClientCreated = true;
    GAObject* client = new GAObject(QCoreApplication::instance());
    client->setTrackerID(trackerID);
    client->setCollectURL(collectURL);
    sharedClient() = client;
}

GAObject* GAObject::defaultObject() { return sharedClient().data(); }

bool GAObject::isEnabled() const {
    return !m_trackerID.isEmpty() && kx::isWebAddress(m_collectURL);
}

QByteArray GAObject::pageViewHit(const QString& pageName) const {
    return "v=1&tid=" + encoded(m_trackerID) + "&cid=" + encoded(m_clientID) +
           "&t=pageview&dh=http://" + encoded(pageName) + "/&dp=/home&dt=homepage&fl=" +
           encoded(QSysInfo::productVersion());
}

QByteArray GAObject::eventHit(const QString& category, const QString& action, const QString& label,
                              int value) const {
    return "v=" + QByteArray::number(1) + "&tid=" + encoded(m_trackerID) + "&cid=" + encoded(m_clientID) +
           "&t=event&ec=" + encoded(category) + "&ea=" + encoded(action) + "&el=" + encoded(label) +
           "&ev=" + QByteArray::number(value);
}

void GAObject::startTrackPage(const QString& pageName) { send(pageViewHit(pageName)); }

void GAObject::trackEventType(const QString& category, const QString& action, const QString& label, int value) {
    m_eventQueue.append(eventHit(category, action, label, value));
}

void GAObject::clearEvent() { m_eventQueue.clear(); }

void GAObject::postEvent() {
    for (const QByteArray& hit : m_eventQueue)
        send(hit);
}

void GAObject::send(const QByteArray& hit) {
    if (!isEnabled())
        return;
    QNetworkRequest request(m_collectURL);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setHeader(QNetworkRequest::ContentLengthHeader, hit.size());
    request.setTransferTimeout(int(m_timeout.count()));
    QNetworkReply* reply = m_network->post(request, hit);
    // The answer is of no use: stop reading as soon as it starts, and drop the reply when it ends.
    connect(reply, &QNetworkReply::readyRead, reply, &QNetworkReply::abort);
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

void KXGoogleAnalytics::trackTemplate(GAObject& client, const QString& category, const QString& path) {
    // A template is a folder: its path may end with a separator.
    const QFileInfo info(QDir::cleanPath(path));
    client.clearEvent();
    client.trackEventType(category, QStringLiteral("Template Category"), info.dir().dirName(), 1);
    client.trackEventType(category, QStringLiteral("Template Name"), info.completeBaseName(), 1);
    client.postEvent();
}

void KXGoogleAnalytics::trackTemplateWithPath(const QString& path) {
    if (GAObject* client = GAObject::defaultObject())
        trackTemplate(*client, QStringLiteral("Template"), path);
}

void KXGoogleAnalytics::trackFavoriteTemplateWithPath(const QString& path) {
    if (GAObject* client = GAObject::defaultObject())
        trackTemplate(*client, QStringLiteral("Template Favorite"), path);
}
