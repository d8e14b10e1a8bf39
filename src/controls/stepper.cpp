#include "controls/stepper.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace kx::controls {

namespace {

// Holding an arrow repeats the step after a pause, then steadily.
constexpr int kRepeatDelayMs = 400;
constexpr int kRepeatIntervalMs = 60;

}  // namespace

double clampToRange(double value, double minimum, double maximum) {
    if (std::isnan(value))
        return minimum;
    return std::max(minimum, std::min(value, maximum));
}

double steppedValue(double value, double increment, int steps, double minimum, double maximum) {
    return clampToRange(value + increment * double(steps), minimum, maximum);
}

KXStepper::KXStepper(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&m_repeat, &QTimer::timeout, this, &KXStepper::repeatStep);
}

void KXStepper::setRange(double minimum, double maximum) {
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
    setValue(m_value);
}

void KXStepper::setIncrement(double increment) {
    if (increment > 0)
        m_increment = increment;
}

int KXStepper::intValue() const {
    return int(std::lround(m_value));
}

void KXStepper::setValue(double value) {
    const double clamped = clampToRange(value, m_minimum, m_maximum);
    if (clamped == m_value)
        return;
    m_value = clamped;
    emit valueChanged(m_value);
}

void KXStepper::stepBy(int steps) {
    setValue(steppedValue(m_value, m_increment, steps, m_minimum, m_maximum));
    emit activated();
}

QSize KXStepper::sizeHint() const {
    return {13, 22};
}

void KXStepper::repeatStep() {
    if (m_heldDirection == 0) {
        stopRepeat();
        return;
    }
    m_repeat.setInterval(kRepeatIntervalMs);
    stepBy(m_heldDirection);
}

void KXStepper::stopRepeat() {
    m_repeat.stop();
    m_heldDirection = 0;
    update();
}

void KXStepper::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_heldDirection = event->position().y() < height() / 2.0 ? 1 : -1;
    stepBy(m_heldDirection);
    m_repeat.start(kRepeatDelayMs);
    update();
    event->accept();
}

void KXStepper::mouseReleaseEvent(QMouseEvent* event) {
    stopRepeat();
    event->accept();
}

void KXStepper::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up)
        stepBy(1);
    else if (event->key() == Qt::Key_Down)
        stepBy(-1);
    else
        QWidget::keyPressEvent(event);
}

void KXStepper::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        stopRepeat();
    QWidget::changeEvent(event);
}

void KXStepper::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double half = frame.height() / 2;
    painter.setPen(QColor(150, 150, 150));
    painter.setBrush(QColor(250, 250, 250));
    painter.drawRoundedRect(frame, 3, 3);
    // The held arrow's half is shaded.
    if (m_heldDirection != 0) {
        const QRectF held = m_heldDirection > 0 ? QRectF(frame.left(), frame.top(), frame.width(), half)
                                                : QRectF(frame.left(), frame.top() + half, frame.width(), half);
        painter.fillRect(held.adjusted(1, 1, -1, -1), QColor(205, 205, 205));
    }
    painter.drawLine(QPointF(frame.left() + 2, frame.top() + half), QPointF(frame.right() - 2, frame.top() + half));
    const QColor arrowColor = isEnabled() ? QColor(56, 56, 56) : QColor(56, 56, 56, 90);
    const double cx = frame.center().x();
    const double a = std::min(frame.width() / 2 - 2, 3.5);
    auto triangle = [&](double baseY, double tipY) {
        QPainterPath path;
        path.moveTo(cx - a, baseY);
        path.lineTo(cx + a, baseY);
        path.lineTo(cx, tipY);
        path.closeSubpath();
        painter.fillPath(path, arrowColor);
    };
    const double upMid = frame.top() + half / 2, downMid = frame.top() + 1.5 * half;
    triangle(upMid + a / 2, upMid - a / 2);
    triangle(downMid - a / 2, downMid + a / 2);
}

}  // namespace kx::controls
