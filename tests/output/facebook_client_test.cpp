#include "output/facebook_client.h"

#include "output/facebook_token_store.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"
#include "support/environment_override.h"
#include "support/outside_tools.h"
#include "facebook_fixture.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QMutex>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

using namespace fbtest;
using kxtest::waitFor;

QByteArray jpegBytes(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "jpeg").write(image);
    return data;
}

// Records every Qt message while alive, then lets the previous handler see it too.
class MessageLog {
public:
    MessageLog() {
        s_log = this;
        m_previous = qInstallMessageHandler(&MessageLog::handle);
    }
    ~MessageLog() {
        qInstallMessageHandler(m_previous);
        s_log = nullptr;
    }
    QStringList messages() const {
        QMutexLocker lock(&m_mutex);
        return m_messages;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (s_log) {
            QMutexLocker lock(&s_log->m_mutex);
            s_log->m_messages.append(text);
        }
        if (s_log && s_log->m_previous)
            s_log->m_previous(type, context, text);
    }
    static inline MessageLog* s_log = nullptr;
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QStringList m_messages;
};

class FacebookClientTest : public FacebookTestBase {
protected:
    void SetUp() override {
        FacebookTestBase::SetUp();
        m_client = std::make_unique<PhFacebook>(QStringLiteral("4711"), &m_delegate, loopbackConfig(m_server));
        m_client->setTokenStore(fileStore());
    }
    void signIn(const QString& permissions = kPermissions) {
        m_client->setAccessToken(kToken, 0, permissions, {});
    }

    RecordingDelegate m_delegate;
    std::unique_ptr<PhFacebook> m_client;
};

TEST_F(FacebookClientTest, AlbumsAreAskedForWithTheEncodedTokenAndTheAnswerGoesToTheDelegate) {
    signIn();
    m_server.setRoute("/me/albums", kxtest::Response::json(R"({"data":[{"id":"1","name":"Ä"}]})"));
    int started = 0;
    kx::NotificationToken observation = kx::NotificationCenter::defaultCenter().addObserver(
        KXDownLoadAlbums, m_client.get(), [&](const kx::Notification&) { ++started; });
    m_client->sendRequest(QStringLiteral("me/albums"));
    EXPECT_EQ(started, 1);
    ASSERT_TRUE(waitFor([&] { return !m_delegate.requests.empty(); }));
    ASSERT_EQ(m_server.requests().size(), 1u);
    const kxtest::Request& request = m_server.requests()[0];
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, "/me/albums?access_token=EAAB%2Btok%2Fen%26x%3D1");
    EXPECT_EQ(request.headers.at("user-agent"), "FacebookConnect");
    const QVariantMap& result = m_delegate.requests[0];
    EXPECT_EQ(result.value("request").toString(), "me/albums");
    EXPECT_EQ(result.value("result").toString(), QString::fromUtf8(R"({"data":[{"id":"1","name":"Ä"}]})"));
    EXPECT_EQ(result.value("status").toInt(), 200);
    EXPECT_EQ(result.value("sender").value<QObject*>(), m_client.get());
}

TEST_F(FacebookClientTest, NothingIsSentWithoutAToken) {
    m_client->sendRequest(QStringLiteral("me/albums"));
    kxtest::serveEvents(std::chrono::milliseconds(200));
    EXPECT_TRUE(m_server.requests().empty());
    EXPECT_TRUE(m_delegate.requests.empty());
}

TEST_F(FacebookClientTest, PhotoPostCarriesEscapedFieldsInTheAddressAndAWellFormedMultipartBody) {
    KX_REQUIRE_TOOLS("/usr/bin/python3", "identify");
    signIn();
    m_server.setRoute("/me/photos", kxtest::Response::json(R"({"id":"99"})"));
    const QString caption = QStringLiteral("Tom & Jerry = friends + more, \"quoted\" #1 é\nline two");
    m_client->sendRequest(QStringLiteral("me/photos"),
                          {{"format", QStringLiteral("json")}, {"picture", jpegBytes({64, 48})}, {"caption", caption}},
                          true);
    ASSERT_TRUE(waitFor([&] { return !m_delegate.requests.empty(); }));
    ASSERT_EQ(m_server.requests().size(), 1u);
    const kxtest::Request& request = m_server.requests()[0];
    EXPECT_EQ(request.method, "POST");

    // The address: the string fields escaped ("&" as %26, "=" as %3D), then the token.
    const QByteArray target = request.path;
    EXPECT_TRUE(target.startsWith("/me/photos?format=json&caption=Tom%20%26%20Jerry%20%3D%20friends%20%2B%20more"))
        << target.constData();
    EXPECT_FALSE(target.contains("picture"));
    const QUrlQuery query(QUrl::fromEncoded("http://h" + target));
    EXPECT_EQ(query.queryItemValue("caption", QUrl::FullyDecoded), caption);
    EXPECT_EQ(query.queryItemValue("access_token", QUrl::FullyDecoded), kToken);
    EXPECT_EQ(query.allQueryItemValues("access_token").size(), 1);

    // The body, read by a real multipart parser.
    EXPECT_EQ(request.headers.at("content-type"), "multipart/form-data; boundary=" + kFacebookBoundary);
    const Multipart parts = parseMultipart(request.headers.at("content-type"), request.body, m_dir.path());
    EXPECT_TRUE(parts.multipart);
    EXPECT_TRUE(parts.defects.isEmpty()) << parts.defects.join(", ").toStdString();
    EXPECT_EQ(parts.fields.value("format").toString(), "json");
    EXPECT_EQ(parts.fields.value("caption").toString(), caption);
    ASSERT_EQ(parts.files.size(), 1u);
    EXPECT_EQ(parts.files[0].value("name").toString(), "picture");
    EXPECT_EQ(parts.files[0].value("type").toString(), "image/jpeg");
    EXPECT_EQ(identify(parts.files[0].value("path").toString()), "JPEG 64 48");
    EXPECT_EQ(m_delegate.requests[0].value("request").toString(), "me/photos");
}

TEST_F(FacebookClientTest, AnImageParameterIsSentAsLzwTiffAndTheBodyEndsWithTheClosingBoundary) {
    KX_REQUIRE_TOOLS("/usr/bin/python3", "identify");
    QImage image(30, 20, QImage::Format_ARGB32);
    image.fill(Qt::red);
    const QByteArray body = PhFacebook::generatePostBody({{"picture", image}, {"message", QStringLiteral("hi")}});
    EXPECT_TRUE(body.endsWith("--" + kFacebookBoundary + "--\r\n"));
    const Multipart parts =
        parseMultipart("multipart/form-data; boundary=" + kFacebookBoundary, body, m_dir.path());
    EXPECT_TRUE(parts.defects.isEmpty()) << parts.defects.join(", ").toStdString();
    EXPECT_EQ(parts.fields.value("message").toString(), "hi");
    ASSERT_EQ(parts.files.size(), 1u);
    EXPECT_EQ(parts.files[0].value("type").toString(), "image/tiff");
    EXPECT_EQ(identify(parts.files[0].value("path").toString(), "%m %w %h %C"), "TIFF 30 20 LZW");
}

TEST_F(FacebookClientTest, SerializedAddressesKeepFilesOutAndEncodeEveryValue) {
    const QUrl base(QStringLiteral("https://graph.example.org/me/photos?limit=5"));
    const QUrl url = PhFacebook::serializeURL(
        base, {{"caption", QStringLiteral("a&b=c+d/e?f#g")}, {"picture", QByteArray("xx")}}, QStringLiteral("POST"));
    EXPECT_EQ(url.toEncoded(), "https://graph.example.org/me/photos?limit=5&caption=a%26b%3Dc%2Bd%2Fe%3Ff%23g");
    EXPECT_EQ(QUrlQuery(url).queryItemValue("caption", QUrl::FullyDecoded), "a&b=c+d/e?f#g");
}

TEST_F(FacebookClientTest, AStoredTokenWithOtherPermissionsLeadsToTheEncodedLoginAddress) {
    // Stored by an earlier sign-in that asked for less.
    m_client->tokenStore().save({kToken, {}, QStringLiteral("user_photos")});
    kxtest::serveEvents(std::chrono::milliseconds(50));
    m_client->setIsOpen(false);
    m_client->getAccessTokenForPermissions(
        {QStringLiteral("user_photos"), QStringLiteral("read_stream"), QStringLiteral("publish_stream")}, true);
    ASSERT_TRUE(waitFor([&] { return !m_delegate.logins.empty(); }));
    EXPECT_TRUE(m_delegate.tokens.empty());
    EXPECT_EQ(m_client->authToken(), nullptr);
    const QUrl login = m_delegate.logins[0];
    EXPECT_EQ(login.host(), "127.0.0.1");
    EXPECT_EQ(login.port(), m_server.port());
    EXPECT_EQ(login.path(), "/dialog/oauth");
    const QByteArray encoded = login.toEncoded();
    EXPECT_TRUE(encoded.contains("scope=user_photos%2Cread_stream%2Cpublish_stream")) << encoded.constData();
    EXPECT_TRUE(encoded.contains("redirect_uri=http%3A%2F%2F127.0.0.1%3A")) << encoded.constData();
    const QUrlQuery query(login);
    EXPECT_EQ(query.queryItemValue("client_id"), "4711");
    EXPECT_EQ(query.queryItemValue("response_type"), "token");
    EXPECT_EQ(query.queryItemValue("redirect_uri", QUrl::FullyDecoded), m_server.url("/connect/login_success.html").toString());
    EXPECT_EQ(query.queryItemValue("scope", QUrl::FullyDecoded), kPermissions);
}

TEST_F(FacebookClientTest, StoredTokensAreUsedOrRefusedByPermissionsAndExpiry) {
    struct Case {
        const char* name;
        QString permissions;
        qint64 secondsLeft;  // 0: no expiry
        bool isOpen;
        bool valid;
    };
    const Case cases[] = {
        {"same permissions, no expiry", kPermissions, 0, true, true},
        {"permissions in other case", kPermissions.toUpper(), 3600, true, true},
        {"expired while a login may be shown", kPermissions, -60, true, false},
        {"expired but no login may be shown", kPermissions, -60, false, true},
        {"fewer permissions", QStringLiteral("user_photos"), 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingDelegate delegate;
        PhFacebook client(QStringLiteral("4711"), &delegate, loopbackConfig(m_server));
        client.setTokenStore(fileStore());
        client.tokenStore().save(
            {kToken, c.secondsLeft ? QDateTime::currentDateTimeUtc().addSecs(c.secondsLeft) : QDateTime(), c.permissions});
        kxtest::serveEvents(std::chrono::milliseconds(20));
        client.setIsOpen(c.isOpen);
        client.getAccessTokenForPermissions(kPermissions.split(','), true);
        ASSERT_TRUE(waitFor([&] { return !delegate.tokens.empty() || !delegate.logins.empty(); }));
        EXPECT_EQ(!delegate.tokens.empty(), c.valid);
        EXPECT_EQ(!delegate.logins.empty(), !c.valid);
        if (c.valid) {
            EXPECT_TRUE(delegate.tokens[0].value("valid").toBool());
            ASSERT_NE(client.authToken(), nullptr);
            EXPECT_EQ(client.authToken()->authenticationToken(), kToken);
        }
        client.tokenStore().clear();
    }
}

TEST_F(FacebookClientTest, TheSuccessAddressIsReadFromItsFragment) {
    struct Case {
        const char* address;
        QString token;
        qint64 expiresIn;
        QString error;
    };
    const Case cases[] = {
        {"#access_token=AB%2BC%26D&expires_in=5183944", "AB+C&D", 5183944, {}},
        {"#expires_in=5183944&access_token=XYZ", "XYZ", 5183944, {}},
        {"#access_token=XYZ", "XYZ", 0, {}},
        {"#access_token=XYZ&expires_in=soon", "XYZ", 0, {}},
        {"?access_token=INQUERY", {}, 0, {}},
        {"?error=access_denied&error_description=Permissions%20error%20%26%20more", {}, 0, "Permissions error & more"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const QUrl url = m_server.url(QStringLiteral("/connect/login_success.html") + QString::fromLatin1(c.address));
        ASSERT_TRUE(m_client->isLoginSuccessURL(url));
        const KXFacebookLoginAnswer answer = PhFacebook::loginAnswer(url);
        EXPECT_EQ(answer.accessToken, c.token);
        EXPECT_EQ(answer.expiresIn, c.expiresIn);
        EXPECT_EQ(answer.errorDescription, c.error);
    }
}

TEST_F(FacebookClientTest, OnlyTheWebHostsOwnSuccessPageCounts) {
    const QString port = QString::number(m_server.port());
    const QString addresses[] = {
        "http://127.0.0.2:" + port + "/connect/login_success.html#access_token=X",
        "http://127.0.0.1:" + QString::number(m_server.port() + 1) + "/connect/login_success.html#access_token=X",
        "https://127.0.0.1:" + port + "/connect/login_success.html#access_token=X",
        "http://127.0.0.1:" + port + "/connect/login_success.html.evil#access_token=X",
        "http://evil.example/?next=127.0.0.1:" + port + "/connect/login_success.html#access_token=X",
    };
    for (const QString& address : addresses)
        EXPECT_FALSE(m_client->isLoginSuccessURL(QUrl(address))) << address.toStdString();
}

TEST_F(FacebookClientTest, ExpiresInGivesAnExpiryAboutSixtyDaysAheadAndNoneGivesNoExpiry) {
    const QDateTime before = QDateTime::currentDateTimeUtc();
    m_client->setAccessToken(QStringLiteral("T1"), 5183944, kPermissions, {});
    ASSERT_NE(m_client->authToken(), nullptr);
    const double days = before.secsTo(m_client->authToken()->expiry()) / 86400.0;
    EXPECT_NEAR(days, 60.0, 0.01);
    ASSERT_EQ(m_delegate.tokens.size(), 1u);
    EXPECT_TRUE(m_delegate.tokens[0].value("valid").toBool());

    m_client->setAccessToken(QStringLiteral("T2"), 0, kPermissions, {});
    EXPECT_FALSE(m_client->authToken()->expiry().isValid());

    m_client->setAccessToken({}, 0, kPermissions, QStringLiteral("denied"));
    EXPECT_EQ(m_client->authToken(), nullptr);
    ASSERT_EQ(m_delegate.tokens.size(), 3u);
    EXPECT_FALSE(m_delegate.tokens[2].value("valid").toBool());
    EXPECT_EQ(m_delegate.tokens[2].value("error").toString(), "denied");
}

TEST_F(FacebookClientTest, CancellingAbortsTheRequestAndDeliversNothing) {
    signIn();
    m_server.setSilent(true);
    m_client->sendRequest(QStringLiteral("me/photos"), {{"picture", jpegBytes({32, 32})}}, true);
    ASSERT_TRUE(waitFor([&] { return m_server.requestCount("/me/photos") == 1; }));
    EXPECT_EQ(m_client->requestsInFlight(), 1);
    m_client->cancelRequests();
    EXPECT_EQ(m_client->requestsInFlight(), 0);
    EXPECT_TRUE(waitFor([&] { return m_server.closedConnections() >= 1; }));
    kxtest::serveEvents(std::chrono::milliseconds(100));
    EXPECT_TRUE(m_delegate.requests.empty());
}

TEST_F(FacebookClientTest, FailedRequestsNeverLogTheToken) {
    signIn();
    m_server.setRoute("/me/albums", kxtest::Response{500, "oops", "text/plain", {}, {}});
    MessageLog log;
    m_client->sendRequest(QStringLiteral("me/albums"));
    ASSERT_TRUE(waitFor([&] { return m_delegate.requests.size() == 1; }));
    EXPECT_EQ(m_delegate.requests[0].value("status").toInt(), 500);
    EXPECT_EQ(m_delegate.requests[0].value("result").toString(), "oops");

    // A host that refuses the connection.
    KXFacebookConfig closed = loopbackConfig(m_server);
    closed.graphAddress = refusingAddress();
    ASSERT_TRUE(closed.graphAddress.isValid());
    PhFacebook refused(QStringLiteral("4711"), &m_delegate, closed);
    refused.setTokenStore(fileStore());
    refused.setAccessToken(kToken, 0, kPermissions, {});
    refused.sendRequest(QStringLiteral("me/albums"));
    ASSERT_TRUE(waitFor([&] { return m_delegate.requests.size() == 2; }));
    EXPECT_EQ(m_delegate.requests[1].value("result").toString(), "");

    const QStringList messages = log.messages();
    EXPECT_GE(messages.size(), 2);
    for (const QString& message : messages) {
        EXPECT_FALSE(message.contains("tok")) << message.toStdString();
        EXPECT_FALSE(message.contains("access_token")) << message.toStdString();
    }
}

// ---- token store ----

TEST_F(FacebookClientTest, WithoutASecretStoreTheTokenGoesToAFileOnlyTheUserMayRead) {
    // The secret-store library answers through GLib's main loop: the thread-checking run replaces Qt's GLib
    // event dispatcher with its own, so the answer would never come there.
    if (qEnvironmentVariableIsSet("QT_NO_GLIB"))
        GTEST_SKIP() << "the secret store answers through GLib's main loop, which QT_NO_GLIB turns off";
    // No session bus: the desktop's secret store cannot answer.
    kxtest::EnvironmentOverride bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kx-test-bus");
    KXFacebookTokenStore store(m_dir.filePath("private/token"));
    std::optional<bool> inSecretStore;
    store.save({kToken, {}, kPermissions}, [&](bool secret) { inSecretStore = secret; });
    ASSERT_TRUE(waitFor([&] { return inSecretStore.has_value(); }, std::chrono::seconds(30)));
    EXPECT_FALSE(*inSecretStore);

    QFile file(store.fallbackFile());
    ASSERT_TRUE(file.exists());
    EXPECT_EQ(file.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), kToken);
    file.close();

    // The general settings file knows the permissions, never the token.
    kx::UserDefaults::standard().synchronize();
    QFile settings(kx::UserDefaults::standard().filePath());
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    const QByteArray settingsText = settings.readAll();
    EXPECT_FALSE(settingsText.contains("tok"));
    EXPECT_TRUE(store.hasStoredToken());

    std::optional<std::optional<KXStoredFacebookToken>> loaded;
    store.load([&](std::optional<KXStoredFacebookToken> token) { loaded = token; });
    ASSERT_TRUE(waitFor([&] { return loaded.has_value(); }, std::chrono::seconds(30)));
    ASSERT_TRUE(loaded->has_value());
    EXPECT_EQ((*loaded)->token, kToken);
    EXPECT_EQ((*loaded)->permissions, kPermissions);

    store.clear();
    EXPECT_FALSE(QFile::exists(store.fallbackFile()));
    EXPECT_FALSE(store.hasStoredToken());
}

TEST_F(FacebookClientTest, ATokenFileOthersCanReadIsNotTrusted) {
    auto store = fileStore();
    bool saved = false;
    store->save({kToken, {}, kPermissions}, [&](bool) { saved = true; });
    ASSERT_TRUE(waitFor([&] { return saved; }));
    ASSERT_TRUE(QFile::setPermissions(store->fallbackFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                 QFileDevice::ReadOther));
    std::optional<std::optional<KXStoredFacebookToken>> loaded;
    store->load([&](std::optional<KXStoredFacebookToken> token) { loaded = token; });
    ASSERT_TRUE(waitFor([&] { return loaded.has_value(); }));
    EXPECT_FALSE(loaded->has_value());
}

TEST_F(FacebookClientTest, SigningOutForgetsTheStoredTokenAndTheNextSignInShowsTheLogin) {
    signIn();
    kxtest::serveEvents(std::chrono::milliseconds(50));
    EXPECT_TRUE(m_client->isSignInFacebook());
    m_client->invalidateCachedToken();
    EXPECT_FALSE(m_client->isSignInFacebook());
    EXPECT_EQ(m_client->authToken(), nullptr);
    EXPECT_FALSE(QFile::exists(m_client->tokenStore().fallbackFile()));
    m_client->setIsOpen(true);
    m_client->getAccessTokenForPermissions(kPermissions.split(','), true);
    ASSERT_TRUE(waitFor([&] { return !m_delegate.logins.empty(); }));
    EXPECT_EQ(m_delegate.tokens.size(), 1u);  // only the first sign-in's
}

}  // namespace
