#include "output/facebook_share.h"

#include "graphics/app_info.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "output/export_dialogs.h"
#include "output/progress_sheet.h"
#include "output/share_view_controller.h"
#include "platform/foundation/bundle.h"
#include "support/outside_tools.h"
#include "facebook_fixture.h"

#include <QBuffer>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QImageWriter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

using namespace fbtest;
using kxtest::waitFor;

// A page of the given pixel size, filled with one colour.
std::shared_ptr<KXCanvas> pageOfSize(double width, double height) {
    auto page = std::make_shared<KXCanvas>();
    const KXSize size(width, height, KXSizeUnitPixel, 72);
    page->setPageSize(&size);
    page->zoomToFitSize(page->pixelSize());
    auto fill = std::make_shared<KXBackground>();
    fill->setColor1(kx::Color::srgb(0.9, 0.3, 0.1, 1));
    page->setBackground(fill);
    return page;
}

QString ownAlbumTitle() {
    return bundleName() + QStringLiteral(" for Mac Photos");
}

QStringList items(const QComboBox* box) {
    QStringList titles;
    for (int i = 0; i < box->count(); ++i)
        titles.append(box->itemText(i));
    return titles;
}

// The path of a request target, before its query.
QByteArray pathOf(const kxtest::Request& request) {
    return request.path.left(request.path.indexOf('?'));
}

// Counts the sheet's notifications in the order they came.
class NotificationLog {
public:
    explicit NotificationLog(const void* sender) {
        for (const QString& name : {KXShareFacebookClose, KXReloadShareImage, KXProgressBarDid, KXProgressBarDone,
                                    KXOpenShareFacebookPanel})
            m_tokens.push_back(kx::NotificationCenter::defaultCenter().addObserver(
                name, sender, [this](const kx::Notification& note) { names.append(note.name); }));
    }
    QStringList names;

private:
    std::vector<kx::NotificationToken> m_tokens;
};

const QByteArray kAlbums = QStringLiteral(
    R"({"data":[{"id":"11","name":"A","from":{"id":"7","name":"Me"}},{"id":"12","name":"B \"quoted\""},)"
    R"({"id":"13","name":"%1"},{"name":"no id"},{"id":"14","name":"A"}],"paging":{"next":"x"}})")
                               .arg(ownAlbumTitle())
                               .toUtf8();

class FacebookShareTest : public FacebookTestBase {
protected:
    void SetUp() override {
        FacebookTestBase::SetUp();
        registerModelClasses();
        setInformationalAlertRunner([this](const QString& message, const QString&) { alerts.append(message); });
        m_window.resize(800, 600);
        m_window.show();
    }
    void TearDown() override {
        setInformationalAlertRunner({});
        KXProgressBarController::setAlertRunner({});
        FacebookTestBase::TearDown();
    }

    // A sheet signed in on the loopback service, its albums listed.
    void signedIn(KXFBShareController& sheet, const QByteArray& albums = kAlbums) {
        sheet.fb()->setTokenStore(fileStore());
        sheet.setLoginPresenter([this](const QUrl& url, const QString&) {
            logins.push_back(url);
            return true;
        });
        m_server.setRoute("/me/albums", kxtest::Response::json(albums));
        sheet.fb()->setAccessToken(kToken, 0, kPermissions, {});
        ASSERT_TRUE(waitFor([&] { return sheet.pubAlbums()->count() > 0; }));
    }

    QWidget m_window;
    QStringList alerts;
    std::vector<QUrl> logins;
};

TEST(FacebookAlbumParser, ReadsTheAlbumListOfAnAnswer) {
    struct Case {
        const char* answer;
        std::optional<std::vector<KXFacebookAlbum>> albums;
    };
    using Albums = std::vector<KXFacebookAlbum>;
    const Case cases[] = {
        {R"({"data":[{"id":"1","name":"Trip"},{"id":"2","name":"Trip"}]})", Albums{{"1", "Trip"}, {"2", "Trip"}}},
        {R"({"data":[{"name":"first","id":"1"}]})", Albums{{"1", "first"}}},
        {R"({"data":[{"id":"1","name":"Zoë \"Z\" [x] {y}"}]})", Albums{{"1", "Zoë \"Z\" [x] {y}"}}},
        {R"({"data":[{"id":1,"name":"number id"},{"id":"2"},"text",{"id":"3","name":"ok"}]})", Albums{{"3", "ok"}}},
        {R"({"data":[]})", Albums{}},
        {R"([{"id":"5","name":"bare list"}])", Albums{{"5", "bare list"}}},
        {R"({"error":{"message":"Invalid OAuth access token.","type":"OAuthException","code":190}})", std::nullopt},
        {R"({"data":[{"id":"1","name":"cut)", std::nullopt},
        {"<html>not json</html>", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        EXPECT_EQ(KXFBShareController::albumsFormString(QString::fromUtf8(c.answer)), c.albums);
    }
}

TEST_F(FacebookShareTest, TheAlbumListStartsWithTheApplicationsOwnAlbumAndEachItemUploadsToItsAlbum) {
    KXFBShareController sheet(loopbackConfig(m_server));
    NotificationLog log(&sheet);
    sheet.openWebView();
    EXPECT_FALSE(sheet.btShare()->isEnabled());
    signedIn(sheet);
    EXPECT_EQ(m_server.requests().at(0).method, "GET");
    EXPECT_EQ(pathOf(m_server.requests().at(0)), "/me/albums");
    EXPECT_EQ(items(sheet.pubAlbums()), (QStringList{ownAlbumTitle(), "A", "B \"quoted\"", "A"}));
    EXPECT_EQ(sheet.pubAlbums()->currentIndex(), 0);
    EXPECT_TRUE(sheet.btShare()->isEnabled());
    EXPECT_EQ(sheet.resultText()->toPlainText(), exportText("ShareTitle").replace("%@", bundleName()));
    EXPECT_FALSE(sheet.pubAlbums()->isHidden());
    EXPECT_TRUE(sheet.pgDownloadAlbums()->isHidden());
    EXPECT_EQ(log.names, QStringList{KXOpenShareFacebookPanel});

    // Each item uploads to its own album; the first to the account's photos.
    sheet.setShareImage(QByteArray("\xFF\xD8\xFF\xE0 not really", 15));
    m_server.setRoute("/me/photos", kxtest::Response::json(R"({"id":"1"})"));
    const std::pair<int, QByteArray> choices[] = {{2, "/12/photos"}, {0, "/me/photos"}, {3, "/14/photos"}};
    for (const auto& [item, path] : choices) {
        sheet.pubAlbums()->setCurrentIndex(item);
        log.names.clear();
        const size_t before = m_server.requests().size();
        sheet.sharePhotoAction();
        EXPECT_EQ(log.names, (QStringList{KXReloadShareImage, KXProgressBarDid}));
        ASSERT_TRUE(waitFor([&] { return m_server.requests().size() == before + 1; }));
        EXPECT_EQ(m_server.requests().back().method, "POST");
        EXPECT_EQ(pathOf(m_server.requests().back()), path);
        ASSERT_TRUE(waitFor([&] { return log.names.contains(KXProgressBarDone); }));
    }
}

TEST_F(FacebookShareTest, AnAlbumAnswerThatCannotBeReadSignsOutAndSignsInAgain) {
    KXFBShareController sheet(loopbackConfig(m_server));
    NotificationLog log(&sheet);
    sheet.fb()->setTokenStore(fileStore());
    sheet.setLoginPresenter([this](const QUrl& url, const QString&) {
        logins.push_back(url);
        return true;
    });
    m_server.setRoute("/me/albums", kxtest::Response::json(R"({"error":{"type":"OAuthException"}})", 400));
    sheet.fb()->setAccessToken(kToken, 0, kPermissions, {});
    ASSERT_TRUE(waitFor([&] { return !logins.empty(); }));
    EXPECT_FALSE(sheet.fb()->isSignInFacebook());
    EXPECT_EQ(sheet.fb()->authToken(), nullptr);
    EXPECT_EQ(sheet.pubAlbums()->count(), 0);
    EXPECT_TRUE(log.names.contains(KXShareFacebookClose));
    EXPECT_EQ(QUrl(logins[0]).path(), "/dialog/oauth");
}

TEST_F(FacebookShareTest, SignOutForgetsAnUnexpiredTokenAndShowsTheLoginAgain) {
    KXFBShareController sheet(loopbackConfig(m_server));
    signedIn(sheet);
    ASSERT_TRUE(sheet.fb()->isSignInFacebook());
    sheet.btFbSign()->click();
    ASSERT_TRUE(waitFor([&] { return !logins.empty(); }));
    EXPECT_FALSE(sheet.fb()->isSignInFacebook());
    EXPECT_TRUE(sheet.fb()->isOpen());
    EXPECT_EQ(sheet.pubAlbums()->count(), 0);
}

TEST_F(FacebookShareTest, AnEmptyAlbumAnswerIsAFailedSignIn) {
    KXFBShareController sheet(loopbackConfig(m_server));
    NotificationLog log(&sheet);
    presentSheet(sheet.window(), &m_window, false);
    sheet.fb()->setTokenStore(fileStore());
    m_server.setRoute("/me/albums", kxtest::Response{500, {}, "text/plain", {}, {}});
    sheet.fb()->setAccessToken(kToken, 0, kPermissions, {});
    ASSERT_TRUE(waitFor([&] { return !alerts.empty(); }));
    EXPECT_EQ(alerts, QStringList{exportText("LoginFailed")});
    EXPECT_TRUE(log.names.contains(KXShareFacebookClose));
    EXPECT_TRUE(sheet.pgDownloadAlbums()->isHidden());
}

TEST_F(FacebookShareTest, ThePageIsFittedInto960PixelsAsAJpegWithAnSrgbProfile) {
    KX_REQUIRE_TOOLS("identify", "exiftool");
    struct Case {
        double width, height;
        const char* expected;
    };
    const Case cases[] = {{1920, 1080, "JPEG 960 540"}, {800, 600, "JPEG 800 600"}, {1000, 2000, "JPEG 480 960"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        std::shared_ptr<KXCanvas> page = pageOfSize(c.width, c.height)->outputCopy();
        const QByteArray data = facebookShareImageData(*page);
        const QString path = m_dir.filePath("page.jpg");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        file.close();
        EXPECT_EQ(identify(path), c.expected);
        const kxtest::ProgramResult exif =
            kxtest::runProgram("exiftool", {"-s3", "-ICC_Profile:ColorSpaceData", "-ICC_Profile:ProfileDescription", path});
        EXPECT_TRUE(exif.standardOutput.startsWith("RGB")) << exif.standardOutput.constData();
        EXPECT_TRUE(exif.standardOutput.contains("sRGB")) << exif.standardOutput.constData();
        // The colour survives the encoding (within what JPEG changes).
        const QStringList channels =
            identify(path, "%[fx:int(255*p{5,5}.r)] %[fx:int(255*p{5,5}.g)] %[fx:int(255*p{5,5}.b)]").split(' ');
        ASSERT_EQ(channels.size(), 3);
        const int expected[] = {230, 77, 26};
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(channels[i].toInt(), expected[i], 3) << i;
    }
}

class FacebookUploadTest : public FacebookShareTest {
protected:
    void SetUp() override {
        FacebookShareTest::SetUp();
        m_page = pageOfSize(1920, 1080);
        m_share = std::make_unique<KXFacebookShare>([this] { return m_page->outputCopy(); }, &m_window,
                                                    loopbackConfig(m_server));
        signedIn(*m_share->fbShareCtl());
    }
    void TearDown() override {
        m_share.reset();
        FacebookShareTest::TearDown();
    }
    // Opens the sheet; the sign-in lists the albums again before Share may be pressed.
    void open() {
        m_share->fbShareCollage();
        EXPECT_FALSE(m_share->fbShareCtl()->btShare()->isEnabled());
        ASSERT_TRUE(waitFor([&] { return m_share->fbShareCtl()->btShare()->isEnabled(); }));
    }

    std::shared_ptr<KXCanvas> m_page;
    std::unique_ptr<KXFacebookShare> m_share;
};

TEST_F(FacebookUploadTest, ShareUploadsTheRenderedPageUnderTheProgressSheetThenShowsTheSuccessSheet) {
    KX_REQUIRE_TOOLS("/usr/bin/python3", "identify", "exiftool");
    open();
    KXFBShareController* sheet = m_share->fbShareCtl();
    EXPECT_TRUE(sheet->window()->isVisible());
    m_server.setRoute("/me/photos", kxtest::Response::json(R"({"id":"555","post_id":"1_2"})", 200));
    sheet->resultText()->setPlainText("Our trip & more = fun");
    sheet->btShare()->click();
    EXPECT_FALSE(sheet->window()->isVisible());
    EXPECT_TRUE(m_share->sharePbCtl()->window()->isVisible());
    EXPECT_FALSE(m_share->shareResultCtl()->window()->isVisible());
    ASSERT_TRUE(waitFor([&] { return m_share->shareResultCtl()->window()->isVisible(); }));
    EXPECT_FALSE(m_share->sharePbCtl()->window()->isVisible());
    EXPECT_TRUE(alerts.isEmpty());
    ASSERT_EQ(m_server.requestCount("/me/photos"), 1);
    const kxtest::Request request = m_server.requests().back();
    m_share->shareResultCtl()->btCancel()->click();
    EXPECT_FALSE(m_share->shareResultCtl()->window()->isVisible());

    const Multipart parts = parseMultipart(request.headers.at("content-type"), request.body, m_dir.path());
    EXPECT_TRUE(parts.defects.isEmpty());
    EXPECT_EQ(parts.fields.value("caption").toString(), "Our trip & more = fun");
    EXPECT_EQ(parts.fields.value("format").toString(), "json");
    ASSERT_EQ(parts.files.size(), 1u);
    const QString picture = parts.files[0].value("path").toString();
    EXPECT_EQ(identify(picture), "JPEG 960 540");
    const kxtest::ProgramResult exif = kxtest::runProgram("exiftool", {"-s3", "-ICC_Profile:ProfileDescription", picture});
    EXPECT_TRUE(exif.standardOutput.contains("sRGB")) << exif.standardOutput.constData();
    EXPECT_EQ(QUrlQuery(QUrl::fromEncoded("http://h" + request.path)).queryItemValue("caption", QUrl::FullyDecoded),
              "Our trip & more = fun");
}

TEST_F(FacebookUploadTest, ARefusedUploadShowsAnAlertAndNoSuccessSheet) {
    open();
    m_server.setRoute("/me/photos", kxtest::Response::json(R"({"error":{"message":"nope"}})", 403));
    m_share->fbShareCtl()->btShare()->click();
    ASSERT_TRUE(waitFor([&] { return !alerts.empty(); }));
    EXPECT_EQ(alerts, QStringList{exportText("UploadFailed")});
    EXPECT_FALSE(m_share->sharePbCtl()->window()->isVisible());
    EXPECT_FALSE(m_share->shareResultCtl()->window()->isVisible());
}

TEST_F(FacebookUploadTest, CancellingTheUploadAbortsTheRequest) {
    open();
    m_server.setSilent(true);
    int asked = 0;
    KXProgressBarController::setAlertRunner([&](const QString& message, const QString&, const QString&, const QString&) {
        ++asked;
        EXPECT_EQ(message, exportText("ConfirmCancel"));
        return asked == 1 ? KXProgressBarController::AlertFirstButtonReturn + 1 : KXProgressBarController::AlertFirstButtonReturn;
    });
    m_share->fbShareCtl()->btShare()->click();
    ASSERT_TRUE(waitFor([&] { return m_server.requestCount("/me/photos") == 1; }));
    KXShareProgressBarController* progress = m_share->sharePbCtl();
    // Declined: the upload goes on.
    progress->btCancel()->click();
    EXPECT_FALSE(progress->isCancel());
    EXPECT_TRUE(progress->window()->isVisible());
    EXPECT_EQ(m_share->fbShareCtl()->fb()->requestsInFlight(), 1);
    // Confirmed: the request is aborted and nothing follows.
    progress->btCancel()->click();
    EXPECT_TRUE(progress->isCancel());
    EXPECT_FALSE(progress->window()->isVisible());
    EXPECT_EQ(m_share->fbShareCtl()->fb()->requestsInFlight(), 0);
    EXPECT_TRUE(waitFor([&] { return m_server.closedConnections() >= 1; }));
    kxtest::serveEvents(std::chrono::milliseconds(100));
    EXPECT_FALSE(m_share->shareResultCtl()->window()->isVisible());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(FacebookShareTest, ThePopoverOffersFacebookOnceTheServiceIsConfiguredAndOpensTheSheet) {
    // A bundle of the test's own whose Info.plist names the loopback service.
    const QString resources = m_dir.filePath("resources");
    QDir().mkpath(resources);
    const QString source = QStringLiteral(KX_SOURCE_DIR "/resources/");
    QFile::copy(source + "Localizable.strings", resources + "/Localizable.strings");
    QFile plist(resources + "/Info.plist");
    ASSERT_TRUE(plist.open(QIODevice::WriteOnly));
    plist.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                               "<key>CFBundleName</key><string>Kollage</string>"
                               "<key>FacebookWebAddress</key><string>%1</string>"
                               "<key>FacebookGraphAddress</key><string>%1</string>"
                               "<key>FacebookAppID</key><string>4711</string></dict></plist>")
                    .arg(m_server.baseAddress())
                    .toUtf8());
    plist.close();
    struct BundleReset {
        ~BundleReset() { kx::Bundle::setMainResourcePath({}); }
    } reset;

    KXExportProject project;
    std::shared_ptr<KXCanvas> page = pageOfSize(400, 300);
    project.pageCount = [] { return 1; };
    project.outputCopyOfPage = [page](int) { return page->outputCopy(); };
    {
        KXShareViewController unconfigured(project);
        EXPECT_EQ(unconfigured.nameList(), QStringList{exportText("Email")});
    }
    kx::Bundle::setMainResourcePath(resources);
    KXShareViewController controller(project);
    controller.setMainWindow(&m_window);
    EXPECT_EQ(controller.nameList(), (QStringList{exportText("Email"), exportText("Facebook")}));
    controller.shareImageByType(KXShareTypeFacebook);
    ASSERT_NE(controller.facebookShare(), nullptr);
    KXFBShareController* sheet = controller.facebookShare()->fbShareCtl();
    EXPECT_TRUE(sheet->window()->isVisible());
    EXPECT_FALSE(sheet->btShare()->isEnabled());
    // Nobody is signed in: the sign-in (which reads the store first, so always later) asks for the login.
    sheet->setLoginPresenter([this](const QUrl& url, const QString&) {
        logins.push_back(url);
        return true;
    });
    ASSERT_TRUE(waitFor([&] { return !logins.empty(); }));
    EXPECT_EQ(QUrlQuery(logins[0]).queryItemValue("client_id"), "4711");
    EXPECT_EQ(logins[0].port(), m_server.port());
}

}  // namespace
