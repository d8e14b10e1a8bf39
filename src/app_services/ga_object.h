// The usage-analytics client: anonymous usage events posted to a web-analytics collection endpoint as
// form-encoded hits of the measurement protocol, version 1.
//
// Nothing is ever sent unless both a tracking id and a collection address are configured; the default
// application has neither, so it sends nothing. The client id is a random identifier kept in the user
// settings, never anything read from the machine. Every inserted value is percent-encoded, so a value holding
// "&" or "=" cannot add fields. Requests go only to the configured address (redirects are not followed) and
// end within a time limit; answers and failures are ignored. Use from the main thread only.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;

namespace kx {
class UserDefaults;
}

class GAObject : public QObject {
    Q_OBJECT
public:
    // User-settings key of the client id.
    static const QString clientIDDefaultsKey;

    // A client with an empty queue and the client id of the given settings (created and stored there when
    // missing or malformed). Sends nothing until a tracking id and a collection address are set.
    explicit GAObject(kx::UserDefaults& defaults, QObject* parent = nullptr);
    // The same on the application's settings (kx::UserDefaults::standard()).
    explicit GAObject(QObject* parent = nullptr);
    ~GAObject() override;

    // Creates the shared client with the tracking id and the collection address (for instance
    // "https://host/collect"); later calls do nothing.
    static void initializeGATrackerWithID(const QString& trackerID, const QUrl& collectURL = {});
    // The shared client; nullptr before initializeGATrackerWithID().
    static GAObject* defaultObject();

    QString trackerID() const { return m_trackerID; }
    void setTrackerID(const QString& trackerID) { m_trackerID = trackerID; }
    // Where hits go: an http or https address; anything else sends nothing.
    QUrl collectURL() const { return m_collectURL; }
    void setCollectURL(const QUrl& url) { m_collectURL = url; }
    std::chrono::milliseconds timeout() const { return m_timeout; }
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    // Whether hits are sent at all: a tracking id and a usable collection address are set.
    bool isEnabled() const;

    // The client id: 32 lower-case hexadecimal characters, random, kept in the user settings.
    QString GetHardwareUUID() const { return m_clientID; }

    // Sends one page-view hit at once (not queued).
    void startTrackPage(const QString& pageName);
    // Appends one event hit to the queue; nothing is sent yet.
    void trackEventType(const QString& category, const QString& action, const QString& label, int value);
    // Empties the queue.
    void clearEvent();
    // Sends every queued hit as its own request, in order. The queue is kept; senders start each group of
    // events with clearEvent().
    void postEvent();

    // The encoded hits waiting in the queue.
    const QList<QByteArray>& eventQueue() const { return m_eventQueue; }
    // The hits, encoded as they are sent.
    QByteArray pageViewHit(const QString& pageName) const;
    QByteArray eventHit(const QString& category, const QString& action, const QString& label, int value) const;

private:
    void send(const QByteArray& hit);

    QString m_trackerID;
    QString m_clientID;
    QUrl m_collectURL;
    std::chrono::milliseconds m_timeout{10000};
    QList<QByteArray> m_eventQueue;
    QNetworkAccessManager* m_network = nullptr;
};

// The events of the template chooser, on the shared client (nothing when there is none).
class KXGoogleAnalytics {
public:
    // Clears the queue, queues category "Template" events "Template Category" (the name of the folder that
    // holds the template) and "Template Name" (the template's name without its extension), and posts them.
    static void trackTemplateWithPath(const QString& path);
    // The same under category "Template Favorite".
    static void trackFavoriteTemplateWithPath(const QString& path);
    // The same on a given client with a given category.
    static void trackTemplate(GAObject& client, const QString& category, const QString& path);
};
