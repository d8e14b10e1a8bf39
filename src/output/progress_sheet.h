// The progress sheet: a small window with a message, an indeterminate bar and a Cancel button, shown while a
// background worker renders pages, and by the document as its loading window.
//
// Besides showing progress it carries the two flags through which the main thread stops a worker: the cancel
// flag, which ends the worker's run, and the pausing flag, which holds the worker still while the user is
// asked to confirm the cancel. Workers read both without locking (they are atomic); only the main thread
// writes them. The methods run on the main thread.
#pragma once

#include "output/pause_gate.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QDialog;
class QLabel;
class QProgressBar;
class QPushButton;

// Posted by the sheet (object: the sheet controller) when the user confirms the cancel.
inline const QString KXProgressCanceledNotification = QStringLiteral("KXProgressCanceledNotification");

class KXProgressBarController : public QObject {
    Q_OBJECT
public:
    // Answer of the confirmation alert's first button.
    static constexpr int AlertFirstButtonReturn = 1000;
    // Runs the confirmation alert (message, informative text, first and second button titles) and answers
    // the button chosen: AlertFirstButtonReturn for the first. The default shows an application-modal
    // message box; tests answer for the user.
    using AlertRunner = std::function<int(const QString&, const QString&, const QString&, const QString&)>;
    static void setAlertRunner(AlertRunner runner);
    // Runs the cancel confirmation (localised "ConfirmCancel", "WarningCancel", "OK", "Cancel") through the
    // alert runner; true when the user confirmed. Other sheets that cancel a run ask the same way.
    static bool confirmCancel();

    // The window is built on loadWindow() (or on first use).
    KXProgressBarController();
    ~KXProgressBarController() override;

    void loadWindow();
    QDialog* window();

    // Shows the string as the message; a null string leaves the previous one.
    void setTip(const QString& tip);
    QString tip() const;
    // Sets the bar's indeterminate flag; YES also starts its animation.
    void setIndeterminate(bool indeterminate);
    bool isIndeterminate() const { return m_indeterminate; }
    bool isAnimating() const { return m_animating; }
    void startAnimation();
    void stopAnimation();
    // Shows or hides the Cancel button; a hidden button leaves its place to the bar.
    void setCanCancel(bool canCancel);

    bool isCancelled() const { return m_isCancelled.load(); }
    void setIsCancelled(bool cancelled) { m_isCancelled.store(cancelled); }
    // YES exactly while the cancel confirmation is open.
    bool isPausing() const { return m_pause.isPausing(); }

    // The Cancel button's action: asks for confirmation; on OK sets the cancel flag and posts
    // KXProgressCanceledNotification, otherwise lets the run go on.
    void cancelClick();
    // Clears the cancel flag; the owner presents the window itself.
    void showWindow();
    // The window's title: the application's name.
    QString windowTitleForDocumentDisplayName(const QString& displayName) const;
    // Stops the bar's animation when the window closes.
    void windowWillClose();

    // A worker's wait between units of work: returns at once unless a confirmation is open, else blocks
    // (without spinning) until it closes. Safe from any thread.
    void waitWhilePausing() { m_pause.wait(); }
    // The pause that waitWhilePausing() waits out; closed exactly while the confirmation is open.
    const KXPauseGate& pause() const { return m_pause; }

    QLabel* tfTip() const { return m_tfTip; }
    QProgressBar* pb() const { return m_pb; }
    QPushButton* btCancel() const { return m_btCancel; }
    double expandableWidth() const { return m_expandableWidth; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<QDialog> m_window;
    QLabel* m_tfTip = nullptr;
    QProgressBar* m_pb = nullptr;
    QPushButton* m_btCancel = nullptr;
    double m_expandableWidth = 0;
    bool m_indeterminate = false;
    bool m_animating = false;
    std::atomic<bool> m_isCancelled{false};
    KXPauseGate m_pause;
    std::unique_ptr<std::mutex> m_lock;
};
