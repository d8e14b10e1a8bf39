#include "output/share_view_controller.h"

#include "controls/stepper.h"
#include "controls/table_view.h"
#include "graphics/app_info.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "output/export_dialogs.h"
#include "output/mail_attachments.h"
#include "output/mail_handoff.h"
#include "output/mail_options_sheet.h"
#include "output/share_names.h"
#include "support/environment_override.h"
#include "support/event_wait.h"
#include "support/outside_tools.h"
#include "support/run_program.h"
#include "file_bytes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSlider>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using kxtest::processEventsUntil;

std::shared_ptr<KXCanvas> bluePage(kx::Size s) {
    auto page = std::make_shared<KXCanvas>();
    const KXSize size(s.width, s.height, KXSizeUnitPixel, 72);
    page->setPageSize(&size);
    page->zoomToFitSize(page->pixelSize());
    auto fill = std::make_shared<KXBackground>();
    fill->setColor1(kx::Color::srgb(0, 0, 1, 1));
    page->setBackground(fill);
    return page;
}

std::vector<std::shared_ptr<KXCanvas>> outputCopies(std::vector<kx::Size> sizes) {
    std::vector<std::shared_ptr<KXCanvas>> pages;
    for (const kx::Size& s : sizes)
        pages.push_back(bluePage(s)->outputCopy());
    return pages;
}

QString identify(const QString& file) {
    return QString::fromUtf8(kxtest::runProgram("identify", {"-format", "%m %w %h", file}).standardOutput);
}

// A desktop service that keeps what it was given.
class RecordingService : public KXSharingService {
public:
    explicit RecordingService(int type) : m_type(type) {}
    int shareType() const override { return m_type; }
    QString title() const override { return QStringLiteral("Recording"); }
    void perform(const QImage& image, const QString& text) override {
        images.push_back(image);
        texts.append(text);
    }
    std::vector<QImage> images;
    QStringList texts;

private:
    int m_type;
};

class ShareTest : public ::testing::Test {
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

    KXShareViewController& controller(std::vector<kx::Size> sizes, int current = 0) {
        auto pages = std::make_shared<std::vector<std::shared_ptr<KXCanvas>>>();
        for (const kx::Size& s : sizes)
            pages->push_back(bluePage(s));
        KXExportProject project;
        project.pageCount = [pages] { return int(pages->size()); };
        project.outputCopyOfPage = [pages](int i) { return (*pages)[size_t(i)]->outputCopy(); };
        project.projectPath = [] { return QString(); };
        project.currentPageIndex = [current] { return current; };
        project.recordShare = [this](const QString& action) { recorded << action; };
        controllers.push_back(std::make_unique<KXShareViewController>(project));
        KXShareViewController& c = *controllers.back();
        c.setMailFolder(dir.filePath("Email"));
        QDir().mkpath(dir.filePath("Email"));
        return c;
    }

    // An xdg-email on PATH that writes its arguments (one per NUL) into a file, then exits with `code`.
    QString fakeMailProgram(int code) {
        const QString bin = dir.filePath("bin");
        QDir().mkpath(bin);
        const QString log = dir.filePath("mail-arguments");
        const QString script = bin + "/xdg-email";
        kxtest::writeFile(script, QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > '%1.part'\n"
                                                 "mv '%1.part' '%1'\nexit %2\n")
                                      .arg(log)
                                      .arg(code)
                                      .toUtf8());
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return log;
    }

    // Runs the e-mail road with the sheet answered by `answer` and waits until the controller is done.
    bool mailWith(KXShareViewController& c, const std::function<void(KXExportEmailController*)>& answer) {
        KXExportEmailController* sheet = c.exportEmailCtl();
        bool done = false;
        QObject::connect(&c, &KXShareViewController::runFinished, &c, [&done] { done = true; });
        QTimer::singleShot(0, sheet, [sheet, answer] { answer(sheet); });
        c.shareImageByType(KXShareTypeEmail);
        return processEventsUntil([&] { return done; });
    }

    static void choose(QComboBox* box, int index) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    QTemporaryDir dir;
    std::vector<std::unique_ptr<KXShareViewController>> controllers;
    QStringList alerts, recorded;
};

TEST(ShareNamesTest, NamesFromTitlesAreSanitised) {
    const struct {
        const char* name;
        const char* expected;
    } cases[] = {
        {"Trip", "Trip"},       {"a/b", "ab"},         {"..hidden", "hidden"}, {"../x/y", "xy"},
        {"  Summer  ", "Summer"}, {"/", "Untitled"},   {"...", "Untitled"},   {"", "Untitled"},
        {" . . ", "Untitled"}, {". a.b", "a.b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sanitizedFileName(QString::fromUtf8(c.name), "Untitled"), QString::fromUtf8(c.expected)) << c.name;
}

TEST(ShareSizesTest, MailAndServiceSizesKeepTheProportions) {
    const struct {
        kx::Size page;
        bool original;
        double bound;
        kx::Size expected;
    } mail[] = {
        {{2400, 1800}, false, 640, {640, 480}},
        {{1800, 2400}, false, 320, {240, 320}},
        {{100, 50}, false, 1280, {1280, 640}},
        {{2400, 1800}, true, 0, {2400, 1800}},
    };
    for (const auto& c : mail) {
        KXMailOptions options;
        options.useOriginalSize = c.original;
        options.mailSize = {c.bound, c.bound};
        EXPECT_EQ(mailImageSize(c.page, options), c.expected) << c.page.width << "x" << c.page.height;
    }
    EXPECT_EQ(shareImageSize({3000, 1500}), kx::Size(2000, 1000));
    EXPECT_EQ(shareImageSize({1500, 3000}), kx::Size(1000, 2000));
    EXPECT_EQ(shareImageSize({1200, 900}), kx::Size(1200, 900));
}

TEST_F(ShareTest, AttachmentsAreRealFilesOfTheFormatAndEarlierOnesGo) {
    KX_REQUIRE_TOOLS("identify");
    const QString folder = dir.filePath("Email");
    QDir().mkpath(folder);
    KXMailOptions png{false, {640, 640}, "png", 90};
    const QStringList first = saveEmailImageAsFiles(outputCopies({{2400, 1800}, {2400, 1800}}), png, folder);
    ASSERT_EQ(first, (QStringList{folder + "/postcard.png", folder + "/postcard_001.png"}));
    EXPECT_EQ(identify(first[0]), "PNG 640 480");
    EXPECT_EQ(identify(first[1]), "PNG 640 480");

    ASSERT_TRUE(kxtest::writeFile(folder + "/notes.txt", "mine"));
    const struct {
        const char* format;
        const char* magick;
    } formats[] = {{"bmp", "BMP"}, {"gif", "GIF"}, {"tiff", "TIFF"}, {"jpg", "JPEG"}};
    for (const auto& f : formats) {
        KXMailOptions options{false, {320, 320}, f.format, 80};
        const QStringList files = saveEmailImageAsFiles(outputCopies({{400, 200}}), options, folder);
        ASSERT_EQ(files.size(), 1) << f.format;
        EXPECT_EQ(QFileInfo(files[0]).fileName(), QStringLiteral("postcard.") + f.format);
        EXPECT_TRUE(identify(files[0]).startsWith(QString::fromLatin1(f.magick))) << identify(files[0]).toStdString();
        EXPECT_TRUE(identify(files[0]).endsWith(" 320 160")) << f.format;
        // The folder holds this mail's attachment and what was not ours.
        EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name),
                  (QStringList{"notes.txt", QStringLiteral("postcard.") + f.format}));
    }
    EXPECT_EQ(kxtest::readFile(folder + "/notes.txt"), "mine");
    // A real bitmap starts "BM", not with TIFF's byte order mark.
    KXMailOptions bmp{true, {}, "bmp", 80};
    const QStringList bmps = saveEmailImageAsFiles(outputCopies({{30, 20}}), bmp, folder);
    ASSERT_EQ(bmps.size(), 1);
    EXPECT_TRUE(kxtest::readFile(bmps[0]).startsWith("BM"));
}

TEST_F(ShareTest, TheMailProgramGetsSubjectBodyAndAttachmentsInOrder) {
    const QString log = fakeMailProgram(0);
    kxtest::EnvironmentOverride path("PATH", (dir.filePath("bin") + ":" + qgetenv("PATH")).toUtf8());
    KXShareViewController& c = controller({{2400, 1800}, {1800, 2400}});
    ASSERT_TRUE(mailWith(c, [](KXExportEmailController* sheet) {
        choose(sheet->pubMailFormat(), 3);  // PNG
        sheet->pubMailSize()->setCurrentIndex(1);
        sheet->OK();
    }));
    ASSERT_TRUE(processEventsUntil([&] { return QFileInfo::exists(log); }));
    const QList<QByteArray> arguments = kxtest::readFile(log).split('\0');
    const QString folder = dir.filePath("Email");
    const QList<QByteArray> expected{"--utf8",
                                     "--subject",
                                     mailSubject().toUtf8(),
                                     "--body",
                                     mailContent().toUtf8(),
                                     "--attach",
                                     (folder + "/postcard.png").toUtf8(),
                                     "--attach",
                                     (folder + "/postcard_001.png").toUtf8(),
                                     ""};
    EXPECT_EQ(arguments, expected);
    EXPECT_TRUE(mailContent().contains(bundleName()));
    EXPECT_TRUE(mailContent().contains(publisherURL()));
    EXPECT_EQ(recorded, QStringList{"Share Email"});
    EXPECT_EQ(c.lastAttachments().size(), 2);
    processEventsUntil([] { return false; }, 100);
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(ShareTest, AMailProgramThatFailsOrIsMissingGivesTheNoMailAccountAlert) {
    const QString log = fakeMailProgram(3);
    {
        kxtest::EnvironmentOverride path("PATH", (dir.filePath("bin") + ":" + qgetenv("PATH")).toUtf8());
        KXShareViewController& c = controller({{300, 200}});
        ASSERT_TRUE(mailWith(c, [](KXExportEmailController* sheet) { sheet->OK(); }));
        ASSERT_TRUE(processEventsUntil([&] { return !alerts.isEmpty(); }));
        EXPECT_EQ(alerts, QStringList{exportText("NoMailAccount")});
        EXPECT_TRUE(QFileInfo::exists(log));
    }
    alerts.clear();
    {
        kxtest::EnvironmentOverride path("PATH", dir.filePath("nothing-here").toUtf8());
        KXShareViewController& c = controller({{300, 200}});
        ASSERT_TRUE(mailWith(c, [](KXExportEmailController* sheet) { sheet->OK(); }));
        ASSERT_TRUE(processEventsUntil([&] { return !alerts.isEmpty(); }));
        EXPECT_EQ(alerts, QStringList{exportText("NoMailAccount")});
    }
}

TEST_F(ShareTest, ACancelledSheetSendsNothing) {
    const QString log = fakeMailProgram(0);
    kxtest::EnvironmentOverride path("PATH", (dir.filePath("bin") + ":" + qgetenv("PATH")).toUtf8());
    KXShareViewController& c = controller({{300, 200}});
    KXExportEmailController* sheet = c.exportEmailCtl();
    QTimer::singleShot(0, sheet, [sheet] { sheet->cancel(); });
    c.shareImageByType(KXShareTypeEmail);
    EXPECT_FALSE(sheet->isOK());
    EXPECT_FALSE(c.isRunning());
    processEventsUntil([] { return false; }, 100);
    EXPECT_FALSE(QFileInfo::exists(log));
    EXPECT_TRUE(QDir(dir.filePath("Email")).isEmpty());
}

TEST_F(ShareTest, TheOptionsSheetKeepsItsControlsConsistent) {
    KXExportEmailController sheet;
    sheet.window();
    EXPECT_EQ(sheet.pubMailSize()->count(), 5);
    EXPECT_EQ(sheet.pubMailSize()->itemText(0), "320 x 320 " + exportText("pixel"));
    EXPECT_EQ(sheet.format(), "jpg");
    EXPECT_TRUE(sheet.tfMailQuality()->isVisibleTo(sheet.window()));
    choose(sheet.pubMailFormat(), 4);
    EXPECT_EQ(sheet.format(), "gif");
    EXPECT_FALSE(sheet.tfMailQuality()->isVisibleTo(sheet.window()));
    sheet.btMailOrignalSize()->setChecked(true);
    EXPECT_FALSE(sheet.pubMailSize()->isEnabled());
    EXPECT_EQ(sheet.mailSize(), kx::Size(0, 0));
    sheet.btMailOrignalSize()->setChecked(false);
    EXPECT_TRUE(sheet.pubMailSize()->isEnabled());
    EXPECT_EQ(sheet.mailSize(), kx::Size(640, 640));
    const struct {
        const char* typed;
        int whileTyping;
        int afterEditing;
    } qualities[] = {{"0", 1, 10}, {"5", 5, 10}, {"150", 100, 100}, {"85", 85, 85}};
    for (const auto& q : qualities) {
        sheet.tfMailQuality()->setText(q.typed);
        sheet.qualityTyped();
        EXPECT_EQ(sheet.quality(), q.whileTyping) << q.typed;
        sheet.qualityEditingEnded();
        EXPECT_EQ(sheet.quality(), q.afterEditing) << q.typed;
        EXPECT_EQ(sheet.stMailQuality()->value(), q.afterEditing);
        EXPECT_EQ(sheet.tfMailQuality()->text(), QString::number(q.afterEditing));
    }
    sheet.slMailQuality()->setValue(42);
    EXPECT_EQ(sheet.tfMailQuality()->text(), "42");
}

TEST_F(ShareTest, TheListOffersEmailAndTheDesktopsServicesGetTheShownPage) {
    KXShareViewController& c = controller({{300, 200}, {3000, 1500}}, 1);
    auto service = std::make_shared<RecordingService>(KXShareTypeAirDrop);
    c.addSharingService(service);
    KXPopoverList* list = c.popover();
    ASSERT_EQ(list->model()->rowCount(), 2);
    EXPECT_EQ(c.nameList(), (QStringList{exportText("Email"), "Recording"}));

    bool done = false;
    QObject::connect(&c, &KXShareViewController::runFinished, &c, [&done] { done = true; });
    // The second row is the service: a click there shares the page shown, fitted to 2000 pixels.
    list->tableMouseMove(5, list->tableView()->rowViewportPosition(1) + 2);
    EXPECT_EQ(list->selectedRow(), 1);
    list->tableMouseUp();
    ASSERT_TRUE(processEventsUntil([&] { return done; }));
    ASSERT_EQ(service->images.size(), 1u);
    EXPECT_EQ(service->images[0].size(), QSize(2000, 1000));
    EXPECT_EQ(service->texts, QStringList{"Created by " + bundleName()});
    EXPECT_EQ(recorded, QStringList{"Share AirDrop"});

    // A release outside any row records the event, renders and shares nothing.
    done = false;
    list->tableMouseMove(5, 10000);
    list->tableMouseUp();
    ASSERT_TRUE(processEventsUntil([&] { return done; }));
    EXPECT_EQ(service->images.size(), 1u);
    EXPECT_EQ(recorded, (QStringList{"Share AirDrop", ""}));
    // A kind the desktop has no service for does nothing either.
    done = false;
    c.shareImageByType(KXShareTypeFlickr);
    ASSERT_TRUE(processEventsUntil([&] { return done; }));
    EXPECT_EQ(service->images.size(), 1u);
}

}  // namespace
