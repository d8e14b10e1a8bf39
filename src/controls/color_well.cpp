#include "controls/color_well.h"

#include "controls/color_palette.h"
#include "controls/color_panel.h"
#include "controls/control_images.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace kx::controls {

KXColorSwatchMatrix::KXColorSwatchMatrix(int rows, int columns, std::vector<QColor> colors, QSize swatch,
                                         KXColorWell* target, QWidget* parent)
    : QWidget(parent), m_rows(rows), m_columns(columns), m_colors(std::move(colors)), m_swatch(swatch),
      m_target(target) {
    setFixedSize(swatchMatrixSize(columns, rows, swatch));
}

void KXColorSwatchMatrix::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (int row = 0; row < m_rows; ++row) {
        for (int column = 0; column < m_columns; ++column) {
            const std::size_t index = std::size_t(row * m_columns + column);
            if (index < m_colors.size())
                painter.fillRect(swatchRect(row, column, m_swatch), m_colors[index]);
        }
    }
}

void KXColorSwatchMatrix::mousePressEvent(QMouseEvent* event) {
    const int index = swatchIndexAt(event->position().toPoint(), m_columns, m_rows, m_swatch, int(m_colors.size()));
    if (index >= 0 && m_target)
        m_target->setColorAndClose(m_colors[std::size_t(index)]);
}

KXColorPickerView::KXColorPickerView(std::vector<QColor> colors, int rows, int columns, QSize swatch,
                                     KXColorWell* target, QWidget* parent)
    : QWidget(parent), m_well(target) {
    setFixedSize(colorPickerViewSize(columns, rows, swatch));
    m_matrix = new KXColorSwatchMatrix(rows, columns, std::move(colors), swatch, target, this);
    m_matrix->move(swatchMatrixRect(columns, rows, swatch).topLeft());
}

void KXColorPickerView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(colorBalloonPath(size(), m_well->offset(), m_well->upArrow()), QColor(237, 237, 237));
}

KXColorWell::KXColorWell(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    const auto& colors = defaultSwatchColors();
    const int columns = int(colors.size()) / kSwatchRows;
    m_pickerView = new KXColorPickerView(colors, kSwatchRows, columns, kSwatchSize, this);
    m_popupWindow = new KXPopupWindow(this);
    m_popupWindow->setMovableByBackground(false);
    m_popupWindow->setContentView(m_pickerView);
    // The placement keeps the balloon on the well's screen; the arrow follows it back to the well.
    connect(m_popupWindow, &KXPopupWindow::placed, this, [this](const PopoverPlacement& placement) {
        m_upArrow = placement.edge == PopoverEdge::Below;
        m_offset = m_pickerView->width() / 2.0 - placement.arrowX;
        m_pickerView->update();
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            m_popupWindow->setMask(QRegion(colorBalloonPath(m_pickerView->size(), m_offset, m_upArrow)
                                               .toFillPolygon()
                                               .toPolygon()));
    });
    connect(m_popupWindow, &KXPopupWindow::resignedKey, this, [this] {
        kx::NotificationCenter::defaultCenter().post(QString::fromLatin1(kPopUpWindowDidResignKey), this);
    });
    m_targetToken = kx::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(kColorWellTargetChanged), nullptr,
        [this](const kx::Notification& n) { colorWellTargetChanged(n); });
    m_panelClose = connect(&KXColorPanel::shared(), &KXColorPanel::willClose, this, [this] { setBound(false); });
}

KXColorWell::~KXColorWell() {
    KXColorPanel& panel = KXColorPanel::shared();
    if (panel.target() == this)
        panel.setTarget(nullptr, {});
    m_targetToken.reset();
    disconnect(m_panelClose);
}

void KXColorWell::setColor(const QColor& color) {
    if (color == m_color)
        return;
    m_color = color;
    update();
    if (m_bound)
        KXColorPanel::shared().setColor(color);
    emit colorChanged(color);
}

void KXColorWell::setWellEnabled(bool enabled) {
    m_enabled = enabled;
    update();
}

void KXColorWell::setMouseInColor(bool in) {
    if (in == m_mouseInColor)
        return;
    m_mouseInColor = in;
    update();
}

void KXColorWell::setMouseInButton(bool in) {
    if (in == m_mouseInButton)
        return;
    m_mouseInButton = in;
    update();
}

void KXColorWell::bindColor(std::function<QColor()> read, std::function<void(const QColor&)> write) {
    m_readBinding = std::move(read);
    m_writeBinding = std::move(write);
}

void KXColorWell::unbindColor() {
    m_readBinding = {};
    m_writeBinding = {};
}

bool KXColorWell::popupWindowIsVisible() const {
    return m_popupWindow->isVisible();
}

void KXColorWell::setColorAndClose(const QColor& color) {
    setColor(color);
    // Writes only a value that differs from the bound one, so that no empty change reaches the model.
    if (m_writeBinding && (!m_readBinding || m_readBinding() != color))
        m_writeBinding(color);
    hideColorPicker();
}

void KXColorWell::changeColor(const QColor& color) {
    if (m_bound)
        setColor(color);
}

void KXColorWell::showColorPicker() {
    if (m_popupWindow->isVisible())
        return;
    m_popupWindow->toggleAt(QRect(mapToGlobal(QPoint(0, 0)), size()), PopoverEdge::Below);
}

void KXColorWell::hideColorPicker() {
    m_popupWindow->hide();
}

void KXColorWell::colorWellTargetChanged(const kx::Notification& notification) {
    setBound(notification.sender == this);
}

void KXColorWell::setBound(bool bound) {
    if (bound == m_bound)
        return;
    m_bound = bound;
    update();
}

void KXColorWell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    QPainterPath outline;
    outline.addRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    painter.save();
    painter.setClipPath(outline);

    const QRect field = colorWellFieldRect(size());
    painter.fillRect(field, Qt::white);
    // The upper-left half black, so that a translucent colour shows over both.
    QPainterPath dark;
    dark.moveTo(0, height());
    dark.lineTo(field.width(), 0);
    dark.lineTo(0, 0);
    dark.closeSubpath();
    painter.fillPath(dark, Qt::black);
    painter.fillRect(field, m_color);
    if (m_mouseInColor) {
        const QPixmap arrow = controlImage(QStringLiteral("ClickArrow"));
        if (!arrow.isNull())
            painter.drawPixmap(field.right() + 1 - 2 - arrow.width(), (height() - arrow.height()) / 2, arrow);
    }

    const QRect button = colorWellButtonRect(size());
    const QColor buttonFill = m_bound ? QColor(46, 170, 243) : m_mouseInButton ? QColor(220, 220, 220) : Qt::white;
    painter.fillRect(button, buttonFill);
    painter.setPen(QPen(Qt::darkGray, 0.5));
    painter.drawLine(QPointF(button.left(), 0), QPointF(button.left(), height()));
    const QPixmap pane = controlImage(QStringLiteral("ColorPane"));
    if (!pane.isNull()) {
        painter.drawPixmap(button.center().x() + 1 - pane.width() / 2, button.center().y() + 1 - pane.height() / 2,
                           pane);
    }
    if (!m_enabled)
        painter.fillRect(bounds, QColor::fromRgbF(0.95f, 0.95f, 0.95f, 0.5f));
    painter.restore();
    painter.setPen(QPen(m_enabled ? Qt::darkGray : Qt::lightGray, 1));
    painter.drawPath(outline);
}

void KXColorWell::mouseMoveEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    setMouseInColor(colorWellFieldRect(size()).contains(point));
    setMouseInButton(colorWellButtonRect(size()).contains(point));
}

void KXColorWell::leaveEvent(QEvent*) {
    setMouseInColor(false);
    setMouseInButton(false);
}

void KXColorWell::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void KXColorWell::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_enabled || event->button() != Qt::LeftButton)
        return;
    KXColorPanel& panel = KXColorPanel::shared();
    if (colorWellButtonRect(size()).contains(event->position().toPoint())) {
        if (m_bound) {
            panel.setColorWellTarget(nullptr);
        } else {
            panel.setColorWellTarget(this);
            panel.setColor(m_color);
            panel.orderFront();
        }
        return;
    }
    m_popupWindow->toggleAt(QRect(mapToGlobal(QPoint(0, 0)), size()), PopoverEdge::Below);
}

}  // namespace kx::controls
