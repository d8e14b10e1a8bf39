#include "controls/on_off_button.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

namespace kx::controls {

namespace {

constexpr int kImageTitleGap = 4;

}  // namespace

KXOnOffButton::KXOnOffButton(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    awakeFromInterfaceFile();
}

QGradientStops KXOnOffButton::standardGradient() {
    return {{0.0, QColor(101, 155, 223)}, {1.0, QColor(86, 138, 203)}};
}

QColor KXOnOffButton::offTitleColor() {
    return QColor(72, 72, 69);
}

QColor KXOnOffButton::onTitleColor() {
    return QColor(Qt::white);
}

QColor KXOnOffButton::offBackgroundColor() {
    return QColor(237, 237, 237);
}

void KXOnOffButton::awakeFromInterfaceFile() {
    m_canMouseDown = m_passChange = m_selectable = m_hasBackground = true;
    m_offImage = icon().isNull() ? QPixmap() : icon().pixmap(iconSize());
    m_onGradient = standardGradient();
    m_offTitle = {text(), offTitleColor()};
    m_onTitle = {text(), onTitleColor()};
    update();
}

void KXOnOffButton::setTitle(const QString& title) {
    setText(title);
    m_onGradient = standardGradient();
    m_offTitle = {title, offTitleColor()};
    m_onTitle = m_hasBackground ? ButtonTitle{title, onTitleColor()} : m_offTitle;
    updateLook();
}

void KXOnOffButton::setState(bool on) {
    if (!m_selectable && !m_passChange)
        return;
    m_passChange = false;
    setChecked(on);
    updateLook();
}

void KXOnOffButton::setSelectable(bool selectable) {
    m_selectable = selectable;
    updateLook();
}

void KXOnOffButton::setHasBackground(bool hasBackground) {
    m_hasBackground = hasBackground;
    updateLook();
}

void KXOnOffButton::setOnImage(const QPixmap& image) {
    m_onImage = image;
    update();
}

void KXOnOffButton::setOffImage(const QPixmap& image) {
    m_offImage = image;
    update();
}

bool KXOnOffButton::showsOnLook() const {
    return isChecked() && m_hasBackground;
}

QPixmap KXOnOffButton::currentImage() const {
    return showsOnLook() ? m_onImage : m_offImage;
}

ButtonTitle KXOnOffButton::currentTitle() const {
    return showsOnLook() ? m_onTitle : m_offTitle;
}

void KXOnOffButton::followBackground() {
    if (m_selectable)
        return;
    if (m_hasBackground != isChecked()) {
        m_passChange = true;
        setState(m_hasBackground);
    }
}

void KXOnOffButton::updateLook() {
    followBackground();
    update();
}

QSize KXOnOffButton::sizeHint() const {
    const QPixmap image = currentImage();
    const QSize textSize = fontMetrics().size(Qt::TextSingleLine, currentTitle().text);
    int width = textSize.width() + 16;
    if (!image.isNull())
        width += image.width() + (textSize.width() > 0 ? kImageTitleGap : 0);
    return {width, std::max({textSize.height() + 8, image.height() + 4, 22})};
}

void KXOnOffButton::paintEvent(QPaintEvent*) {
    followBackground();
    QPainter painter(this);
    const QRect bounds = rect();
    if (showsOnLook()) {
        // Angle 90: the gradient runs from the bottom edge up.
        QLinearGradient gradient(bounds.bottomLeft(), bounds.topLeft());
        gradient.setStops(m_onGradient);
        painter.fillRect(bounds, gradient);
    } else {
        painter.fillRect(bounds, offBackgroundColor());
    }
    // A dark line along the left edge and the bottom edge, which set the button off from its neighbour.
    painter.setPen(QPen(QColor::fromRgbF(0.2f, 0.2f, 0.2f), 1));
    painter.drawLine(QPointF(0.5, 0), QPointF(0.5, height()));
    painter.drawLine(QPointF(0, height() - 0.5), QPointF(width(), height() - 0.5));

    // Image and title centred together.
    const QPixmap image = currentImage();
    const ButtonTitle title = currentTitle();
    const int textWidth = title.text.isEmpty() ? 0 : fontMetrics().horizontalAdvance(title.text);
    const int imageWidth = image.isNull() ? 0 : int(image.width() / image.devicePixelRatio());
    const int gap = imageWidth > 0 && textWidth > 0 ? kImageTitleGap : 0;
    int x = (width() - imageWidth - gap - textWidth) / 2;
    if (imageWidth > 0) {
        const int imageHeight = int(image.height() / image.devicePixelRatio());
        painter.setOpacity(isEnabled() ? 1.0 : 0.5);
        painter.drawPixmap(QRect(x, (height() - imageHeight) / 2, imageWidth, imageHeight), image);
        painter.setOpacity(1.0);
        x += imageWidth + gap;
    }
    if (textWidth > 0) {
        painter.setPen(title.color);
        painter.drawText(QRect(x, 0, textWidth, height()), Qt::AlignCenter, title.text);
    }
}

void KXOnOffButton::mousePressEvent(QMouseEvent* event) {
    if (!m_canMouseDown) {
        event->accept();
        return;
    }
    QAbstractButton::mousePressEvent(event);
}

void KXOnOffButton::nextCheckState() {
    // A click switches a selectable button; one that is not selectable keeps the state of its background.
    if (m_selectable)
        setState(!isChecked());
}

}  // namespace kx::controls
