// A small client of the Facebook Graph service: it obtains an access token through the service's login dialog
// (shown in a web view sheet), keeps it in memory and in the token store, and sends Graph requests (GET, or a
// multipart POST that may carry an image), handing every answer to its delegate.
//
// Requests are asynchronous QNetworkAccessManager calls made and answered on the main thread. The addresses
// of the service (its web host, which serves the login dialog and the success page, and its Graph host) and
// the application identifier come from the application's Info.plist, so that tests point the client at a
// server on 127.0.0.1. Addresses that carry the token are never written to the log.
#pragma once

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <QVariantMap>
#include <QWidget>

#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

class KXFacebookTokenStore;
class PhWebViewController;

// Posted (object: the client) when a Graph request starts.
inline const QString KXDownLoadAlbums = QStringLiteral("KXDownLoadAlbums");
// Posted (object: the login sheet) when the login page fails to load.
inline const QString KXSignFacebookFaild = QStringLiteral("KXSignFacebookFaild");

// User settings of the token's expiry and permissions; the token string itself lives in the desktop's secret
// store (KXFacebookTokenStore), under the first key.
inline const QString FBAStoreccessToken = QStringLiteral("FBAStoreccessToken");
inline const QString FBStoreTokenExpiry = QStringLiteral("FBStoreTokenExpiry");
inline const QString FBStoreAccessPermissions = QStringLiteral("FBStoreAccessPermissions");

// The multipart boundary of every POST.
inline const QByteArray kFacebookBoundary = QByteArrayLiteral("3i2ndDfv2rTHiSisAbouNdArYfORhtTPEefj3q2f");

// Where the service is reached.
struct KXFacebookConfig {
    // Scheme, host and optional port of the web host ("https://www.example.com") and of the Graph host.
    QUrl webAddress;
    QUrl graphAddress;
    QString appID;
    // Seconds after which a Graph request is given up.
    int requestTimeoutSeconds = 180;

    // From the Info.plist keys "FacebookWebAddress", "FacebookGraphAddress" and "FacebookAppID".
    static KXFacebookConfig fromInfo();
    // Both addresses are http or https addresses with a host, and an application identifier is set.
    bool isComplete() const;
};

class PhAuthenticationToken {
public:
    // The expiry is now + seconds when seconds is not 0, else none (a token that does not expire).
    PhAuthenticationToken(QString token, qint64 secondsToExpiry, QString permissions);

    QString authenticationToken() const { return m_token; }
    // Invalid when the token does not expire.
    QDateTime expiry() const { return m_expiry; }
    QString permissions() const { return m_permissions; }

private:
    QString m_token;
    QDateTime m_expiry;
    QString m_permissions;
};

class PhFacebook;

class PhFacebookDelegate {
public:
    virtual ~PhFacebookDelegate() = default;
    // "valid" (bool); when not valid also "error" (the login page's error description, possibly absent).
    virtual void tokenResult(const QVariantMap& result) = 0;
    // "result" (the answer decoded as UTF-8; empty when nothing came back or the request failed), "request"
    // (the path), "raw" (the answer's bytes), "status" (the HTTP status, 0 without one), "sender" (the client).
    virtual void requestResult(const QVariantMap& result) = 0;
    // The login address and the permissions; true means the delegate shows the login itself.
    virtual bool needsAuthentication(const QUrl& loginURL, const QString& permissions) {
        Q_UNUSED(loginURL);
        Q_UNUSED(permissions);
        return false;
    }
};

// The parameters of a request, in order. A value is a QString, a QImage (sent as TIFF with LZW compression)
// or a QByteArray (sent as it is: image/jpeg when it holds a JPEG, else content/unknown).
using KXGraphParams = QList<QPair<QString, QVariant>>;

// What the login dialog's success address carries.
struct KXFacebookLoginAnswer {
    QString accessToken;  // empty when absent
    qint64 expiresIn = 0;  // 0 when absent
    QString errorDescription;
};

class PhFacebook : public QObject {
    Q_OBJECT
public:
    PhFacebook(const QString& appID, PhFacebookDelegate* delegate, KXFacebookConfig config = KXFacebookConfig::fromInfo(),
               QObject* parent = nullptr);
    ~PhFacebook() override;

    QString appID() const { return m_appID; }
    const KXFacebookConfig& config() const { return m_config; }
    // The window the login sheet is shown on.
    void setSheetParent(QWidget* parent) { m_sheetParent = parent; }
    // Where the token is kept; replaceable (tests use a store on their own files).
    KXFacebookTokenStore& tokenStore() { return *m_store; }
    void setTokenStore(std::unique_ptr<KXFacebookTokenStore> store);

    // YES when a new login may be shown: an expired cached token is then ignored.
    void setIsOpen(bool open) { m_isOpen = open; }
    bool isOpen() const { return m_isOpen; }

    // Delivers a token through tokenResult: from the cache when it may be used and still fits, else after the
    // login dialog.
    void getAccessTokenForPermissions(const QStringList& permissions, bool cached);
    // Whether a token and its permissions are stored.
    bool isSignInFacebook() const;
    // Signs out: drops the token, removes it from the store and deletes the login view's cookies.
    void invalidateCachedToken();
    const PhAuthenticationToken* authToken() const { return m_token.get(); }

    // The login dialog's address for a permissions string, every value percent-encoded.
    QUrl loginURL(const QString& permissions) const;
    // The address the dialog redirects to once the user has signed in.
    QUrl redirectURL() const;
    // Whether an address is the success page (same scheme, host and port as the web address, and its path),
    // and what its fragment (or, for errors, its query) carries.
    bool isLoginSuccessURL(const QUrl& url) const;
    static KXFacebookLoginAnswer loginAnswer(const QUrl& url);

    // Cancels the login sheet.
    void closeFacebookWeb();
    bool webViewVisible() const;
    PhWebViewController* webViewController() const { return m_webViewController.get(); }

    // Called by the login sheet: replaces the token (none when `token` is empty), stores it and tells the
    // delegate.
    void setAccessToken(const QString& token, qint64 expiresIn, const QString& permissions, const QString& error);

    // A GET request of a path ("me/albums").
    void sendRequest(const QString& path);
    // Nothing is sent without a token.
    void sendRequest(const QString& path, const KXGraphParams& params, bool usePostRequest);
    // Aborts the requests under way; their answers are never delivered.
    void cancelRequests();
    int requestsInFlight() const { return int(m_replies.size()); }

    // The request addresses: `base` with the string parameters added to its query, keys and values
    // percent-encoded as UTF-8 (every character but the unreserved ones). Image and byte values are skipped.
    static QUrl serializeURL(const QUrl& base, const KXGraphParams& params, const QString& httpMethod);
    // The multipart/form-data body of a POST with kFacebookBoundary: string fields first, then files, then
    // the closing boundary.
    static QByteArray generatePostBody(const KXGraphParams& params);
    // The address of a Graph request (the token included).
    QUrl requestURL(const QString& path, const KXGraphParams& params, bool usePostRequest) const;

private:
    void notifyDelegateForToken(const QString& error);
    void acceptStoredToken(const QStringList& permissions, const QString& requested);
    void showLogin(const QString& permissions);
    void finished(QNetworkReply* reply, const QString& path);

    QString m_appID;
    PhFacebookDelegate* m_delegate;
    KXFacebookConfig m_config;
    bool m_isOpen = false;
    std::unique_ptr<PhAuthenticationToken> m_token;
    std::unique_ptr<KXFacebookTokenStore> m_store;
    std::unique_ptr<PhWebViewController> m_webViewController;
    QPointer<QWidget> m_sheetParent;
    QNetworkAccessManager* m_network = nullptr;
    QList<QNetworkReply*> m_replies;
    // Counts token requests, so that a stored token read after a newer request is dropped.
    quint64 m_tokenRequest = 0;
};
