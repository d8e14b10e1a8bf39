#include "output/facebook_client.h"
#include "output/facebook_login_sheet.h"
#include "output/facebook_token_store.h"
#include "platform/foundation/notification_center.h"
#include "support/qt_message_check.h"
#include "../facebook_fixture.h"

#include <QDialog>
#include <QUrlQuery>
#include <QWebEngineView>

#include <gtest/gtest.h>

// The browser engine deletes some of its objects through a base of another size and keeps some allocations
// to the end of the process, which AddressSanitizer reports; that is the engine's affair, not this program's.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore\n";
}

namespace {

using namespace fbtest;
using kxtest::waitFor;

// What the engine says while it starts on a machine without a GPU.
class EngineWarnings {
public:
    EngineWarnings()
        : m_context("WebEngineContext|OpenGL|graphics backend|GL Type|Sandbox|QSG|Init Parameters", 0),
          // The engine's own error page logs from its scripts.
          m_errorPage("crbug/|deprecated", 0) {}

private:
    kxtest::ExpectedQtWarning m_context;
    kxtest::ExpectedQtWarning m_errorPage;
};

class RealLoginDelegate : public RecordingDelegate {
public:
    bool needsAuthentication(const QUrl&, const QString&) override { return false; }
};

class FacebookLoginSheetTest : public FacebookTestBase {
protected:
    static void SetUpTestSuite() {
        // Test machines run as root, where the engine's sandbox cannot start.
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    void SetUp() override {
        FacebookTestBase::SetUp();
        m_window.resize(700, 560);
        m_window.show();
        // The login page sets a session cookie and sends the browser on to the success page, its token in
        // the fragment.
        const QByteArray success = "/connect/login_success.html#access_token=TOKEN%2B1&expires_in=5183944";
        m_server.setRoute("/dialog/oauth",
                          kxtest::Response{302, {}, "text/html", {},
                                           "HTTP/1.1 302 Found\r\nLocation: " + m_server.baseAddress().toUtf8() + success +
                                               "\r\nSet-Cookie: session=abc; Path=/\r\nContent-Length: 0\r\n"
                                               "Connection: close\r\n\r\n"});
        m_server.setRoute("/connect/login_success.html",
                          kxtest::Response{200, "<html><body>Success</body></html>", "text/html", {}, {}});
    }

    // Signs in through the sheet; the request the login page got.
    kxtest::Request signIn(PhFacebook& client, RealLoginDelegate& delegate) {
        const size_t tokens = delegate.tokens.size();
        const int pages = m_server.requestCount("/dialog/oauth");
        client.setIsOpen(true);
        client.getAccessTokenForPermissions(kPermissions.split(','), false);
        EXPECT_TRUE(waitFor([&] { return delegate.tokens.size() > tokens; }, std::chrono::seconds(60)));
        EXPECT_EQ(m_server.requestCount("/dialog/oauth"), pages + 1);
        for (auto it = m_server.requests().rbegin(); it != m_server.requests().rend(); ++it)
            if (it->path.startsWith("/dialog/oauth"))
                return *it;
        return {};
    }

    QWidget m_window;
};

TEST_F(FacebookLoginSheetTest, TheSheetTakesTheTokenFromTheSuccessAddressAndSignOutDropsTheCookies) {
    EngineWarnings warnings;
    RealLoginDelegate delegate;
    {
        PhFacebook client(QStringLiteral("4711"), &delegate, loopbackConfig(m_server));
        client.setTokenStore(fileStore());
        client.setSheetParent(&m_window);

        const kxtest::Request first = signIn(client, delegate);
        ASSERT_EQ(delegate.tokens.size(), 1u);
        EXPECT_TRUE(delegate.tokens[0].value("valid").toBool());
        ASSERT_NE(client.authToken(), nullptr);
        EXPECT_EQ(client.authToken()->authenticationToken(), "TOKEN+1");
        EXPECT_EQ(client.authToken()->permissions(), kPermissions);
        EXPECT_NEAR(QDateTime::currentDateTimeUtc().secsTo(client.authToken()->expiry()) / 86400.0, 60.0, 0.01);
        EXPECT_FALSE(client.webViewVisible());
        const QUrlQuery query(QUrl::fromEncoded("http://h" + first.path));
        EXPECT_EQ(query.queryItemValue("client_id"), "4711");
        EXPECT_EQ(query.queryItemValue("redirect_uri", QUrl::FullyDecoded),
                  m_server.url("/connect/login_success.html").toString());
        EXPECT_EQ(first.headers.count("cookie"), 0u);

        // A second login in the same session brings the service's cookie along...
        client.setAccessToken({}, 0, {}, {});
        const kxtest::Request second = signIn(client, delegate);
        EXPECT_EQ(second.headers.count("cookie") ? second.headers.at("cookie") : QByteArray(), "session=abc");

        // ...until signing out removes it.
        client.invalidateCachedToken();
        kxtest::serveEvents(std::chrono::milliseconds(300));
        const kxtest::Request third = signIn(client, delegate);
        EXPECT_EQ(third.headers.count("cookie"), 0u);
    }
    kxtest::serveEvents(std::chrono::milliseconds(200));
}

TEST_F(FacebookLoginSheetTest, ALoginPageThatCannotLoadIsReported) {
    EngineWarnings warnings;
    RealLoginDelegate delegate;
    KXFacebookConfig config = loopbackConfig(m_server);
    config.webAddress = refusingAddress();
    ASSERT_TRUE(config.webAddress.isValid());
    PhFacebook client(QStringLiteral("4711"), &delegate, config);
    client.setTokenStore(fileStore());
    client.setSheetParent(&m_window);
    int failures = 0;
    kx::NotificationToken observation = kx::NotificationCenter::defaultCenter().addObserver(
        KXSignFacebookFaild, nullptr, [&](const kx::Notification& note) {
            EXPECT_EQ(note.sender, client.webViewController());
            ++failures;
        });
    client.setIsOpen(true);
    client.getAccessTokenForPermissions(kPermissions.split(','), false);
    ASSERT_TRUE(waitFor([&] { return failures > 0; }, std::chrono::seconds(60)));
    EXPECT_TRUE(client.webViewVisible());
    EXPECT_TRUE(delegate.tokens.empty());
    client.closeFacebookWeb();
    EXPECT_FALSE(client.webViewVisible());
}

}  // namespace
