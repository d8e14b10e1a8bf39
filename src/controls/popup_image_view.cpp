#include "controls/popup_image_view.h"

#include "platform/foundation/notification_center.h"

#include <QMouseEvent>

namespace kx::controls {

KXPopupImageView::KXPopupImageView(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
}

void KXPopupImageView::mousePressEvent(QMouseEvent* event) {
    // Taking the press makes the release come here.
    event->accept();
}

void KXPopupImageView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (!isEnabled() || event->button() != Qt::LeftButton)
        return;
    kx::NotificationCenter::defaultCenter().post(KXPopupImageViewClicked, this);
    emit clicked();
}

}  // namespace kx::controls
