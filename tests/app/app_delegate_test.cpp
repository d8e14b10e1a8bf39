#include "app/app_delegate.h"

#include "graphics/app_info.h"
#include "graphics/test_bundle.h"
#include "model/page_size_manager.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

// Each test gets its own settings file, data folder and bundle named "Kollage".
class AppDelegateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        kx::UserDefaults::setStandardFilePath(m_dir.filePath(QStringLiteral("settings.conf")));
        m_savedData = qgetenv("XDG_DATA_HOME");
        QDir().mkpath(dataHome());
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
        installBundle("Kollage");
    }
    void TearDown() override {
        m_bundle.reset();
        kx::UserDefaults::setStandardFilePath(QString());
        if (m_savedData.isNull())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", m_savedData);
        setURLOpener({});
    }
    void installBundle(const QByteArray& name) {
        m_bundle.reset();
        m_bundle.emplace("<key>CFBundleName</key><string>" + name +
                         "</string><key>CFBundleIdentifier</key><string>org.example.test</string>"
                         "<key>HelpURL</key><string>https://help.example.org/</string>"
                         "<key>AppStoreURL</key><string>https://store.example.org/</string>");
    }
    QString dataHome() const { return m_dir.filePath(QStringLiteral("data")); }
    QString appFolder() const { return dataHome() + QStringLiteral("/Kollage"); }
    static void writeFile(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QTemporaryDir m_dir;
    QByteArray m_savedData;
    std::optional<TestBundle> m_bundle;
};

TEST_F(AppDelegateTest, RegistersEveryUserSettingWithItsDefault) {
    AppDelegate delegate;
    const kx::UserDefaults& defaults = kx::UserDefaults::standard();
    struct Case {
        QString key;
        kx::Value value;
    };
    const Case cases[] = {
        {KXCheckUpdateAutomaticlly, true}, {KXDisableAutoSaveKey, false},    {KXAutoSnap, true},
        {KXAutoObjectSnap, false},         {KXConnectWidthAndHeight, false}, {KXNotShowSearchImageAlert, false},
        {KXUnitType, 3},                   {KXShowFloatingPanel, true},      {KXShowExportingTip, true},
        {KXTemplateZoom, 0.5f},            {KXShowWelcomePanel, true},       {KXShowMarginBox, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(defaults.value(c.key), c.value) << c.key.toStdString();
        EXPECT_FALSE(defaults.hasStoredValue(c.key));
    }
    EXPECT_DOUBLE_EQ(defaults.doubleValue(KXTemplateZoom), 0.5);
    EXPECT_EQ(defaults.integerValue(KXUnitType), 3);
    EXPECT_TRUE(delegate.autoSnap());
    EXPECT_FALSE(delegate.autoObjectSnap());
    EXPECT_TRUE(delegate.checkUpateAutomatically());
}

TEST_F(AppDelegateTest, MenuTogglesStoreTheirStateAndTheMarginBoxIsAnnounced) {
    AppDelegate delegate;
    int announced = 0;
    auto token = kx::NotificationCenter::defaultCenter().addObserver(
        KXShowMarginBoxChanged, &delegate, [&](const kx::Notification&) { ++announced; });
    QMenu menu;
    delegate.addApplicationActions(&menu);
    QAction* margin = menu.findChild<QAction*>(QStringLiteral("ShowMarginBox"));
    QAction* snap = menu.findChild<QAction*>(QStringLiteral("AutoSnap"));
    QAction* objectSnap = menu.findChild<QAction*>(QStringLiteral("AutoObjectSnap"));
    ASSERT_TRUE(margin && snap && objectSnap);
    EXPECT_FALSE(margin->isChecked());
    EXPECT_TRUE(snap->isChecked());
    margin->trigger();
    EXPECT_EQ(announced, 1);
    EXPECT_TRUE(kx::UserDefaults::standard().hasStoredValue(KXShowMarginBox));
    EXPECT_TRUE(kx::UserDefaults::standard().boolValue(KXShowMarginBox));
    snap->trigger();
    objectSnap->trigger();
    EXPECT_FALSE(kx::UserDefaults::standard().boolValue(KXAutoSnap));
    EXPECT_TRUE(kx::UserDefaults::standard().boolValue(KXAutoObjectSnap));
    EXPECT_EQ(announced, 1);
    delegate.setCheckUpateAutomatically(false);
    EXPECT_FALSE(delegate.checkUpateAutomatically());
}

// Two windows, two copies of the toggles: a change made in one shows in the other when its menu opens.
TEST_F(AppDelegateTest, EveryWindowsTogglesShowTheSettingsWhenTheirMenuOpens) {
    AppDelegate delegate;
    int announced = 0;
    auto token = kx::NotificationCenter::defaultCenter().addObserver(
        KXShowMarginBoxChanged, &delegate, [&](const kx::Notification&) { ++announced; });
    QMenu first;
    QMenu second;
    delegate.addApplicationActions(&first);
    delegate.addApplicationActions(&second);
    first.findChild<QAction*>(QStringLiteral("ShowMarginBox"))->trigger();
    first.findChild<QAction*>(QStringLiteral("AutoSnap"))->trigger();
    QAction* margin = second.findChild<QAction*>(QStringLiteral("ShowMarginBox"));
    QAction* snap = second.findChild<QAction*>(QStringLiteral("AutoSnap"));
    EXPECT_FALSE(margin->isChecked());
    EXPECT_TRUE(snap->isChecked());
    emit second.aboutToShow();
    EXPECT_TRUE(margin->isChecked());
    EXPECT_FALSE(snap->isChecked());
    // Bringing the item in line is no new change of the setting.
    EXPECT_EQ(announced, 1);
    EXPECT_FALSE(kx::UserDefaults::standard().boolValue(KXAutoSnap));
}

TEST_F(AppDelegateTest, WebCommandsOpenTheAddressesOfTheInfoPlist) {
    AppDelegate delegate;
    QStringList opened;
    setURLOpener([&](const QUrl& url) {
        opened << url.toString();
        return true;
    });
    QMenu menu;
    delegate.addApplicationActions(&menu);
    menu.findChild<QAction*>(QStringLiteral("Help"))->trigger();
    delegate.rateAction();
    EXPECT_EQ(opened, (QStringList{"https://help.example.org/", "https://store.example.org/"}));
}

// Start-up converts the older custom sizes file: the new file is written first, the old one then removed; a
// second start finds nothing to convert.
TEST_F(AppDelegateTest, StartUpConvertsTheOlderCustomSizesOnce) {
    registerPageSizeClasses();
    writeFile(appFolder() + QStringLiteral("/data.xml"),
              R"(<root><CustomData width="210" height="99" unit="1" DPI="300" name="Flyer"/>
<CustomData width="1200" height="600" unit="0" DPI="72" name="Banner"/></root>)");
    AppDelegate delegate;
    delegate.awakeFromNib();
    EXPECT_FALSE(QFileInfo::exists(appFolder() + QStringLiteral("/data.xml")));
    ASSERT_TRUE(QFileInfo(appFolder() + QStringLiteral("/sizes")).isFile());
    EXPECT_EQ(KXPageSizeManager().customSizeDescriptions(), (QStringList{"Flyer", "Banner"}));
    const QByteArray written = [&] {
        QFile file(appFolder() + QStringLiteral("/sizes"));
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();
    delegate.awakeFromNib();
    QFile again(appFolder() + QStringLiteral("/sizes"));
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), written);
}

// When the new file cannot be written the older one stays where it was.
TEST_F(AppDelegateTest, TheOlderCustomSizesStayWhenTheNewFileCannotBeWritten) {
    registerPageSizeClasses();
    const QByteArray legacy = R"(<root><CustomData width="10" height="20" unit="0" DPI="72" name="x"/></root>)";
    writeFile(appFolder() + QStringLiteral("/data.xml"), legacy);
    QDir().mkpath(appFolder() + QStringLiteral("/sizes/blocked"));  // a folder where the file would go
    AppDelegate delegate;
    delegate.awakeFromNib();
    QFile old(appFolder() + QStringLiteral("/data.xml"));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), legacy);
}

TEST_F(AppDelegateTest, LaunchLeavesNoCloudIdentityBehind) {
    kx::UserDefaults::standard().setValue(QStringLiteral("org.example.test.UbiquityIdentityToken"), QByteArray("old"));
    AppDelegate delegate;
    EXPECT_EQ(AppDelegate::ubiquityIdentityTokenKey(), QStringLiteral("org.example.test.UbiquityIdentityToken"));
    delegate.applicationDidFinishLaunching();
    EXPECT_FALSE(kx::UserDefaults::standard().hasStoredValue(AppDelegate::ubiquityIdentityTokenKey()));
    EXPECT_TRUE(delegate.ubiquityContainer().isEmpty());
}

TEST_F(AppDelegateTest, QuitRemovesTheQuickPreviewFolderEmptyOrNotAndToleratesItsAbsence) {
    AppDelegate delegate;
    const QString folder = appFolder() + QStringLiteral("/QuickPreview");
    EXPECT_EQ(AppDelegate::quickPreviewFolder(), folder);
    writeFile(folder + QStringLiteral("/a/Preview.pdf"), "pdf");
    writeFile(appFolder() + QStringLiteral("/sizes"), "keep");
    delegate.applicationWillTerminate();
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(QFileInfo::exists(appFolder() + QStringLiteral("/sizes")));
    QDir().mkpath(folder);
    delegate.applicationWillTerminate();
    EXPECT_FALSE(QFileInfo::exists(folder));
    delegate.applicationWillTerminate();  // nothing there: nothing happens
    EXPECT_TRUE(QFileInfo(appFolder()).isDir());
}

// The clean-up never reaches outside the application's own folder: not through a link standing in for the
// scratch folder or for the application's folder, and not with a bundle name that would climb out.
TEST_F(AppDelegateTest, QuitNeverRemovesAnythingOutsideTheApplicationsFolder) {
    const QString outside = m_dir.filePath(QStringLiteral("outside"));
    writeFile(outside + QStringLiteral("/precious.txt"), "keep");
    writeFile(outside + QStringLiteral("/QuickPreview/precious.txt"), "keep");
    AppDelegate delegate;

    // The scratch folder is a link to a folder elsewhere: the link goes, the folder stays.
    QDir().mkpath(appFolder());
    ASSERT_TRUE(QFile::link(outside, appFolder() + QStringLiteral("/QuickPreview")));
    delegate.applicationWillTerminate();
    EXPECT_FALSE(QFileInfo(appFolder() + QStringLiteral("/QuickPreview")).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(outside + QStringLiteral("/precious.txt")));

    // The application's folder is a link to elsewhere.
    QDir(appFolder()).removeRecursively();
    ASSERT_TRUE(QFile::link(outside, appFolder()));
    delegate.applicationWillTerminate();
    EXPECT_TRUE(QFileInfo::exists(outside + QStringLiteral("/QuickPreview/precious.txt")));
    QFile::remove(appFolder());

    // Bundle names that are not one path component.
    for (const QByteArray& name : {QByteArray(".."), QByteArray("../outside"), QByteArray("a/b"), QByteArray()}) {
        installBundle(name);
        EXPECT_TRUE(AppDelegate::quickPreviewFolder().isEmpty()) << name.constData();
        delegate.applicationWillTerminate();
    }
    EXPECT_TRUE(QFileInfo::exists(outside + QStringLiteral("/QuickPreview/precious.txt")));
    EXPECT_TRUE(QFileInfo::exists(outside + QStringLiteral("/precious.txt")));
}

}  // namespace
