#include "output/photo_album_sheet.h"

#include "output/export_dialogs.h"
#include "platform/foundation/notification_center.h"

#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

KXExportiPhoto::KXExportiPhoto() = default;
KXExportiPhoto::~KXExportiPhoto() = default;

QDialog* KXExportiPhoto::window() {
    if (!m_window)
        loadWindow();
    return m_window.get();
}

void KXExportiPhoto::loadWindow() {
    m_window = std::make_unique<QDialog>();
    m_window->setObjectName(QStringLiteral("ExportiPhoto"));
    auto* column = new QVBoxLayout(m_window.get());
    auto* form = new QFormLayout;
    m_tfName = new QLineEdit(m_window.get());
    m_tfName->setObjectName(QStringLiteral("tfName"));
    m_tfName->setMinimumWidth(240);
    form->addRow(exportText("Name"), m_tfName);
    column->addLayout(form);
    addSheetButtons(m_window.get(), column, this, [this] { OK(); }, [this] { cancel(); });
    m_isCancel = false;
}

bool KXExportiPhoto::runSheet(QWidget* parent, const QString& suggested) {
    window();
    if (!m_suggested) {
        m_tfName->setText(suggested);
        m_suggested = true;
    }
    m_isCancel = true;
    presentSheet(window(), parent, true);
    return !m_isCancel;
}

void KXExportiPhoto::OK() {
    m_name = m_tfName->text();
    m_isCancel = false;
    window()->accept();
    kx::NotificationCenter::defaultCenter().post(KXExportiPhotoClose, this);
}

void KXExportiPhoto::cancel() {
    m_isCancel = true;
    window()->reject();
    kx::NotificationCenter::defaultCenter().post(KXExportiPhotoClose, this);
}
