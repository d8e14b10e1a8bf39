// The page strip ("MultiPageView"): a popover with one thumbnail per page of the open project in a row
// that scrolls sideways. Clicking a thumbnail switches the window to that page, dragging one to another
// place reorders the pages, and a remove button and a context menu give the page commands (the window
// wires them). The window keeps the items in step when it adds, duplicates or removes pages.
//
// Thumbnails are rendered from the pages on the main thread when the shown strip needs them, and carry a
// version so that a changed page gets a new picture: the strip's version counter grows by one for each
// thumbnail rendered and for each reorder.
#pragma once

#include "inspectors/view_controller.h"
#include "platform/gfx/image.h"

#include <QPointer>
#include <QMenu>
#include <QPushButton>
#include "controls/image_browser_view.h"
#include <QRect>

#include <cstdint>
#include <memory>
#include <vector>

class KXProject;

namespace kx {
class ImageBrowserView;
}
namespace kx::controls {
class KXPopupWindow;
}

// The browser item of one page.
struct KXPageItem {
    // The thumbnail; none until rendered or after it is dropped.
    kx::Image image;
    // The page number shown, counting from 1.
    std::int32_t name = 0;
    std::uint64_t version = 100;
    // The title and subtitle the browser shows.
    QString imageTitle() const { return QString::number(name); }
};

class KXMultiPageViewControllerDelegate {
public:
    virtual ~KXMultiPageViewControllerDelegate() = default;
    // The person chose the page at the index (always a valid index).
    virtual void multiPageViewControllerSelectPageAtIndex(std::int64_t index) = 0;
    // A thumbnail was dropped at a new place: the project moves the page.
    virtual void adjustCanvasAtIndex(std::int64_t from, std::int64_t to) = 0;
};

class KXMultiPageViewController : public KXViewController {
    Q_OBJECT
public:
    // The side of the rendered thumbnails, in pixels.
    static constexpr double kThumbnailSide = 100;

    // Shows the pages of the project (not owned; null: none).
    explicit KXMultiPageViewController(KXProject* project);
    ~KXMultiPageViewController() override;

    // Keeps the project and makes one item per page, named by its number.
    void setProject(KXProject* project);
    KXProject* project() const { return m_project; }

    // Inserts an item (clamped to the list); the items after it are renamed and take the current version.
    void insertItem(const KXPageItem& item, std::int64_t index);
    // Removes the selected item after its page has left the project; the one at its place (or the new last)
    // becomes selected.
    void removeSelectedItem();
    // Drops the selected item's thumbnail so that it is rendered again, unless none is selected or the
    // strip is on screen.
    void updateSelectedItem();
    // Drops every thumbnail.
    void updateAllItems();
    void selectItemAtIndex(std::int64_t index);
    // The selected index, or -1.
    std::int64_t indexOfSelected() const;
    // Gives the browser the items, rendering the missing thumbnails when the strip is on screen.
    void reloadData();
    // The item at the index with its thumbnail, rendered now when it has none; null out of range.
    const KXPageItem* imageBrowserItemAtIndex(std::int64_t index);
    // Moves the last of the dragged items to the drop place (counted before the move); false when there
    // is nothing to move.
    bool moveItemsAtIndexes(const std::vector<std::int64_t>& indexes, std::int64_t dropIndex);

    // Shows the strip with its bottom edge centred on the point (screen coordinates), or hides it when it
    // is shown.
    void popupAtPosition(const QPoint& point);
    void hideWindow();
    bool isWindowVisible() const;

    const std::vector<KXPageItem>& pageItems() const { return m_pageItems; }
    std::int64_t versionIdx() const { return m_versionIdx; }
    void setVersionIdx(std::int64_t version) { m_versionIdx = version; }
    KXMultiPageViewControllerDelegate* delegate() const { return m_delegate; }
    void setDelegate(KXMultiPageViewControllerDelegate* delegate) { m_delegate = delegate; }

    kx::ImageBrowserView* imageBrowser();
    QPushButton* btRemovePage();
    QMenu* editMenu();
    kx::controls::KXPopupWindow* popupWindow() const { return m_popupWindow.get(); }

protected:
    QWidget* loadView() override;
    void viewDidLoad() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void imageBrowserSelectionDidChange();
    void updateItemFromIndex(std::int64_t index);
    void updateRemoveButton();
    // The place between cells nearest to a point of the browser's viewport.
    std::int64_t dropIndexAt(const QPoint& point) const;

    KXProject* m_project = nullptr;
    std::vector<KXPageItem> m_pageItems;
    std::int64_t m_versionIdx = 100;
    KXMultiPageViewControllerDelegate* m_delegate = nullptr;
    std::unique_ptr<kx::controls::KXPopupWindow> m_popupWindow;
    QPointer<kx::ImageBrowserView> m_imageBrowser;
    QPointer<QPushButton> m_btRemovePage;
    QPointer<QMenu> m_editMenu;
    // The browser's selection is being set by the strip itself.
    bool m_selecting = false;
    // The cell a drag started on, -1 when none.
    int m_dragFrom = -1;
    QPoint m_pressPoint;
};
