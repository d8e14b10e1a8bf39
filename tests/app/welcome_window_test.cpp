#include "app/app_delegate.h"
#include "app/preferences_window.h"
#include "app/welcome_window.h"

#include "app_services/ga_object.h"
#include "controls/mouse_events.h"
#include "graphics/app_info.h"
#include "graphics/test_bundle.h"
#include "library/resource_list_view_controller.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"

#include <QCheckBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

// Each test has its own settings, a bundle with a help page (and a video when asked), a recording URL
// opener, and no shared welcome window left over from another test.
class WelcomeWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        kx::UserDefaults::setStandardFilePath(m_dir.filePath(QStringLiteral("settings.conf")));
        AppDelegate::initialize();
        useBundle(false);
        setURLOpener([this](const QUrl& url) {
            m_opened << url.toString();
            return m_openerSucceeds;
        });
        setOpenURLAlertPresenter([this](const QString&, const QString&) { ++m_alerts; });
        GAObject::initializeGATrackerWithID(QString());
        GAObject::defaultObject()->clearEvent();
        delete KXWelcomeController::sharedController();
    }
    void TearDown() override {
        delete KXWelcomeController::sharedController();
        KXWelcomeController::setStoreOpener({});
        setURLOpener({});
        setOpenURLAlertPresenter({});
        m_bundle.reset();
        kx::UserDefaults::setStandardFilePath(QString());
    }
    void useBundle(bool withVideo) {
        m_bundle.reset();
        m_bundle.emplace(QByteArray("<key>CFBundleName</key><string>Kollage</string>"
                                    "<key>HelpURL</key><string>https://help.example.org/</string>") +
                         (withVideo ? "<key>TutorialVideoURL</key><string>https://video.example.org/intro</string>"
                                    : ""));
    }
    static KXWelcomeController* shownWindow() {
        KXWelcomeController::showWelcomeWindow();
        return KXWelcomeController::sharedController();
    }
    // The actions of the usage events queued since the test began ("ea=<action>" of each hit).
    static QStringList eventActions() {
        QStringList actions;
        for (const QByteArray& hit : GAObject::defaultObject()->eventQueue()) {
            for (const QByteArray& field : hit.split('&')) {
                if (field.startsWith("ea="))
                    actions << QUrl::fromPercentEncoding(field.mid(3));
            }
        }
        return actions;
    }

    QTemporaryDir m_dir;
    std::optional<TestBundle> m_bundle;
    QStringList m_opened;
    bool m_openerSucceeds = true;
    int m_alerts = 0;
};

TEST_F(WelcomeWindowTest, TickingTheBoxStopsTheWindowAtLaunchButNotFromTheMenu) {
    {
        AppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        ASSERT_TRUE(KXWelcomeController::sharedController());
        EXPECT_TRUE(KXWelcomeController::sharedController()->isVisible());
        QCheckBox* box = KXWelcomeController::sharedController()->showWelcomeBox();
        EXPECT_FALSE(box->isChecked());
        box->click();
        EXPECT_FALSE(kx::UserDefaults::standard().boolValue(KXShowWelcomePanel));
        EXPECT_TRUE(kx::UserDefaults::standard().hasStoredValue(KXShowWelcomePanel));
    }
    delete KXWelcomeController::sharedController();
    {
        // The next launch shows nothing; the menu command still does, with the box ticked.
        AppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        EXPECT_EQ(KXWelcomeController::sharedController(), nullptr);
        delegate.welcomeAction();
        ASSERT_TRUE(KXWelcomeController::sharedController());
        EXPECT_TRUE(KXWelcomeController::sharedController()->isVisible());
        EXPECT_TRUE(KXWelcomeController::sharedController()->showWelcomeBox()->isChecked());
    }
}

TEST_F(WelcomeWindowTest, StoreLinksAppearWithAStoreAndOnlyTheTextSendsAnEvent) {
    KXWelcomeController* window = shownWindow();
    EXPECT_FALSE(window->storeLink()->isVisible());
    EXPECT_FALSE(window->storeImage()->isVisible());
    int storeOpened = 0;
    KXWelcomeController::setStoreOpener([&] { ++storeOpened; });
    EXPECT_TRUE(window->storeLink()->isVisible());
    kxtest::click(window->storeLink(), QPoint(2, 2));
    EXPECT_EQ(storeOpened, 1);
    EXPECT_EQ(eventActions(), QStringList{"Store"});
    kxtest::click(window->storeImage(), QPoint(2, 2));
    EXPECT_EQ(storeOpened, 2);
    EXPECT_EQ(eventActions(), QStringList{"Store"});  // the picture sends none
}

TEST_F(WelcomeWindowTest, LearnMoreOpensTheHelpPageAndNeverAlerts) {
    KXWelcomeController* window = shownWindow();
    kxtest::click(window->startedLink(), QPoint(2, 2));
    EXPECT_EQ(m_opened, QStringList{"https://help.example.org/"});
    EXPECT_EQ(eventActions(), QStringList{"Learn more"});
    m_openerSucceeds = false;
    kxtest::click(window->startedImage(), QPoint(2, 2));
    EXPECT_EQ(m_opened.size(), 2);
    EXPECT_EQ(m_alerts, 0);
    EXPECT_EQ(eventActions(), QStringList{"Learn more"});
}

TEST_F(WelcomeWindowTest, ThePlayButtonNeedsAVideoAndActsOnAReleaseOverItself) {
    {
        KXWelcomeController* window = shownWindow();
        EXPECT_FALSE(window->playButton()->isEnabled());
        EXPECT_FALSE(window->playButton()->toolTip().isEmpty());
    }
    delete KXWelcomeController::sharedController();
    useBundle(true);
    KXWelcomeController* window = shownWindow();
    KXClickButtonView* play = window->playButton();
    ASSERT_TRUE(play->isEnabled());
    kxtest::sendMouse(play, QEvent::MouseButtonPress, QPoint(10, 10));
    EXPECT_TRUE(play->isDown());
    kxtest::sendMouse(play, QEvent::MouseButtonRelease, QPoint(play->width() + 30, 10));  // let go outside: no play
    EXPECT_FALSE(play->isDown());
    EXPECT_TRUE(m_opened.isEmpty());
    kxtest::click(play, QPoint(10, 10));
    EXPECT_EQ(m_opened, QStringList{"https://video.example.org/intro"});
    EXPECT_EQ(eventActions(), QStringList{"Play"});
    window->closeAction();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(eventActions(), QStringList{"Close"});  // each event is sent on its own
}

TEST_F(WelcomeWindowTest, ThePointerIsAHandOverTheLinksOnly) {
    KXWelcomeController* window = shownWindow();
    KXWelcomeController::setStoreOpener([] {});
    for (QWidget* link : {static_cast<QWidget*>(window->startedLink()), static_cast<QWidget*>(window->startedImage()),
                          static_cast<QWidget*>(window->storeLink()), static_cast<QWidget*>(window->storeImage())})
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor) << link->objectName().toStdString();
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(window->showWelcomeBox()->cursor().shape(), Qt::ArrowCursor);
}

// ---- preferences ----

struct PreferenceCase {
    const char* box;
    QString key;
    bool storedWhenTicked;
};

TEST_F(WelcomeWindowTest, PreferencesBoxesWriteTheirKeysAndFollowChangesMadeElsewhere) {
    KXPreferencesWindowController preferences;
    const PreferenceCase cases[] = {
        {"disableAutoSave", KXDisableAutoSaveKey, true},
        {"remindExprotSuccessful", KXShowExportingTip, false},  // the box says "don't remind"
        {"notShowImageCopyright", KXNotShowSearchImageAlert, true},
        {"notAskDeleteResources", KXNotAskDeleteCustomResource, true},
    };
    kx::UserDefaults& defaults = kx::UserDefaults::standard();
    for (const PreferenceCase& c : cases) {
        SCOPED_TRACE(c.box);
        auto* box = preferences.findChild<QCheckBox*>(QString::fromLatin1(c.box));
        ASSERT_TRUE(box);
        EXPECT_FALSE(box->isChecked());  // every default leaves the box clear
        box->click();
        EXPECT_TRUE(defaults.hasStoredValue(c.key));
        EXPECT_EQ(defaults.boolValue(c.key), c.storedWhenTicked);
        // Another part of the program writes the key back and announces it: the box follows.
        defaults.setValue(c.key, !c.storedWhenTicked);
        EXPECT_TRUE(box->isChecked());
        kx::NotificationCenter::defaultCenter().post(KXPreferencesChanged, nullptr);
        EXPECT_FALSE(box->isChecked());
    }
}

}  // namespace
