#include "output/progress_sheet.h"

#include "platform/foundation/bundle.h"
#include "platform/foundation/notification_center.h"

#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>


namespace {

KXProgressBarController::AlertRunner& alertRunnerSlot() {
    static KXProgressBarController::AlertRunner runner;
    return runner;
}

int runAlert(const QString& message, const QString& informative, const QString& first, const QString& second) {
    if (const auto& runner = alertRunnerSlot())
        return runner(message, informative, first, second);
    QMessageBox box(QMessageBox::Information, QString(), message);
    box.setInformativeText(informative);
    box.setWindowModality(Qt::ApplicationModal);
    QPushButton* firstButton = box.addButton(first, QMessageBox::AcceptRole);
    box.addButton(second, QMessageBox::RejectRole);
    box.exec();
    return box.clickedButton() == static_cast<QAbstractButton*>(firstButton) ? KXProgressBarController::AlertFirstButtonReturn
                                              : KXProgressBarController::AlertFirstButtonReturn + 1;
}

QString localized(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromLatin1(key));
}

}  // namespace

void KXProgressBarController::setAlertRunner(AlertRunner runner) {
    alertRunnerSlot() = std::move(runner);
}

bool KXProgressBarController::confirmCancel() {
    return runAlert(localized("ConfirmCancel"), localized("WarningCancel"), localized("OK"), localized("Cancel")) ==
           AlertFirstButtonReturn;
}

KXProgressBarController::KXProgressBarController() = default;

KXProgressBarController::~KXProgressBarController() {
    if (m_window)
        m_window->removeEventFilter(this);
}

// The window of the role of the "ProgressBar" interface: the message on top, the bar below it and the
// Cancel button to the bar's right.
void KXProgressBarController::loadWindow() {
    if (m_window)
        return;
    m_window = std::make_unique<QDialog>();
    m_window->setObjectName(QStringLiteral("ProgressBar"));
    m_window->setFixedSize(420, 92);
    m_tfTip = new QLabel(m_window.get());
    m_tfTip->setObjectName(QStringLiteral("tfTip"));
    m_tfTip->setGeometry(20, 14, 380, 22);
    m_pb = new QProgressBar(m_window.get());
    m_pb->setObjectName(QStringLiteral("pb"));
    m_pb->setTextVisible(false);
    m_pb->setGeometry(20, 52, 290, 20);
    m_btCancel = new QPushButton(m_window.get());
    m_btCancel->setObjectName(QStringLiteral("btCancel"));
    m_btCancel->setGeometry(320, 46, 80, 32);
    connect(m_btCancel, &QPushButton::clicked, this, &KXProgressBarController::cancelClick);
    m_window->installEventFilter(this);

    m_lock = std::make_unique<std::mutex>();
    m_pause.setPausing(false);
    m_isCancelled.store(false);
    m_window->setWindowTitle(windowTitleForDocumentDisplayName({}));
    m_btCancel->setText(localized("Cancel"));
    const QRect button = m_btCancel->geometry(), bar = m_pb->geometry();
    m_expandableWidth = (button.x() + button.width()) - (bar.x() + bar.width());
}

QDialog* KXProgressBarController::window() {
    loadWindow();
    return m_window.get();
}

void KXProgressBarController::setTip(const QString& tip) {
    loadWindow();
    if (!tip.isNull())
        m_tfTip->setText(tip);
}

QString KXProgressBarController::tip() const {
    return m_tfTip ? m_tfTip->text() : QString();
}

void KXProgressBarController::setIndeterminate(bool indeterminate) {
    loadWindow();
    m_indeterminate = indeterminate;
    if (indeterminate)
        startAnimation();
    else
        stopAnimation();
}

// A busy bar (range 0..0) is how the bar animates without progress values.
void KXProgressBarController::startAnimation() {
    loadWindow();
    if (!m_indeterminate)
        return;
    m_animating = true;
    m_pb->setRange(0, 0);
}

void KXProgressBarController::stopAnimation() {
    m_animating = false;
    if (m_pb) {
        m_pb->setRange(0, 1);
        m_pb->setValue(0);
    }
}

void KXProgressBarController::setCanCancel(bool canCancel) {
    loadWindow();
    const QRect button = m_btCancel->geometry();
    QRect bar = m_pb->geometry();
    const int right = button.x() + button.width() - (canCancel ? int(m_expandableWidth) : 0);
    bar.setWidth(right - bar.x());
    m_pb->setGeometry(bar);
    m_btCancel->setHidden(!canCancel);
}

void KXProgressBarController::cancelClick() {
    loadWindow();
    m_pause.setPausing(true);
    {
        std::lock_guard<std::mutex> hold(*m_lock);
        const int answer = runAlert(localized("ConfirmCancel"), localized("WarningCancel"), localized("OK"), localized("Cancel"));
        if (answer == AlertFirstButtonReturn) {
            m_isCancelled.store(true);
            kx::NotificationCenter::defaultCenter().post(KXProgressCanceledNotification, this);
        } else if (m_indeterminate) {
            startAnimation();  // the modal alert stopped it
        }
    }
    m_pause.setPausing(false);
}

void KXProgressBarController::showWindow() {
    m_isCancelled.store(false);
}

QString KXProgressBarController::windowTitleForDocumentDisplayName(const QString&) const {
    return kx::Bundle::main().infoValue(QStringLiteral("CFBundleName")).toString();
}

void KXProgressBarController::windowWillClose() {
    stopAnimation();
}

bool KXProgressBarController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window.get() && event->type() == QEvent::Close)
        windowWillClose();
    return QObject::eventFilter(watched, event);
}
