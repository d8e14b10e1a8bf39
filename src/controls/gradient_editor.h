// The multi-stop gradient editor: a bar showing the gradient with up to 8 stops hanging below it. A click
// below the bar adds a stop with the colour the bar shows there (so the look does not change); a stop is
// dragged sideways to move it, dragged down out of the view to remove it (while 3 or more remain, so a
// gradient keeps 2), and clicked to recolour it in the shared colour dialog.
//
// After each edit the view posts "KXAdGradientDidChanged" (and emits gradientDidChange) once, queued from the
// edit, so several changes in one gesture give one announcement; loading a gradient announces nothing.
// Stops stay in creation order; their locations may run out of order, and drawing sorts them.
#pragma once

#include <QColor>
#include <QRect>
#include <QWidget>

#include <utility>
#include <vector>

namespace kx::controls {

class KXAdGradientView;

inline constexpr char kAdGradientDidChanged[] = "KXAdGradientDidChanged";
inline constexpr char kColorWellWillBeDrag[] = "KXColorWellWillBeDrag";
inline constexpr char kColorWellDidDrag[] = "KXColorWellDidDrag";
inline constexpr int kMaxGradientStops = 8;

// The editor's geometry for a view of `size` (Qt coordinates, y down): the bar takes the middle 80% of the
// width and a third of the height, its bottom edge at half the height; stops are 16 points wide and 6
// higher than the bar, their bottom a sixth of the height above the view's bottom.
struct AdGradientGeometry {
    QRect bar;
    int stopTop = 0;
    int stopHeight = 0;
    static constexpr int stopWidth = 16;
    int stopLeftForLocation(double location) const;
    double locationForStopLeft(int left) const;
};
AdGradientGeometry adGradientGeometry(QSize size);

// Colour stops ordered by location (a stable sort: equal locations keep their list order).
std::vector<std::pair<double, QColor>> sortedGradientStops(const std::vector<QColor>& colors,
                                                           const std::vector<double>& locations);

class KXAdGradientColorWell : public QWidget {
    Q_OBJECT
public:
    KXAdGradientColorWell(KXAdGradientView* owner, const QColor& color);

    QColor color() const { return m_color; }
    // Stores the colour and tells the owner the gradient changed.
    void setColor(const QColor& color);
    // The colour dialog's action while it targets this stop.
    void performChangeColor(const QColor& color) { setColor(color); }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    bool isDragging() const { return m_dragging; }
    // Where the stop's centre is along the bar, 0 at its left end and 1 at its right end. Kept exactly as
    // loaded or placed, so that resizing the editor or editing another stop never moves it.
    double location() const { return m_location; }
    void setLocation(double location);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    KXAdGradientView* m_owner;
    QColor m_color;
    double m_location = 0;
    bool m_selected = false;
    bool m_dragging = false;
    // The pointer went below the view with enough stops left: the stop is lifted out and goes on release.
    bool m_draggedOut = false;
};

class KXAdGradientView : public QWidget {
    Q_OBJECT
public:
    explicit KXAdGradientView(QWidget* parent = nullptr);
    ~KXAdGradientView() override;

    // Replaces every stop: stop i gets colour i at location i; only the first 8 are taken. Announces nothing.
    void updateGradientManager(const std::vector<QColor>& colors, const std::vector<double>& locations);
    // The stops' colours and locations in list order.
    std::vector<QColor> colorArray() const;
    std::vector<double> colorLocations() const;
    const std::vector<KXAdGradientColorWell*>& colorWellList() const { return m_stops; }

    bool enable() const { return m_enable; }
    void setEnable(bool enable);
    bool gradientChanged() const { return m_gradientChanged; }
    // Marks a change and queues its announcement (one for all the changes made before it runs).
    void setGradientChanged(bool changed);
    AdGradientGeometry geometryForSize() const { return adGradientGeometry(size()); }

    // Adds a stop centred at x (view coordinates) (clamped to the bar) with the colour the bar shows there; none past 8.
    KXAdGradientColorWell* addColorWellToPoint(int x);
    void selectedColorWell(KXAdGradientColorWell* stop);
    void deselectedAllColorWell();
    void removeColorWell(KXAdGradientColorWell* stop);
    // The colour the rendered bar shows at x, in the bar's vertical middle.
    QColor barColorAt(int x);

    void colorWellWillDrag();
    void colorWellDidDrag();

signals:
    void gradientDidChange();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class KXAdGradientColorWell;
    void placeStop(KXAdGradientColorWell* stop) const;
    void announceChange();
    void clearStops();

    std::vector<KXAdGradientColorWell*> m_stops;
    bool m_enable = true;
    bool m_gradientChanged = false;
    bool m_announcementQueued = false;
    QMetaObject::Connection m_panelClose;
};

}  // namespace kx::controls
