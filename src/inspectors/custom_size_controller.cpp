#include "inspectors/custom_size_controller.h"

#include "controls/segmented_control.h"
#include "controls/stepper.h"
#include "inspectors/inspector_support.h"
#include "model/page_size.h"
#include "model/page_size_manager.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using kx::inspectors::localized;

namespace {

KXCustomController::AlertPresenter& alertPresenter() {
    static KXCustomController::AlertPresenter presenter;
    return presenter;
}

// Pixels per unit per dpi, as the size catalogue reckons them.
constexpr double kMillimeterPerDpi = 0.03937008;
constexpr double kCentimeterPerDpi = 0.3937008;

constexpr double kNewWidth = 800;
constexpr double kNewHeight = 600;
constexpr int kNewDpi = 300;

}  // namespace

void KXCustomController::setAlertPresenter(AlertPresenter presenter) {
    alertPresenter() = std::move(presenter);
}

KXCustomController::KXCustomController(KXPageSizeManager* catalogue, QWidget* parent)
    : QDialog(parent), m_catalogue(catalogue) {
    setObjectName(QStringLiteral("CustomSize"));
    setWindowTitle(localized("ManageSizes"));
    auto* column = new QVBoxLayout(this);

    m_tableview = new QListWidget(this);
    m_tableview->setObjectName(QStringLiteral("tableview"));
    QFont font = m_tableview->font();
    font.setPointSize(12);
    m_tableview->setFont(font);
    column->addWidget(m_tableview, 1);

    m_segment = new kx::controls::KXSegmentedControl(this);
    m_segment->setObjectName(QStringLiteral("segment"));
    m_segment->setSegmentCount(2);
    m_segment->setSelectionMode(kx::controls::KXSegmentedControl::SelectionMode::Momentary);
    m_segment->setLabel(0, QStringLiteral("+"));
    m_segment->setLabel(1, QStringLiteral("\u2212"));
    m_segment->setFixedWidth(60);
    column->addWidget(m_segment);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(localized("Width"), this), 0, 0);
    m_cusWidth = new QLineEdit(this);
    m_cusWidth->setObjectName(QStringLiteral("cusWidth"));
    grid->addWidget(m_cusWidth, 0, 1);
    grid->addWidget(new QLabel(localized("Height"), this), 1, 0);
    m_cusHeight = new QLineEdit(this);
    m_cusHeight->setObjectName(QStringLiteral("cusHeight"));
    grid->addWidget(m_cusHeight, 1, 1);
    m_pubUnit = new QComboBox(this);
    m_pubUnit->setObjectName(QStringLiteral("pubUnit"));
    m_pubUnit->addItems({localized("pixel"), localized("mm"), localized("inch"), localized("cm")});
    grid->addWidget(m_pubUnit, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("DPI"), this), 1, 2);
    auto* dpiRow = new QHBoxLayout;
    m_tfDPI = new QLineEdit(this);
    m_tfDPI->setObjectName(QStringLiteral("tfDPI"));
    m_stDPI = new kx::controls::KXStepper(this);
    m_stDPI->setObjectName(QStringLiteral("stDPI"));
    // Wider than the allowed resolutions, so that OK can find a value outside them and say so.
    m_stDPI->setRange(1, 9999);
    m_stDPI->setIncrement(1);
    dpiRow->addWidget(m_tfDPI);
    dpiRow->addWidget(m_stDPI);
    grid->addLayout(dpiRow, 1, 3);
    column->addLayout(grid);

    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(0, 12, 0, 12);
    bottom->addStretch(1);
    m_btOK = new QPushButton(localized("OK"), this);
    m_btOK->setObjectName(QStringLiteral("btOK"));
    m_btOK->setDefault(true);
    bottom->addWidget(m_btOK);
    column->addLayout(bottom);

    connect(m_segment, &kx::controls::KXSegmentedControl::activated, this,
            [this](int segment) { addRemoveCustomsizeAction(segment); });
    connect(m_tableview, &QListWidget::currentRowChanged, this, [this] { tableViewSelectionDidChange(); });
    connect(m_tableview, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!m_filling && item && m_tableview->row(item) == m_tableview->currentRow())
            renameSelected(item->text());
    });
    connect(m_pubUnit, &QComboBox::activated, this, [this](int unit) { unitIsChanged(unit); });
    connect(m_stDPI, &kx::controls::KXStepper::activated, this, [this] { dpiStepped(); });
    connect(m_tfDPI, &QLineEdit::editingFinished, this, [this] { dpiEdited(); });
    connect(m_cusWidth, &QLineEdit::editingFinished, this, [this] { sizeFieldEdited(m_cusWidth); });
    connect(m_cusHeight, &QLineEdit::editingFinished, this, [this] { sizeFieldEdited(m_cusHeight); });
    connect(m_btOK, &QPushButton::clicked, this, [this] { OKClick(); });
    awakeFromNib();
}

KXCustomController::~KXCustomController() = default;

// The sheet ends only through OK: Escape and the window's close button do nothing.
void KXCustomController::reject() {}

double KXCustomController::toPixels(double value, std::int64_t unit, double dpi) {
    switch (unit) {
    case KXSizeUnitMillimeter: return value * dpi * kMillimeterPerDpi;
    case KXSizeUnitInch: return value * dpi;
    case KXSizeUnitCentimeter: return value * dpi * kCentimeterPerDpi;
    default: return value;
    }
}

double KXCustomController::fromPixels(double pixels, std::int64_t unit, double dpi) {
    if (dpi <= 0)
        return pixels;
    switch (unit) {
    case KXSizeUnitMillimeter: return pixels / (dpi * kMillimeterPerDpi);
    case KXSizeUnitInch: return pixels / dpi;
    case KXSizeUnitCentimeter: return pixels / (dpi * kCentimeterPerDpi);
    default: return pixels;
    }
}

QString KXCustomController::formatValue(double value, std::int64_t unit) {
    switch (unit) {
    case KXSizeUnitPixel: return QString::asprintf("%.0f", value);
    case KXSizeUnitMillimeter: return QString::asprintf("%.1f", value);
    case KXSizeUnitInch: return QString::asprintf("%.2f", value);
    case KXSizeUnitCentimeter: return QString::asprintf("%.2f", value);
    default: return {};
    }
}

void KXCustomController::alert(const char* message, const QString& informative) {
    if (alertPresenter()) {
        alertPresenter()(this, localized(message), informative);
        return;
    }
    QMessageBox box(QMessageBox::Information, QString(), localized(message), QMessageBox::Ok, this);
    box.setInformativeText(informative);
    box.button(QMessageBox::Ok)->setText(localized("OK"));
    box.exec();
}

void KXCustomController::awakeFromNib() {
    reloadTable();
    if (m_catalogue->customSizeCount() > 0) {
        selectRow(0);
    } else {
        showEmpty();
    }
}

void KXCustomController::reloadTable() {
    m_filling = true;
    const int row = m_tableview->currentRow();
    m_tableview->clear();
    for (const QString& name : m_catalogue->customSizeDescriptions()) {
        auto* item = new QListWidgetItem(name, m_tableview);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    if (row >= 0 && row < m_tableview->count())
        m_tableview->setCurrentRow(row);
    m_filling = false;
}

void KXCustomController::selectRow(int row) {
    m_tableview->setCurrentRow(row);
    tableViewSelectionDidChange();
}

std::shared_ptr<KXSize> KXCustomController::selectedItem() const {
    const int row = m_tableview->currentRow();
    return row < 0 ? nullptr : m_catalogue->customSizeAtIndex(row);
}

void KXCustomController::runModal(QWidget* window) {
    setParent(window, windowFlags() | Qt::Sheet);
    setWindowModality(Qt::WindowModal);
    reloadTable();
    // A catalogue file that could not be read is said once; it is replaced only when OK writes a new one.
    if (m_catalogue->customSizesFileDamaged() && !m_damageReported) {
        m_damageReported = true;
        alert("CustomSizesDamaged", m_catalogue->customSizesPath());
    }
    exec();
}

void KXCustomController::setControlsEnabled(bool enabled) {
    m_segment->setSegmentEnabled(1, enabled);
    for (QWidget* widget : {static_cast<QWidget*>(m_cusWidth), static_cast<QWidget*>(m_cusHeight),
                            static_cast<QWidget*>(m_tfDPI), static_cast<QWidget*>(m_stDPI),
                            static_cast<QWidget*>(m_pubUnit)})
        widget->setEnabled(enabled);
}

void KXCustomController::showEmpty() {
    m_cusWidth->setText(QStringLiteral("800"));
    m_cusHeight->setText(QStringLiteral("600"));
    m_tfDPI->setText(QStringLiteral("300"));
    m_stDPI->setValue(kNewDpi);
    m_pubUnit->setCurrentIndex(KXSizeUnitPixel);
    m_typeChangedBefore = KXSizeUnitPixel;
    setControlsEnabled(false);
}

void KXCustomController::showSize(const KXSize& size) {
    const kx::Size s = size.sizeWithUnit(size.unit());
    m_typeChangedBefore = size.unit();
    m_pubUnit->setCurrentIndex(int(size.unit()));
    m_tfDPI->setText(QString::number(size.dpi()));
    m_stDPI->setValue(double(size.dpi()));
    m_cusWidth->setText(formatValue(s.width, size.unit()));
    m_cusHeight->setText(formatValue(s.height, size.unit()));
    setControlsEnabled(true);
}

void KXCustomController::tableViewSelectionDidChange() {
    if (m_filling)
        return;
    if (const std::shared_ptr<KXSize> size = selectedItem())
        showSize(*size);
}

void KXCustomController::addRemoveCustomsizeAction(int segment) {
    if (segment == 1) {
        if (QWidget* editor = m_tableview->focusWidget(); editor && editor != m_tableview)
            m_tableview->setFocus();
        const int row = m_tableview->currentRow();
        if (const std::shared_ptr<KXSize> size = selectedItem())
            m_catalogue->removeCustomSize(size.get());
        reloadTable();
        if (m_catalogue->customSizeCount() == 0) {
            showEmpty();
        } else {
            selectRow(std::min(row, int(m_catalogue->customSizeCount()) - 1));
        }
        return;
    }
    const QStringList used = m_catalogue->customSizeDescriptions();
    QString name = QStringLiteral("Untitled");
    for (int n = 1; used.contains(name); ++n)
        name = QStringLiteral("Untitled_%1").arg(n);
    auto size = KXSize::sizeWithWith(kNewWidth, kNewHeight, KXSizeUnitPixel, kNewDpi);
    size->setDesc(name);
    m_catalogue->addCustomSize(size);
    reloadTable();
    const int row = int(m_catalogue->customSizeCount()) - 1;
    selectRow(row);
    if (isVisible())
        m_tableview->editItem(m_tableview->item(row));
    setControlsEnabled(true);
}

void KXCustomController::renameSelected(const QString& name) {
    const std::shared_ptr<KXSize> size = selectedItem();
    if (!size)
        return;
    if (name.isEmpty()) {
        alert("FileEmpty", localized("FileEmptyTip"));
    } else if (m_catalogue->customSizeDescriptions().contains(name)) {
        alert("WARNING", localized("PagesizeNameExisting"));
    } else {
        size->setDesc(name);
    }
    // The row shows the name the size has now.
    reloadTable();
}

double KXCustomController::fieldValue(const QLineEdit* field) const {
    return field->text().toDouble();
}

void KXCustomController::unitIsChanged(int unit) {
    const std::int64_t before = m_typeChangedBefore;
    if (unit == before || unit < 0)
        return;
    const double dpi = m_tfDPI->text().toDouble();
    const double width = fromPixels(toPixels(fieldValue(m_cusWidth), before, dpi), unit, dpi);
    const double height = fromPixels(toPixels(fieldValue(m_cusHeight), before, dpi), unit, dpi);
    m_typeChangedBefore = unit;
    m_cusWidth->setText(formatValue(width, unit));
    m_cusHeight->setText(formatValue(height, unit));
    m_pubUnit->setCurrentIndex(unit);
    if (const std::shared_ptr<KXSize> size = selectedItem())
        size->setUnit(unit);
}

bool KXCustomController::reviseTextField(QLineEdit* field, std::int64_t unit, double dpi) {
    const double pixels = toPixels(fieldValue(field), unit, dpi);
    double revised = pixels;
    if (!std::isfinite(pixels) || pixels < kMinPixels)
        revised = kMinPixels;
    else if (pixels > kMaxPixels)
        revised = kMaxPixels;
    if (revised == pixels)
        return false;
    field->setText(formatValue(fromPixels(revised, unit, dpi), unit));
    alert("InvalidSet", localized("WarningPagesize").arg(int(kMinPixels)).arg(int(kMaxPixels)));
    return true;
}

void KXCustomController::applyFieldsToSelected() {
    const std::shared_ptr<KXSize> size = selectedItem();
    if (!size)
        return;
    const KXSize built(fieldValue(m_cusWidth), fieldValue(m_cusHeight), m_pubUnit->currentIndex(), m_stDPI->intValue());
    size->setSize(&built);
}

void KXCustomController::dpiStepped() {
    if (!selectedItem())
        return;
    m_tfDPI->setText(QString::number(m_stDPI->intValue()));
    applyFieldsToSelected();
}

void KXCustomController::dpiEdited() {
    const std::shared_ptr<KXSize> size = selectedItem();
    if (!size)
        return;
    const int dpi = std::clamp(m_tfDPI->text().toInt(), kMinDpi, kMaxDpi);
    m_tfDPI->setText(QString::number(dpi));
    m_stDPI->setValue(dpi);
    // Both sides are checked; one alert says it for both.
    const auto outside = [&](QLineEdit* field) {
        const double pixels = toPixels(fieldValue(field), size->unit(), dpi);
        const double clamped = std::isfinite(pixels) ? std::clamp(pixels, kMinPixels, kMaxPixels) : kMinPixels;
        if (clamped == pixels)
            return false;
        field->setText(formatValue(fromPixels(clamped, size->unit(), dpi), size->unit()));
        return true;
    };
    const bool width = outside(m_cusWidth);
    const bool height = outside(m_cusHeight);
    if (width || height)
        alert("InvalidSet", localized("WarningPagesize").arg(int(kMinPixels)).arg(int(kMaxPixels)));
    applyFieldsToSelected();
}

void KXCustomController::sizeFieldEdited(QLineEdit* field) {
    const std::shared_ptr<KXSize> size = selectedItem();
    if (!size)
        return;
    reviseTextField(field, size->unit(), m_stDPI->value());
    applyFieldsToSelected();
}

void KXCustomController::OKClick() {
    if (const std::shared_ptr<KXSize> size = selectedItem()) {
        const bool width = reviseTextField(m_cusWidth, size->unit(), m_stDPI->value());
        const bool height = !width && reviseTextField(m_cusHeight, size->unit(), m_stDPI->value());
        if (width || height)
            return;
    }
    const int dpi = m_stDPI->intValue();
    if (dpi < kMinDpi || dpi > kMaxDpi) {
        const int kept = dpi < kMinDpi ? kMinDpi : kMaxDpi;
        m_stDPI->setValue(kept);
        m_tfDPI->setText(QString::number(kept));
        alert("InvalidSet", localized("WarningDPI").arg(kMinDpi).arg(kMaxDpi));
        return;
    }
    const KXSize built(fieldValue(m_cusWidth), fieldValue(m_cusHeight), m_pubUnit->currentIndex(), dpi);
    if (const std::shared_ptr<KXSize> size = selectedItem()) {
        size->setLandscape(built.isLandscape());
        size->setSize(&built);
    }
    if (!m_catalogue->saveCustomSizes())
        alert("CustomSizesNotSaved", m_catalogue->customSizesPath());
    const int row = m_tableview->currentRow();
    m_tableview->setCurrentRow(-1);
    m_tableview->setCurrentRow(row);
    accept();
}
