// The application delegate: registers the user settings with their defaults, prepares the page-size
// catalogue, runs the launch sequence, answers the application menu's commands and cleans the Quick Look
// scratch folder at quit.
#pragma once

#include "canvas/auxiliary_layer.h"
#include "canvas/snapping.h"
#include "inspectors/arrangement.h"
#include "platform/foundation/notification_center.h"

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class KXPackDownloadFetcher;

// User settings registered at start-up (see AppDelegate::initialize for their defaults).
inline const QString KXCheckUpdateAutomaticlly = QStringLiteral("KXCheckUpdateAutomaticlly");
inline const QString KXDisableAutoSaveKey = QStringLiteral("KXDisableAutoSave");
inline const QString KXNotShowSearchImageAlert = QStringLiteral("KXNotShowSearchImageAlert");
inline const QString KXUnitType = QStringLiteral("KXUnitType");
inline const QString KXShowFloatingPanel = QStringLiteral("KXShowFloatingPanel");
inline const QString KXShowExportingTip = QStringLiteral("KXShowExportingTip");
inline const QString KXTemplateZoom = QStringLiteral("KXTemplateZoom");
inline const QString KXShowWelcomePanel = QStringLiteral("KXShowWelcomePanel");
// KXAutoSnap and KXAutoObjectSnap are declared with the snapping code that reads them, and
// KXConnectWidthAndHeight with the arrange rules.
// KXShowMarginBox and KXShowMarginBoxChanged (posted with the delegate as sender after the setting was
// stored) are declared with the selection overlay, which redraws on that notification.

class AppDelegate : public QObject {
    Q_OBJECT
public:
    // Seconds between two autosaves of a document.
    static constexpr int kAutosavingDelay = 300;

    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // Registers the default user settings, once per store; the delegate's constructor calls it.
    static void initialize();

    // Start-up before the launch: the page-size catalogue (converting custom sizes kept in the older file).
    void awakeFromNib();
    // The launch sequence: usage analytics, the cloud identity record, the welcome window (while
    // "KXShowWelcomePanel" is on) and the update checker (a moment later).
    void applicationDidFinishLaunching();
    // Once the first window is on the screen: builds the font-family menu's list of families, so that the
    // first pop-up that needs it opens at once. Walking every installed family waits until then so that it
    // does not delay the first window.
    void applicationDidShowFirstWindow();
    // Removes the Quick Look scratch folder. Never touches anything outside the application's own folder.
    void applicationWillTerminate();

    // "<data folder>/<bundle name>/QuickPreview", or an empty string when there is no data folder or the
    // bundle name cannot stay one path component.
    static QString quickPreviewFolder();

    // The menu commands of the application that exist so far, added to the given menu.
    void addApplicationActions(QMenu* menu);

    // ---- windows of the application ----
    // The content store, brought to the front.
    void storeAction();
    // The welcome window, brought to the front.
    void welcomeAction();
    // The preferences window, brought to the front.
    void preferencesAction();
    // A check for updates that shows its progress and its outcome.
    void checkUpdateAction();

    // ---- web pages (addresses from the application's Info.plist) ----
    void helpAction();
    void supportAction();
    void visitUsAction();
    void feedbackAction();
    void shareFacebookAction();
    void rateAction();

    // ---- settings toggles: each stores the sender's state ----
    void autoSnapAction(bool checked) { setAutoSnap(checked); }
    void autoObjectSnapAction(bool checked) { setAutoObjectSnap(checked); }
    void showMarginBoxAction(bool checked) { setShowMarginBox(checked); }

    // ---- settings, read and written straight through the user settings ----
    bool checkUpateAutomatically() const;
    void setCheckUpateAutomatically(bool on);
    bool autoSnap() const;
    void setAutoSnap(bool on);
    bool autoObjectSnap() const;
    void setAutoObjectSnap(bool on);
    bool showMarginBox() const;
    // Posts KXShowMarginBoxChanged after storing.
    void setShowMarginBox(bool on);

    // The cloud identity and container: no cloud service is available on this platform, so both stay
    // empty and readers must accept that.
    QString ubiquityContainer() const { return QString(); }
    // The user-settings key of the stored cloud identity: "<bundle identifier>.UbiquityIdentityToken".
    static QString ubiquityIdentityTokenKey();

private:
    kx::NotificationToken m_checkIAPEvent;
    // The store's pack fetcher, installed as the default one at launch (a child of this object).
    KXPackDownloadFetcher* m_packFetcher = nullptr;
};
