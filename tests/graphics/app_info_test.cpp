#include "graphics/app_info.h"

#include "test_bundle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const QByteArray kInfo =
    "<key>PublisherURL</key><string>https://publisher.example/</string>"
    "<key>HelpURL</key><string>https://help.example/</string>"
    "<key>SupportURL</key><string>https://support.example/</string>"
    "<key>HomePageURL</key><string>https://home.example/</string>"
    "<key>FeedbackURL</key><string>https://feedback.example/</string>"
    "<key>ShareFacebookURL</key><string>https://share.example/</string>"
    "<key>AppStoreURL</key><string>https://store.example/</string>"
    "<key>CFBundleName</key><string>Kollage</string>"
    "<key>CFBundleVersion</key><string>1.4.2</string>";

TEST(InfoValues, EachFunctionReadsItsKey) {
    TestBundle bundle(kInfo);
    EXPECT_EQ(publisherURL(), QStringLiteral("https://publisher.example/"));
    EXPECT_EQ(helpURL(), QStringLiteral("https://help.example/"));
    EXPECT_EQ(supportURL(), QStringLiteral("https://support.example/"));
    EXPECT_EQ(homePageURL(), QStringLiteral("https://home.example/"));
    EXPECT_EQ(feedbackURL(), QStringLiteral("https://feedback.example/"));
    EXPECT_EQ(shareFacebookURL(), QStringLiteral("https://share.example/"));
    EXPECT_EQ(appStoreURL(), QStringLiteral("https://store.example/"));
    EXPECT_EQ(bundleName(), QStringLiteral("Kollage"));
    EXPECT_EQ(bundleVersion(), QStringLiteral("1.4.2"));
}

TEST(InfoValues, MissingOrNonStringKeysGiveNull) {
    TestBundle bundle("<key>HelpURL</key><integer>3</integer>");
    EXPECT_TRUE(helpURL().isNull());
    EXPECT_TRUE(supportURL().isNull());
    EXPECT_TRUE(bundleName().isNull());
}

// Records what openURLString asks of the desktop instead of launching a browser or showing an alert.
class OpenURL : public ::testing::Test {
protected:
    OpenURL()
        : m_bundle("<key>CFBundleName</key><string>Kollage</string>",
                   "\"FailedOpenURL\" = \"The address could not be opened.\";\n\"OK\" = \"Fine\";\n") {
        setURLOpener([this](const QUrl& url) {
            opened.push_back(url);
            return openerSucceeds;
        });
        setOpenURLAlertPresenter([this](const QString& message, const QString& button) {
            alerts.emplace_back(message, button);
        });
    }
    ~OpenURL() override {
        setURLOpener({});
        setOpenURLAlertPresenter({});
    }

    TestBundle m_bundle;
    bool openerSucceeds = true;
    std::vector<QUrl> opened;
    std::vector<std::pair<QString, QString>> alerts;
};

TEST_F(OpenURL, OpenedAddressShowsNoAlert) {
    openURLString(QStringLiteral("https://help.example/page?x=1"));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://help.example/page?x=1")));
    EXPECT_TRUE(alerts.empty());
}

TEST_F(OpenURL, FailedOpenShowsTheLocalizedAlert) {
    openerSucceeds = false;
    openURLString(QStringLiteral("https://help.example/"));
    EXPECT_EQ(opened.size(), 1u);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].first, QStringLiteral("The address could not be opened."));
    EXPECT_EQ(alerts[0].second, QStringLiteral("Fine"));
}

TEST_F(OpenURL, NullOrInvalidAddressFailsWithoutAskingTheDesktop) {
    for (const QString& address : {QString(), QString(""), QStringLiteral("no scheme here"),
                                   QStringLiteral("http://[broken")}) {
        openURLString(address);
    }
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(alerts.size(), 4u);
}

}  // namespace
