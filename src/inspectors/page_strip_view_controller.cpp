#include "inspectors/page_strip_view_controller.h"

#include "canvas/canvas_layer.h"
#include "controls/image_browser_view.h"
#include "controls/popup_view.h"
#include "controls/popup_window.h"
#include "document/project.h"
#include "inspectors/inspector_support.h"
#include "model/canvas.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using kx::inspectors::localized;

namespace {

constexpr int kStripWidth = 520;
constexpr int kStripHeight = 170;

}  // namespace

KXMultiPageViewController::KXMultiPageViewController(KXProject* project) {
    setProject(project);
}

KXMultiPageViewController::~KXMultiPageViewController() {
    m_delegate = nullptr;
    if (m_imageBrowser)
        m_imageBrowser->viewport()->removeEventFilter(this);
    // The popover owns the strip's view: it goes first, with the view.
    m_popupWindow.reset();
}

QWidget* KXMultiPageViewController::loadView() {
    // The popover's balloon, with its arrow pointing at the Pages button.
    auto* view = new kx::controls::KXPopupView;
    view->setObjectName(QStringLiteral("MultiPageView"));
    view->setMinimumSize(kStripWidth, kStripHeight);
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(8, 8, 8, 8);
    m_imageBrowser = new kx::ImageBrowserView(view);
    m_imageBrowser->setObjectName(QStringLiteral("imageBrowser"));
    m_imageBrowser->setWrapping(false);
    m_imageBrowser->setFlow(QListView::LeftToRight);
    m_imageBrowser->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_imageBrowser->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Pages are reordered inside the strip; nothing is dragged out of it.
    m_imageBrowser->setDragEnabled(false);
    m_imageBrowser->setAllowsEmptySelection(false);
    m_imageBrowser->setZoomValue(0.25);
    column->addWidget(m_imageBrowser, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    m_btRemovePage = new QPushButton(localized("RemovePage"), view);
    m_btRemovePage->setObjectName(QStringLiteral("btRemovePage"));
    row->addWidget(m_btRemovePage);
    column->addLayout(row);
    m_editMenu = new QMenu(view);
    m_editMenu->setObjectName(QStringLiteral("editMenu"));
    return view;
}

void KXMultiPageViewController::viewDidLoad() {
    updateRemoveButton();
    QObject::connect(m_imageBrowser, &kx::ImageBrowserView::selectionDidChange, this,
                     [this] { imageBrowserSelectionDidChange(); });
    QObject::connect(m_imageBrowser, &kx::ImageBrowserView::cellWasRightClicked, this,
                     [this](int, const QPoint& global) {
                         if (m_editMenu && !m_editMenu->isEmpty())
                             m_editMenu->popup(global);
                     });
    m_imageBrowser->viewport()->installEventFilter(this);
    reloadData();
    if (m_project)
        selectItemAtIndex(m_project->currentIndex());
}

kx::ImageBrowserView* KXMultiPageViewController::imageBrowser() {
    view();
    return m_imageBrowser;
}

QPushButton* KXMultiPageViewController::btRemovePage() {
    view();
    return m_btRemovePage;
}

QMenu* KXMultiPageViewController::editMenu() {
    view();
    return m_editMenu;
}

void KXMultiPageViewController::updateRemoveButton() {
    if (m_btRemovePage)
        m_btRemovePage->setEnabled(m_project && m_project->canvasCount() > 1);
}

void KXMultiPageViewController::setProject(KXProject* project) {
    m_project = project;
    m_pageItems.clear();
    const std::int64_t count = project ? project->canvasCount() : 0;
    for (std::int64_t i = 0; i < count; ++i) {
        KXPageItem item;
        item.name = std::int32_t(i + 1);
        insertItem(item, i);
    }
    reloadData();
}

void KXMultiPageViewController::insertItem(const KXPageItem& item, std::int64_t index) {
    index = std::clamp<std::int64_t>(index, 0, std::int64_t(m_pageItems.size()));
    m_pageItems.insert(m_pageItems.begin() + index, item);
    updateItemFromIndex(index + 1);
    reloadData();
    updateRemoveButton();
}

void KXMultiPageViewController::updateItemFromIndex(std::int64_t index) {
    for (std::size_t i = std::size_t(std::max<std::int64_t>(index, 0)); i < m_pageItems.size(); ++i) {
        m_pageItems[i].name = std::int32_t(i + 1);
        m_pageItems[i].version = std::uint64_t(m_versionIdx);
    }
}

void KXMultiPageViewController::removeSelectedItem() {
    const std::int64_t i = indexOfSelected();
    if (i < 0 || i >= std::int64_t(m_pageItems.size()))
        return;
    const bool wasLast = i == std::int64_t(m_pageItems.size()) - 1;
    m_pageItems.erase(m_pageItems.begin() + i);
    for (std::size_t k = std::size_t(i); k < m_pageItems.size(); ++k)
        m_pageItems[k].name -= 1;
    for (KXPageItem& item : m_pageItems)
        item.version += 1;
    reloadData();
    if (!m_pageItems.empty())
        selectItemAtIndex(wasLast ? i - 1 : i);
    updateRemoveButton();
}

void KXMultiPageViewController::updateSelectedItem() {
    const std::int64_t i = indexOfSelected();
    if (i < 0 || i >= std::int64_t(m_pageItems.size()) || isWindowVisible())
        return;
    m_pageItems[std::size_t(i)].image = kx::Image();
}

void KXMultiPageViewController::updateAllItems() {
    for (KXPageItem& item : m_pageItems)
        item.image = kx::Image();
}

void KXMultiPageViewController::selectItemAtIndex(std::int64_t index) {
    if (!m_imageBrowser || index < 0 || index >= std::int64_t(m_pageItems.size()))
        return;
    m_selecting = true;
    m_imageBrowser->selectItem(int(index));
    m_imageBrowser->scrollToItem(int(index));
    m_selecting = false;
}

std::int64_t KXMultiPageViewController::indexOfSelected() const {
    if (!m_imageBrowser)
        return -1;
    const std::vector<int> selected = m_imageBrowser->selectedItems();
    return selected.empty() ? -1 : selected.front();
}

const KXPageItem* KXMultiPageViewController::imageBrowserItemAtIndex(std::int64_t index) {
    if (index < 0 || index >= std::int64_t(m_pageItems.size()))
        return nullptr;
    KXPageItem& item = m_pageItems[std::size_t(index)];
    if (!item.image.isNull())
        return &item;
    m_versionIdx += 1;
    KXCanvas* page = m_project ? m_project->canvasAtIndex(index) : nullptr;
    if (page)
        item.image = page->outputImageWithSize({kThumbnailSide, kThumbnailSide});
    item.version = std::uint64_t(m_versionIdx);
    return &item;
}

void KXMultiPageViewController::reloadData() {
    if (!m_imageBrowser)
        return;
    // Thumbnails are rendered only for a strip on screen; a hidden one renders them when it is shown.
    const bool render = isWindowVisible();
    std::vector<kx::ImageBrowserItem> items;
    items.reserve(m_pageItems.size());
    for (std::size_t i = 0; i < m_pageItems.size(); ++i) {
        const KXPageItem& item = render ? *imageBrowserItemAtIndex(std::int64_t(i)) : m_pageItems[i];
        kx::ImageBrowserItem cell;
        cell.uid = QStringLiteral("page %1 v%2").arg(item.name).arg(item.version);
        cell.version = item.version;
        cell.title = item.imageTitle();
        cell.subtitle = item.imageTitle();
        cell.image = item.image;
        items.push_back(std::move(cell));
    }
    const std::int64_t selected = indexOfSelected();
    m_selecting = true;
    m_imageBrowser->setItems(std::move(items));
    m_selecting = false;
    if (selected >= 0)
        selectItemAtIndex(std::min<std::int64_t>(selected, std::int64_t(m_pageItems.size()) - 1));
}

void KXMultiPageViewController::imageBrowserSelectionDidChange() {
    if (m_selecting || !m_delegate)
        return;
    const std::int64_t index = indexOfSelected();
    if (index >= 0 && index < std::int64_t(m_pageItems.size()))
        m_delegate->multiPageViewControllerSelectPageAtIndex(index);
}

bool KXMultiPageViewController::moveItemsAtIndexes(const std::vector<std::int64_t>& indexes, std::int64_t dropIndex) {
    if (indexes.empty())
        return false;
    const std::int64_t count = std::int64_t(m_pageItems.size());
    const std::int64_t s = indexes.back();
    if (s < 0 || s >= count)
        return false;
    std::int64_t d = std::clamp<std::int64_t>(dropIndex, 0, count);
    if (d == s)
        return true;
    const KXPageItem moved = m_pageItems[std::size_t(s)];
    m_pageItems.erase(m_pageItems.begin() + s);
    if (s < d)
        d -= 1;
    m_pageItems.insert(m_pageItems.begin() + d, moved);
    // Dropped right behind itself: nothing moved, and the project is left alone.
    if (d == s) {
        reloadData();
        return true;
    }
    m_versionIdx += 1;
    updateItemFromIndex(0);
    reloadData();
    selectItemAtIndex(d);
    if (m_delegate)
        m_delegate->adjustCanvasAtIndex(s, d);
    return true;
}

std::int64_t KXMultiPageViewController::dropIndexAt(const QPoint& point) const {
    const int count = int(m_pageItems.size());
    for (int i = 0; i < count; ++i) {
        const QRect cell = m_imageBrowser->cellRect(i);
        if (point.x() < cell.center().x())
            return i;
    }
    return count;
}

bool KXMultiPageViewController::eventFilter(QObject* watched, QEvent* event) {
    if (!m_imageBrowser || watched != m_imageBrowser->viewport())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            m_dragFrom = m_imageBrowser->itemAt(mouse->position().toPoint());
            m_pressPoint = mouse->position().toPoint();
        }
        break;
    }
    case QEvent::MouseMove:
        // While a thumbnail is dragged the selection stays on it: the pages passed over are not chosen.
        if (m_dragFrom >= 0 && (static_cast<QMouseEvent*>(event)->buttons() & Qt::LeftButton))
            return true;
        break;
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const int from = std::exchange(m_dragFrom, -1);
        const QPoint at = mouse->position().toPoint();
        if (mouse->button() == Qt::LeftButton && from >= 0 &&
            (at - m_pressPoint).manhattanLength() >= QApplication::startDragDistance()) {
            moveItemsAtIndexes({from}, dropIndexAt(at));
            return true;
        }
        break;
    }
    default: break;
    }
    return false;
}

bool KXMultiPageViewController::isWindowVisible() const {
    return m_popupWindow && m_popupWindow->isVisible();
}

void KXMultiPageViewController::popupAtPosition(const QPoint& point) {
    if (!m_popupWindow) {
        m_popupWindow = std::make_unique<kx::controls::KXPopupWindow>();
        m_popupWindow->setObjectName(QStringLiteral("pageStripWindow"));
        m_popupWindow->setMovableByBackground(false);
        m_popupWindow->setContentView(view());
    }
    // The strip sits above the point, with the point under the middle of its lower edge.
    const bool shown = m_popupWindow->toggleAt(QRect(point, QSize(0, 0)), kx::controls::PopoverEdge::Above);
    if (shown) {
        reloadData();
        if (m_project)
            selectItemAtIndex(m_project->currentIndex());
    }
}

void KXMultiPageViewController::hideWindow() {
    if (isWindowVisible())
        m_popupWindow->hide();
}
