#include "library/shape_palette.h"

#include "graphics/image_file_types.h"
#include "platform/foundation/bundle.h"

#include <QEvent>
#include <QMouseEvent>
#include <QVBoxLayout>

#include <array>

namespace {

// Picker index -> shape type: line, curve, arrow line, rectangle, rounded rectangle, equilateral triangle,
// right triangle, single arrow, double arrow, oval, speech bubble, lozenge, polygon, star.
constexpr std::array<std::uint32_t, 14> kShapeTypes = {13, 14, 15, 1, 4, 2, 3, 5, 6, 7, 8, 9, 10, 11};

}  // namespace

std::uint32_t shapeTypeForPickerIndex(std::int64_t index) {
    if (index <= 0 || index >= std::int64_t(kShapeTypes.size()))
        return kShapeTypes[0];
    return kShapeTypes[size_t(index)];
}

void KXShapeImageBroserView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

void KXShapeImageBroserView::mouseReleaseEvent(QMouseEvent* event) {
    KXImageBrowserView::mouseReleaseEvent(event);
    if (!selectedItems().empty())
        kx::NotificationCenter::defaultCenter().post(KXCloseShapeWindow, this);
}

KXShapeWindowController::KXShapeWindowController(KXShapeWindowControllerDelegate* delegate) : m_delegate(delegate) {}

KXShapeWindowController::~KXShapeWindowController() {
    m_closeObserver = {};
    delete m_window;
}

QStringList KXShapeWindowController::shapeImagePaths() {
    return imageFilesInDirectory(kx::Bundle::main().resourcePath() + QStringLiteral("/Shape"), true);
}

QWidget* KXShapeWindowController::window() {
    if (m_window)
        return m_window;
    m_window = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    m_window->setObjectName(QStringLiteral("ShapeWindow"));
    m_window->resize(260, 236);
    auto* layout = new QVBoxLayout(m_window);
    layout->setContentsMargins(4, 4, 4, 4);
    m_ibvShapes = new KXShapeImageBroserView(m_window);
    m_ibvShapes->setObjectName(QStringLiteral("ibvShapes"));
    m_ibvShapes->setTitlesShown(false);
    m_ibvShapes->setZoomValue(0.05);
    m_ibvShapes->setDragEnabled(false);
    layout->addWidget(m_ibvShapes);
    m_window->installEventFilter(this);
    connect(m_ibvShapes, &kx::ImageBrowserView::selectionDidChange, this, [this] { selectionChanged(); });
    loadShapeResource();
    m_closeObserver = kx::NotificationCenter::defaultCenter().addObserver(
        KXCloseShapeWindow, m_ibvShapes, [this](const kx::Notification&) { resetAndCloseShapeWindow(); });
    return m_window;
}

void KXShapeWindowController::loadShapeResource() {
    m_shapes.clear();
    std::vector<kx::ImageBrowserItem> cells;
    for (const QString& path : shapeImagePaths()) {
        KXImageBrowserItem item;
        item.setPath(path);
        cells.push_back(item.browserItem());
        m_shapes.push_back(std::move(item));
    }
    m_ibvShapes->setItems(std::move(cells));
}

void KXShapeWindowController::selectionChanged() {
    const std::vector<int> selected = m_ibvShapes->selectedItems();
    if (m_delegate && !selected.empty())
        m_delegate->chooseShapeAtIndex(selected.front());
}

void KXShapeWindowController::showShapeWindowWithFrame(const QPoint& point) {
    QWidget* shown = window();
    // Screen coordinates grow downwards: the window hangs from the point.
    shown->move(point.x() - shown->width() / 2, point.y());
    shown->show();
    shown->raise();
    shown->activateWindow();
}

void KXShapeWindowController::hideWindow() {
    if (m_window && m_window->isVisible())
        m_window->hide();
}

void KXShapeWindowController::resetAndCloseShapeWindow() {
    if (m_ibvShapes)
        m_ibvShapes->clearSelection();
    hideWindow();
}

bool KXShapeWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::WindowDeactivate)
        hideWindow();
    return QObject::eventFilter(watched, event);
}
