// Where the Facebook access token is kept between launches.
//
// The token string goes to the desktop's secret store (the Secret Service, through QtKeychain). Where no
// secret store answers, it goes to a file of its own that only the user may read or write (mode 0600), never
// to the general settings file. Its expiry and permissions, which are no secret, stay in the user settings
// ("FBStoreTokenExpiry", "FBStoreAccessPermissions"); they are written with the token and removed with it,
// so they also tell whether a token is stored.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

struct KXStoredFacebookToken {
    QString token;
    QDateTime expiry;  // invalid: no expiry
    QString permissions;
};

class KXFacebookTokenStore : public QObject {
    Q_OBJECT
public:
    // `fallbackFile` empty: "facebook-token" beside the user settings file.
    explicit KXFacebookTokenStore(QString fallbackFile = {}, QObject* parent = nullptr);

    // Whether the secret store is tried at all (on by default).
    void setUsesSecretService(bool uses) { m_usesSecretService = uses; }
    // The secret store's service name (the bundle identifier by default).
    void setServiceName(const QString& name) { m_service = name; }
    QString fallbackFile() const { return m_fallbackFile; }

    // Whether permissions (and so a token) are stored.
    bool hasStoredToken() const;
    // Reads the token; the callback runs on the main thread, later, with nothing when none is stored.
    void load(std::function<void(std::optional<KXStoredFacebookToken>)> done);
    // Keeps the token; `done` (may be empty) learns where it went: true for the secret store.
    void save(const KXStoredFacebookToken& stored, std::function<void(bool inSecretStore)> done = {});
    // Forgets the token everywhere.
    void clear();

    static QString defaultFallbackFile();

private:
    QString readFallback() const;
    bool writeFallback(const QString& token) const;

    QString m_fallbackFile;
    QString m_service;
    bool m_usesSecretService = true;
    // Counts saves and clears, so that an answer of the secret store that comes after a newer change is
    // ignored.
    quint64 m_generation = 0;
};
