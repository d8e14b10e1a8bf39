// The content store's catalogue: a small version document (its address from Info.plist
// "ProductsListVersionURL") points at the product list; both are property lists (XML or binary). The list
// is cached in the store's data folder and asked for again only when the version document's check interval
// has passed and its version has risen. Pack logos and previews are cached in one folder per pack there.
//
// Every name taken from a remote address or from the catalogue is checked before it becomes part of a path,
// and only folders directly inside the data folder are ever removed. Remote identifiers used as settings
// keys are escaped under one settings group. Fetches are bounded in size and time and retried a bounded
// number of times with growing pauses. Use from the main thread only.
#pragma once

#include "platform/foundation/value.h"

#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <deque>
#include <functional>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class KXUserNotifications;

namespace kx {
class UserDefaults;
}

// Settings keys of the catalogue.
inline const QString KXProductsListURL = QStringLiteral("KXProductsListURL");
inline const QString KXProductsListVersion = QStringLiteral("KXProductsListVersion");
inline const QString KXProductsListUpdateTime = QStringLiteral("KXProductsListUpdateTime");
// The settings group that holds the values stored under remote identifiers (pack image versions, news
// announcements already shown).
inline const QString KXStoreRemoteKeysGroup = QStringLiteral("KXStoreRemoteKeys");

// The last path component of an address; empty when the address is not http(s) or the name is refused.
QString KXStoreFileNameForURL(const QString& address);
// The name of the folder that holds the file on the server (for …/packs/summer/logo.png, "summer"); empty
// when there is none or it is refused.
QString KXStoreParentFolderNameForURL(const QString& address);
// The settings key under which a remote identifier's value is kept: the identifier percent-encoded inside
// KXStoreRemoteKeysGroup, so that no identifier can name another group or key.
QString KXStoreSettingsKey(const QString& remoteIdentifier);
// Removes the folder `name` directly inside `parent` with everything in it. A refused name, a path that
// does not resolve to a folder inside `parent`, or a symbolic link (only the link goes) never removes anything
// else. False when nothing was removed.
bool KXRemoveFolderInside(const QString& parent, const QString& name);

// How failed fetches are repeated: `attempts` tries in all, the pause doubling from `firstPause`.
struct KXStoreRetryPolicy {
    int attempts = 4;
    std::chrono::milliseconds firstPause{1000};
    std::chrono::milliseconds pauseBefore(int retry) const { return firstPause * (1 << std::min(retry, 16)); }
};

// The store's fetches: at most 8 at once, the rest wait in order. Each fetch is bounded in size and time and
// retried with back-off; the callback gets the body, or ok = false after the last attempt.
class KXStoreFetchQueue : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxConcurrent = 8;
    using Callback = std::function<void(bool ok, const QByteArray& body)>;

    KXStoreFetchQueue(QNetworkAccessManager* network, KXStoreRetryPolicy retry, QObject* parent = nullptr);
    // Stops the fetches under way; their callbacks are not called.
    ~KXStoreFetchQueue() override;

    // Only http and https addresses are fetched; others fail at once (through the event loop).
    void fetch(const QUrl& url, qint64 maxBytes, Callback callback, int attempts = -1);

    int runningCount() const { return m_running; }
    int waitingCount() const { return int(m_waiting.size()); }
    // The most fetches that ran at once since the queue was made.
    int highestConcurrency() const { return m_highest; }

private:
    struct Job {
        QUrl url;
        qint64 maxBytes = 0;
        Callback callback;
        int attemptsLeft = 1;
        int retries = 0;
    };
    void startNext();
    void run(Job job);
    void attemptFailed(Job job);

    QNetworkAccessManager* m_network;
    KXStoreRetryPolicy m_retry;
    std::deque<Job> m_waiting;
    std::vector<QPointer<QNetworkReply>> m_replies;
    int m_running = 0;
    int m_highest = 0;
};

// Fetches pack images once per address at a time and caches them: every asker of an address in flight is
// answered by the one fetch.
class KXStoreImageLoader : public QObject {
    Q_OBJECT
public:
    // The largest image file fetched, and the largest decoded image (bytes).
    static constexpr qint64 kMaxImageBytes = 16 * 1024 * 1024;
    static constexpr int kMaxDecodedMegabytes = 128;

    explicit KXStoreImageLoader(KXStoreFetchQueue* queue, QObject* parent = nullptr);

    // Loads the image from the cache file when it exists, else fetches it, writes it to the cache file
    // (encoded by the file's extension, atomically) and answers with it; a null image when it cannot be had.
    void load(const QUrl& url, const QString& cachePath, std::function<void(const QImage&)> done);

    static QImage readImage(const QByteArray& bytes);
    static QImage readImageFile(const QString& path);

private:
    KXStoreFetchQueue* m_queue;
    QHash<QString, std::vector<std::function<void(const QImage&)>>> m_pending;
};

// Where the catalogue lives and what it talks to.
struct KXStoreCatalogueSettings {
    QNetworkAccessManager* network = nullptr;
    kx::UserDefaults* defaults = nullptr;
    KXUserNotifications* notifications = nullptr;
    // The clock; the system's when empty.
    std::function<QDateTime()> now;
    QString dataFolder;
    QUrl versionURL;
    KXStoreRetryPolicy retry;
    // The largest version document and product list fetched.
    qint64 maxDocumentBytes = 4 * 1024 * 1024;
    // The delay of the news notice.
    std::chrono::milliseconds newsDelay{30000};
};

class KXStoreCatalogue : public QObject {
    Q_OBJECT
public:
    explicit KXStoreCatalogue(KXStoreCatalogueSettings settings, QObject* parent = nullptr);

    // Obtains the product list: from the cache within the check interval, else after a version check (see
    // the header comment). Ends with productsReady or failed.
    void load();

    // The cached list's path: the data folder + the last path component of the stored list address; empty
    // when no usable address is stored.
    QString listCachePath() const;
    QDateTime now() const;
    const KXStoreCatalogueSettings& settings() const { return m_settings; }
    KXStoreFetchQueue* fetchQueue() const { return m_queue; }

signals:
    void productsReady(const kx::ValueArray& products);
    // The catalogue cannot be had now (no network and no cached list, or a damaged list).
    void failed();

private:
    void checkVersion(bool cacheExisted);
    void versionArrived(bool cacheExisted, bool ok, const QByteArray& body);
    void requestProductData(std::int64_t version, double interval);
    void loadProductsListFromCache();
    void productsArrived(const kx::ValueDictionary& list);
    void announceNews(const QString& identifier);
    void storeCheck(std::int64_t version, double interval);

    KXStoreCatalogueSettings m_settings;
    KXStoreFetchQueue* m_queue;
};

// One catalogue entry.
class KXProductResourceEntity : public QObject {
    Q_OBJECT
public:
    KXProductResourceEntity(QString dataFolder, kx::UserDefaults* defaults, QObject* parent = nullptr);

    QString productName, productDescription, productIdentifier, contentURL;
    QString logoURL() const { return m_logoURL; }
    QString previewURL() const { return m_previewURL; }
    // Store the address; a cached image file, when there, is loaded at once.
    void setLogoURL(const QString& url);
    void setPreviewURL(const QString& url);

    QImage logoImage() const { return m_logoImage; }
    QImage previewImage() const { return m_previewImage; }
    bool downloadingLogo() const { return m_downloadingLogo; }
    bool downloadingPreview() const { return m_downloadingPreview; }
    qint64 expectedLength = -1;
    quint64 bytesReceived = 0;

    // The pack's image folder inside the data folder (named after the logo's folder on the server), created
    // when missing; empty when the name is refused or the folder cannot be made.
    QString cacheFolder() const;
    QString logoCachePath() const;
    QString previewCachePath() const;
    // When the stored image version is lower than `version`: removes the image folder and stores the version.
    void checkVersion(std::int64_t version);
    // Fetches the image unless it is loaded or already being fetched.
    void downloadLogoImage(KXStoreImageLoader& loader);
    void downloadPreviewImage(KXStoreImageLoader& loader);

    // Builds an entry from a product dictionary (fields, then the version check).
    static KXProductResourceEntity* fromDictionary(const kx::ValueDictionary& product, const QString& dataFolder,
                                                   kx::UserDefaults* defaults, QObject* parent);

signals:
    void logoImageChanged();
    void previewImageChanged();

private:
    QString imageFolderName() const;
    QString cachePathFor(const QString& url) const;
    void loadCachedImage(const QString& path, QImage& image, void (KXProductResourceEntity::*changed)());
    void downloadImage(KXStoreImageLoader& loader, const QString& url, const QString& cachePath, QImage& image,
                       bool& downloading, void (KXProductResourceEntity::*changed)());

    QString m_dataFolder;
    kx::UserDefaults* m_defaults;
    QString m_logoURL, m_previewURL;
    QImage m_logoImage, m_previewImage;
    bool m_downloadingLogo = false;
    bool m_downloadingPreview = false;
};
