#include "controls/popup_view.h"

#include <QPainter>
#include <QPolygon>
#include <QRegion>

#include <cmath>

namespace kx::controls {

KXPopupView::KXPopupView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setContentsMargins(0, kArrowHeight, 0, 0);
}

QColor KXPopupView::bodyColor() {
    return QColor(226, 229, 232);
}

void KXPopupView::setArrow(ArrowEdge edge, std::optional<int> tipX) {
    m_edge = edge;
    m_tipX = tipX;
    setContentsMargins(0, edge == ArrowEdge::Top ? kArrowHeight : 0, 0, edge == ArrowEdge::Bottom ? kArrowHeight : 0);
    update();
}

int KXPopupView::arrowTipX() const {
    return m_tipX.value_or(width() / 2);
}

QRectF KXPopupView::bodyRect() const {
    QRectF body(rect());
    if (m_edge == ArrowEdge::Top)
        body.setTop(body.top() + kArrowHeight);
    else
        body.setBottom(body.bottom() - kArrowHeight);
    return body;
}

QPainterPath KXPopupView::arrowPath() const {
    const QRectF body = bodyRect();
    const double left = std::floor(double(arrowTipX()) - kArrowHalfWidth);
    const double base = m_edge == ArrowEdge::Top ? body.top() : body.bottom();
    const double tip = m_edge == ArrowEdge::Top ? base - kArrowHeight : base + kArrowHeight;
    QPainterPath arrow;
    arrow.moveTo(left, base);
    arrow.lineTo(left + kArrowHalfWidth, tip);
    arrow.lineTo(left + 2 * kArrowHalfWidth, base);
    arrow.closeSubpath();
    return arrow;
}

QPainterPath KXPopupView::outlinePath() const {
    QPainterPath body;
    body.addRoundedRect(bodyRect(), kCornerRadius, kCornerRadius);
    return body.united(arrowPath());
}

QRegion KXPopupView::outlineRegion() const {
    return QRegion(outlinePath().toFillPolygon().toPolygon());
}

void KXPopupView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath outline = outlinePath();
    painter.fillPath(outline, Qt::white);
    // The body turns light grey and the arrow stays white.
    painter.setClipPath(outline);
    painter.fillRect(bodyRect(), bodyColor());
}

}  // namespace kx::controls
