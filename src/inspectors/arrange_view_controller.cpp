#include "inspectors/arrange_view_controller.h"

#include "canvas/canvas_view.h"
#include "canvas/graph_layer.h"
#include "controls/control_images.h"
#include "controls/control_style.h"
#include "controls/segmented_control.h"
#include "controls/stepper.h"
#include "controls/stepper_field.h"
#include "inspectors/arrangement.h"
#include "inspectors/inspector_support.h"
#include "inspectors/value_row.h"
#include "model/canvas.h"
#include "model/group.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shape.h"
#include "platform/foundation/user_defaults.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include <cmath>

using namespace kx::inspectors;
using kx::controls::KXSegmentedControl;
using kx::controls::KXStepper;
using kx::controls::KXStepperField;

namespace {
constexpr int kWidth = kArrangePanelWidth;
constexpr int kRow = 28;
constexpr int kFieldWidth = 64;
constexpr int kStepperWidth = 16;

QLabel* addLabel(QWidget* parent, const QString& text, int x, int y, int width) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(x, y, width, 22);
    return label;
}

QLineEdit* addField(QWidget* parent, const char* name, int x, int y, int width = kFieldWidth) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setGeometry(x, y, width, 22);
    field->setAlignment(Qt::AlignRight);
    return field;
}

KXStepper* addStepper(QWidget* parent, const char* name, int x, int y) {
    auto* stepper = new KXStepper(parent);
    stepper->setObjectName(QString::fromLatin1(name));
    stepper->setGeometry(x, y, kStepperWidth, 22);
    return stepper;
}
}  // namespace

KXArrangeViewController::KXArrangeViewController() = default;

KXArrangeViewController::~KXArrangeViewController() = default;

QWidget* KXArrangeViewController::loadView() {
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("ArrangeView"));
    view->resize(kWidth, 12 * kRow);
    int y = 8;

    // Position and size: a label, then two columns of field and stepper.
    const int col1 = 12, col2 = 12 + kFieldWidth + kStepperWidth + 40;
    addLabel(view, localized("Position"), 8, y, kWidth - 16);
    y += kRow - 6;
    addLabel(view, QStringLiteral("X"), col1 - 10, y, 10);
    m_tfX = addField(view, "tfObjectLocationX", col1, y);
    m_stX = addStepper(view, "stObjectLocationX", col1 + kFieldWidth + 2, y);
    addLabel(view, QStringLiteral("Y"), col2 - 10, y, 10);
    m_tfY = addField(view, "tfObjectLocationY", col2, y);
    m_stY = addStepper(view, "stObjectLocationY", col2 + kFieldWidth + 2, y);
    y += kRow + 4;
    addLabel(view, localized("Size"), 8, y, kWidth - 16);
    y += kRow - 6;
    addLabel(view, QStringLiteral("W"), col1 - 11, y, 11);
    m_tfWidth = addField(view, "tfObjectWidth", col1, y);
    m_stWidth = addStepper(view, "stObjectWidth", col1 + kFieldWidth + 2, y);
    m_btChain = new QToolButton(view);
    m_btChain->setObjectName(QStringLiteral("btChain"));
    m_btChain->setAutoRaise(true);
    m_btChain->setToolTip(localized("ChainTip"));
    m_btChain->setGeometry(col1 + kFieldWidth + kStepperWidth + 6, y, 24, 22);
    addLabel(view, QStringLiteral("H"), col2 - 10, y, 10);
    m_tfHeight = addField(view, "tfObjectHeight", col2, y);
    m_stHeight = addStepper(view, "stObjectHeight", col2 + kFieldWidth + 2, y);
    y += kRow + 4;

    const struct {
        QLineEdit* field;
        KXStepper* stepper;
    } rectControls[] = {{m_tfX, m_stX}, {m_tfY, m_stY}, {m_tfWidth, m_stWidth}, {m_tfHeight, m_stHeight}};
    for (const auto& control : rectControls) {
        auto* pair = new KXStepperField(control.field, control.stepper, 2, view);
        pair->setFormatter([this](double value) { return lengthText(value, pageUnit()); });
        m_rectFields.push_back(pair);
        KXStepper* stepper = control.stepper;
        QLineEdit* field = control.field;
        connect(pair, &KXStepperField::stepped, this, [this, stepper] { rectChanged(stepper); });
        connect(field, &QLineEdit::textEdited, this,
                [this, field](const QString& text) { controlTextDidChange(field, text); });
        // Only typing moves the object: leaving a field untouched must not write back its rounded text.
        connect(pair, &KXStepperField::editingEnded, this, [this, field, stepper] {
            if (!m_typedFields.erase(field))
                return;
            if (stepper == m_stX || stepper == m_stY)
                positionEditingEnded();
            else
                rectChanged(stepper);
        });
        connect(pair, &KXStepperField::typed, this, [this, field] { m_typedFields.insert(field); });
    }

    // Rotation: slider, field and stepper.
    addLabel(view, localized("Rotation"), 8, y, kWidth - 16);
    y += kRow - 6;
    m_sliderRotation = new QSlider(Qt::Horizontal, view);
    m_sliderRotation->setObjectName(QStringLiteral("sliderRotation"));
    m_sliderRotation->setRange(0, 359);
    m_sliderRotation->setGeometry(8, y, kWidth - 16 - 50 - kStepperWidth - 4, 22);
    m_tfRotation = addField(view, "tfLayerRotation", kWidth - 8 - kStepperWidth - 2 - 48, y, 48);
    m_stRotation = addStepper(view, "stLayerRotation", kWidth - 8 - kStepperWidth, y);
    m_stRotation->setRange(-1, 360);
    connect(m_sliderRotation, &QSlider::valueChanged, this, [this] { rotateAction(); });
    connect(m_stRotation, &KXStepper::activated, this, [this] { stepperRotationChange(); });
    connect(m_tfRotation, &QLineEdit::textEdited, this,
            [this](const QString& text) { controlTextDidChange(m_tfRotation, text); });
    y += kRow + 4;

    // Lock, unlock, ungroup.
    const int buttonWidth = (kWidth - 16 - 8) / 3;
    m_btLock = new QPushButton(localized("Lock"), view);
    m_btLock->setObjectName(QStringLiteral("btLock"));
    m_btLock->setGeometry(8, y, buttonWidth, 24);
    m_btUnlock = new QPushButton(localized("Unlock"), view);
    m_btUnlock->setObjectName(QStringLiteral("btUnlock"));
    m_btUnlock->setGeometry(8 + buttonWidth + 4, y, buttonWidth, 24);
    m_btUngroup = new QPushButton(localized("Ungroup"), view);
    m_btUngroup->setObjectName(QStringLiteral("btUngroup"));
    m_btUngroup->setGeometry(8 + 2 * (buttonWidth + 4), y, buttonWidth, 24);
    connect(m_btLock, &QPushButton::clicked, this, &KXArrangeViewController::lockAction);
    connect(m_btUnlock, &QPushButton::clicked, this, &KXArrangeViewController::unLockAction);
    connect(m_btUngroup, &QPushButton::clicked, this, &KXArrangeViewController::ungroupAction);
    connect(m_btChain, &QToolButton::clicked, this, &KXArrangeViewController::chainAction);
    y += kRow + 8;

    // Text wrap: the switch, the type and the distance.
    m_btTextWrap = new QCheckBox(localized("Text Wrap"), view);
    m_btTextWrap->setObjectName(QStringLiteral("btTextWrapEnabel"));
    m_btTextWrap->setGeometry(8, y, kWidth - 16, 22);
    connect(m_btTextWrap, &QCheckBox::clicked, this, &KXArrangeViewController::wrapEnableChanged);
    y += kRow;
    m_segWrapType = new KXSegmentedControl(view);
    m_segWrapType->setObjectName(QStringLiteral("segmentWrapType"));
    m_segWrapType->setSegmentCount(4);
    const char* wrapLabels[] = {"WrapLeft", "WrapRight", "WrapCenter", "WrapRound"};
    for (int i = 0; i < 4; ++i) {
        m_segWrapType->setLabel(i, localized(wrapLabels[i]));
        m_segWrapType->setTag(i, i);
    }
    m_segWrapType->setGeometry(8, y, kWidth - 16, 24);
    connect(m_segWrapType, &KXSegmentedControl::activated, this, [this] { wrapTypeChange(); });
    y += kRow + 2;
    addLabel(view, localized("Distance"), 8, y, 80);
    m_tfTextSpace = addField(view, "tfTextSpace", kWidth - 8 - kStepperWidth - 2 - 56, y, 56);
    m_stTextSpace = addStepper(view, "stTextSpace", kWidth - 8 - kStepperWidth, y);
    m_stTextSpace->setRange(0, kMaxTextWrapSpace);
    m_textSpaceField = new KXStepperField(m_tfTextSpace, m_stTextSpace, 0, view);
    m_textSpaceField->setFormatter([](double value) { return QString::asprintf("%ld", long(value)); });
    connect(m_textSpaceField, &KXStepperField::stepped, this, [this] { wrapSpaceChange(); });
    connect(m_textSpaceField, &KXStepperField::editingEnded, this, [this] { wrapSpaceChange(); });
    connect(m_tfTextSpace, &QLineEdit::textEdited, this,
            [this](const QString& text) { controlTextDidChange(m_tfTextSpace, text); });
    y += kRow;
    view->resize(kWidth, y + 8);

    kx::controls::restyleFormControls(view);
    updateChainImage();
    m_chainObserver = kx::NotificationCenter::defaultCenter().addObserver(
        KXWidthHeightConnectionChanged, nullptr, [this](const kx::Notification&) { updateChainImage(); });
    return view;
}

std::int64_t KXArrangeViewController::pageUnit() const {
    const KXCanvas* page = m_graph ? m_graph->canvas() : nullptr;
    return page && page->pageSize() ? page->pageSize()->unit() : KXSizeUnitPixel;
}

void KXArrangeViewController::updateUIWithGraph(const std::shared_ptr<KXGraph>& graph) {
    view();
    m_graphObserver = {};
    m_graph = graph;
    if (!graph)
        return;
    updateUI();
    m_graphObserver = kx::NotificationCenter::defaultCenter().addObserver(
        KXGrapPropertyChanged, graph.get(), [this](const kx::Notification&) { updateUI(); });
}

void KXArrangeViewController::updateUI() {
    if (!m_needsUpdateUI || !m_graph || !view())
        return;
    KXGraph& g = *m_graph;
    const bool locked = g.isLocked();
    const bool wrap = g.isTextWrapEnabled();

    // 1. Text wrap.
    quietly(m_btTextWrap, [wrap](QCheckBox* box) { box->setChecked(wrap); });
    enableWrapControls(!locked && wrap);
    quietly(m_segWrapType, [&](KXSegmentedControl* seg) {
        if (!locked && wrap)
            seg->selectSegmentWithTag(g.wrapType());
        else
            seg->setSelectedSegment(-1);
    });

    // 2. What can be edited.
    const bool turnable = g.graphType() != KXGraphTypeLine && !locked;
    m_sliderRotation->setEnabled(turnable);
    m_stRotation->setEnabled(turnable);
    m_tfRotation->setEnabled(turnable);
    m_btTextWrap->setEnabled(turnable);
    m_btLock->setEnabled(!locked);
    m_btUnlock->setEnabled(locked);
    for (QWidget* w : std::initializer_list<QWidget*>{m_tfX, m_tfY, m_tfWidth, m_tfHeight, m_stX, m_stY, m_stWidth,
                                                      m_stHeight, m_btUngroup})
        w->setEnabled(!locked);

    // 3. Wrap distance.
    m_textSpaceField->setValue(double(g.textWrapSpace()));

    // 4. Position and size in the page's unit.
    const KXCanvas* page = g.canvas();
    const std::int64_t unit = pageUnit();
    const double dpi = page && page->pageSize() ? double(page->pageSize()->dpi()) : 72.0;
    const kx::Rect actual = g.actualRect();
    updatePositionConstraints();
    showPosition(pixelsToUnit(actual.origin.x, unit, dpi), pixelsToUnit(actual.origin.y, unit, dpi));
    showSize(pixelsToUnit(actual.size.width, unit, dpi), pixelsToUnit(actual.size.height, unit, dpi));

    // 5. Rotation.
    showRotation(rotationControl(g.angle()));

    // 6. Ungroup is for groups only.
    m_btUngroup->setVisible(dynamic_cast<KXGroup*>(&g) != nullptr);
    m_typedFields.clear();
    emit uiUpdated();
}

void KXArrangeViewController::enableWrapControls(bool enabled) {
    m_segWrapType->setEnabled(enabled);
    m_tfTextSpace->setEnabled(enabled);
    m_stTextSpace->setEnabled(enabled);
}

void KXArrangeViewController::updatePositionConstraints() {
    const KXCanvas* page = m_graph ? m_graph->canvas() : nullptr;
    const double dpi = page && page->pageSize() ? double(page->pageSize()->dpi()) : 72.0;
    const StepperLimits position = positionLimits(pageUnit(), dpi);
    const StepperLimits size = sizeLimits(pageUnit(), dpi);
    for (KXStepper* stepper : {m_stX, m_stY}) {
        stepper->setRange(position.minimum, position.maximum);
        stepper->setIncrement(position.increment);
    }
    for (KXStepper* stepper : {m_stWidth, m_stHeight}) {
        stepper->setRange(size.minimum, size.maximum);
        stepper->setIncrement(size.increment);
    }
}

void KXArrangeViewController::showPosition(double x, double y) {
    m_rectFields[0]->setValue(x);
    m_rectFields[1]->setValue(y);
}

void KXArrangeViewController::showSize(double width, double height) {
    m_rectFields[2]->setValue(width);
    m_rectFields[3]->setValue(height);
}

void KXArrangeViewController::showRotation(int value) {
    quietly(m_sliderRotation, [value](QSlider* slider) { slider->setValue(value); });
    m_stRotation->setValue(value);
    m_tfRotation->setText(QString::number(value));
}

void KXArrangeViewController::exitObjectMode() {
    kx::NotificationCenter::defaultCenter().post(KXExitObjectMode, this);
}

// ---- position and size ----

void KXArrangeViewController::positionEditingEnded() {
    // Both steppers already hold their fields' numbers, each held to its own range while it was typed.
    showPosition(m_stX->value(), m_stY->value());
    rectChanged(m_stX);
}

void KXArrangeViewController::rectChanged(KXStepper* sender) {
    if (!m_graph || m_graph->isLocked())
        return;
    KXGraph& g = *m_graph;
    const bool chained = isWidthHeightChained(g);
    {
        const PageUndoGroup step(&g);
        if (sender == m_stX || sender == m_stY) {
            g.setRelativeRect(rectWithPosition(g, m_stX->value(), m_stY->value()));
            showPosition(m_stX->value(), m_stY->value());
        } else if (sender == m_stWidth) {
            g.setRelativeRect(rectWithWidth(g, m_stWidth->value(), chained));
        } else if (sender == m_stHeight) {
            g.setRelativeRect(rectWithHeight(g, m_stHeight->value(), chained));
        } else {
            return;
        }
        auto* shape = dynamic_cast<KXShape*>(&g);
        if (!chained && g.graphType() == KXGraphTypePhoto && shape && shape->photo() && !shape->photo()->isEmpty())
            shape->photo()->updateCropRect();
    }
    g.setNeedsDisplay();
    exitObjectMode();
}

// ---- rotation ----

void KXArrangeViewController::rotateAction() {
    if (!m_graph)
        return;
    const int value = m_sliderRotation->value();
    m_needsUpdateUI = false;
    m_stRotation->setValue(value);
    m_tfRotation->setText(QString::number(value));
    m_graph->setAngle(angleFromRotationControl(value));
    exitObjectMode();
    m_needsUpdateUI = true;
}

void KXArrangeViewController::stepperRotationChange() {
    if (!m_graph)
        return;
    const int value = wrappedRotationStepper(m_stRotation->intValue());
    m_needsUpdateUI = false;
    m_stRotation->setValue(value);
    quietly(m_sliderRotation, [value](QSlider* slider) { slider->setValue(value); });
    m_tfRotation->setText(QString::number(value));
    m_graph->setAngle(angleFromRotationControl(value));
    exitObjectMode();
    m_needsUpdateUI = true;
}

void KXArrangeViewController::controlTextDidChange(QLineEdit* field, const QString& text) {
    if (!m_graph)
        return;
    if (field == m_tfRotation) {
        if (const auto typed = kx::controls::leadingNumber(text, false)) {
            const int value = typedRotation(int(std::clamp(*typed, -1.0, 361.0)));
            if (value == m_sliderRotation->value())
                rotateAction();
            else
                m_sliderRotation->setValue(value);
        }
    }
    exitObjectMode();
}

// ---- lock, group, chain ----

void KXArrangeViewController::ungroupAction() {
    if (m_graph && m_graph->canvas())
        m_graph->canvas()->unGroup(m_graph);
}

void KXArrangeViewController::lockAction() {
    if (!m_graph || !m_graph->canvas())
        return;
    m_graph->canvas()->lockSelectedGraphs();
    auto& center = kx::NotificationCenter::defaultCenter();
    center.post(KXExitObjectMode, this);
    center.post(KXUpdateArrangeUI, this);
    center.post(KXFloatingNeedUpdate, this);
}

void KXArrangeViewController::unLockAction() {
    if (!m_graph || !m_graph->canvas())
        return;
    m_graph->canvas()->unlockSelectedGraphs();
    auto& center = kx::NotificationCenter::defaultCenter();
    center.post(KXExitObjectMode, this);
    center.post(KXUpdateArrangeUI, this);
    center.post(KXFloatingNeedUpdate, this);
}

void KXArrangeViewController::chainAction() {
    kx::UserDefaults& defaults = kx::UserDefaults::standard();
    defaults.setValue(KXConnectWidthAndHeight, !defaults.boolValue(KXConnectWidthAndHeight));
    kx::NotificationCenter::defaultCenter().post(KXWidthHeightConnectionChanged, this);
}

QString KXArrangeViewController::chainImageName() {
    return kx::UserDefaults::standard().boolValue(KXConnectWidthAndHeight) ? QStringLiteral("chain")
                                                                           : QStringLiteral("unchain");
}

void KXArrangeViewController::updateChainImage() {
    if (!m_btChain)
        return;
    const QString name = chainImageName();
    m_btChain->setIcon(QIcon(kx::controls::controlImage(name)));
    m_btChain->setProperty("kxImageName", name);
}

// ---- text wrap ----

void KXArrangeViewController::wrapEnableChanged() {
    if (!m_graph)
        return;
    const bool on = m_btTextWrap->isChecked();
    {
        const PageUndoGroup step(m_graph.get());
        m_graph->setTextWrapEnabled(on);
        updateTextWrapEnable(on, *m_graph);
        if (on)
            m_graph->setWrapType(KXWrapTypeRound);
    }
    quietly(m_segWrapType, [on](KXSegmentedControl* seg) {
        if (on)
            seg->selectSegmentWithTag(KXWrapTypeRound);
        else
            seg->setSelectedSegment(-1);
    });
    enableWrapControls(on);
}

void KXArrangeViewController::wrapTypeChange() {
    const int type = m_segWrapType->selectedSegment();
    if (!m_graph || type < 0)
        return;
    const PageUndoGroup step(m_graph.get());
    m_graph->setWrapType(type);
    updateTextWrapType(type, *m_graph);
}

void KXArrangeViewController::wrapSpaceChange() {
    if (!m_graph)
        return;
    const std::int64_t space = m_stTextSpace->intValue();
    {
        const PageUndoGroup step(m_graph.get());
        m_graph->setTextWrapSpace(space);
        updateTextWrapSpaceValue(space, *m_graph);
    }
    m_tfTextSpace->setText(QString::asprintf("%ld", long(space)));
}
