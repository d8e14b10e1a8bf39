#include "controls/table_view.h"

#include "platform/foundation/notification_center.h"

#include <QMouseEvent>
#include <QScrollBar>

KXTableView::KXTableView(QWidget* parent) : QTableView(parent) {
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
}

void KXTableView::mouseMoveEvent(QMouseEvent* event) {
    // The table's coordinates are those of its whole content: the viewport's point plus the scrolled offset.
    const QPointF point = event->position() + QPointF(horizontalOffset(), verticalOffset());
    kx::ValueDictionary info;
    info[QStringLiteral("pointX")] = kx::Value(std::int64_t(point.x()));
    info[QStringLiteral("pointY")] = kx::Value(std::int64_t(point.y()));
    kx::NotificationCenter::defaultCenter().post(KXTableViewMouseMove, this, info);
}

void KXTableView::mousePressEvent(QMouseEvent* event) {
    event->accept();
    kx::NotificationCenter::defaultCenter().post(KXTableViewMouseDown, this);
}

void KXTableView::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press like the first.
    mousePressEvent(event);
}

void KXTableView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    kx::NotificationCenter::defaultCenter().post(KXTableViewMouseUp, this);
}

bool KXTableView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Leave)
        kx::NotificationCenter::defaultCenter().post(KXTableViewMouseExit, this);
    return QTableView::viewportEvent(event);
}
