#include "inspectors/view_controller.h"

KXViewController::~KXViewController() {
    delete m_view.data();
}

QWidget* KXViewController::view() {
    if (!m_loaded) {
        m_loaded = true;
        m_view = loadView();
        viewDidLoad();
    }
    return m_view;
}

bool isHiddenOrHasHiddenAncestor(const QWidget* widget) {
    for (const QWidget* w = widget; w && !w->isWindow(); w = w->parentWidget()) {
        if (w->isHidden())
            return true;
    }
    return false;
}
