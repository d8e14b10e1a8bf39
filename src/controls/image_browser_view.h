// A scrolling grid of thumbnails with titles, in groups under headers: the one browser every thumbnail list of
// the application is built on. Cells show a placeholder until their thumbnail arrives from a worker thread,
// so that the first screen appears at once however many and however large the files are. Items with files
// drag out as file URLs; double and right clicks and clicks on a cell's overlays (badges, arrows) are
// announced instead of selecting.
#pragma once

#include "controls/image_browser_model.h"

#include <QListView>
#include <QStyledItemDelegate>

#include <functional>
#include <vector>

namespace kx {

// A small picture drawn over a cell that reacts to clicks of its own, placed in cell coordinates.
struct CellOverlay {
    int id = 0;
    QRect rect;
    QImage image;
};
using CellOverlayProvider = std::function<std::vector<CellOverlay>(int item, const QSize& cellSize)>;

// The side of a cell's picture area at a zoom value between 0 (smallest) and 1 (largest).
int imageBrowserCellSide(double zoom);

class ImageBrowserView : public QListView {
    Q_OBJECT
public:
    explicit ImageBrowserView(QWidget* parent = nullptr);

    ImageBrowserModel& browserModel() { return m_model; }
    void setItems(std::vector<ImageBrowserItem> items, std::vector<ImageBrowserGroup> groups = {});

    void setZoomValue(double zoom);
    double zoomValue() const { return m_zoom; }
    void setAllowsMultipleSelection(bool allows);
    void setAllowsEmptySelection(bool allows) { m_allowsEmptySelection = allows; }
    bool allowsEmptySelection() const { return m_allowsEmptySelection; }
    void setTitlesShown(bool shown);
    bool titlesShown() const { return m_titlesShown; }
    void setCellColors(const QColor& background, const QColor& title, const QColor& selection);

    // Item indexes (not rows) of the selection, in order.
    std::vector<int> selectedItems() const;
    void selectItem(int item);
    void scrollToItem(int item);
    // The item under a point of the viewport, -1 for none (or a header).
    int itemAt(const QPoint& point) const;
    // The rectangle of an item's cell in the viewport.
    QRect cellRect(int item) const;

    void setOverlayProvider(CellOverlayProvider provider) { m_overlays = std::move(provider); }
    std::vector<CellOverlay> overlaysOf(int item) const;
    // The overlay of `item` under a point of the viewport, or -1.
    int overlayAt(int item, const QPoint& point) const;

    QSize cellSize() const;
    int headerHeight() const { return 30; }
    const QColor& backgroundColor() const { return m_background; }
    const QColor& titleColor() const { return m_title; }
    const QColor& selectionColor() const { return m_selection; }

signals:
    void selectionDidChange();
    void cellWasDoubleClicked(int item);
    void cellWasRightClicked(int item, const QPoint& globalPosition);
    void overlayClicked(int item, int overlay);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void askForVisibleThumbnails();

    ImageBrowserModel m_model;
    double m_zoom = 0.5;
    bool m_allowsEmptySelection = true;
    bool m_titlesShown = true;
    QColor m_background;
    QColor m_title;
    QColor m_selection;
    CellOverlayProvider m_overlays;
};

// Draws cells (placeholder or thumbnail fitted into the picture area, title under it, selection frame and
// overlays) and group headers, sized from the view's zoom.
class ImageBrowserDelegate : public QStyledItemDelegate {
public:
    explicit ImageBrowserDelegate(ImageBrowserView* view);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    ImageBrowserView* m_view;
};

}  // namespace kx
