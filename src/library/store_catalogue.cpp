#include "library/store_catalogue.h"

#include "graphics/file_utilities.h"
#include "platform/foundation/atomic_file.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/user_defaults.h"
#include "platform/foundation/user_notifications.h"
#include "library/template_alerts.h"
#include "platform/foundation/web_address.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>

using kx::Value;
using kx::ValueArray;
using kx::ValueDictionary;

namespace {

constexpr int kTransferTimeoutMs = 30000;
// The longest check interval honoured (a year): a hostile or broken document cannot switch checks off.
constexpr double kMaxIntervalSeconds = 365.0 * 86400.0;


}  // namespace

QString KXStoreFileNameForURL(const QString& address) {
    const QUrl url(address);
    if (!kx::isWebAddress(url))
        return {};
    const QString name = url.path().section(u'/', -1);
    return isPlainFileName(name) ? name : QString();
}

QString KXStoreParentFolderNameForURL(const QString& address) {
    const QUrl url(address);
    if (!kx::isWebAddress(url))
        return {};
    const QStringList parts = url.path().split(u'/');
    if (parts.size() < 3)  // "", folder, file at least
        return {};
    const QString name = parts.at(parts.size() - 2);
    return isPlainFileName(name) ? name : QString();
}

QString KXStoreSettingsKey(const QString& remoteIdentifier) {
    if (remoteIdentifier.isEmpty())
        return {};
    return KXStoreRemoteKeysGroup + u'/' + QString::fromLatin1(QUrl::toPercentEncoding(remoteIdentifier));
}

bool KXRemoveFolderInside(const QString& parent, const QString& name) {
    if (parent.isEmpty() || !isPlainFileName(name))
        return false;
    const QString path = parent + u'/' + name;
    const QFileInfo info(path);
    if (info.isSymLink())
        return QFile::remove(path);  // the link goes, never what it points at
    if (!info.isDir())
        return false;
    const QString realParent = QFileInfo(parent).canonicalFilePath();
    if (realParent.isEmpty() || info.canonicalFilePath() != realParent + u'/' + name)
        return false;
    return QDir(path).removeRecursively();
}

// ---- fetch queue ----

KXStoreFetchQueue::KXStoreFetchQueue(QNetworkAccessManager* network, KXStoreRetryPolicy retry, QObject* parent)
    : QObject(parent), m_network(network), m_retry(retry) {}

KXStoreFetchQueue::~KXStoreFetchQueue() {
    for (const QPointer<QNetworkReply>& reply : m_replies)
        if (reply) {
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
        }
}

void KXStoreFetchQueue::fetch(const QUrl& url, qint64 maxBytes, Callback callback, int attempts) {
    Job job{url, maxBytes, std::move(callback), std::max(1, attempts < 0 ? m_retry.attempts : attempts), 0};
    if (!kx::isWebAddress(url) || !m_network) {
        QTimer::singleShot(0, this, [callback = std::move(job.callback)] { callback(false, {}); });
        return;
    }
    m_waiting.push_back(std::move(job));
    startNext();
}

void KXStoreFetchQueue::startNext() {
    while (m_running < kMaxConcurrent && !m_waiting.empty()) {
        Job job = std::move(m_waiting.front());
        m_waiting.pop_front();
        run(std::move(job));
    }
}

void KXStoreFetchQueue::run(Job job) {
    ++m_running;
    m_highest = std::max(m_highest, m_running);
    QNetworkRequest request(job.url);
    request.setTransferTimeout(kTransferTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = m_network->get(request);
    std::erase_if(m_replies, [](const QPointer<QNetworkReply>& r) { return r.isNull(); });
    m_replies.emplace_back(reply);
    auto body = std::make_shared<QByteArray>();
    auto tooLarge = std::make_shared<bool>(false);
    connect(reply, &QNetworkReply::readyRead, reply, [reply, body, tooLarge, max = job.maxBytes] {
        *body += reply->readAll();
        if (body->size() > max) {
            *tooLarge = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, body, tooLarge, job = std::move(job)]() mutable {
        reply->deleteLater();
        --m_running;
        if (reply->isOpen() && !*tooLarge)
            *body += reply->readAll();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool ok = reply->error() == QNetworkReply::NoError && !*tooLarge && body->size() <= job.maxBytes &&
                        (status == 0 || (status >= 200 && status < 300));
        if (ok)
            job.callback(true, *body);
        else if (*tooLarge)
            job.callback(false, {});  // the same answer would come again: no retry
        else
            attemptFailed(std::move(job));
        startNext();
    });
}

void KXStoreFetchQueue::attemptFailed(Job job) {
    if (--job.attemptsLeft <= 0) {
        job.callback(false, {});
        return;
    }
    const auto pause = m_retry.pauseBefore(job.retries++);
    QTimer::singleShot(pause, this, [this, job = std::move(job)]() mutable {
        m_waiting.push_back(std::move(job));
        startNext();
    });
}

// ---- images ----

KXStoreImageLoader::KXStoreImageLoader(KXStoreFetchQueue* queue, QObject* parent) : QObject(parent), m_queue(queue) {}

QImage KXStoreImageLoader::readImage(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAllocationLimit(kMaxDecodedMegabytes);
    return reader.read();
}

QImage KXStoreImageLoader::readImageFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxImageBytes)
        return {};
    return readImage(file.readAll());
}

void KXStoreImageLoader::load(const QUrl& url, const QString& cachePath, std::function<void(const QImage&)> done) {
    if (!cachePath.isEmpty() && QFileInfo(cachePath).isFile()) {
        const QImage cached = readImageFile(cachePath);
        if (!cached.isNull()) {
            done(cached);
            return;
        }
    }
    const QString key = url.toString();
    auto& waiting = m_pending[key];
    waiting.push_back(std::move(done));
    if (waiting.size() > 1)
        return;  // the running fetch answers this asker too
    m_queue->fetch(url, kMaxImageBytes, [this, key, cachePath](bool ok, const QByteArray& body) {
        QImage image = ok ? readImage(body) : QImage();
        if (!image.isNull() && !cachePath.isEmpty()) {
            // Encoded by the file's extension; a file that cannot be written is fetched again next time.
            QSaveFile file(cachePath);
            const QByteArray format = QFileInfo(cachePath).suffix().toLower().toLatin1();
            if (file.open(QIODevice::WriteOnly)) {
                QImageWriter writer(&file, QImageWriter::supportedImageFormats().contains(format) ? format : "png");
                if (writer.write(image))
                    file.commit();
                else
                    file.cancelWriting();
            }
        }
        const auto callbacks = m_pending.take(key);
        for (const auto& callback : callbacks)
            callback(image);
    });
}

// ---- catalogue ----

KXStoreCatalogue::KXStoreCatalogue(KXStoreCatalogueSettings settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)) {
    m_queue = new KXStoreFetchQueue(m_settings.network, m_settings.retry, this);
}

QDateTime KXStoreCatalogue::now() const {
    return m_settings.now ? m_settings.now() : QDateTime::currentDateTimeUtc();
}

QString KXStoreCatalogue::listCachePath() const {
    const QString name = KXStoreFileNameForURL(m_settings.defaults->stringValue(KXProductsListURL));
    if (name.isEmpty() || m_settings.dataFolder.isEmpty())
        return {};
    return m_settings.dataFolder + u'/' + name;
}

void KXStoreCatalogue::load() {
    const QString cachePath = listCachePath();
    const bool cacheExists = !cachePath.isEmpty() && QFileInfo(cachePath).isFile();
    const QDateTime updateTime = m_settings.defaults->value(KXProductsListUpdateTime).toDate();
    if (cacheExists && updateTime.isValid() && updateTime >= now()) {
        loadProductsListFromCache();
        return;
    }
    checkVersion(cacheExists);
}

void KXStoreCatalogue::checkVersion(bool cacheExisted) {
    // One attempt: without an answer the cached list serves.
    m_queue->fetch(m_settings.versionURL, m_settings.maxDocumentBytes,
                   [this, cacheExisted](bool ok, const QByteArray& body) { versionArrived(cacheExisted, ok, body); },
                   1);
}

void KXStoreCatalogue::versionArrived(bool cacheExisted, bool ok, const QByteArray& body) {
    const std::optional<Value> document = ok ? kx::readPropertyList(body) : std::nullopt;
    if (!document || document->type() != Value::Type::Dictionary) {
        if (cacheExisted)
            loadProductsListFromCache();
        else
            emit failed();
        return;
    }
    const ValueDictionary& dictionary = document->toDictionary();
    const auto field = [&](const char* key) {
        const auto it = dictionary.find(QString::fromLatin1(key));
        return it == dictionary.end() ? Value() : it->second;
    };
    const std::int64_t version = field("Version").toInteger();
    const double interval = std::clamp(field("Interval").toDouble(), 0.0, kMaxIntervalSeconds);
    if (cacheExisted && m_settings.defaults->integerValue(KXProductsListVersion) >= version) {
        storeCheck(version, interval);
        loadProductsListFromCache();
        return;
    }
    const QString listAddress = field("URL").toString();
    if (KXStoreFileNameForURL(listAddress).isEmpty()) {
        // An address we will not fetch or whose name cannot name the cache file.
        if (cacheExisted)
            loadProductsListFromCache();
        else
            emit failed();
        return;
    }
    m_settings.defaults->setValue(KXProductsListURL, listAddress);
    requestProductData(version, interval);
}

void KXStoreCatalogue::storeCheck(std::int64_t version, double interval) {
    m_settings.defaults->setValue(KXProductsListVersion, Value(version));
    m_settings.defaults->setValue(KXProductsListUpdateTime, Value(now().addMSecs(qint64(interval * 1000.0))));
}

void KXStoreCatalogue::requestProductData(std::int64_t version, double interval) {
    const QUrl url(m_settings.defaults->stringValue(KXProductsListURL));
    const QString cachePath = listCachePath();
    m_queue->fetch(url, m_settings.maxDocumentBytes, [this, cachePath, version, interval](bool ok, const QByteArray& body) {
        const std::optional<Value> list = ok ? kx::readPropertyList(body) : std::nullopt;
        if (!list || list->type() != Value::Type::Dictionary) {
            emit failed();
            return;
        }
        // The version is recorded only once the list it names is on disk, so that a failed fetch is retried
        // at the next opening instead of leaving an older list in use until the next version.
        if (kx::writeFileAtomically(cachePath, body))
            storeCheck(version, interval);
        productsArrived(list->toDictionary());
    });
}

void KXStoreCatalogue::loadProductsListFromCache() {
    QFile file(listCachePath());
    if (!file.open(QIODevice::ReadOnly) || file.size() > m_settings.maxDocumentBytes) {
        emit failed();
        return;
    }
    const std::optional<Value> list = kx::readPropertyList(file.readAll());
    if (!list || list->type() != Value::Type::Dictionary) {
        emit failed();
        return;
    }
    productsArrived(list->toDictionary());
}

void KXStoreCatalogue::productsArrived(const ValueDictionary& list) {
    const auto news = list.find(QStringLiteral("IAPNewsIdentifier"));
    if (news != list.end())
        announceNews(news->second.toString());
    const auto products = list.find(QStringLiteral("Products"));
    if (products == list.end() || products->second.type() != Value::Type::Array) {
        emit failed();
        return;
    }
    emit productsReady(products->second.toArray());
}

void KXStoreCatalogue::announceNews(const QString& identifier) {
    const QString key = KXStoreSettingsKey(identifier);
    if (key.isEmpty() || m_settings.defaults->boolValue(key) || !m_settings.notifications)
        return;
    KXUserNotification notice;
    notice.identifier = identifier;
    notice.title = kx::templates::localized(QStringLiteral("NewIAP"));
    notice.informativeText = kx::templates::localized(QStringLiteral("NewIAPTip"));
    notice.actionButtonTitle = kx::templates::localized(QStringLiteral("Check"));
    notice.deliveryDelay = m_settings.newsDelay;
    m_settings.notifications->scheduleNotification(notice);
    m_settings.defaults->setValue(key, Value(true));
}

// ---- entries ----

KXProductResourceEntity::KXProductResourceEntity(QString dataFolder, kx::UserDefaults* defaults, QObject* parent)
    : QObject(parent), m_dataFolder(std::move(dataFolder)), m_defaults(defaults) {}

QString KXProductResourceEntity::imageFolderName() const {
    return KXStoreParentFolderNameForURL(m_logoURL);
}

QString KXProductResourceEntity::cacheFolder() const {
    const QString name = imageFolderName();
    if (name.isEmpty() || m_dataFolder.isEmpty())
        return {};
    const QString path = m_dataFolder + u'/' + name;
    const QFileInfo info(path);
    if (info.isSymLink())
        return {};  // never write through a link planted in the cache
    if (!info.isDir() && !QDir().mkpath(path))
        return {};
    return path;
}

QString KXProductResourceEntity::cachePathFor(const QString& url) const {
    const QString name = KXStoreFileNameForURL(url);
    const QString folder = name.isEmpty() ? QString() : cacheFolder();
    return folder.isEmpty() ? QString() : folder + u'/' + name;
}

QString KXProductResourceEntity::logoCachePath() const {
    return cachePathFor(m_logoURL);
}

QString KXProductResourceEntity::previewCachePath() const {
    return cachePathFor(m_previewURL);
}

void KXProductResourceEntity::setLogoURL(const QString& url) {
    m_logoURL = url;
    loadCachedImage(logoCachePath(), m_logoImage, &KXProductResourceEntity::logoImageChanged);
}

void KXProductResourceEntity::setPreviewURL(const QString& url) {
    m_previewURL = url;
    loadCachedImage(previewCachePath(), m_previewImage, &KXProductResourceEntity::previewImageChanged);
}

void KXProductResourceEntity::loadCachedImage(const QString& path, QImage& image,
                                              void (KXProductResourceEntity::*changed)()) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    image = KXStoreImageLoader::readImageFile(path);
    emit(this->*changed)();
}

void KXProductResourceEntity::checkVersion(std::int64_t version) {
    const QString key = KXStoreSettingsKey(productIdentifier);
    if (key.isEmpty() || m_defaults->integerValue(key) >= version)
        return;
    KXRemoveFolderInside(m_dataFolder, imageFolderName());
    m_defaults->setValue(key, Value(version));
}

void KXProductResourceEntity::downloadLogoImage(KXStoreImageLoader& loader) {
    downloadImage(loader, m_logoURL, logoCachePath(), m_logoImage, m_downloadingLogo,
                  &KXProductResourceEntity::logoImageChanged);
}

void KXProductResourceEntity::downloadPreviewImage(KXStoreImageLoader& loader) {
    downloadImage(loader, m_previewURL, previewCachePath(), m_previewImage, m_downloadingPreview,
                  &KXProductResourceEntity::previewImageChanged);
}

void KXProductResourceEntity::downloadImage(KXStoreImageLoader& loader, const QString& url, const QString& cachePath,
                                            QImage& image, bool& downloading, void (KXProductResourceEntity::*changed)()) {
    if (!image.isNull() || downloading || url.isEmpty())
        return;
    downloading = true;
    // The fields live as long as the entry; the entry may go before the fetch ends.
    QPointer<KXProductResourceEntity> self(this);
    loader.load(QUrl(url), cachePath, [self, &image, &downloading, changed](const QImage& loaded) {
        if (!self)
            return;
        downloading = false;
        if (loaded.isNull())
            return;
        image = loaded;
        emit(self->*changed)();
    });
}

KXProductResourceEntity* KXProductResourceEntity::fromDictionary(const ValueDictionary& product,
                                                                 const QString& dataFolder,
                                                                 kx::UserDefaults* defaults, QObject* parent) {
    const auto text = [&](const char* key) {
        const auto it = product.find(QString::fromLatin1(key));
        return it == product.end() ? QString() : it->second.toString();
    };
    auto* entry = new KXProductResourceEntity(dataFolder, defaults, parent);
    entry->productName = text("Name");
    entry->productDescription = text("Description");
    entry->productIdentifier = text("Identifier");
    entry->contentURL = text("Content URL");
    // The logo first: the image folder is named from its address.
    entry->setLogoURL(text("Logo URL"));
    entry->setPreviewURL(text("Preview URL"));
    const auto version = product.find(QStringLiteral("Version"));
    entry->checkVersion(version == product.end() ? 0 : version->second.toInteger());
    return entry;
}
