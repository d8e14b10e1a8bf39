#include "output/facebook_client.h"

#include "output/export_dialogs.h"
#include "output/facebook_login_sheet.h"
#include "output/facebook_token_store.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/web_address.h"

#include <QBuffer>
#include <QDialog>
#include <QImageWriter>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProgressBar>
#include <QUrlQuery>
#include <QWebEngineView>

namespace {

QString infoString(const char* key) {
    return kx::Bundle::main().infoValue(QString::fromLatin1(key)).toString();
}

// Percent-encodes every character but the unreserved ones, so that "&", "=", "+" and "#" in a value stay
// part of it.
QString encoded(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

// The query of `url` with the pairs added, keys and values fully encoded.
void addEncodedItems(QUrl& url, const QList<QPair<QString, QString>>& pairs) {
    QUrlQuery query(url);
    for (const auto& [key, value] : pairs)
        query.addQueryItem(encoded(key), encoded(value));
    url.setQuery(query);
}

bool isFileValue(const QVariant& value) {
    return value.typeId() == QMetaType::QImage || value.typeId() == QMetaType::QByteArray;
}

QByteArray tiffData(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    writer.setCompression(1);  // LZW
    writer.write(image);
    return bytes;
}

// Quotes a multipart parameter, leaving out the characters that would end it.
QByteArray quotedField(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.replace('"', "%22").replace('\r', "%0D").replace('\n', "%0A");
    return '"' + bytes + '"';
}

}  // namespace

// ---- configuration and token ----

KXFacebookConfig KXFacebookConfig::fromInfo() {
    KXFacebookConfig config;
    config.webAddress = QUrl(infoString("FacebookWebAddress"));
    config.graphAddress = QUrl(infoString("FacebookGraphAddress"));
    config.appID = infoString("FacebookAppID");
    return config;
}

bool KXFacebookConfig::isComplete() const {
    return kx::isWebAddress(webAddress) && kx::isWebAddress(graphAddress) && !appID.isEmpty();
}

PhAuthenticationToken::PhAuthenticationToken(QString token, qint64 secondsToExpiry, QString permissions)
    : m_token(std::move(token)), m_permissions(std::move(permissions)) {
    if (secondsToExpiry != 0)
        m_expiry = QDateTime::currentDateTimeUtc().addSecs(secondsToExpiry);
}

// ---- client ----

PhFacebook::PhFacebook(const QString& appID, PhFacebookDelegate* delegate, KXFacebookConfig config, QObject* parent)
    : QObject(parent),
      m_appID(appID),
      m_delegate(delegate),
      m_config(std::move(config)),
      m_store(std::make_unique<KXFacebookTokenStore>()),
      m_network(new QNetworkAccessManager(this)) {
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

PhFacebook::~PhFacebook() {
    cancelRequests();
}

void PhFacebook::setTokenStore(std::unique_ptr<KXFacebookTokenStore> store) {
    if (store)
        m_store = std::move(store);
}

bool PhFacebook::isSignInFacebook() const {
    return m_store->hasStoredToken();
}

void PhFacebook::getAccessTokenForPermissions(const QStringList& permissions, bool cached) {
    const QString requested = permissions.join(QLatin1Char(','));
    const quint64 request = ++m_tokenRequest;
    if (cached && !m_token) {
        QPointer<PhFacebook> self(this);
        m_store->load([self, permissions, requested, request](std::optional<KXStoredFacebookToken> stored) {
            if (!self || request != self->m_tokenRequest)
                return;
            if (stored && !self->m_token) {
                // No stored expiry: a token that does not expire; a past one stays in the past.
                qint64 seconds = 0;
                if (stored->expiry.isValid()) {
                    seconds = QDateTime::currentDateTimeUtc().secsTo(stored->expiry);
                    if (seconds <= 0)
                        seconds = -1;
                }
                self->m_token = std::make_unique<PhAuthenticationToken>(stored->token, seconds, stored->permissions);
            }
            self->acceptStoredToken(permissions, requested);
        });
        return;
    }
    acceptStoredToken(permissions, requested);
}

void PhFacebook::acceptStoredToken(const QStringList& permissions, const QString& requested) {
    Q_UNUSED(permissions);
    if (m_token && m_token->permissions().compare(requested, Qt::CaseInsensitive) == 0) {
        const QDateTime expiry = m_token->expiry();
        if (!expiry.isValid() || expiry > QDateTime::currentDateTimeUtc() || !m_isOpen) {
            notifyDelegateForToken({});
            return;
        }
    }
    m_token.reset();
    showLogin(requested);
}

QUrl PhFacebook::redirectURL() const {
    QUrl url = m_config.webAddress;
    url.setPath(QStringLiteral("/connect/login_success.html"));
    return url;
}

QUrl PhFacebook::loginURL(const QString& permissions) const {
    QUrl url = m_config.webAddress;
    url.setPath(QStringLiteral("/dialog/oauth"));
    addEncodedItems(url, {{QStringLiteral("client_id"), m_appID},
                          {QStringLiteral("redirect_uri"), redirectURL().toString(QUrl::FullyEncoded)},
                          {QStringLiteral("scope"), permissions},
                          {QStringLiteral("response_type"), QStringLiteral("token")}});
    return url;
}

bool PhFacebook::isLoginSuccessURL(const QUrl& url) const {
    const QUrl success = redirectURL();
    return url.isValid() && url.scheme().compare(success.scheme(), Qt::CaseInsensitive) == 0 &&
           url.host().compare(success.host(), Qt::CaseInsensitive) == 0 &&
           url.port(-1) == success.port(-1) && url.path().compare(success.path(), Qt::CaseInsensitive) == 0;
}

KXFacebookLoginAnswer PhFacebook::loginAnswer(const QUrl& url) {
    // The token comes in the fragment; an error may come in either part.
    const QUrlQuery fragment(url.fragment(QUrl::FullyEncoded));
    const QUrlQuery query(url);
    auto value = [&](const QString& key) {
        const QString inFragment = fragment.queryItemValue(key, QUrl::FullyDecoded);
        return inFragment.isEmpty() ? query.queryItemValue(key, QUrl::FullyDecoded) : inFragment;
    };
    KXFacebookLoginAnswer answer;
    answer.accessToken = fragment.queryItemValue(QStringLiteral("access_token"), QUrl::FullyDecoded);
    bool ok = false;
    const qint64 expires = fragment.queryItemValue(QStringLiteral("expires_in")).toLongLong(&ok);
    answer.expiresIn = ok && expires > 0 ? expires : 0;
    answer.errorDescription = value(QStringLiteral("error_description"));
    return answer;
}

void PhFacebook::showLogin(const QString& permissions) {
    const QUrl url = loginURL(permissions);
    if (m_delegate && m_delegate->needsAuthentication(url, permissions))
        return;
    if (!m_webViewController)
        m_webViewController = std::make_unique<PhWebViewController>(this);
    PhWebViewController* sheet = m_webViewController.get();
    sheet->setSheetParent(m_sheetParent);
    if (m_isOpen) {
        sheet->setIsShow(true);
        presentSheet(sheet->window(), m_sheetParent, false);
        sheet->progress()->show();
    }
    sheet->setPermissions(permissions);
    sheet->load(url);
}

void PhFacebook::closeFacebookWeb() {
    if (m_webViewController)
        m_webViewController->cancel();
}

bool PhFacebook::webViewVisible() const {
    return m_webViewController && m_webViewController->isVisible();
}

void PhFacebook::setAccessToken(const QString& token, qint64 expiresIn, const QString& permissions, const QString& error) {
    if (token.isEmpty())
        m_token.reset();
    else
        m_token = std::make_unique<PhAuthenticationToken>(token, expiresIn, permissions);
    notifyDelegateForToken(error);
}

void PhFacebook::notifyDelegateForToken(const QString& error) {
    if (m_token) {
        m_store->save({m_token->authenticationToken(), m_token->expiry(), m_token->permissions()});
        if (m_delegate)
            m_delegate->tokenResult({{QStringLiteral("valid"), true}});
        return;
    }
    QVariantMap result{{QStringLiteral("valid"), false}};
    if (!error.isEmpty())
        result.insert(QStringLiteral("error"), error);
    if (m_delegate)
        m_delegate->tokenResult(result);
}

void PhFacebook::invalidateCachedToken() {
    ++m_tokenRequest;
    m_token.reset();
    m_store->clear();
    if (m_webViewController)
        m_webViewController->deleteCookies();
}

// ---- requests ----

QUrl PhFacebook::serializeURL(const QUrl& base, const KXGraphParams& params, const QString& httpMethod) {
    QList<QPair<QString, QString>> pairs;
    for (const auto& [key, value] : params) {
        if (isFileValue(value)) {
            if (httpMethod == QLatin1String("GET"))
                qInfo("can not use GET to upload a file");
            continue;
        }
        if (value.typeId() == QMetaType::QString)
            pairs.append({key, value.toString()});
    }
    QUrl url = base;
    addEncodedItems(url, pairs);
    return url;
}

QByteArray PhFacebook::generatePostBody(const KXGraphParams& params) {
    const QByteArray boundary = "--" + kFacebookBoundary;
    QByteArray body;
    for (const auto& [key, value] : params) {
        if (isFileValue(value))
            continue;
        body += boundary + "\r\n";
        body += "Content-Disposition: form-data; name=" + quotedField(key) + "\r\n\r\n";
        body += value.toString().toUtf8() + "\r\n";
    }
    for (const auto& [key, value] : params) {
        if (!isFileValue(value))
            continue;
        QByteArray data;
        QByteArray type = "content/unknown";
        QString fileName = key;
        if (value.typeId() == QMetaType::QImage) {
            data = tiffData(value.value<QImage>());
            type = "image/tiff";
            fileName += QStringLiteral(".tiff");
        } else {
            data = value.toByteArray();
            if (data.startsWith("\xFF\xD8\xFF")) {
                type = "image/jpeg";
                fileName += QStringLiteral(".jpg");
            }
        }
        body += boundary + "\r\n";
        body += "Content-Disposition: form-data; name=" + quotedField(key) + "; filename=" + quotedField(fileName) +
                "\r\n";
        body += "Content-Type: " + type + "\r\n\r\n";
        body += data + "\r\n";
    }
    body += boundary + "--\r\n";
    return body;
}

QUrl PhFacebook::requestURL(const QString& path, const KXGraphParams& params, bool usePostRequest) const {
    QUrl url = m_config.graphAddress;
    // A path may bring its own query ("me/photos?limit=5").
    const qsizetype mark = path.indexOf(QLatin1Char('?'));
    QString basePath = mark < 0 ? path : path.left(mark);
    if (!basePath.startsWith(QLatin1Char('/')))
        basePath.prepend(QLatin1Char('/'));
    url.setPath(basePath);
    if (mark >= 0)
        url.setQuery(path.mid(mark + 1));
    const QString token = m_token ? m_token->authenticationToken() : QString();
    if (usePostRequest) {
        url = serializeURL(url, params, QStringLiteral("POST"));
        addEncodedItems(url, {{QStringLiteral("access_token"), token}});
    } else {
        addEncodedItems(url, {{QStringLiteral("access_token"), token}});
        url = serializeURL(url, params, QStringLiteral("GET"));
    }
    return url;
}

void PhFacebook::sendRequest(const QString& path) {
    sendRequest(path, {}, false);
}

void PhFacebook::sendRequest(const QString& path, const KXGraphParams& params, bool usePostRequest) {
    if (!m_token)
        return;
    QNetworkRequest request(requestURL(path, params, usePostRequest));
    request.setTransferTimeout(m_config.requestTimeoutSeconds * 1000);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setRawHeader("User-Agent", "FacebookConnect");
    QNetworkReply* reply = nullptr;
    if (usePostRequest) {
        request.setRawHeader("Content-Type", "multipart/form-data; boundary=" + kFacebookBoundary);
        reply = m_network->post(request, generatePostBody(params));
    } else {
        reply = m_network->get(request);
    }
    m_replies.append(reply);
    connect(reply, &QNetworkReply::finished, this, [this, reply, path] { finished(reply, path); });
    kx::NotificationCenter::defaultCenter().post(KXDownLoadAlbums, this);
}

void PhFacebook::cancelRequests() {
    const QList<QNetworkReply*> replies = std::exchange(m_replies, {});
    for (QNetworkReply* reply : replies) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void PhFacebook::finished(QNetworkReply* reply, const QString& path) {
    m_replies.removeOne(reply);
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // An HTTP error keeps its body: the service explains there what went wrong (an expired token, say).
    const QByteArray raw = reply->readAll();
    if (reply->error() != QNetworkReply::NoError) {
        // The reply's own error text names the address, and with it the token: only the path and the
        // status go to the log.
        qInfo("Graph request %s failed (HTTP status %d)", qPrintable(path), status);
    }
    if (!m_delegate)
        return;
    m_delegate->requestResult({{QStringLiteral("result"), QString::fromUtf8(raw)},
                               {QStringLiteral("request"), path},
                               {QStringLiteral("raw"), raw},
                               {QStringLiteral("status"), status},
                               {QStringLiteral("sender"), QVariant::fromValue<QObject*>(this)}});
}
