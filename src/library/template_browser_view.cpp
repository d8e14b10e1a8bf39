#include "library/template_browser_view.h"

#include "canvas/canvas_drop.h"
#include "library/resource_browser_item.h"
#include "library/template_browser_images.h"
#include "library/template_favorites.h"
#include "library/template_item.h"
#include "platform/foundation/notification_center.h"

#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

constexpr KXTemplateBrowserCell::Area kAreas[] = {KXTemplateBrowserCell::FavoriteStar,
                                                 KXTemplateBrowserCell::DeleteBadge,
                                                 KXTemplateBrowserCell::PreviousArrow,
                                                 KXTemplateBrowserCell::NextArrow};

// Thumbnails are kept by uid: one template may be listed twice (a favourite added twice), so the uid names
// the position as well as the file.
kx::ImageBrowserItem shownItem(int index, const KXTemplateItem& item) {
    kx::ImageBrowserItem shown = item.browserItem();
    shown.uid = QString::number(index) + u':' + shown.uid;
    return shown;
}

KXTemplateBrowserCell newCellForRepresentedItem(const KXTemplateItem& item) {
    return KXTemplateBrowserCell::forItem(item, kx::templates::isFavorite(item.templateFolder()));
}

}  // namespace

KXTemplateBrowserView::KXTemplateBrowserView(QWidget* parent) : kx::ImageBrowserView(parent) {
    // Templates are opened, not dragged out; no rubber band either.
    setDragEnabled(false);
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setAllowsEmptySelection(false);
    setOverlayProvider([this](int item, const QSize& size) { return overlaysFor(item, size); });
}

void KXTemplateBrowserView::reloadData(const std::vector<KXTemplateItem>& items,
                                       std::vector<kx::ImageBrowserGroup> groups) {
    const std::vector<int> selected = selectedItems();
    m_cells.clear();
    std::vector<kx::ImageBrowserItem> shown;
    shown.reserve(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        m_cells.push_back(newCellForRepresentedItem(items[i]));
        shown.push_back(shownItem(int(i), items[i]));
    }
    setItems(std::move(shown), std::move(groups));
    for (int item : selected)
        if (item < int(items.size())) {
            selectItem(item);
            break;
        }
}

void KXTemplateBrowserView::reloadItem(int index, const KXTemplateItem& item) {
    if (index < 0 || index >= int(m_cells.size()))
        return;
    m_cells[std::size_t(index)] = newCellForRepresentedItem(item);
    browserModel().setItem(index, shownItem(index, item));
    viewport()->update();
}

KXTemplateBrowserCell* KXTemplateBrowserView::cellAt(int index) {
    return index >= 0 && index < int(m_cells.size()) ? &m_cells[std::size_t(index)] : nullptr;
}

const KXTemplateBrowserCell* KXTemplateBrowserView::cellAt(int index) const {
    return index >= 0 && index < int(m_cells.size()) ? &m_cells[std::size_t(index)] : nullptr;
}

QString KXTemplateBrowserView::areaImageName(int index, KXTemplateBrowserCell::Area area) const {
    const KXTemplateBrowserCell* cell = cellAt(index);
    if (!cell)
        return {};
    const std::vector<int> selected = selectedItems();
    return cell->imageName(area, std::find(selected.begin(), selected.end(), index) != selected.end());
}

QRect KXTemplateBrowserView::areaRect(int index, KXTemplateBrowserCell::Area area) const {
    const QRect cell = cellRect(index);
    if (cell.isEmpty())
        return {};
    return KXTemplateBrowserCell::areaInCell(area, cell.size()).toRect().translated(cell.topLeft());
}

std::vector<kx::CellOverlay> KXTemplateBrowserView::overlaysFor(int item, const QSize& cellSize) const {
    std::vector<kx::CellOverlay> overlays;
    for (KXTemplateBrowserCell::Area area : kAreas) {
        const QString name = areaImageName(item, area);
        if (name.isEmpty())
            continue;
        const QRect rect = KXTemplateBrowserCell::areaInCell(area, cellSize).toRect();
        overlays.push_back({int(area), rect, kx::templates::cellOverlayImage(name, rect.width())});
    }
    return overlays;
}

void KXTemplateBrowserView::updateStateWithArrowIsCanForword(bool isFirstPage, bool isLastPage) {
    if (KXTemplateBrowserCell* cell = cellAt(m_downSelectIndex)) {
        cell->isCanForword = !isFirstPage;
        cell->isCanBack = !isLastPage;
    }
    viewport()->update();
}

void KXTemplateBrowserView::post(const QString& name) {
    kx::NotificationCenter::defaultCenter().post(name, this);
}

void KXTemplateBrowserView::pressArrow(int item, bool& pressedFlag, const QString& notification) {
    m_downSelectIndex = item;
    m_isDownArrow = true;
    pressedFlag = true;
    viewport()->update();
    post(notification);
}

void KXTemplateBrowserView::leftPress(const QPoint& point, int clickCount) {
    const int item = itemAt(point);
    if (item >= 0)
        selectItem(item);
    m_isOptionalArea = true;
    KXTemplateBrowserCell* cell = cellAt(item);
    if (!cell)
        return;
    const QRect frame = cellRect(item);
    const QPointF local = point - frame.topLeft();
    const QSizeF size = frame.size();
    if (cell->containsPoint(local, size) && cell->isCustom) {
        m_deleteIndex = item;
        m_isDelete = true;
        cell->isDown = true;
    } else if (cell->contaninsPointWithForward(local, size) && cell->isCanForword) {
        pressArrow(item, cell->isForwordDown, KXSwitchFrontImage);
    } else if (cell->contaninsPointWithBack(local, size) && cell->isCanBack) {
        pressArrow(item, cell->isBackDown, KXSwitchNextImage);
    }
    // The page switch may have made the cells again.
    cell = cellAt(item);
    if (cell && cell->contaninsPointWithFavorite(local, size)) {
        m_selectIndex = item;
        const bool was = cell->isFavorite;
        cell->isFavorite = !was;
        post(was ? KXCancelFavorite : KXAddFavorite);
    }
    cell = cellAt(item);
    if (cell && clickCount >= 2 &&
        (cell->contaninsPointWithForward(local, size) || cell->contaninsPointWithBack(local, size) ||
         cell->contaninsPointWithFavorite(local, size)))
        m_isOptionalArea = false;
    viewport()->update();
}

void KXTemplateBrowserView::mousePressEvent(QMouseEvent* event) {
    const QPoint point = event->position().toPoint();
    event->accept();
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::LeftButton) {
        leftPress(point, 1);
        return;
    }
    if (event->button() == Qt::RightButton) {
        const int item = itemAt(point);
        if (item < 0)
            return;
        m_selectIndex = item;
        m_deleteIndex = item;
        selectItem(item);
        emit cellWasRightClicked(item, event->globalPosition().toPoint());
    }
}

void KXTemplateBrowserView::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool deleting = m_isDelete;
    if (m_isDownArrow) {
        if (KXTemplateBrowserCell* cell = cellAt(m_downSelectIndex)) {
            cell->isForwordDown = false;
            cell->isBackDown = false;
        }
        viewport()->update();
    }
    m_isDelete = false;
    m_isDownArrow = false;
    if (deleting) {
        // Wherever the button comes up: the press on the badge asked for it.
        if (KXTemplateBrowserCell* cell = cellAt(m_deleteIndex))
            cell->isDown = false;
        viewport()->update();
        post(KXDeleteTemplate);
    }
}

void KXTemplateBrowserView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

void KXTemplateBrowserView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    leftPress(point, 2);
    if (const int item = itemAt(point); item >= 0 && m_isOptionalArea)
        emit cellWasDoubleClicked(item);
}

KXHorizonImageBrowserView::KXHorizonImageBrowserView(QWidget* parent) : kx::ImageBrowserView(parent) {
    setFlow(QListView::LeftToRight);
    setWrapping(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void KXHorizonImageBrowserView::startDrag(Qt::DropActions) {
    const std::vector<int> items = selectedItems();
    QModelIndexList indexes;
    for (int item : items)
        indexes.append(browserModel().index(browserModel().rowForItem(item)));
    QMimeData* data = browserModel().mimeData(indexes);
    if (data)
        addDragSourceFacts(*data, QStringLiteral("KXHorizonImageBrowserView"), QString());
    startBrowserDrag(*this, data, items);
}

void KXHorizonImageBrowserView::scrollHorizontal(int verticalDelta) {
    const int step = cellSize().width() + spacing();
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(bar->value() + (verticalDelta < 0 ? step : -step));
}

void KXHorizonImageBrowserView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta != 0 && horizontalScrollBar()->maximum() > 0) {
        scrollHorizontal(delta);
        event->accept();
        return;
    }
    kx::ImageBrowserView::wheelEvent(event);
}
