#include "output/conversion_info_controller.h"

#include "output/export_dialogs.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/user_defaults.h"

#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kShowExportingTipKey = QStringLiteral("KXShowExportingTip");


}  // namespace

bool showsExportingTip() {
    return kx::UserDefaults::standard().boolValue(kShowExportingTipKey);
}

KXConversionInfoController::KXConversionInfoController() = default;
KXConversionInfoController::~KXConversionInfoController() = default;

QDialog* KXConversionInfoController::window() {
    if (!m_window)
        loadWindow();
    return m_window.get();
}

void KXConversionInfoController::loadWindow() {
    m_window = std::make_unique<QDialog>();
    m_window->setObjectName(QStringLiteral("ConversionInfo"));
    auto* column = new QVBoxLayout(m_window.get());
    auto* top = new QHBoxLayout;
    auto* image = new QLabel(m_window.get());
    const QString icon = kx::Bundle::main().pathForResource(QStringLiteral("AppIcon"), QStringLiteral("png"));
    if (!icon.isEmpty())
        image->setPixmap(QIcon(icon).pixmap(64, 64));
    top->addWidget(image, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    m_tfMsg = new QLabel(m_window.get());
    m_tfMsg->setObjectName(QStringLiteral("tfMsg"));
    QFont bold = m_tfMsg->font();
    bold.setBold(true);
    m_tfMsg->setFont(bold);
    m_tfInfo = new QLabel(m_window.get());
    m_tfInfo->setObjectName(QStringLiteral("tfInfo"));
    m_tfInfo->setWordWrap(true);
    texts->addWidget(m_tfMsg);
    texts->addWidget(m_tfInfo);
    top->addLayout(texts, 1);
    column->addLayout(top);
    auto* buttons = new QHBoxLayout;
    m_ds = new QCheckBox(exportText("DontShowAgain"), m_window.get());
    m_ds->setObjectName(QStringLiteral("ds"));
    m_cancel = new QPushButton(exportText("Cancel"), m_window.get());
    m_cancel->setObjectName(QStringLiteral("cancel"));
    m_ok = new QPushButton(exportText("OK"), m_window.get());
    m_ok->setObjectName(QStringLiteral("ok"));
    m_ok->setDefault(true);
    buttons->addWidget(m_ds);
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_ok);
    column->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, [this] { ok(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { cancel(); });
    connect(m_ds, &QCheckBox::toggled, this, [this] { dontShowChanged(); });
    // Escape and the window's close button count as Cancel where Cancel is offered.
    connect(m_window.get(), &QDialog::rejected, this, [this] { m_result = 0; });
    m_result = 0;
    m_dontShow = false;
}

void KXConversionInfoController::present(QWidget* parent) {
    presentSheet(window(), parent, false);
}

void KXConversionInfoController::showSaveInfoForFile(const QString& path, QWidget* parent) {
    window();
    m_filePath = path;
    m_ds->setVisible(true);
    {
        const QSignalBlocker block(m_ds);
        m_ds->setChecked(false);
    }
    m_cancel->setVisible(true);
    m_tfMsg->setText(exportText("ExportedSuccess"));
    m_tfInfo->setText(exportText("ExportedSuccessTip"));
    present(parent);
}

void KXConversionInfoController::showExportFailedInfo(QWidget* parent, const QString& detail) {
    window();
    m_filePath.clear();
    m_ds->setVisible(false);
    m_cancel->setVisible(false);
    m_tfMsg->setText(exportText("ExportedFailed"));
    m_tfInfo->setText(detail.isEmpty() ? exportText("ExportedFailedTip") : exportText("ExportedFailedTip") + u'\n' + detail);
    present(parent);
}

void KXConversionInfoController::ok() {
    m_result = 1;
    // Hidden before the notification, so that what it opens comes up above the document window.
    m_window->hide();
    m_window->setResult(QDialog::Accepted);
    kx::NotificationCenter::defaultCenter().post(KXConversionInfoPaneClosed, this);
}

void KXConversionInfoController::cancel() {
    if (!m_cancel->isVisible())
        return;
    m_result = 0;
    m_window->reject();
}

void KXConversionInfoController::dontShowChanged() {
    m_dontShow = m_ds->isChecked();
    kx::UserDefaults::standard().setValue(kShowExportingTipKey, !m_dontShow);
}
