#include "output/facebook_token_store.h"

#include "output/facebook_client.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/user_defaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr qint64 kMaximumTokenBytes = 64 * 1024;

kx::UserDefaults& defaults() {
    return kx::UserDefaults::standard();
}

}  // namespace

KXFacebookTokenStore::KXFacebookTokenStore(QString fallbackFile, QObject* parent)
    : QObject(parent),
      m_fallbackFile(fallbackFile.isEmpty() ? defaultFallbackFile() : std::move(fallbackFile)),
      m_service(kx::Bundle::main().bundleIdentifier()) {
    if (m_service.isEmpty())
        m_service = QStringLiteral("Kollage");
}

QString KXFacebookTokenStore::defaultFallbackFile() {
    return QFileInfo(kx::UserDefaults::defaultFilePath()).absolutePath() + QStringLiteral("/facebook-token");
}

bool KXFacebookTokenStore::hasStoredToken() const {
    return !defaults().stringValue(FBStoreAccessPermissions).isEmpty();
}

QString KXFacebookTokenStore::readFallback() const {
    QFile file(m_fallbackFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // A file others could read or change is not trusted with the token.
    if ((file.permissions() & ~(kOwnerOnly | QFileDevice::ReadUser | QFileDevice::WriteUser)) != 0)
        return {};
    return QString::fromUtf8(file.read(kMaximumTokenBytes)).trimmed();
}

bool KXFacebookTokenStore::writeFallback(const QString& token) const {
    QDir().mkpath(QFileInfo(m_fallbackFile).absolutePath());
    QSaveFile file(m_fallbackFile);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // The new file is closed to others before the token is written into it.
    if (!file.setPermissions(kOwnerOnly)) {
        file.cancelWriting();
        return false;
    }
    file.write(token.toUtf8());
    return file.commit() && QFile::setPermissions(m_fallbackFile, kOwnerOnly);
}

void KXFacebookTokenStore::load(std::function<void(std::optional<KXStoredFacebookToken>)> done) {
    KXStoredFacebookToken stored;
    stored.permissions = defaults().stringValue(FBStoreAccessPermissions);
    stored.expiry = defaults().value(FBStoreTokenExpiry).toDate();
    QPointer<KXFacebookTokenStore> self(this);
    auto finish = [self, stored, done](QString token) mutable {
        if (!self)
            return;
        if (token.isEmpty())
            token = self->readFallback();
        stored.token = token;
        if (stored.token.isEmpty() || stored.permissions.isEmpty())
            done(std::nullopt);
        else
            done(stored);
    };
    if (stored.permissions.isEmpty()) {
        QTimer::singleShot(0, this, [done] { done(std::nullopt); });
        return;
    }
    if (!m_usesSecretService) {
        QTimer::singleShot(0, this, [finish]() mutable { finish({}); });
        return;
    }
    auto* job = new QKeychain::ReadPasswordJob(m_service, this);
    job->setAutoDelete(true);
    job->setKey(FBAStoreccessToken);
    connect(job, &QKeychain::Job::finished, this, [finish](QKeychain::Job* finishedJob) mutable {
        auto* read = static_cast<QKeychain::ReadPasswordJob*>(finishedJob);
        finish(read->error() == QKeychain::NoError ? read->textData() : QString());
    });
    job->start();
}

void KXFacebookTokenStore::save(const KXStoredFacebookToken& stored, std::function<void(bool)> done) {
    const quint64 generation = ++m_generation;
    defaults().setValue(FBStoreAccessPermissions, stored.permissions.isEmpty() ? kx::Value() : kx::Value(stored.permissions));
    defaults().setValue(FBStoreTokenExpiry, stored.expiry.isValid() ? kx::Value(stored.expiry) : kx::Value());
    defaults().synchronize();
    QPointer<KXFacebookTokenStore> self(this);
    auto fallBack = [self, token = stored.token, done, generation] {
        if (!self || generation != self->m_generation)
            return;
        self->writeFallback(token);
        if (done)
            done(false);
    };
    if (!m_usesSecretService) {
        QTimer::singleShot(0, this, fallBack);
        return;
    }
    auto* job = new QKeychain::WritePasswordJob(m_service, this);
    job->setAutoDelete(true);
    job->setKey(FBAStoreccessToken);
    job->setTextData(stored.token);
    connect(job, &QKeychain::Job::finished, this, [self, fallBack, done, generation](QKeychain::Job* finishedJob) {
        if (!self || generation != self->m_generation)
            return;
        if (finishedJob->error() != QKeychain::NoError) {
            fallBack();
            return;
        }
        // The secret store holds it now: an older copy in the file goes.
        QFile::remove(self->m_fallbackFile);
        if (done)
            done(true);
    });
    job->start();
}

void KXFacebookTokenStore::clear() {
    ++m_generation;
    defaults().removeValue(FBStoreAccessPermissions);
    defaults().removeValue(FBStoreTokenExpiry);
    defaults().synchronize();
    QFile::remove(m_fallbackFile);
    if (!m_usesSecretService)
        return;
    auto* job = new QKeychain::DeletePasswordJob(m_service, this);
    job->setAutoDelete(true);
    job->setKey(FBAStoreccessToken);
    job->start();
}
