#include "controls/color_panel.h"

#include "controls/color_well.h"
#include "platform/foundation/notification_center.h"

#include <QColorDialog>
#include <QCoreApplication>

namespace kx::controls {

namespace {
KXColorPanel* sharedPanel = nullptr;

// The dialog is a top-level widget: it must go before the application object does.
void deleteSharedPanel() {
    if (sharedPanel && sharedPanel->dialog())
        delete sharedPanel->dialog();
    delete sharedPanel;
    sharedPanel = nullptr;
}
}  // namespace

KXColorPanel& KXColorPanel::shared() {
    if (!sharedPanel) {
        sharedPanel = new KXColorPanel;
        qAddPostRoutine(deleteSharedPanel);
    }
    return *sharedPanel;
}

QColorDialog* KXColorPanel::dialog() {
    if (!m_dialog) {
        m_dialog = new QColorDialog;
        m_dialog->setOptions(QColorDialog::NoButtons | QColorDialog::ShowAlphaChannel);
        m_dialog->setWindowFlag(Qt::Tool);
        connect(m_dialog, &QColorDialog::currentColorChanged, this, &KXColorPanel::colorPicked);
        connect(m_dialog, &QDialog::finished, this, [this] {
            emit willClose();
        });
    }
    return m_dialog;
}

void KXColorPanel::setColorWellTarget(KXColorWell* well) {
    if (well)
        setTarget(well, [well](const QColor& color) { well->changeColor(color); });
    else
        setTarget(nullptr, {});
    kx::NotificationCenter::defaultCenter().post(QString::fromLatin1(kColorWellTargetChanged), well);
}

void KXColorPanel::setTarget(QObject* target, Action action) {
    m_target = target;
    m_action = target ? std::move(action) : Action{};
}

QColor KXColorPanel::color() const {
    return m_dialog ? m_dialog->currentColor() : QColor(Qt::white);
}

void KXColorPanel::setColor(const QColor& color) {
    m_settingColor = true;
    dialog()->setCurrentColor(color);
    m_settingColor = false;
}

void KXColorPanel::orderFront() {
    dialog()->show();
    m_dialog->raise();
}

bool KXColorPanel::isVisible() const {
    return m_dialog && m_dialog->isVisible();
}

void KXColorPanel::close() {
    if (m_dialog && m_dialog->isVisible())
        m_dialog->close();
}

void KXColorPanel::colorPicked(const QColor& color) {
    if (m_settingColor || !m_target || !m_action)
        return;
    m_action(color);
}

}  // namespace kx::controls
