// The template chooser's thumbnail browser. Each cell carries a favourite star, a delete badge (the user's own
// templates) and page arrows (templates of several pages). A press on one of them changes only how the cell
// looks and announces the click on the default notification centre (object = the view, no user info); the
// chooser changes the favourites, the pages and the files.
#pragma once

#include "controls/image_browser_view.h"
#include "library/template_browser_cell.h"

#include <vector>

class KXTemplateItem;

inline const QString KXSwitchFrontImage = QStringLiteral("KXSwitchFrontImage");
inline const QString KXSwitchNextImage = QStringLiteral("KXSwitchNextImage");
inline const QString KXAddFavorite = QStringLiteral("KXAddFavorite");
inline const QString KXCancelFavorite = QStringLiteral("KXCancelFavorite");
inline const QString KXDeleteTemplate = QStringLiteral("KXDeleteTemplate");

class KXTemplateBrowserView : public kx::ImageBrowserView {
    Q_OBJECT
public:
    explicit KXTemplateBrowserView(QWidget* parent = nullptr);

    // Shows the items under the groups, with new cells made from the items and the favourites. The selection
    // stays on the same item indexes where they still exist.
    void reloadData(const std::vector<KXTemplateItem>& items, std::vector<kx::ImageBrowserGroup> groups = {});
    // Shows a changed item again (a new page, a new name) with a new cell.
    void reloadItem(int index, const KXTemplateItem& item);

    KXTemplateBrowserCell* cellAt(int index);
    const KXTemplateBrowserCell* cellAt(int index) const;
    // The picture a cell shows in one of its areas; empty where nothing is drawn.
    QString areaImageName(int index, KXTemplateBrowserCell::Area area) const;
    // The area of a cell in the viewport.
    QRect areaRect(int index, KXTemplateBrowserCell::Area area) const;

    // The arrows of the cell at downSelectIndex after its page changed.
    void updateStateWithArrowIsCanForword(bool isFirstPage, bool isLastPage);
    // Whether the last double click may open its item (it did not land on an arrow or the star).
    bool rightMouseDoubleClicked() const { return m_isOptionalArea; }

    int selectIndex() const { return m_selectIndex; }
    void setSelectIndex(int index) { m_selectIndex = index; }
    int deleteIndex() const { return m_deleteIndex; }
    void setDeleteIndex(int index) { m_deleteIndex = index; }
    int downSelectIndex() const { return m_downSelectIndex; }
    void setDownSelectIndex(int index) { m_downSelectIndex = index; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void leftPress(const QPoint& point, int clickCount);
    // Presses a page arrow of the item; the notification may make the cells again, so the flag is set first.
    void pressArrow(int item, bool& pressedFlag, const QString& notification);
    void post(const QString& name);
    std::vector<kx::CellOverlay> overlaysFor(int item, const QSize& cellSize) const;

    std::vector<KXTemplateBrowserCell> m_cells;
    bool m_isOptionalArea = true;
    bool m_isDelete = false;
    bool m_isDownArrow = false;
    int m_selectIndex = -1;
    int m_deleteIndex = 0;
    int m_downSelectIndex = 0;
};

// A browser in one row that scrolls sideways, one cell per turn of the mouse wheel.
class KXHorizonImageBrowserView : public kx::ImageBrowserView {
    Q_OBJECT
public:
    explicit KXHorizonImageBrowserView(QWidget* parent = nullptr);
    // Moves the visible area one cell (plus spacing) right for a negative wheel turn, left for a positive one.
    void scrollHorizontal(int verticalDelta);

protected:
    void wheelEvent(QWheelEvent* event) override;
    // Drags carry this browser's class, which the page refuses.
    void startDrag(Qt::DropActions supportedActions) override;
};
