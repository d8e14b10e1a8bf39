#include "library/template_store_banner.h"

#include "library/template_alerts.h"

#include <QMouseEvent>
#include <QPainter>

KXTemPanelView::KXTemPanelView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFixedHeight(48);
}

void KXTemPanelView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_isDown ? QColor(60, 60, 70) : QColor(80, 80, 95));
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, kx::templates::localized(QStringLiteral("More Templates")));
}

void KXTemPanelView::mousePressEvent(QMouseEvent* event) {
    m_isDown = true;
    update();
    event->accept();
}

void KXTemPanelView::mouseReleaseEvent(QMouseEvent* event) {
    m_isDown = false;
    if (storeAction)
        storeAction();
    update();
    event->accept();
}
