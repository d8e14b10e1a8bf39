#include "controls/object_table_row_view.h"

#include "controls/table_geometry.h"

#include <QEnterEvent>
#include <QLinearGradient>
#include <QPainter>

KXObjectTableRowView::KXObjectTableRowView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_Hover, true);
}

void KXObjectTableRowView::setMouseInside(bool inside) {
    if (m_mouseInside == inside)
        return;
    m_mouseInside = inside;
    repaint();
}

void KXObjectTableRowView::setSelected(bool selected) {
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

void KXObjectTableRowView::setSelectionHighlighted(bool highlighted) {
    if (m_selectionHighlighted == highlighted)
        return;
    m_selectionHighlighted = highlighted;
    update();
}

void KXObjectTableRowView::drawBackground(QPainter& painter, const QRectF& row) {
    painter.fillRect(row, QColor(230, 230, 230));
}

void KXObjectTableRowView::drawSeparator(QPainter& painter, const QRectF& row) {
    painter.fillRect(rowSeparatorRect(row), QColor(150, 150, 150));
    painter.fillRect(QRectF(row.x(), row.y(), row.width(), 1), Qt::white);
}

void KXObjectTableRowView::drawSeparatorBand(QPainter& painter, const QRectF& band) {
    painter.fillRect(QRectF(band.x(), band.y(), band.width(), 1), QColor(150, 150, 150));
    painter.fillRect(QRectF(band.x(), band.y() + 1, band.width(), 1), Qt::white);
}

void KXObjectTableRowView::drawSelection(QPainter& painter, const QRectF& row) {
    const QRectF area = rowSelectionRect(row);
    // Light at the top edge, darker towards the bottom edge.
    QLinearGradient gradient(area.topLeft(), area.bottomLeft());
    gradient.setColorAt(0, QColor(209, 220, 236));
    gradient.setColorAt(1, QColor(129, 158, 201));
    painter.fillRect(area, gradient);
}

QRect KXObjectTableRowView::resizeRedrawRect() const {
    if (!m_inLiveResize || m_selected || m_mouseInside)
        return rect();
    return rowSeparatorRect(QRectF(rect())).toAlignedRect();
}

void KXObjectTableRowView::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    setMouseInside(true);
}

void KXObjectTableRowView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    setMouseInside(false);
}

void KXObjectTableRowView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF row = rect();
    drawBackground(painter, row);
    drawSeparator(painter, row);
    if (m_selected && m_selectionHighlighted)
        drawSelection(painter, row);
}

void KXObjectTableRowView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    update(resizeRedrawRect());
}
