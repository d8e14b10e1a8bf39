#include "canvas/arrow_panel_views.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace {

// A rounded rectangle joined with a triangle whose base lies on the rectangle's edge.
QPainterPath bodyWithArrow(const QRectF& body, double radius, const QPointF& baseLeft, const QPointF& baseRight,
                           const QPointF& apex) {
    QPainterPath outline;
    if (radius > 0)
        outline.addRoundedRect(body, radius, radius);
    else
        outline.addRect(body);
    QPainterPath arrow;
    arrow.moveTo(baseLeft);
    arrow.lineTo(apex);
    arrow.lineTo(baseRight);
    arrow.closeSubpath();
    return outline.united(arrow);
}

// Whether the window system shapes top-level windows by a mask. X11 does, also without a compositor; the
// others show the window's transparent pixels as transparent instead.
bool windowSystemTakesMasks() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// Keeps a background view the size of its window and, where the window system takes masks, the window
// masked to the view's outline.
class PanelBackgroundFollower : public QObject {
public:
    PanelBackgroundFollower(QWidget* window, KXArrowPanelView* view) : QObject(view), m_window(window), m_view(view) {
        window->installEventFilter(this);
        follow();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
            follow();
        return false;
    }

private:
    void follow() {
        m_view->setGeometry(m_window->rect());
        m_view->lower();
        if (windowSystemTakesMasks())
            m_window->setMask(m_view->outlineRegion());
    }

    QWidget* m_window;
    KXArrowPanelView* m_view;
};

}  // namespace

KXArrowPanelView::KXArrowPanelView(QWidget* parent) : QWidget(parent) {
    // Only the outline is painted; whatever lies under the rest shows through.
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

QRegion KXArrowPanelView::outlineRegion() const {
    return QRegion(outlinePath().toFillPolygon().toPolygon());
}

void KXArrowPanelView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    drawBackground(painter, event->rect());
}

void KXArrowPanelView::drawBackground(QPainter& painter, const QRect&) {
    painter.fillPath(outlinePath(), bodyColor());
}

// ---------------------------------------------------------------------------------------------------------

QPainterPath KXShapePanelView::outlinePath() const {
    const QRectF body(0, kArrowHeight, width(), height() - kArrowHeight);
    const double left = std::floor(width() / 2.0 - kArrowWidth / 2);
    return bodyWithArrow(body, kCornerRadius, {left, kArrowHeight}, {left + kArrowWidth, kArrowHeight},
                         {left + kArrowWidth / 2, 0});
}

// ---------------------------------------------------------------------------------------------------------

QPainterPath KXImageMaskView::outlinePath() const {
    const QRectF body(0, kArrowHeight, width(), height() - kArrowHeight);
    return bodyWithArrow(body, kCornerRadius, {kArrowLeft, kArrowHeight}, {kArrowRight, kArrowHeight},
                         {kArrowApex, 0});
}

void KXImageMaskView::drawBackground(QPainter& painter, const QRect& dirty) {
    const QPainterPath outline = outlinePath();
    painter.fillPath(outline, bodyColor());
    painter.save();
    painter.setClipPath(outline);
    // The lower half, as wide as the area being redrawn.
    const double half = height() / 2.0;
    painter.fillRect(QRectF(dirty.x(), height() - half, dirty.width(), half), lowerHalfColor());
    painter.restore();
}

// ---------------------------------------------------------------------------------------------------------

QPainterPath KXPageView::outlinePath() const {
    const double baseY = height() - kArrowHeight;
    // The body reaches past the top edge, so that no edge of it shows there.
    const QRectF body(0, -1, width(), baseY + 1);
    const double middle = width() / 2.0;
    return bodyWithArrow(body, 0, {middle - kArrowWidth / 2, baseY}, {middle + kArrowWidth / 2, baseY},
                         {middle, double(height())});
}

QColor KXPageView::bodyColor() const {
    return palette().color(QPalette::Window);
}

// ---------------------------------------------------------------------------------------------------------

void installPanelBackground(QWidget* window, KXArrowPanelView* view) {
    if (!window || !view)
        return;
    view->setParent(window);
    // Only the outline is painted: the rest of the window stays transparent.
    window->setAttribute(Qt::WA_TranslucentBackground);
    if (QLayout* layout = window->layout()) {
        const QMargins margins = layout->contentsMargins() + view->arrowMargins();
        layout->setContentsMargins(margins);
    }
    new PanelBackgroundFollower(window, view);
    view->show();
}
