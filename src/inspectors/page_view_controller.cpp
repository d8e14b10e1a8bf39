#include "inspectors/page_view_controller.h"

#include "model/page_size.h"

KXPageViewController::KXPageViewController() = default;

KXPageViewController::~KXPageViewController() = default;

QWidget* KXPageViewController::loadView() {
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("PageView"));
    return view;
}

void KXPageViewController::setPageSize(const KXSize* size) {
    if (!size || (m_pageSize && m_pageSize->isEqualToPagesize(size, false)))
        return;
    m_pageSize = size->copy();
}

void KXPageViewController::setMarginTop(double top, double bottom, double left, double right) {
    view();
    m_top = top;
    m_bottom = bottom;
    m_left = left;
    m_right = right;
}
