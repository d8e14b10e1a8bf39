#include "app/app_delegate.h"

#include "app/preferences_window.h"
#include "app/update_checker.h"
#include "app/welcome_window.h"
#include "app_services/ga_object.h"
#include "graphics/app_info.h"
#include "graphics/file_utilities.h"
#include "graphics/system_services.h"
#include "library/pack_download_fetcher.h"
#include "library/promotion.h"
#include "library/store_controller.h"
#include "model/page_size_manager.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTimer>

namespace {

QString localized(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromUtf8(key));
}

// The page name recorded by the usage analytics at launch.
const QString kLaunchPageName = QStringLiteral("Launch");

}  // namespace

AppDelegate::AppDelegate(QObject* parent) : QObject(parent) {
    initialize();
}

AppDelegate::~AppDelegate() {
    if (KXPackFetcher::defaultFetcher() == m_packFetcher)
        KXPackFetcher::setDefaultFetcher(nullptr);
}

void AppDelegate::initialize() {
    kx::UserDefaults::standard().registerDefaults({
        {KXCheckUpdateAutomaticlly, true},
        {KXDisableAutoSaveKey, false},
        {KXAutoSnap, true},
        {KXAutoObjectSnap, false},
        {KXConnectWidthAndHeight, false},
        {KXNotShowSearchImageAlert, false},
        {KXUnitType, 3},
        {KXShowFloatingPanel, true},
        {KXShowExportingTip, true},
        {KXTemplateZoom, 0.5f},
        {KXShowWelcomePanel, true},
        {KXShowMarginBox, false},
    });
}

void AppDelegate::awakeFromNib() {
    initPageSizeManager();
}

void AppDelegate::applicationDidShowFirstWindow() {
    fontFamilyMenu();
}

QString AppDelegate::ubiquityIdentityTokenKey() {
    return QStringLiteral("%1.UbiquityIdentityToken").arg(kx::Bundle::main().bundleIdentifier());
}

void AppDelegate::applicationDidFinishLaunching() {
    // Usage analytics: the deployment supplies no tracking id, so the client records and sends nothing.
    GAObject::initializeGATrackerWithID(QString());
    if (GAObject* analytics = GAObject::defaultObject())
        analytics->startTrackPage(kLaunchPageName);
    // Cloud identity: there is none on this platform, so no stored copy of one may remain.
    kx::UserDefaults::standard().removeValue(ubiquityIdentityTokenKey());
    // The store downloads packs into the packs folder through this fetcher.
    if (!m_packFetcher) {
        m_packFetcher = new KXPackDownloadFetcher(new QNetworkAccessManager(this), this);
        KXPackFetcher::setDefaultFetcher(m_packFetcher);
    }
    KXWelcomeController::setStoreOpener([this] { storeAction(); });
    if (kx::UserDefaults::standard().boolValue(KXShowWelcomePanel))
        welcomeAction();
    // The promotion, when one is due; its store button comes back through the notification.
    m_checkIAPEvent = kx::NotificationCenter::defaultCenter().addObserver(KXCheckIAPEventNotification, nullptr,
                                                                          [this](const kx::Notification&) { storeAction(); });
    KXEventWindowController::initializeEventWithURL(
        kx::Bundle::main().infoValue(QStringLiteral("Full Event URL")).toString());
    // The checker builds its windows and may start a silent check: after the launch, not in its way.
    QTimer::singleShot(0, this, [] { KXUpdateWindowController::initializeUpdate(); });
}

QString AppDelegate::quickPreviewFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString name = bundleName();
    if (base.isEmpty() || !QDir::isAbsolutePath(base) || !isSafePathComponent(name))
        return {};
    return base + u'/' + name + QStringLiteral("/QuickPreview");
}

void AppDelegate::applicationWillTerminate() {
    const QString path = quickPreviewFolder();
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    if (info.isSymLink()) {
        // A link in our folder goes, never what it points at.
        QFile::remove(path);
        return;
    }
    if (!info.isDir())
        return;
    // The folder must be reached without links: its real place is the application's folder inside the real
    // data folder, so that the removal cannot reach anything else.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString realBase = QFileInfo(base).canonicalFilePath();
    const QString expected = realBase + u'/' + bundleName() + QStringLiteral("/QuickPreview");
    if (realBase.isEmpty() || info.canonicalFilePath() != expected)
        return;
    QDir(path).removeRecursively();
}

// ---- settings ----

bool AppDelegate::checkUpateAutomatically() const {
    return kx::UserDefaults::standard().boolValue(KXCheckUpdateAutomaticlly);
}

void AppDelegate::setCheckUpateAutomatically(bool on) {
    kx::UserDefaults::standard().setValue(KXCheckUpdateAutomaticlly, on);
}

bool AppDelegate::autoSnap() const {
    return kx::UserDefaults::standard().boolValue(KXAutoSnap);
}

void AppDelegate::setAutoSnap(bool on) {
    kx::UserDefaults::standard().setValue(KXAutoSnap, on);
}

bool AppDelegate::autoObjectSnap() const {
    return kx::UserDefaults::standard().boolValue(KXAutoObjectSnap);
}

void AppDelegate::setAutoObjectSnap(bool on) {
    kx::UserDefaults::standard().setValue(KXAutoObjectSnap, on);
}

bool AppDelegate::showMarginBox() const {
    return kx::UserDefaults::standard().boolValue(KXShowMarginBox);
}

void AppDelegate::setShowMarginBox(bool on) {
    kx::UserDefaults::standard().setValue(KXShowMarginBox, on);
    kx::NotificationCenter::defaultCenter().post(KXShowMarginBoxChanged, this);
}

// ---- web pages ----

void AppDelegate::helpAction() {
    openURLString(helpURL());
}

void AppDelegate::supportAction() {
    openURLString(supportURL());
}

void AppDelegate::visitUsAction() {
    openURLString(homePageURL());
}

void AppDelegate::feedbackAction() {
    openURLString(feedbackURL());
}

void AppDelegate::shareFacebookAction() {
    openURLString(shareFacebookURL());
}

void AppDelegate::rateAction() {
    openURLString(appStoreURL());
}

// ---- windows of the application ----

void AppDelegate::storeAction() {
    KXStoreController::showStore();
}

void AppDelegate::welcomeAction() {
    KXWelcomeController::showWelcomeWindow();
}

void AppDelegate::preferencesAction() {
    KXPreferencesWindowController::showPreferences();
}

void AppDelegate::checkUpdateAction() {
    KXUpdateWindowController::sharedUpdate()->checkUpdates(true);
}

// ---- menu ----

void AppDelegate::addApplicationActions(QMenu* menu) {
    const auto addToggle = [&](const char* key, bool state, void (AppDelegate::*slot)(bool)) {
        QAction* action = menu->addAction(localized(key));
        action->setObjectName(QString::fromUtf8(key));
        action->setCheckable(true);
        action->setChecked(state);
        connect(action, &QAction::toggled, this, [this, slot](bool checked) { (this->*slot)(checked); });
        return action;
    };
    QAction* snap = addToggle("AutoSnap", autoSnap(), &AppDelegate::autoSnapAction);
    QAction* objectSnap = addToggle("AutoObjectSnap", autoObjectSnap(), &AppDelegate::autoObjectSnapAction);
    QAction* marginBox = addToggle("ShowMarginBox", showMarginBox(), &AppDelegate::showMarginBoxAction);
    // Every window has its own copy of these items: each shows the settings as they are when it opens, also
    // after another window or the preferences changed them. Setting the same state stores nothing again.
    connect(menu, &QMenu::aboutToShow, this, [this, snap, objectSnap, marginBox] {
        const QSignalBlocker blockSnap(snap), blockObjectSnap(objectSnap), blockMarginBox(marginBox);
        snap->setChecked(autoSnap());
        objectSnap->setChecked(autoObjectSnap());
        marginBox->setChecked(showMarginBox());
    });
    menu->addSeparator();
    const auto addLink = [&](const char* key, void (AppDelegate::*slot)()) {
        QAction* action = menu->addAction(localized(key));
        action->setObjectName(QString::fromUtf8(key));
        connect(action, &QAction::triggered, this, [this, slot] { (this->*slot)(); });
    };
    addLink("Store", &AppDelegate::storeAction);
    addLink("Welcome", &AppDelegate::welcomeAction);
    addLink("Preferences", &AppDelegate::preferencesAction);
    if (QAction* preferences = menu->findChild<QAction*>(QStringLiteral("Preferences"))) {
        preferences->setShortcut(QKeySequence::Preferences);
        preferences->setMenuRole(QAction::PreferencesRole);
    }
    addLink("CheckForUpdates", &AppDelegate::checkUpdateAction);
    menu->addSeparator();
    addLink("Help", &AppDelegate::helpAction);
    addLink("Support", &AppDelegate::supportAction);
    addLink("VisitUs", &AppDelegate::visitUsAction);
    addLink("Feedback", &AppDelegate::feedbackAction);
    addLink("ShareFacebook", &AppDelegate::shareFacebookAction);
    addLink("Rate", &AppDelegate::rateAction);
}
