// The drawn backgrounds of the small popover-like panels: a body with a 15-point arrow pointing at what the
// panel belongs to.
//
// - KXShapePanelView, behind the shape picker: a white rounded body under a white arrow at the middle of
//   its top edge;
// - KXImageMaskView, behind the image-mask popover: the same body with its arrow at x 43 to 73, and its
//   lower half light grey;
// - KXPageView, behind the page popover: a square-cornered body in the window colour with the arrow
//   hanging from the middle of its bottom edge.
//
// All geometry is in the widget's own coordinates, y growing downwards: "the top 15 points" are the band
// from y 0 to y 15. The views draw nothing outside their outline, so a window that uses one as its
// background shows only the outline (installPanelBackground).
#pragma once

#include <QColor>
#include <QPainterPath>
#include <QRegion>
#include <QWidget>

class KXArrowPanelView : public QWidget {
    Q_OBJECT
public:
    static constexpr double kArrowHeight = 15;
    static constexpr double kArrowWidth = 30;
    static constexpr double kCornerRadius = 5;

    explicit KXArrowPanelView(QWidget* parent = nullptr);

    // The body joined with the arrow, for the view's current size.
    virtual QPainterPath outlinePath() const = 0;
    // The pixels the outline covers.
    QRegion outlineRegion() const;
    // The band the arrow takes (at the top or at the bottom); content placed on the panel keeps out of it.
    virtual QMargins arrowMargins() const = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
    // Fills the outline; the default paints it in bodyColor().
    virtual void drawBackground(QPainter& painter, const QRect& dirty);
    virtual QColor bodyColor() const = 0;
};

class KXShapePanelView : public KXArrowPanelView {
    Q_OBJECT
public:
    using KXArrowPanelView::KXArrowPanelView;

    // The rounded body below the top 15 points, and the arrow standing on its top edge with its left corner
    // at floor(width / 2 - 15) and its apex 15 points higher.
    QPainterPath outlinePath() const override;
    QMargins arrowMargins() const override { return {0, int(kArrowHeight), 0, 0}; }

protected:
    QColor bodyColor() const override { return Qt::white; }
};

class KXImageMaskView : public KXArrowPanelView {
    Q_OBJECT
public:
    static constexpr double kArrowLeft = 43;
    static constexpr double kArrowApex = 58;
    static constexpr double kArrowRight = 73;
    static QColor lowerHalfColor() { return QColor(237, 237, 237); }

    using KXArrowPanelView::KXArrowPanelView;

    QPainterPath outlinePath() const override;
    QMargins arrowMargins() const override { return {0, int(kArrowHeight), 0, 0}; }

protected:
    // White, then the lower half of the view light grey, both inside the outline.
    void drawBackground(QPainter& painter, const QRect& dirty) override;
    QColor bodyColor() const override { return Qt::white; }
};

class KXPageView : public KXArrowPanelView {
    Q_OBJECT
public:
    using KXArrowPanelView::KXArrowPanelView;

    // The body from the top down to 15 points above the bottom, and the arrow hanging from its bottom edge
    // at the middle with its apex on the view's bottom.
    QPainterPath outlinePath() const override;
    QMargins arrowMargins() const override { return {0, 0, 0, int(kArrowHeight)}; }

protected:
    QColor bodyColor() const override;
};

// Puts the view behind everything else in `window` (a frameless top-level or popup widget not yet shown):
// the view fills the window and follows its size, the window is transparent outside the view's outline
// (and masked to it on X11), and the window's layout keeps its content off the arrow's band. The view
// becomes a child of the window.
void installPanelBackground(QWidget* window, KXArrowPanelView* view);
