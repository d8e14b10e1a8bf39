// The update checker: reads a small property list (the update feed) from the address under the Info.plist key
// "UpdateURL", compares the build it announces with the installed "CFBundleVersion", and shows the update
// window when a newer build is out. It checks silently at launch when automatic checks are on and the next
// check date ("KXCheckUpdateDate") has passed, and on demand from the application menu, when it also reports
// "up to date" and failures. Skipping or taking an update postpones the next automatic check by the feed's
// interval in days.
//
// The feed is untrusted: only an http or https address is fetched, an answer larger than kMaximumFeedBytes or
// that is not a property-list dictionary is a failed check, and only an http or https download page is
// opened. The fetch is asynchronous on the main thread; every window and alert is shown there.
#pragma once

#include <QDateTime>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QProgressBar;
class QTextBrowser;

// User settings of the checker.
inline const QString KXCheckUpdateDate = QStringLiteral("KXCheckUpdateDate");

// What one feed announces; keys it lacks read as 0 or empty.
struct KXUpdateInfo {
    std::int64_t version = 0;
    std::int64_t productVersion = 0;
    double interval = 0;  // days
    QString title;
    QString desc;
    QString notes;
    QString productURL;

    // The announcement of a feed's bytes (an XML or binary property list holding a dictionary), or nothing.
    static std::optional<KXUpdateInfo> fromFeed(const QByteArray& data);
};

// An update is available exactly when the installed build is lower than the announced one.
bool updateIsAvailable(const KXUpdateInfo& info, std::int64_t installedBuild);
// The feed's description shown under the title: its first "%@" replaced by the installed version, taken
// literally; nothing else in the text is a format.
QString updateDescription(const QString& desc, const QString& installedVersion);

class KXUpdateWindowController : public QWidget {
    Q_OBJECT
public:
    static constexpr qint64 kMaximumFeedBytes = 1 << 20;

    // Makes the shared checker (which starts a silent check when one is due); called once at launch.
    static void initializeUpdate();
    // The shared checker, made on first use with the application's feed address.
    static KXUpdateWindowController* sharedUpdate();

    // A checker of the feed at the address; `now` tells the time (the system clock when empty).
    explicit KXUpdateWindowController(const QUrl& feedURL, std::function<QDateTime()> now = {});
    ~KXUpdateWindowController() override;

    // Starts a silent check when automatic checks are on and the next check date is not set or has come.
    void startAutomaticCheckIfDue();
    // Runs a check: a manual one shows the checking window and reports every outcome; a silent one only
    // shows the update window when an update is out. A feed read once in this run is not fetched again. A
    // manual check asked for while a fetch runs is answered when that fetch ends.
    void checkUpdates(bool manual);

    // The update window's buttons.
    void skipAction();    // next check after the feed's interval; closes the window
    void remindAction();  // closes the window; nothing stored
    void updateAction();  // opens the download page, then as skipAction
    void closeWindow();

    bool checking() const { return m_checking; }
    const std::optional<KXUpdateInfo>& info() const { return m_info; }
    QWidget* checkWindow() const { return m_checkWindow; }
    QLabel* titleField() const { return m_tfTitle; }
    QLabel* contentField() const { return m_tfContent; }
    QTextBrowser* notesView() const { return m_tvNotes; }

    // The installed build and version, from Info.plist unless set.
    void setInstalledVersion(std::int64_t build, const QString& shortVersion);

    // The two alerts (up to date, failed), through one replaceable call so that tests can answer them. An
    // empty presenter restores the modal message box.
    using AlertPresenter = std::function<void(const QString& message, const QString& informative)>;
    static void setAlertPresenter(AlertPresenter presenter);

signals:
    // After a check has ended and its outcome was shown (or, for a silent check, kept quiet).
    void checkFinished();

private:
    void fetchFeed();
    void fetchEnded(QNetworkReply* reply);
    void reportOutcome(bool manual);
    void showUpdateWindow();
    void hideCheckWindow();
    void postponeNextCheck();
    void buildWindows();
    static void showAlert(const QString& message, const QString& informative);

    QUrl m_feedURL;
    std::function<QDateTime()> m_now;
    std::int64_t m_installedBuild = 0;
    QString m_installedVersion;
    bool m_checking = false;
    // A manual check was asked for while a fetch ran: its outcome is reported when the fetch ends.
    bool m_manualWaiting = false;
    std::optional<KXUpdateInfo> m_info;
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_reply;

    QLabel* m_tfTitle = nullptr;
    QLabel* m_tfContent = nullptr;
    QTextBrowser* m_tvNotes = nullptr;
    QWidget* m_checkWindow = nullptr;
    QProgressBar* m_progressBar = nullptr;
};
