#include "controls/background_views.h"

#include <QPainter>
#include <QPainterPath>
#include <QPaintEvent>

namespace kx::controls {

KXRoundPaneView::KXRoundPaneView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void KXRoundPaneView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(rect()), 5, 5);
    painter.fillPath(rounded, QColor(0, 0, 0, int(0.7 * 255 + 0.5)));
}

KXBannerView::KXBannerView(QWidget* parent) : QWidget(parent) {}

QColor KXBannerView::fillColor() {
    return QColor(249, 246, 241);
}

QColor KXBannerView::frameColor() {
    return QColor(132, 132, 132);
}

void KXBannerView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), fillColor());
    painter.setPen(QPen(frameColor(), 1));
    // A 1-point line centred on the edges of the bounds inset by 2 points vertically.
    painter.drawRect(QRectF(rect()).adjusted(0.5, 2.5, -0.5, -2.5));
}

KXWhiteView::KXWhiteView(QWidget* parent) : QWidget(parent) {}

void KXWhiteView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
}

}  // namespace kx::controls
