#include "output/mail_options_sheet.h"

#include "controls/stepper.h"
#include "output/export_choices.h"
#include "output/export_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

using kx::controls::KXStepper;

KXExportEmailController::KXExportEmailController() = default;
KXExportEmailController::~KXExportEmailController() = default;

QDialog* KXExportEmailController::window() {
    if (!m_window)
        loadWindow();
    return m_window.get();
}

void KXExportEmailController::loadWindow() {
    m_window = std::make_unique<QDialog>();
    m_window->setObjectName(QStringLiteral("ExportEmail"));
    auto* column = new QVBoxLayout(m_window.get());
    auto* grid = new QGridLayout;
    m_btMailOrignalSize = new QCheckBox(exportText("Original Size"), m_window.get());
    m_btMailOrignalSize->setObjectName(QStringLiteral("btMailOrignalSize"));
    m_pubMailSize = new QComboBox(m_window.get());
    m_pubMailSize->setObjectName(QStringLiteral("pubMailSize"));
    for (int side : mailSizes())
        m_pubMailSize->addItem(QStringLiteral("%1 x %1 %2").arg(side).arg(exportText("pixel")));
    m_pubMailSize->setCurrentIndex(1);
    grid->addWidget(new QLabel(exportText("Fit to Size"), m_window.get()), 0, 0);
    grid->addWidget(m_pubMailSize, 0, 1, 1, 3);
    grid->addWidget(m_btMailOrignalSize, 1, 1, 1, 3);

    m_pubMailFormat = new QComboBox(m_window.get());
    m_pubMailFormat->setObjectName(QStringLiteral("pubMailFormat"));
    m_pubMailFormat->addItems(formatTitles());
    m_pubMailFormat->setCurrentIndex(0);
    grid->addWidget(new QLabel(exportText("Format"), m_window.get()), 2, 0);
    grid->addWidget(m_pubMailFormat, 2, 1, 1, 3);

    m_tfEmailQuality = new QLabel(exportText("Quality"), m_window.get());
    m_slMailQuality = new QSlider(Qt::Horizontal, m_window.get());
    m_slMailQuality->setObjectName(QStringLiteral("slMailQuality"));
    m_slMailQuality->setRange(1, 100);
    m_tfMailQuality = new QLineEdit(m_window.get());
    m_tfMailQuality->setObjectName(QStringLiteral("tfMailQuality"));
    m_tfMailQuality->setValidator(new QIntValidator(m_tfMailQuality));
    m_tfMailQuality->setFixedWidth(48);
    m_stMailQuality = new KXStepper(m_window.get());
    m_stMailQuality->setObjectName(QStringLiteral("stMailQuality"));
    m_stMailQuality->setRange(1, 100);
    m_stMailQuality->setIncrement(1);
    grid->addWidget(m_tfEmailQuality, 3, 0);
    grid->addWidget(m_slMailQuality, 3, 1);
    grid->addWidget(m_tfMailQuality, 3, 2);
    grid->addWidget(m_stMailQuality, 3, 3);
    setQuality(90);
    column->addLayout(grid);

    addSheetButtons(m_window.get(), column, this, [this] { OK(); }, [this] { cancel(); });
    connect(m_btMailOrignalSize, &QCheckBox::toggled, this, [this] { originalSizeChanged(); });
    connect(m_pubMailFormat, &QComboBox::activated, this, [this] { formatChanged(); });
    connect(m_slMailQuality, &QSlider::valueChanged, this, [this](int v) { qualityMoved(v); });
    connect(m_stMailQuality, &KXStepper::activated, this, [this] { qualityMoved(int(m_stMailQuality->value())); });
    connect(m_tfMailQuality, &QLineEdit::textEdited, this, [this] { qualityTyped(); });
    connect(m_tfMailQuality, &QLineEdit::editingFinished, this, [this] { qualityEditingEnded(); });
    originalSizeChanged();
    formatChanged();
}

bool KXExportEmailController::runSheet(QWidget* parent) {
    m_isOK = false;
    presentSheet(window(), parent, true);
    return m_isOK;
}

void KXExportEmailController::OK() {
    m_isOK = true;
    window()->accept();
}

void KXExportEmailController::cancel() {
    m_isOK = false;
    window()->reject();
}

bool KXExportEmailController::useOriginalSize() const {
    return m_btMailOrignalSize && m_btMailOrignalSize->isChecked();
}

kx::Size KXExportEmailController::mailSize() const {
    if (useOriginalSize() || !m_pubMailSize)
        return {0, 0};
    const int side = mailSizes().value(std::max(0, m_pubMailSize->currentIndex()), 640);
    return {double(side), double(side)};
}

QString KXExportEmailController::format() const {
    return m_pubMailFormat ? m_pubMailFormat->currentText().toLower() : QStringLiteral("jpg");
}

int KXExportEmailController::quality() const {
    return m_slMailQuality ? m_slMailQuality->value() : 90;
}

void KXExportEmailController::formatChanged() {
    const bool jpeg = format() == QLatin1String("jpg");
    for (QWidget* w : {static_cast<QWidget*>(m_tfEmailQuality), static_cast<QWidget*>(m_tfMailQuality),
                       static_cast<QWidget*>(m_slMailQuality), static_cast<QWidget*>(m_stMailQuality)})
        w->setVisible(jpeg);
}

void KXExportEmailController::originalSizeChanged() {
    m_pubMailSize->setEnabled(!useOriginalSize());
}

void KXExportEmailController::setQuality(int value) {
    const QSignalBlocker block(m_slMailQuality);
    m_slMailQuality->setValue(value);
    m_stMailQuality->setValue(value);
    m_tfMailQuality->setText(QString::number(value));
}

void KXExportEmailController::qualityMoved(int value) {
    setQuality(clampedQuality(value));
}

void KXExportEmailController::qualityTyped() {
    bool ok = false;
    const int typed = m_tfMailQuality->text().trimmed().toInt(&ok);
    setQuality(clampedQuality(ok ? typed : quality()));
}

void KXExportEmailController::qualityEditingEnded() {
    bool ok = false;
    const int typed = m_tfMailQuality->text().trimmed().toInt(&ok);
    setQuality(qualityAfterEditing(ok ? typed : quality()));
}
