#include "output/export_view_controller.h"

#include "controls/color_well.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "output/conversion_info_controller.h"
#include "output/export_dialogs.h"
#include "output/photo_album_export.h"
#include "output/photo_album_sheet.h"
#include "output/wallpaper_desktop.h"
#include "output/wallpaper_export.h"
#include "output/wallpaper_sheet.h"
#include "support/environment_override.h"
#include "support/event_wait.h"
#include "support/outside_tools.h"
#include "support/run_program.h"
#include "file_bytes.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

using kxtest::processEventsUntil;

// A desktop that keeps the requests it was given.
class RecordingDesktop : public KXWallpaperDesktop {
public:
    struct Log {
        std::vector<KXWallpaperRequest> requests;
        QStringList filesSeen;
    };
    RecordingDesktop(std::shared_ptr<Log> log, bool available, bool scaling, bool screens, bool succeeds = true)
        : m_log(std::move(log)), m_available(available), m_scaling(scaling), m_screens(screens), m_succeeds(succeeds) {}
    QString name() const override { return QStringLiteral("recording"); }
    bool isAvailable() const override { return m_available; }
    bool honoursScaling() const override { return m_scaling; }
    bool honoursScreens() const override { return m_screens; }
    bool setWallpaper(const KXWallpaperRequest& request, QString* error) override {
        m_log->requests.push_back(request);
        m_log->filesSeen.append(QFileInfo::exists(request.file) ? request.file : QString());
        if (!m_succeeds && error)
            *error = QStringLiteral("refused");
        return m_succeeds;
    }

private:
    std::shared_ptr<Log> m_log;
    bool m_available, m_scaling, m_screens, m_succeeds;
};

class WallpaperTest : public ::testing::Test {
protected:
    void SetUp() override {
        registerModelClasses();
        ASSERT_TRUE(dir.isValid());
        setInformationalAlertRunner([this](const QString& message, const QString&) { alerts.append(message); });
    }
    void TearDown() override {
        controllers.clear();
        setInformationalAlertRunner({});
    }

    KXExportViewController& controller(std::vector<kx::Size> sizes, int current = 0) {
        auto pages = std::make_shared<std::vector<std::shared_ptr<KXCanvas>>>();
        for (const kx::Size& s : sizes) {
            auto page = std::make_shared<KXCanvas>();
            const KXSize size(s.width, s.height, KXSizeUnitPixel, 72);
            page->setPageSize(&size);
            page->zoomToFitSize(page->pixelSize());
            auto fill = std::make_shared<KXBackground>();
            fill->setColor1(kx::Color::srgb(1, 0, 0, 1));
            page->setBackground(fill);
            pages->push_back(page);
        }
        KXExportProject project;
        project.pageCount = [pages] { return int(pages->size()); };
        project.outputCopyOfPage = [pages](int i) { return (*pages)[size_t(i)]->outputCopy(); };
        project.projectPath = [] { return QString(); };
        project.currentPageIndex = [current] { return current; };
        project.recordExport = [this](const QString& action, const QString& label) { recorded << action + u'/' + label; };
        controllers.push_back(std::make_unique<KXExportViewController>(project));
        KXExportViewController& c = *controllers.back();
        c.setWallpaperFolder(dir.filePath("Desktop Images"));
        c.setPhotoAlbumFolder(dir.filePath("Pictures/Kollage"));
        return c;
    }

    // Runs an export kind whose sheet `answer` closes, and waits for the run when one starts.
    bool runKind(KXExportViewController& c, int type, const std::function<void()>& answer) {
        bool finished = false;
        QObject::connect(&c, &KXExportViewController::runFinished, &c, [&finished] { finished = true; });
        QTimer::singleShot(0, &c, answer);
        c.exportWithType(type);
        return processEventsUntil([&] { return finished; });
    }

    QTemporaryDir dir;
    std::vector<std::unique_ptr<KXExportViewController>> controllers;
    QStringList alerts, recorded;
};

TEST(WallpaperOptionsTest, EachScaleChoiceMapsToEachDesktopsValue) {
    const struct {
        int scale;
        const char* gnome;
        int plasma;
        int xfce;
    } cases[] = {
        {KXWallpaperFillScreen, "zoom", 2, 5},
        {KXWallpaperStretch, "stretched", 0, 3},
        {KXWallpaperCenter, "centered", 6, 1},
        {KXWallpaperFitToScreen, "scaled", 1, 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gnomePictureOption(c.scale), QString::fromLatin1(c.gnome)) << c.scale;
        EXPECT_EQ(plasmaFillMode(c.scale), c.plasma) << c.scale;
        EXPECT_EQ(xfceImageStyle(c.scale), c.xfce) << c.scale;
    }
}

TEST(WallpaperOptionsTest, ThePlasmaScriptHoldsTheFileOnlyAsAStringValue) {
    KXWallpaperRequest request{"/home/a/it's \"x\"\\y.jpg", KXWallpaperFitToScreen, QColor(0x33, 0x66, 0x99), "HDMI-1", 1};
    const QString script = plasmaWallpaperScript(request);
    const QString uri = QUrl::fromLocalFile(request.file).toString(QUrl::FullyEncoded);
    EXPECT_TRUE(script.contains("var values = [\"" + uri + "\",\"#336699\"];")) << script.toStdString();
    EXPECT_TRUE(script.contains("d.screen != 1"));
    EXPECT_TRUE(script.contains("writeConfig('FillMode', 1)"));
    // The double quotes and the backslash of the name never stand bare in the script, and the literal reads
    // back as the file's address.
    EXPECT_FALSE(script.contains("\"x\""));
    EXPECT_FALSE(script.contains("\\y"));
    const QString line = script.section(u'\n', 0, 0);
    const QJsonArray values =
        QJsonDocument::fromJson(line.mid(line.indexOf(u'[')).chopped(1).toUtf8()).array();
    ASSERT_EQ(values.size(), 2);
    EXPECT_EQ(QUrl(values[0].toString()).toLocalFile(), request.file);
}

TEST(WallpaperGnomeTest, GsettingsHoldsThePictureItsScalingAndColour) {
    KX_REQUIRE_TOOLS("gsettings");
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    kxtest::EnvironmentOverride backend("GSETTINGS_BACKEND", "keyfile");
    kxtest::EnvironmentOverride home("XDG_CONFIG_HOME", config.path().toUtf8());
    kxtest::EnvironmentOverride desktop("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    std::unique_ptr<KXWallpaperDesktop> gnome = makeGnomeWallpaperDesktop();
    ASSERT_TRUE(gnome->isAvailable());
    EXPECT_TRUE(gnome->honoursScaling());
    EXPECT_FALSE(gnome->honoursScreens());
    const QString file = config.filePath("it's a picture.jpg");
    QString error;
    ASSERT_TRUE(gnome->setWallpaper({file, KXWallpaperFitToScreen, QColor(0x33, 0x66, 0x99), {}, -1}, &error))
        << error.toStdString();
    const auto get = [](const char* key) {
        return QString::fromUtf8(
                   kxtest::runProgram("gsettings", {"get", "org.gnome.desktop.background", key}).standardOutput)
            .trimmed();
    };
    const QString uri = QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded);
    EXPECT_EQ(QUrl(get("picture-uri").mid(1).chopped(1)).toLocalFile(), file) << get("picture-uri").toStdString();
    EXPECT_EQ(get("picture-uri-dark"), get("picture-uri"));
    EXPECT_EQ(get("picture-options"), "'scaled'");
    EXPECT_EQ(get("primary-color"), "'#336699'");
    EXPECT_EQ(get("color-shading-type"), "'solid'");
    EXPECT_TRUE(QFileInfo::exists(config.filePath("glib-2.0/settings/keyfile")));
    EXPECT_FALSE(uri.isEmpty());

    // Another desktop is not taken for GNOME.
    kxtest::EnvironmentOverride other("XDG_CURRENT_DESKTOP", "XFCE");
    EXPECT_FALSE(makeGnomeWallpaperDesktop()->isAvailable());
}

TEST_F(WallpaperTest, TheFileAlternatesAndTheFolderKeepsOnePicture) {
    KX_REQUIRE_TOOLS("identify");
    auto log = std::make_shared<RecordingDesktop::Log>();
    KXExportViewController& c = controller({{40, 30}, {64, 48}}, 1);
    std::vector<std::unique_ptr<KXWallpaperDesktop>> desktops;
    desktops.push_back(std::make_unique<RecordingDesktop>(log, false, false, false));
    desktops.push_back(std::make_unique<RecordingDesktop>(log, true, true, false));
    c.setWallpaperDesktops(std::move(desktops));
    const QString folder = dir.filePath("Desktop Images");
    const QStringList expected{"wallpaper_A.jpg", "wallpaper_B.jpg", "wallpaper_A.jpg"};
    for (int run = 0; run < 3; ++run) {
        ASSERT_TRUE(runKind(c, KXExportTypeWallpaper, [&c] {
            KXExportWallpaperCtl* sheet = c.exportWallpaperCtl();
            sheet->pubScale()->setCurrentIndex(KXWallpaperFillScreen);
            sheet->scaleChanged();
            sheet->cwFillColor()->setColor(QColor(0x10, 0x20, 0x30));
            sheet->OK();
        }));
        EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{expected[run]}) << run;
    }
    ASSERT_EQ(log->requests.size(), 3u);
    EXPECT_EQ(log->filesSeen, (QStringList{folder + "/wallpaper_A.jpg", folder + "/wallpaper_B.jpg", folder + "/wallpaper_A.jpg"}));
    EXPECT_EQ(log->requests[0].scaleType, KXWallpaperFillScreen);
    EXPECT_EQ(log->requests[0].fillColor, QColor(0x10, 0x20, 0x30));
    // This desktop shows one picture on every screen: no screen is named.
    EXPECT_EQ(log->requests[0].screenIndex, -1);
    // The page shown, at its size.
    const QString picture = QString::fromUtf8(
        kxtest::runProgram("identify", {"-format", "%m %w %h", folder + "/wallpaper_A.jpg"}).standardOutput);
    EXPECT_EQ(picture, "JPEG 64 48");
    EXPECT_EQ(recorded, (QStringList{"Save wallpaper/jpg", "Save wallpaper/jpg", "Save wallpaper/jpg"}));
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(WallpaperTest, TheSheetOffersOnlyWhatTheDesktopHonours) {
    KXExportWallpaperCtl sheet;
    sheet.window();
    EXPECT_EQ(sheet.pubScale()->count(), 4);
    EXPECT_EQ(sheet.scaleType(), KXWallpaperCenter);
    const struct {
        int scale;
        bool colour;
    } wells[] = {{KXWallpaperFillScreen, false}, {KXWallpaperStretch, false}, {KXWallpaperCenter, true}, {KXWallpaperFitToScreen, true}};
    for (const auto& w : wells) {
        sheet.pubScale()->setCurrentIndex(w.scale);
        sheet.scaleChanged();
        EXPECT_EQ(sheet.cwFillColor()->isWellEnabled(), w.colour) << w.scale;
    }
    EXPECT_FALSE(sheet.tfNote()->isVisibleTo(sheet.window()));
    EXPECT_TRUE(sheet.pubScreen()->isEnabled());
    EXPECT_EQ(sheet.pubScreen()->itemText(sheet.pubScreen()->currentIndex()), exportText("Main Screen"));
    EXPECT_GE(sheet.screenIndex(), 0);

    sheet.setDesktopAbilities(false, false);
    EXPECT_FALSE(sheet.pubScale()->isEnabled());
    EXPECT_FALSE(sheet.pubScreen()->isEnabled());
    EXPECT_FALSE(sheet.cwFillColor()->isWellEnabled());
    EXPECT_EQ(sheet.screenIndex(), -1);
    EXPECT_TRUE(sheet.tfNote()->isVisibleTo(sheet.window()));
    EXPECT_TRUE(sheet.tfNote()->text().contains(exportText("WallpaperScalingByDesktop")));
    EXPECT_TRUE(sheet.tfNote()->text().contains(exportText("WallpaperEveryScreen")));
}

TEST_F(WallpaperTest, ADesktopWithNoRoadGetsTheMessageAndARefusalKeepsThePreviousPicture) {
    auto log = std::make_shared<RecordingDesktop::Log>();
    KXExportViewController& none = controller({{40, 30}});
    std::vector<std::unique_ptr<KXWallpaperDesktop>> unavailable;
    unavailable.push_back(std::make_unique<RecordingDesktop>(log, false, true, true));
    none.setWallpaperDesktops(std::move(unavailable));
    none.exportWithType(KXExportTypeWallpaper);
    EXPECT_EQ(alerts, QStringList{exportText("WallpaperUnsupported")});
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Desktop Images")) && !QDir(dir.filePath("Desktop Images")).isEmpty());
    EXPECT_TRUE(recorded.isEmpty());

    alerts.clear();
    KXExportViewController& refusing = controller({{40, 30}});
    std::vector<std::unique_ptr<KXWallpaperDesktop>> desktops;
    desktops.push_back(std::make_unique<RecordingDesktop>(log, true, true, true, false));
    refusing.setWallpaperDesktops(std::move(desktops));
    const QString folder = dir.filePath("Desktop Images");
    QDir().mkpath(folder);
    ASSERT_TRUE(kxtest::writeFile(folder + "/wallpaper_A.jpg", "the picture shown now"));
    ASSERT_TRUE(runKind(refusing, KXExportTypeWallpaper, [&refusing] { refusing.exportWallpaperCtl()->OK(); }));
    EXPECT_EQ(alerts, QStringList{exportText("WallpaperFailed")});
    EXPECT_EQ(kxtest::readFile(folder + "/wallpaper_A.jpg"), "the picture shown now");
    EXPECT_TRUE(QFileInfo::exists(folder + "/wallpaper_B.jpg"));
}

TEST(PhotoAlbumNamesTest, OnePageTakesTheNameSeveralAreNumberedAndNothingIsReplaced) {
    QTemporaryDir dir;
    const QString folder = dir.path();
    EXPECT_EQ(photoAlbumFiles(folder, "Trip", 1), QStringList{folder + "/Trip.jpg"});
    EXPECT_EQ(photoAlbumFiles(folder, "Trip", 3),
              (QStringList{folder + "/Trip_1.jpg", folder + "/Trip_2.jpg", folder + "/Trip_3.jpg"}));
    EXPECT_EQ(photoAlbumFiles(folder, "../Our/Trip", 1), QStringList{folder + "/OurTrip.jpg"});
    EXPECT_EQ(photoAlbumFiles(folder, " ", 1), QStringList{folder + "/" + exportText("Untitled") + ".jpg"});
    ASSERT_TRUE(kxtest::writeFile(folder + "/Trip_2.jpg", "an earlier photo"));
    EXPECT_EQ(photoAlbumFiles(folder, "Trip", 3),
              (QStringList{folder + "/Trip_1.jpg", folder + "/Trip_2_001.jpg", folder + "/Trip_3.jpg"}));
}

TEST_F(WallpaperTest, EveryPageGoesIntoTheAlbumAsAJpeg) {
    KX_REQUIRE_TOOLS("identify");
    KXExportViewController& c = controller({{40, 30}, {30, 40}, {20, 20}});
    const QString album = dir.filePath("Pictures/Kollage");
    ASSERT_TRUE(runKind(c, KXExportTypePhotoLibrary, [&c] {
        KXExportiPhoto* sheet = c.exportiPhoto();
        sheet->tfName()->setText("Trip");
        sheet->OK();
    }));
    EXPECT_EQ(QDir(album).entryList(QDir::Files, QDir::Name), (QStringList{"Trip_1.jpg", "Trip_2.jpg", "Trip_3.jpg"}));
    const QString second = QString::fromUtf8(
        kxtest::runProgram("identify", {"-format", "%m %w %h", album + "/Trip_2.jpg"}).standardOutput);
    EXPECT_EQ(second, "JPEG 30 40");
    EXPECT_EQ(recorded, QStringList{"Send to iPhoto/jpg"});
    EXPECT_EQ(c.exportiPhoto()->name(), "Trip");

    // A cancelled sheet writes nothing.
    c.exportiPhoto();
    QTimer::singleShot(0, &c, [&c] { c.exportiPhoto()->cancel(); });
    c.exportWithType(KXExportTypePhotoLibrary);
    processEventsUntil([] { return false; }, 50);
    EXPECT_EQ(QDir(album).entryList(QDir::Files).size(), 3);
}

}  // namespace
