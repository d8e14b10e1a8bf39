#include "inspectors/photo_view_controller.h"

#include "controls/color_well.h"
#include "controls/stepper.h"
#include "graphics/color_utilities.h"
#include "graphics/image_effect_manager.h"
#include "graphics/photo_filter.h"
#include "inspectors/effect_chooser.h"
#include "inspectors/inspector_support.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/photo.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/undo_manager.h"

#include <QCheckBox>
#include <QIcon>
#include <QPixmap>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <cmath>
#include <numbers>

using namespace kx::inspectors;
using kx::controls::KXColorWell;
using kx::controls::KXStepper;

namespace {
constexpr int kWidth = kSectionWidth;
constexpr int kDecorationHeight = 36;
constexpr int kReflectionOnBase = 41;
constexpr int kReflectionOffHeight = 50;
constexpr int kFilterRowHeight = 24;
// The effect button shows the chosen effect's preview beside its title.
constexpr int kEffectButtonHeight = 60;
constexpr int kEffectIconSide = 52;
// The adjustments' names are longer than those of the value rows: their sliders start further right.
constexpr int kFilterSliderX = 78;

// The filter's values as the sliders show them: exposure in tenths of an EV, saturation, brightness and
// contrast in hundredths, the hue angle in hundredths of a half turn.
double sliderScale(KXImageViewController::Filter filter) {
    switch (filter) {
    case KXImageViewController::Exposure: return 10.0;
    case KXImageViewController::Hue: return 100.0 / std::numbers::pi;
    default: return 100.0;
    }
}
}  // namespace

KXImageViewController::KXImageViewController() = default;

KXImageViewController::~KXImageViewController() {
    m_observers.clear();
    // The chooser belongs to the view, which its window may keep after the inspector is gone.
    if (m_effectChooser)
        m_effectChooser->setChoiceHandler(nullptr);
}

KXPhoto* KXImageViewController::photo() const {
    return m_shape ? m_shape->photo() : nullptr;
}

ValueRow KXImageViewController::makeRow(QWidget* parent, int y, const char* label, Typed which) {
    const ValueRow row = makeValueRow(parent, y, localized(label), 0, 100);
    connect(row.slider, &QSlider::valueChanged, this, [this, which](int value) {
        if (!m_updatingUI)
            valueChanged(which, value);
    });
    connect(row.stepper, &KXStepper::activated, this, [this, which, stepper = row.stepper] {
        if (!m_updatingUI)
            valueChanged(which, stepper->value());
    });
    connect(row.field, &QLineEdit::textEdited, this, [this, which](const QString& text) { valueTyped(which, text); });
    connect(row.field, &QLineEdit::editingFinished, this, [this, which] { valueEditingEnded(which); });
    return row;
}

QSlider* KXImageViewController::makeFilterSlider(QWidget* parent, int y, const char* label, int minimum,
                                                 int maximum, Filter filter) {
    auto* title = new QLabel(localized(label), parent);
    title->setGeometry(kValueRowLabelX, y, kFilterSliderX - kValueRowLabelX - 2, kFilterRowHeight - 4);
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(minimum, maximum);
    slider->setGeometry(kFilterSliderX, y, kWidth - kFilterSliderX - 8, kFilterRowHeight - 4);
    connect(slider, &QSlider::valueChanged, this, [this, filter](int value) {
        if (!m_updatingUI)
            filterChanged(filter, value);
    });
    return slider;
}

QWidget* KXImageViewController::loadView() {
    m_updatingUI = true;
    m_view = new QWidget;
    m_view->setObjectName(QStringLiteral("ImageView"));
    m_view->resize(kWidth, 0);

    // Decoration: the menu, and the border's settings under it.
    m_overlayView = new QWidget(m_view);
    m_overlayView->setObjectName(QStringLiteral("overlayView"));
    m_pubOverlay = new QComboBox(m_overlayView);
    m_pubOverlay->setObjectName(QStringLiteral("pubOverlay"));
    for (const char* key : {"No Decoration", "Border", "Frame", "Mask"})
        m_pubOverlay->addItem(localized(key));
    m_pubOverlay->setGeometry(8, 6, kWidth - 16, 26);
    connect(m_pubOverlay, &QComboBox::activated, this, &KXImageViewController::overlayTypeChanged);
    m_borderView = new QWidget(m_overlayView);
    m_borderView->setObjectName(QStringLiteral("borderView"));
    m_borderView->resize(kWidth, 3 * kValueRowHeight + 4);
    auto* colorTitle = new QLabel(localized("Color"), m_borderView);
    colorTitle->setGeometry(kValueRowLabelX, 2, kValueRowControlX - kValueRowLabelX - 2, 20);
    m_cwBorderColor = new KXColorWell(m_borderView);
    m_cwBorderColor->setGeometry(kValueRowControlX, 2, 60, 20);
    connect(m_cwBorderColor, &KXColorWell::colorChanged, this, &KXImageViewController::borderColorChanged);
    m_borderWidth = makeRow(m_borderView, kValueRowHeight + 2, "Width", Typed::BorderWidth);
    m_corner = makeRow(m_borderView, 2 * kValueRowHeight + 2, "Corner", Typed::Corner);

    // The effect, then flips and quarter turns.
    m_effectView = new QWidget(m_view);
    m_effectView->setObjectName(QStringLiteral("effectView"));
    m_btEffect = new QPushButton(m_effectView);
    m_btEffect->setObjectName(QStringLiteral("btEffect"));
    m_btEffect->setGeometry(8, 4, kWidth - 16, kEffectButtonHeight);
    m_btEffect->setIconSize(QSize(kEffectIconSide, kEffectIconSide));
    connect(m_btEffect, &QPushButton::clicked, this, &KXImageViewController::effectAction);
    m_effectChooser = new KXEffectChooser(m_view);
    m_effectChooser->setChoiceHandler([this](int index) { imageBrowserSelectionDidChange(index); });
    const int turnsY = 8 + kEffectButtonHeight;
    const char* const titles[2][2] = {{"Flip Horizontal", "Flip Vertical"}, {"Rotate Left", "Rotate Right"}};
    for (int kind = 0; kind < 2; ++kind) {
        for (int segment = 0; segment < 2; ++segment) {
            auto* button = new QPushButton(localized(titles[kind][segment]), m_effectView);
            button->setGeometry(8 + segment * (kWidth - 16) / 2, turnsY + kind * 30, (kWidth - 16) / 2, 26);
            (kind == 0 ? m_flip : m_rotate)[segment] = button;
            connect(button, &QPushButton::clicked, this, [this, kind, segment] {
                kind == 0 ? flipAction(segment) : rotateAction(segment);
            });
        }
    }
    m_effectView->resize(kWidth, turnsY + 64);
    showEffectItem(0);

    // The photo filter's adjustments.
    m_adjustView = new QWidget(m_view);
    m_adjustView->setObjectName(QStringLiteral("adjustView"));
    struct SliderSetup {
        const char* label;
        int minimum, maximum;
    };
    const SliderSetup sliders[FilterCount] = {
        {"Exposure", -50, 50}, {"Saturation", 0, 200}, {"Brightness", -100, 100}, {"Contrast", 25, 400},
        {"Hue", -100, 100},
    };
    int y = 4;
    for (int i = 0; i < FilterCount; ++i, y += kFilterRowHeight)
        m_filterSliders[i] = makeFilterSlider(m_adjustView, y, sliders[i].label, sliders[i].minimum,
                                              sliders[i].maximum, Filter(i));
    m_btResetFilter = new QPushButton(localized("Reset"), m_adjustView);
    m_btResetFilter->setGeometry(kWidth - 88, y + 2, 80, 26);
    connect(m_btResetFilter, &QPushButton::clicked, this, &KXImageViewController::resetFilter);
    m_adjustView->resize(kWidth, y + 32);

    // Reflection: the switch, and its opacity when on.
    m_reflectionView = new QWidget(m_view);
    m_reflectionView->setObjectName(QStringLiteral("reflecitonView"));
    m_btReflection = new QCheckBox(localized("Reflection"), m_reflectionView);
    m_btReflection->setGeometry(8, 10, kWidth - 16, 22);
    connect(m_btReflection, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_updatingUI)
            reflectionAction(on);
    });
    m_reflectionSettingView = new QWidget(m_reflectionView);
    m_reflectionSettingView->setObjectName(QStringLiteral("reflectionSettingView"));
    m_reflectionSettingView->resize(kWidth, kValueRowHeight + 4);
    m_reflection = makeRow(m_reflectionSettingView, 2, "Opacity", Typed::Reflection);

    // A photo whose image file changes may become empty or stop being so.
    m_observers.push_back(kx::NotificationCenter::defaultCenter().addObserver(
        KXPhotoPathChanged, nullptr, [this](const kx::Notification& notification) {
            if (KXPhoto* shown = photo(); shown && notification.sender == static_cast<const void*>(shown))
                m_photoEmpty = shown->isEmpty();
        }));
    m_updatingUI = false;
    updateContentView();
    return m_view;
}

void KXImageViewController::updateUIWithGraph(const std::shared_ptr<KXGraph>& graph) {
    auto shape = std::dynamic_pointer_cast<KXShape>(graph);
    m_shape = shape && shape->photo() ? shape : nullptr;
    if (!m_shape || !view())
        return;
    m_updatingUI = true;
    m_photoEmpty = m_shape->photo()->isEmpty();
    m_btReflection->setChecked(m_shape->isReflectionEnabled());
    m_reflection.show(std::round(m_shape->reflectionAlpha() * 100));
    updateEffectUI();
    updateDecorationUI();
    updateFilterUI();
    m_updatingUI = false;
    updateContentView();
}

void KXImageViewController::postExitObjectMode() {
    kx::NotificationCenter::defaultCenter().post(KXExitObjectMode, static_cast<const KXObjectInspector*>(this));
}

void KXImageViewController::setEffectCatalogue(const KXImageEffectManager* catalogue) {
    if (!view())
        return;
    m_effectChooser->setCatalogue(catalogue);
    if (photo()) {
        const bool was = m_updatingUI;
        m_updatingUI = true;
        updateEffectUI();
        m_updatingUI = was;
    } else {
        showEffectItem(0);
    }
}

void KXImageViewController::effectAction() {
    if (m_effectChooser)
        m_effectChooser->toggleBelow(m_btEffect);
}

void KXImageViewController::imageBrowserSelectionDidChange(int index) {
    KXPhoto* shown = photo();
    if (m_updatingUI || !shown || !m_effectChooser)
        return;
    if (const KXImageEffectItemPtr item = m_effectChooser->catalogue().effectItemAtIndex(index)) {
        // "Original" is no effect: the photo then carries no effect name at all, rather than the cell's
        // title in the language the inspector happens to run in.
        const QString name = index == 0 ? QString() : item->effectName();
        if (name != shown->effectName())
            shown->setEffectName(name);
        showEffectItem(index);
    }
    m_shape->setNeedsDisplay();
    postExitObjectMode();
}

void KXImageViewController::showEffectItem(int index) {
    const KXImageEffectItemPtr item =
        m_effectChooser ? m_effectChooser->catalogue().effectItemAtIndex(index) : KXImageEffectItemPtr();
    const kx::Image preview = item ? item->imageRepresentation() : kx::Image();
    m_btEffect->setIcon(preview.isNull() ? QIcon() : QIcon(QPixmap::fromImage(preview.qimage())));
    m_btEffect->setText(item ? item->imageTitle() : QString());
    m_btEffect->setToolTip(QString());
}

void KXImageViewController::updateEffectUI() {
    KXPhoto* shown = photo();
    if (!shown || !m_effectChooser)
        return;
    const QString name = shown->effectName();
    const int index = m_effectChooser->indexForEffectName(name);
    showEffectItem(index);
    m_effectChooser->selectIndex(index);
    // A photo naming an effect the catalogue lacks (its file gone or unreadable) is drawn without one: the
    // button says so instead of passing the photo off as an original chosen on purpose.
    if (m_effectChooser->isMissingEffect(name)) {
        m_btEffect->setText(localized("%@ (not available)").replace(QLatin1String("%@"), name));
        m_btEffect->setToolTip(
            kx::Bundle::main()
                .localizedString(QStringLiteral("The effect “%@” is not available: the photo is drawn without it."))
                .replace(QLatin1String("%@"), name));
    }
}

void KXImageViewController::flipAction(int segment) {
    KXPhoto* shown = photo();
    if (!shown || segment < 0 || segment > 1)
        return;
    if (shown->renderMode() != KXPhotoRenderModeNormal)
        postExitObjectMode();
    if (segment == 0)
        m_shape->setFlipX(-m_shape->flipX());
    else
        m_shape->setFlipY(-m_shape->flipY());
}

void KXImageViewController::rotateAction(int segment) {
    KXPhoto* shown = photo();
    if (!shown || segment < 0 || segment > 1)
        return;
    if (shown->renderMode() != KXPhotoRenderModeNormal)
        postExitObjectMode();
    const std::int64_t turn = segment == 0 ? 90 : 270;
    shown->setPhotoRotation((shown->photoRotation() + turn) % 360);
}

void KXImageViewController::overlayTypeChanged(int item) {
    KXPhoto* shown = photo();
    if (!shown || item < NoDecoration || item > Mask)
        return;
    KXCanvas* page = m_shape->canvas();
    if (page)
        page->undoManager().beginUndoGrouping();
    m_shape->setStrokeEnabled(item == Border);
    shown->setFrameEnabled(item == Frame);
    shown->setMaskEnabled(item == Mask);
    const QString resources = kx::Bundle::main().resourcePath();
    if (item == Frame && (!shown->frame() || shown->frame()->name().isEmpty()))
        shown->setFrame(KXFrame::frameWithName(resources + QStringLiteral("/Frame/Classic/classic_003.jpng")));
    if (item == Mask && shown->maskName().isEmpty())
        shown->setMaskName(resources + QStringLiteral("/Mask/Circle/circle_001.jpg"));
    if (page)
        page->undoManager().endUndoGrouping();
    m_shape->setNeedsDisplay();
    if (item == Frame || item == Mask)
        kx::NotificationCenter::defaultCenter().post(item == Frame ? KXSelectFrameResources : KXSelectMaskResources,
                                                     static_cast<const void*>(m_view->window()));
    quietly(m_pubOverlay, [item](QComboBox* box) { box->setCurrentIndex(item); });
    updateContentView();
}

void KXImageViewController::updateDecorationUI() {
    KXPhoto* shown = photo();
    const int item = m_shape->isStrokeEnabled() ? Border
                     : shown->isFrameEnabled()  ? Frame
                     : shown->isMaskEnabled()   ? Mask
                                                : NoDecoration;
    quietly(m_pubOverlay, [item](QComboBox* box) { box->setCurrentIndex(item); });
    const bool was = m_updatingUI;
    m_updatingUI = true;
    m_borderWidth.show(std::floor(m_shape->stroke()->width() * 10));
    quietly(m_cwBorderColor, [&](KXColorWell* well) { well->setColor(nsColorFromRGBA(KXPackedRGBA(m_shape->stroke()->t_color())).toQColor()); });
    m_corner.show(double(shown->roundCornerRadius()));
    m_updatingUI = was;
}

void KXImageViewController::updateFilterUI() {
    const auto& filter = photo() ? photo()->variableFilter() : nullptr;
    if (!filter)
        return;
    const float values[FilterCount] = {filter->exposureValue(), filter->saturationValue(), filter->brightnessValue(),
                                       filter->contrastValue(), filter->hueValue()};
    for (int i = 0; i < FilterCount; ++i) {
        const int shown = int(std::lround(double(values[i]) * sliderScale(Filter(i))));
        quietly(m_filterSliders[i], [shown](QSlider* slider) { slider->setValue(shown); });
    }
}

void KXImageViewController::filterChanged(Filter which, int value) {
    KXPhoto* shown = photo();
    const auto& filter = shown ? shown->variableFilter() : nullptr;
    if (!filter)
        return;
    const float converted = float(value / sliderScale(which));
    switch (which) {
    case Exposure: filter->setExposure(converted); break;
    case Saturation: filter->setSaturation(converted); break;
    case Brightness: filter->setBrightness(converted); break;
    case Contrast: filter->setContrast(converted); break;
    case Hue: filter->setHue(converted); break;
    case FilterCount: break;
    }
    m_shape->setNeedsDisplay();
    postExitObjectMode();
}

void KXImageViewController::resetFilter() {
    KXPhoto* shown = photo();
    if (!shown || !shown->variableFilter())
        return;
    shown->variableFilter()->resetFiliter();
    m_shape->setNeedsDisplay();
    updateFilterUI();
    postExitObjectMode();
}

void KXImageViewController::reflectionAction(bool on) {
    if (!m_shape)
        return;
    m_shape->setReflectionEnabled(on);
    updateContentView();
}

const ValueRow& KXImageViewController::rowOf(Typed which) const {
    switch (which) {
    case Typed::BorderWidth: return m_borderWidth;
    case Typed::Corner: return m_corner;
    case Typed::Reflection: break;
    }
    return m_reflection;
}

void KXImageViewController::valueChanged(Typed which, double value) {
    const ValueRow& row = rowOf(which);
    const double whole = std::round(value);
    quietly(row.slider, [whole](QSlider* slider) { slider->setValue(int(whole)); });
    quietly(row.stepper, [whole](KXStepper* stepper) { stepper->setValue(whole); });
    quietly(row.field, [whole](QLineEdit* field) { field->setText(QString::asprintf("%.0f", whole)); });
    writeValue(which, value);
}

void KXImageViewController::writeValue(Typed which, double value) {
    if (!m_shape)
        return;
    switch (which) {
    case Typed::BorderWidth: m_shape->stroke()->setWidth(value / 10); break;
    case Typed::Corner: m_shape->photo()->setRoundCornerRadius(std::int64_t(std::round(value))); break;
    case Typed::Reflection: m_shape->setReflectionAlpha(value / 100); break;
    }
    m_shape->setNeedsDisplay();
}

void KXImageViewController::valueTyped(Typed which, const QString& text) {
    if (m_updatingUI)
        return;
    const ValueRow& row = rowOf(which);
    const long typed = text.trimmed().toLong();
    if (typed >= 0 && typed <= 100) {
        // As if the slider had been moved there, which rewrites the field.
        valueChanged(which, double(typed));
        return;
    }
    // Out of range: the slider and stepper show the nearest end and the model takes it; the field keeps
    // what was typed until the editing ends.
    const double clamped = typed < 0 ? 0 : 100;
    quietly(row.slider, [clamped](QSlider* slider) { slider->setValue(int(clamped)); });
    quietly(row.stepper, [clamped](KXStepper* stepper) { stepper->setValue(clamped); });
    writeValue(which, clamped);
}

void KXImageViewController::valueEditingEnded(Typed which) {
    const ValueRow& row = rowOf(which);
    const long typed = row.field->text().trimmed().toLong();
    if (typed < 0 || typed > 100)
        quietly(row.field, [typed](QLineEdit* field) { field->setText(QString::asprintf("%ld", typed < 0 ? 0L : 100L)); });
}

void KXImageViewController::borderColorChanged(const QColor& color) {
    if (m_updatingUI || !m_shape)
        return;
    m_shape->stroke()->setT_color(rgbaFromNSColor(srgbColor(color)));
    m_shape->setNeedsDisplay();
}

void KXImageViewController::updateContentView() {
    if (!m_view)
        return;
    const bool border = m_pubOverlay->currentIndex() == Border;
    m_borderView->setVisible(border);
    const int decoration = kDecorationHeight + (border ? m_borderView->height() : 0);
    const bool reflecting = m_btReflection->isChecked();
    m_reflectionSettingView->setVisible(reflecting);
    const int reflection = reflecting ? kReflectionOnBase + m_reflectionSettingView->height() : kReflectionOffHeight;
    const int total = decoration + m_effectView->height() + m_adjustView->height() + reflection;
    if (m_view->height() == total)
        return;
    m_view->resize(m_view->width(), total);
    int y = 0;
    m_overlayView->setGeometry(0, y, kWidth, decoration);
    m_borderView->move(0, kDecorationHeight);
    y += decoration;
    m_effectView->move(0, y);
    y += m_effectView->height();
    m_adjustView->move(0, y);
    y += m_adjustView->height();
    m_reflectionView->setGeometry(0, y, kWidth, reflection);
    m_reflectionSettingView->move(0, kReflectionOnBase - 4);
    postNeedToUpdateContentView();
}
