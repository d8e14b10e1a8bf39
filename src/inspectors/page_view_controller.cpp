#include "inspectors/page_view_controller.h"

#include "controls/on_off_button.h"
#include "controls/stepper.h"
#include "inspectors/custom_size_controller.h"
#include "inspectors/inspector_support.h"
#include "model/page_size.h"
#include "model/page_size_manager.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using kx::inspectors::localized;

namespace {

KXPageViewController::SheetRunner& sheetRunner() {
    static KXPageViewController::SheetRunner runner;
    return runner;
}

QString unitName(std::int64_t unit) {
    switch (unit) {
    case KXSizeUnitPixel: return localized("px");
    case KXSizeUnitMillimeter: return localized("mm");
    case KXSizeUnitInch: return localized("in");
    default: return {};
    }
}

constexpr double kMillimetersPerInch = 25.4;
constexpr double kCentimetersPerInch = 2.54;

}  // namespace

void KXPageViewController::setSheetRunner(SheetRunner runner) {
    sheetRunner() = std::move(runner);
}

KXPageViewController::KXPageViewController(KXPageSizeManager* catalogue)
    : m_catalogue(catalogue ? catalogue : &KXPageSizeManager::pageSizeManager()) {}

KXPageViewController::~KXPageViewController() = default;

// ---- unit arithmetic ----

QString KXPageViewController::sizeTip(const KXSize& size) {
    const kx::Size s = size.sizeWithUnit(size.unit());
    const QString name = unitName(size.unit());
    switch (size.unit()) {
    case KXSizeUnitPixel: return QString::asprintf("%.0f x %.0f ", s.width, s.height) + name;
    case KXSizeUnitMillimeter: return QString::asprintf("%.1f x %.1f ", s.width, s.height) + name;
    case KXSizeUnitInch: return QString::asprintf("%.2f x %.2f ", s.width, s.height) + name;
    default: return {};
    }
}

QString KXPageViewController::marginText(double value, std::int64_t unit) {
    switch (unit) {
    case KXSizeUnitPixel: return QString::asprintf("%.0f ", value) + unitName(unit);
    case KXSizeUnitMillimeter:
    case KXSizeUnitInch: return QString::asprintf("%.2f ", value) + unitName(unit);
    default: return {};
    }
}

double KXPageViewController::marginIncrement(std::int64_t unit) {
    switch (unit) {
    case KXSizeUnitPixel: return 1;
    case KXSizeUnitInch: return 0.01;
    default: return 0.3;
    }
}

double KXPageViewController::inchInUnit(std::int64_t unit, double dpi) {
    switch (unit) {
    case KXSizeUnitPixel: return dpi;
    case KXSizeUnitMillimeter: return kMillimetersPerInch;
    case KXSizeUnitInch: return 1;
    default: return 0;
    }
}

double KXPageViewController::pixelsToUnit(double pixels, std::int64_t unit, double dpi) {
    if (dpi <= 0)
        dpi = 72;
    switch (unit) {
    case KXSizeUnitMillimeter: return pixels / dpi * kMillimetersPerInch;
    case KXSizeUnitInch: return pixels / dpi;
    case KXSizeUnitCentimeter: return pixels / dpi * kCentimetersPerInch;
    default: return pixels;
    }
}

double KXPageViewController::unitToPixels(double value, std::int64_t unit, double dpi) {
    if (dpi <= 0)
        dpi = 72;
    switch (unit) {
    case KXSizeUnitMillimeter: return value * dpi / kMillimetersPerInch;
    case KXSizeUnitInch: return value * dpi;
    case KXSizeUnitCentimeter: return value * dpi / kCentimetersPerInch;
    default: return value;
    }
}

std::int64_t KXPageViewController::unit() const {
    return m_pageSize ? m_pageSize->unit() : KXSizeUnitPixel;
}

double KXPageViewController::dpi() const {
    return m_pageSize && m_pageSize->dpi() > 0 ? double(m_pageSize->dpi()) : 72.0;
}

// ---- the view ----

QWidget* KXPageViewController::loadView() {
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("PageView"));
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(6);

    auto* title = new kx::controls::KXOnOffButton(view);
    title->setObjectName(QStringLiteral("btTitle"));
    title->setFixedHeight(24);
    title->awakeFromInterfaceFile();
    title->setHasBackground(true);
    title->setState(true);
    title->setSelectable(false);
    title->setTitle(localized("PageSetup"));
    column->addWidget(title);

    m_pubPredefine = new QComboBox(view);
    m_pubPredefine->setObjectName(QStringLiteral("pubPredefine"));
    column->addWidget(m_pubPredefine);
    m_tfSizeTip = new QLabel(view);
    m_tfSizeTip->setObjectName(QStringLiteral("tfSizeTip"));
    column->addWidget(m_tfSizeTip);

    auto* orientation = new QWidget(view);
    auto* row = new QHBoxLayout(orientation);
    row->setContentsMargins(0, 0, 0, 0);
    m_mOrientation = new QButtonGroup(view);
    auto* landscape = new QRadioButton(localized("Landscape"), orientation);
    landscape->setObjectName(QStringLiteral("landscape"));
    auto* portrait = new QRadioButton(localized("Portrait"), orientation);
    portrait->setObjectName(QStringLiteral("portrait"));
    m_mOrientation->addButton(landscape, 0);
    m_mOrientation->addButton(portrait, 1);
    row->addWidget(landscape);
    row->addWidget(portrait);
    column->addWidget(orientation);

    m_btClipPage = new QCheckBox(localized("ClipToMargin"), view);
    m_btClipPage->setObjectName(QStringLiteral("btClipPage"));
    column->addWidget(m_btClipPage);

    auto* margins = new QWidget(view);
    auto* grid = new QGridLayout(margins);
    grid->setContentsMargins(0, 0, 0, 0);
    static const char* const kLabels[] = {"MarginTop", "MarginBottom", "MarginLeft", "MarginRight"};
    static const char* const kFieldNames[] = {"tfTopMargin", "tfBottomMargin", "tfLeftMargin", "tfRightMargin"};
    static const char* const kStepperNames[] = {"stTopMargin", "stBottomMargin", "stLeftMargin", "stRightMargin"};
    for (int side = 0; side < 4; ++side) {
        grid->addWidget(new QLabel(localized(kLabels[side]), margins), side, 0);
        auto* field = new QLineEdit(margins);
        field->setObjectName(QString::fromLatin1(kFieldNames[side]));
        auto* stepper = new kx::controls::KXStepper(margins);
        stepper->setObjectName(QString::fromLatin1(kStepperNames[side]));
        // The clamp of pageMarginChange bounds the value; the stepper itself only keeps it above zero.
        stepper->setRange(0, 1e9);
        grid->addWidget(field, side, 1);
        grid->addWidget(stepper, side, 2);
        m_fields[side] = field;
        m_steppers[side] = stepper;
        const auto margin = KXMarginSide(side);
        QObject::connect(stepper, &kx::controls::KXStepper::activated, this,
                         [this, margin, stepper] { pageMarginChange(margin, stepper->value()); });
        QObject::connect(field, &QLineEdit::editingFinished, this, [this, margin, field] {
            // The number at the start of the field; no number keeps the stepper's value.
            bool ok = false;
            const double typed = field->text().section(u' ', 0, 0, QString::SectionSkipEmpty).toDouble(&ok);
            pageMarginChange(margin, ok ? typed : m_steppers[margin]->value());
        });
    }
    column->addWidget(margins);
    column->addStretch(1);

    QObject::connect(m_pubPredefine, &QComboBox::activated, this, [this](int index) { pageSizePredefinesChange(index); });
    QObject::connect(m_mOrientation, &QButtonGroup::idClicked, this, [this](int id) { orientationChanged(id); });
    QObject::connect(m_btClipPage, &QCheckBox::clicked, this, [this](bool on) { enableClipPageChange(on); });
    return view;
}

void KXPageViewController::viewDidLoad() {
    m_mOrientation->button(m_pageSize && m_pageSize->isLandscape() ? 0 : 1)->setChecked(true);
    for (int side = 0; side < 4; ++side) {
        m_steppers[side]->setIncrement(marginIncrement(unit()));
        m_fields[side]->setText(marginText(0, unit()));
    }
    updatePageSizeUnit();
    updateUI();
    m_customObserver = kx::NotificationCenter::defaultCenter().addObserver(
        KXCustomSizeChanged, nullptr, [this](const kx::Notification& n) { customSizeChanged(n); });
}

void KXPageViewController::updateUI() {
    if (!m_pubPredefine)
        return;
    const bool other = !m_otherSizeName.isNull() && m_pubPredefine->count() > 0 &&
                       m_pubPredefine->itemText(m_pubPredefine->count() - 1) == m_otherSizeName;
    m_pubPredefine->clear();
    m_pubPredefine->addItems(m_catalogue->predefineSizeDescriptions());
    if (m_catalogue->customSizeCount() > 0) {
        m_pubPredefine->insertSeparator(m_pubPredefine->count());
        m_pubPredefine->addItems(m_catalogue->customSizeDescriptions());
    }
    m_pubPredefine->insertSeparator(m_pubPredefine->count());
    m_pubPredefine->addItem(localized("ManageSizes"));
    if (other) {
        m_pubPredefine->insertSeparator(m_pubPredefine->count());
        m_pubPredefine->addItem(m_otherSizeName);
    }
}

void KXPageViewController::selectMenuIndex(int index) {
    if (m_pubPredefine && index >= 0 && index < m_pubPredefine->count())
        m_pubPredefine->setCurrentIndex(index);
}

void KXPageViewController::setPageSize(const KXSize* size) {
    if (!size || (m_pageSize && m_pageSize->isEqualToPagesize(size, false)))
        return;
    m_pageSize = size->copy();
    synchronousPageSize();
}

void KXPageViewController::synchronousPageSize() {
    if (!m_pageSize || !view())
        return;
    const std::int64_t index = m_catalogue->indexOfsize(m_pageSize.get(), true);
    if (index == KXSizeNotFound) {
        if (m_otherSizeName.isNull())
            m_otherSizeName = localized("Other");
        const int last = m_pubPredefine->count() - 1;
        if (last < 0 || m_pubPredefine->itemText(last).compare(m_otherSizeName, Qt::CaseInsensitive) != 0) {
            m_pubPredefine->insertSeparator(m_pubPredefine->count());
            m_pubPredefine->addItem(m_otherSizeName);
        }
        selectMenuIndex(m_pubPredefine->count() - 1);
    } else {
        selectMenuIndex(int(index));
        const int last = m_pubPredefine->count() - 1;
        if (!m_otherSizeName.isNull() && last >= 1 &&
            m_pubPredefine->itemText(last).toLower() == m_otherSizeName.toLower()) {
            m_pubPredefine->removeItem(last);
            m_pubPredefine->removeItem(last - 1);
        }
    }
    m_mOrientation->button(m_pageSize->isLandscape() ? 0 : 1)->setChecked(true);
    updatePageSizeUnit();
}

void KXPageViewController::updatePageSizeUnit() {
    if (!m_tfSizeTip)
        return;
    m_tfSizeTip->setText(m_pageSize ? sizeTip(*m_pageSize) : QString());
    for (int side = 0; side < 4; ++side) {
        const double value = pixelsToUnit(m_margins[side], unit(), dpi());
        m_fields[side]->setText(marginText(value, unit()));
        m_steppers[side]->setValue(value);
        m_steppers[side]->setIncrement(marginIncrement(unit()));
    }
}

void KXPageViewController::setClipMargin(bool clip) {
    if (view())
        m_btClipPage->setChecked(clip);
}

bool KXPageViewController::clipMargin() const {
    return m_btClipPage && m_btClipPage->isChecked();
}

void KXPageViewController::setMarginTop(double top, double bottom, double left, double right) {
    view();
    m_margins = {top, bottom, left, right};
    if (!m_fields[0])
        return;
    for (int side = 0; side < 4; ++side) {
        const double value = pixelsToUnit(m_margins[side], unit(), dpi());
        m_fields[side]->setText(marginText(value, unit()));
        m_steppers[side]->setValue(value);
    }
}

// ---- actions ----

void KXPageViewController::pageSizePredefinesChange(int index) {
    if (!view())
        return;
    const int last = m_pubPredefine->count() - 1;
    if (index != last && !m_otherSizeName.isNull() && m_pubPredefine->itemText(last) == m_otherSizeName) {
        m_pubPredefine->removeItem(last);
        m_pubPredefine->removeItem(last - 1);
        m_otherSizeName = QString();
    }
    const std::int64_t predefined = m_catalogue->predefineSizeCount();
    const std::int64_t custom = m_catalogue->customSizeCount();
    if (index == predefined || (custom > 0 && index == predefined + custom + 1)) {
        // A separator: the page's own entry stays selected.
        synchronousPageSize();
        return;
    }
    if (const std::shared_ptr<KXSize> size = m_catalogue->sizeAtIndex(index)) {
        selectSize(*size);
    } else {
        KXCustomController* sheet = customWC();
        if (sheetRunner())
            sheetRunner()(*sheet, view()->window());
        else
            sheet->runModal(view()->window());
        kx::NotificationCenter::defaultCenter().post(KXCustomSizeChanged, this);
        if (const std::shared_ptr<KXSize> chosen = sheet->selectedItem()) {
            const std::int64_t at = m_catalogue->indexOfCustomSize(chosen.get());
            selectSize(*chosen->copy());
            if (at != KXSizeNotFound)
                selectMenuIndex(int(predefined + at + 1));
        } else if (m_pageSize) {
            const std::int64_t kept = m_catalogue->indexOfsize(m_pageSize.get(), false);
            if (kept != KXSizeNotFound)
                selectMenuIndex(int(kept));
            else
                synchronousPageSize();
        }
    }
    updatePageSizeUnit();
}

void KXPageViewController::selectSize(const KXSize& size) {
    m_pageSize = size.copy();
    const kx::Size s = m_pageSize->sizeWithUnit(m_pageSize->unit());
    m_mOrientation->button(s.width > s.height ? 0 : 1)->setChecked(true);
    if (m_delegate)
        m_delegate->pageViewControllerDidChangeSize(*m_pageSize);
}

void KXPageViewController::orientationChanged(int column) {
    if (!m_pageSize)
        return;
    m_pageSize->setLandscape(column == 0);
    if (m_tfSizeTip)
        m_tfSizeTip->setText(sizeTip(*m_pageSize));
    if (m_delegate)
        m_delegate->pageViewControllerDidChangeSize(*m_pageSize);
}

void KXPageViewController::enableClipPageChange(bool on) {
    if (m_delegate)
        m_delegate->pageViewControllerDidChangeClipMargin(on);
}

void KXPageViewController::pageMarginChange(KXMarginSide side, double value) {
    if (!view() || !m_pageSize)
        return;
    const kx::Size s = m_pageSize->sizeWithUnit(unit());
    const double reserve = inchInUnit(unit(), dpi());
    const bool vertical = side == KXMarginTop || side == KXMarginBottom;
    const KXMarginSide opposite = vertical ? (side == KXMarginTop ? KXMarginBottom : KXMarginTop)
                                           : (side == KXMarginLeft ? KXMarginRight : KXMarginLeft);
    const double extent = vertical ? s.height : s.width;
    // On a page smaller than the opposite margin and an inch together the bound is zero, never below.
    const double upper = std::max(0.0, extent - m_steppers[opposite]->value() - reserve);
    const double clamped = std::isfinite(value) ? std::clamp(value, 0.0, upper) : 0.0;
    m_steppers[side]->setValue(clamped);
    m_fields[side]->setText(marginText(clamped, unit()));
    updateMarginPageWithUnitType();
}

void KXPageViewController::updateMarginPageWithUnitType() {
    std::array<double, 4> pixels{};
    for (int side = 0; side < 4; ++side)
        pixels[side] = unitToPixels(m_steppers[side]->value(), unit(), dpi());
    if (m_delegate)
        m_delegate->pageViewControllerDidChangeMarginTop(pixels[0], pixels[1], pixels[2], pixels[3]);
}

// ---- the custom size sheet ----

KXCustomController* KXPageViewController::customWC() {
    if (!m_customWC)
        m_customWC = std::make_unique<KXCustomController>(m_catalogue);
    return m_customWC.get();
}

void KXPageViewController::customSizeChanged(const kx::Notification& notification) {
    updateUI();
    if (notification.sender == static_cast<const void*>(this)) {
        updatePageSizeUnit();
    } else {
        m_otherSizeName = QString();
        synchronousPageSize();
    }
}
