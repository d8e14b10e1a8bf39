#include "controls/image_browser_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace kx {

namespace {
constexpr int kTitleHeight = 20;
constexpr int kCellPadding = 6;
}  // namespace

int imageBrowserCellSide(double zoom) {
    if (!std::isfinite(zoom))
        zoom = 0.5;
    return int(std::lround(32 + std::clamp(zoom, 0.0, 1.0) * 288));
}

ImageBrowserView::ImageBrowserView(QWidget* parent)
    : QListView(parent),
      m_background(palette().color(QPalette::Base)),
      m_title(palette().color(QPalette::Text)),
      m_selection(palette().color(QPalette::Highlight)) {
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setUniformItemSizes(false);
    setSpacing(4);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegate(new ImageBrowserDelegate(this));
    setModel(&m_model);
    m_model.setThumbnailSize(imageBrowserCellSide(m_zoom));
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { emit selectionDidChange(); });
    // A thumbnail that arrives repaints its cell through the model's dataChanged.
}

void ImageBrowserView::setItems(std::vector<ImageBrowserItem> items, std::vector<ImageBrowserGroup> groups) {
    m_model.setItems(std::move(items), std::move(groups));
    // The cells on screen are asked for first, at their first paint; the rest follow.
    m_model.requestAllThumbnails();
}

void ImageBrowserView::setZoomValue(double zoom) {
    if (!std::isfinite(zoom))
        return;
    zoom = std::clamp(zoom, 0.0, 1.0);
    if (zoom == m_zoom)
        return;
    m_zoom = zoom;
    m_model.setThumbnailSize(imageBrowserCellSide(zoom));
    scheduleDelayedItemsLayout();
    m_model.requestAllThumbnails();
    viewport()->update();
}

void ImageBrowserView::setAllowsMultipleSelection(bool allows) {
    setSelectionMode(allows ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void ImageBrowserView::setTitlesShown(bool shown) {
    m_titlesShown = shown;
    scheduleDelayedItemsLayout();
}

void ImageBrowserView::setCellColors(const QColor& background, const QColor& title, const QColor& selection) {
    m_background = background;
    m_title = title;
    m_selection = selection;
    QPalette p = palette();
    p.setColor(QPalette::Base, background);
    setPalette(p);
    viewport()->update();
}

std::vector<int> ImageBrowserView::selectedItems() const {
    std::vector<int> items;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        if (const int item = m_model.itemForRow(index.row()); item >= 0)
            items.push_back(item);
    std::sort(items.begin(), items.end());
    return items;
}

void ImageBrowserView::selectItem(int item) {
    const int row = m_model.rowForItem(item);
    if (row < 0)
        return;
    selectionModel()->select(m_model.index(row), QItemSelectionModel::ClearAndSelect);
    selectionModel()->setCurrentIndex(m_model.index(row), QItemSelectionModel::NoUpdate);
}

void ImageBrowserView::scrollToItem(int item) {
    const int row = m_model.rowForItem(item);
    if (row >= 0)
        scrollTo(m_model.index(row));
}

int ImageBrowserView::itemAt(const QPoint& point) const {
    const QModelIndex index = indexAt(point);
    return index.isValid() ? m_model.itemForRow(index.row()) : -1;
}

QRect ImageBrowserView::cellRect(int item) const {
    const int row = m_model.rowForItem(item);
    return row < 0 ? QRect() : visualRect(m_model.index(row));
}

std::vector<CellOverlay> ImageBrowserView::overlaysOf(int item) const {
    if (!m_overlays || item < 0 || item >= m_model.itemCount())
        return {};
    return m_overlays(item, cellSize());
}

int ImageBrowserView::overlayAt(int item, const QPoint& point) const {
    const QRect cell = cellRect(item);
    if (!cell.contains(point))
        return -1;
    const QPoint inCell = point - cell.topLeft();
    // The last drawn lies on top.
    const std::vector<CellOverlay> overlays = overlaysOf(item);
    for (auto it = overlays.rbegin(); it != overlays.rend(); ++it)
        if (it->rect.contains(inCell))
            return it->id;
    return -1;
}

QSize ImageBrowserView::cellSize() const {
    const int side = imageBrowserCellSide(m_zoom);
    return {side + 2 * kCellPadding, side + 2 * kCellPadding + (m_titlesShown ? kTitleHeight : 0)};
}

void ImageBrowserView::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const int item = itemAt(point);
    if (item >= 0) {
        if (const int overlay = overlayAt(item, point); overlay >= 0 && event->button() == Qt::LeftButton) {
            emit overlayClicked(item, overlay);
            event->accept();
            return;
        }
        if (event->button() == Qt::RightButton) {
            emit cellWasRightClicked(item, event->globalPosition().toPoint());
            event->accept();
            return;
        }
    } else if (!m_allowsEmptySelection && !selectionModel()->selectedIndexes().isEmpty()) {
        // A click beside the cells keeps the selection.
        event->accept();
        return;
    }
    QListView::mousePressEvent(event);
}

void ImageBrowserView::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    const int item = itemAt(point);
    if (item >= 0 && event->button() == Qt::LeftButton && overlayAt(item, point) < 0) {
        emit cellWasDoubleClicked(item);
        event->accept();
        return;
    }
    event->accept();
}

void ImageBrowserView::paintEvent(QPaintEvent* event) {
    askForVisibleThumbnails();
    QListView::paintEvent(event);
}

void ImageBrowserView::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    // Headers span the width: the layout follows it.
    scheduleDelayedItemsLayout();
}

void ImageBrowserView::askForVisibleThumbnails() {
    const QRect visible = viewport()->rect();
    // Cells run in rows: start at the first cell on screen and stop at the first below it.
    QModelIndex first = indexAt(visible.topLeft() + QPoint(spacing() + 1, spacing() + 1));
    int row = first.isValid() ? first.row() : 0;
    for (; row < m_model.rowCount(); ++row) {
        const QRect rect = visualRect(m_model.index(row));
        if (rect.top() > visible.bottom())
            break;
        if (rect.intersects(visible))
            if (const int item = m_model.itemForRow(row); item >= 0 && !m_model.hasThumbnail(item))
                m_model.requestThumbnail(item, true);
    }
}

ImageBrowserDelegate::ImageBrowserDelegate(ImageBrowserView* view) : QStyledItemDelegate(view), m_view(view) {}

QSize ImageBrowserDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
    if (index.data(ImageBrowserModel::IsHeaderRole).toBool()) {
        const int width = m_view->viewport()->width() - 2 * m_view->spacing() - 1;
        return {std::max(width, m_view->cellSize().width()), m_view->headerHeight()};
    }
    return m_view->cellSize();
}

void ImageBrowserDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect cell = option.rect;
    if (index.data(ImageBrowserModel::IsHeaderRole).toBool()) {
        painter->setPen(m_view->titleColor());
        QFont font = option.font;
        font.setPointSizeF(font.pointSizeF() + 1);
        painter->setFont(font);
        painter->drawText(cell.adjusted(10, 0, -10, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          painter->fontMetrics().elidedText(index.data().toString(), Qt::ElideRight,
                                                            cell.width() - 20));
        painter->restore();
        return;
    }

    const int side = imageBrowserCellSide(m_view->zoomValue());
    const QRect picture(cell.left() + (cell.width() - side) / 2, cell.top() + kCellPadding, side, side);
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) {
        painter->setPen(QPen(m_view->selectionColor(), 3));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(cell).adjusted(1.5, 1.5, -1.5, -1.5), 6, 6);
    }
    const QImage thumbnail = index.data(Qt::DecorationRole).value<QImage>();
    if (thumbnail.isNull() || thumbnail.width() <= 0 || thumbnail.height() <= 0) {
        // The placeholder: a quiet frame where the picture will be.
        painter->setPen(QPen(QColor(128, 128, 128, 110), 1, Qt::DashLine));
        painter->setBrush(QColor(128, 128, 128, 40));
        painter->drawRoundedRect(QRectF(picture).adjusted(side * 0.1, side * 0.1, -side * 0.1, -side * 0.1), 4, 4);
    } else {
        const QSize fitted = thumbnail.size().scaled(picture.size(), Qt::KeepAspectRatio);
        const QRect target(picture.left() + (picture.width() - fitted.width()) / 2,
                           picture.top() + (picture.height() - fitted.height()) / 2, fitted.width(),
                           fitted.height());
        painter->drawImage(target, thumbnail);
    }
    if (m_view->titlesShown()) {
        const QRect title(cell.left() + 2, picture.bottom() + 2, cell.width() - 4, kTitleHeight);
        painter->setPen(m_view->titleColor());
        painter->drawText(title, Qt::AlignHCenter | Qt::AlignVCenter,
                          painter->fontMetrics().elidedText(index.data().toString(), Qt::ElideRight, title.width()));
    }
    const int item = index.data(ImageBrowserModel::ItemIndexRole).toInt();
    for (const CellOverlay& overlay : m_view->overlaysOf(item))
        if (!overlay.image.isNull())
            painter->drawImage(overlay.rect.translated(cell.topLeft()), overlay.image);
    painter->restore();
}

}  // namespace kx
