// The balloon behind a popover's content: a rounded light grey body and a white arrow 15 points high that
// points at the popover's anchor. The arrow sits on the top edge for a popover hanging below its anchor and
// on the bottom edge for one standing above it; sideways it follows the anchor when the window had to
// slide to stay on screen. The view's contents margins keep the arrow's band free, so a layout inside it
// stays on the body whichever edge the arrow is on.
#pragma once

#include <QPainterPath>
#include <QWidget>

#include <optional>

namespace kx::controls {

class KXPopupView : public QWidget {
    Q_OBJECT
public:
    enum class ArrowEdge { Top, Bottom };
    static constexpr int kArrowHeight = 15;
    static constexpr int kArrowHalfWidth = 15;
    static constexpr double kCornerRadius = 5;

    explicit KXPopupView(QWidget* parent = nullptr);

    static QColor bodyColor();

    // The arrow's edge and the x of its tip; with no x given the tip is at the middle.
    void setArrow(ArrowEdge edge, std::optional<int> tipX = std::nullopt);
    ArrowEdge arrowEdge() const { return m_edge; }
    int arrowTipX() const;

    // The body (bounds less the arrow's height on its edge) and the arrow, in the view's coordinates.
    QRectF bodyRect() const;
    QPainterPath arrowPath() const;
    // The whole balloon: the rounded body joined with the arrow; and the pixels it covers.
    QPainterPath outlinePath() const;
    QRegion outlineRegion() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ArrowEdge m_edge = ArrowEdge::Top;
    std::optional<int> m_tipX;
};

}  // namespace kx::controls
