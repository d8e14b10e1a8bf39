// The shape picker: a small floating window under the toolbar's shape button with one thumbnail per image of
// the "Shape" resource folder. Picking a thumbnail reports its index to the delegate at once; releasing the
// mouse closes the picker, and so does any other window becoming active.
#pragma once

#include "library/resource_browser_item.h"
#include "platform/foundation/notification_center.h"

#include <QPointF>
#include <QWidget>

#include <cstdint>
#include <vector>

// Posted by the picker's browser (object = the browser) when the mouse is released over a pick.
inline const QString KXCloseShapeWindow = QStringLiteral("KXCloseShapeWindow");

// The shape type inserted for a picker index; the shape images are named so that, sorted, each lands at its
// type's index (see scripts/make_shapes.py).
std::uint32_t shapeTypeForPickerIndex(std::int64_t index);

class KXShapeWindowControllerDelegate {
public:
    virtual ~KXShapeWindowControllerDelegate() = default;
    virtual void chooseShapeAtIndex(std::int64_t index) = 0;
};

// The picker's browser: no dragging out and no rubber band; a mouse-up over a pick asks to close.
class KXShapeImageBroserView : public KXImageBrowserView {
    Q_OBJECT
public:
    using KXImageBrowserView::KXImageBrowserView;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class KXShapeWindowController : public QObject {
    Q_OBJECT
public:
    explicit KXShapeWindowController(KXShapeWindowControllerDelegate* delegate = nullptr);
    ~KXShapeWindowController() override;

    // Builds the window and loads the shapes on first use.
    QWidget* window();
    // Every supported image below <resources>/Shape, sorted without regard to case.
    static QStringList shapeImagePaths();
    const std::vector<KXImageBrowserItem>& shapes() const { return m_shapes; }
    KXShapeImageBroserView* ibvShapes() const { return m_ibvShapes; }
    void setDelegate(KXShapeWindowControllerDelegate* delegate) { m_delegate = delegate; }

    // Places the window so that the middle of its top edge is at the point (global coordinates, y down) and
    // brings it to the front.
    void showShapeWindowWithFrame(const QPoint& point);
    void hideWindow();
    void resetAndCloseShapeWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void loadShapeResource();
    void selectionChanged();

    KXShapeWindowControllerDelegate* m_delegate = nullptr;
    std::vector<KXImageBrowserItem> m_shapes;
    QWidget* m_window = nullptr;
    KXShapeImageBroserView* m_ibvShapes = nullptr;
    kx::NotificationToken m_closeObserver;
};
