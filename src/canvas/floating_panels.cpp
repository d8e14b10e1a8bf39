#include "canvas/floating_panels.h"

#include "platform/foundation/bundle.h"
#include "platform/foundation/notification_center.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QPushButton* panelButton(const QString& glyph, const char* tipKey, QWidget* parent) {
    auto* button = new QPushButton(glyph, parent);
    button->setObjectName(QString::fromUtf8(tipKey));
    button->setToolTip(kx::Bundle::main().localizedString(QString::fromUtf8(tipKey)));
    // The canvas keeps the keyboard while the panel is used.
    button->setFocusPolicy(Qt::NoFocus);
    button->setFlat(true);
    button->setFixedSize(30, 26);
    return button;
}

QRect pixelRect(const QRectF& frame) {
    return {int(std::lround(frame.x())), int(std::lround(frame.y())), int(std::lround(frame.width())),
            int(std::lround(frame.height()))};
}

}  // namespace

QRectF floatingPanelFrame(const QPointF& anchor, double objectWidth, const QSizeF& size) {
    return {anchor.x() + (objectWidth - size.width()) / 2, anchor.y(), size.width(), size.height()};
}

// ---------------------------------------------------------------------------------------------------------

KXFloatingPanel::KXFloatingPanel(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    QWidget::hide();
}

void KXFloatingPanel::hidePanel() {
    if (isVisible())
        QWidget::hide();
}

void KXFloatingPanel::placeAt(const QRectF& frame) {
    if (m_frame.width() != frame.width() || m_frame.height() != frame.height()) {
        m_frame = frame;
        setGeometry(pixelRect(frame));
        update();
    } else if (m_frame.topLeft() != frame.topLeft()) {
        m_frame = frame;
        move(pixelRect(frame).topLeft());
    }
    if (!isVisible()) {
        raise();
        show();
    }
}

void KXFloatingPanel::paintEvent(QPaintEvent*) {
    // A dark rounded body, so that the panel stands out over any page.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath body;
    body.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.fillPath(body, QColor(40, 40, 40, 220));
}

// ---------------------------------------------------------------------------------------------------------

KXFloatingWindowController::KXFloatingWindowController(QWidget* parent) : KXFloatingPanel(parent) {
    setObjectName(QStringLiteral("FloatingPanel"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(4);
    m_forward = panelButton(QStringLiteral("\u2B06"), "btMoveObjectForward", this);
    m_backward = panelButton(QStringLiteral("\u2B07"), "btMoveObjectBackward", this);
    m_crop = panelButton(QStringLiteral("\u2702"), "btCrop", this);
    m_delete = panelButton(QStringLiteral("\u2715"), "btDelete", this);
    m_delete->setToolTip(kx::Bundle::main().localizedString(QStringLiteral("Delete")));
    for (QPushButton* button : {m_forward, m_backward, m_crop, m_delete}) {
        button->setStyleSheet(QStringLiteral("color: white;"));
        row->addWidget(button);
    }
    setGeometry(0, 0, int(kWidthWithCrop), int(kHeight));
}

void KXFloatingWindowController::objectForwardSetEnabel(bool enabled) {
    m_forward->setEnabled(enabled);
}

void KXFloatingWindowController::objectBackwardSetEnable(bool enabled) {
    m_backward->setEnabled(enabled);
}

bool KXFloatingWindowController::canForward() const {
    return m_forward->isEnabled();
}

bool KXFloatingWindowController::canBackward() const {
    return m_backward->isEnabled();
}

void KXFloatingWindowController::cropSetEnabel(bool enabled) {
    m_crop->setEnabled(enabled);
}

bool KXFloatingWindowController::canCrop() const {
    return m_crop->isEnabled();
}

void KXFloatingWindowController::showRelativeToPoint(const QPointF& anchor, const QRectF& objectRect, bool canCrop) {
    const double width = canCrop ? kWidthWithCrop : kWidthWithoutCrop;
    cropSetEnabel(canCrop);
    // Without crop the crop button leaves the row, and the panel narrows to the three others.
    m_crop->setVisible(canCrop);
    placeAt(floatingPanelFrame(anchor, objectRect.width(), {width, kHeight}));
}

// ---------------------------------------------------------------------------------------------------------

KXLockFloatingWindowController::KXLockFloatingWindowController(QWidget* parent) : KXFloatingPanel(parent) {
    setObjectName(QStringLiteral("LockFloatingPanel"));
    setToolTip(kx::Bundle::main().localizedString(QStringLiteral("Lock")));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    auto* badge = panelButton(QStringLiteral("\U0001F512"), "Lock", this);
    badge->setEnabled(false);
    row->addWidget(badge);
    setGeometry(0, 0, kWidth, kHeight);
}

void KXLockFloatingWindowController::showRelativeToPoint(const QPointF& anchor, const QRectF& objectRect) {
    placeAt(floatingPanelFrame(anchor, objectRect.width(), {double(kWidth), double(kHeight)}));
}

// ---------------------------------------------------------------------------------------------------------

KXCropWindowController::KXCropWindowController(QWidget* parent) : KXFloatingPanel(parent) {
    setObjectName(QStringLiteral("CropPanel"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 4, 6, 4);
    column->setSpacing(2);

    auto* top = new QHBoxLayout;
    m_min = panelButton(QStringLiteral("\u2212"), "btMinCrop", this);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("slCropImage"));
    m_slider->setFocusPolicy(Qt::NoFocus);
    m_slider->setRange(0, int(std::lround(kSliderTop * kSliderScale)));
    connect(m_slider, &QSlider::valueChanged, this, [this] {
        if (!m_settingValue)
            emit cropValueChanged();
    });
    m_max = panelButton(QStringLiteral("+"), "btMaxCrop", this);
    top->addWidget(m_min);
    top->addWidget(m_slider, 1);
    top->addWidget(m_max);
    column->addLayout(top);

    auto* bottom = new QHBoxLayout;
    m_segments = new QButtonGroup(this);
    m_segments->setExclusive(true);
    // Tags are the photo's crop render modes less one: 0 crops inside the frame, 1 stretches and crops.
    const struct {
        const char* title;
        int tag;
    } segments[] = {{"Crop", 0}, {"Stretch and Crop", 1}};
    for (const auto& segment : segments) {
        auto* button = new QPushButton(kx::Bundle::main().localizedString(QString::fromUtf8(segment.title)), this);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus);
        m_segments->addButton(button, segment.tag);
        bottom->addWidget(button);
    }
    m_segments->button(0)->setChecked(true);
    connect(m_segments, &QButtonGroup::idClicked, this, [this](int) { cropModeSwich(); });
    m_reset = panelButton(QStringLiteral("\u21BA"), "btResetCrop", this);
    m_quit = panelButton(QStringLiteral("\u2713"), "btQuitCrop", this);
    for (QPushButton* button : {m_reset, m_quit})
        button->setStyleSheet(QStringLiteral("color: white;"));
    bottom->addStretch(1);
    bottom->addWidget(m_reset);
    bottom->addWidget(m_quit);
    column->addLayout(bottom);
    setGeometry(0, 0, kWidth, kHeight);
}

void KXCropWindowController::setCropCurrentValue(float value) {
    if (!std::isfinite(value))
        return;
    const int steps = int(std::lround(double(value) * kSliderScale));
    m_settingValue = true;
    // A crop narrower than a tenth of the image lies beyond the usual end: the slider reaches it too.
    m_slider->setMaximum(std::max({steps, m_slider->minimum(), int(std::lround(kSliderTop * kSliderScale))}));
    m_slider->setValue(steps);
    m_settingValue = false;
}

float KXCropWindowController::cropValue() const {
    return float(double(m_slider->value()) / kSliderScale);
}

void KXCropWindowController::setCropMinValue(float value) {
    if (!std::isfinite(value))
        return;
    const int minimum = int(std::lround(double(value) * kSliderScale));
    m_settingValue = true;
    m_slider->setMinimum(minimum);
    if (m_slider->maximum() < minimum)
        m_slider->setMaximum(minimum);
    m_settingValue = false;
}

float KXCropWindowController::minCropValue() const {
    return float(double(m_slider->minimum()) / kSliderScale);
}

int KXCropWindowController::cropMode() const {
    const QList<QAbstractButton*> buttons = m_segments->buttons();
    for (int index = 0; index < buttons.size(); ++index) {
        if (buttons[index]->isChecked())
            return index;
    }
    return -1;
}

void KXCropWindowController::synchronizeCropModeWithType(int tag) {
    if (QAbstractButton* button = m_segments->button(tag))
        button->setChecked(true);
}

void KXCropWindowController::cropModeSwich() {
    kx::NotificationCenter::defaultCenter().post(KXSwitchCropModeChange, this);
}

void KXCropWindowController::showRelativeToPoint(const QPointF& anchor, const QRectF& objectRect) {
    placeAt(floatingPanelFrame(anchor, objectRect.width(), QSizeF(size())));
}
