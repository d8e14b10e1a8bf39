#include "controls/hover_table_view.h"

#include "controls/object_table_row_view.h"
#include "controls/table_geometry.h"

#include <QHeaderView>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>

KXHoverTableView::KXHoverTableView(QWidget* parent) : QTableView(parent) {
    setShowGrid(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // The rows draw the selection themselves; the cells keep their normal colours on it.
    QPalette colours = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        colours.setColor(group, QPalette::Highlight, Qt::transparent);
        colours.setColor(group, QPalette::HighlightedText, colours.color(group, QPalette::Text));
    }
    setPalette(colours);
}

double KXHoverTableView::yPositionPastLastRow() const {
    const int rows = model() ? model()->rowCount(rootIndex()) : 0;
    if (rows <= 0)
        return 0;
    const int last = rows - 1;
    return rowViewportPosition(last) + verticalOffset() + QTableView::rowHeight(last);
}

double KXHoverTableView::rowHeight() const {
    return verticalHeader()->defaultSectionSize();
}

double KXHoverTableView::boundsHeight() const {
    return std::max(yPositionPastLastRow(), double(viewport()->height() + verticalOffset()));
}

std::vector<double> KXHoverTableView::continuedSeparatorBandTops() const {
    return continuedSeparatorBands(yPositionPastLastRow(), rowHeight(), boundsHeight());
}

void KXHoverTableView::drawRowLooks(QPainter& painter, const QRect& area) const {
    const int rows = model() ? model()->rowCount(rootIndex()) : 0;
    if (rows <= 0)
        return;
    int first = rowAt(area.top());
    int last = rowAt(area.bottom());
    if (first < 0)
        first = 0;
    if (last < 0)
        last = rows - 1;
    const bool highlighted = selectionMode() != QAbstractItemView::NoSelection;
    for (int r = first; r <= last; ++r) {
        if (isRowHidden(r))
            continue;
        const QRectF row(0, rowViewportPosition(r), viewport()->width(), QTableView::rowHeight(r));
        KXObjectTableRowView::drawBackground(painter, row);
        if (highlighted && selectionModel() && selectionModel()->isRowSelected(r, rootIndex()))
            KXObjectTableRowView::drawSelection(painter, row);
        KXObjectTableRowView::drawSeparator(painter, row);
    }
}

void KXHoverTableView::paintEvent(QPaintEvent* event) {
    {
        QPainter rowsPainter(viewport());
        drawRowLooks(rowsPainter, event->rect());
    }
    QTableView::paintEvent(event);
    QPainter painter(viewport());
    const double width = viewport()->width();
    for (double top : continuedSeparatorBandTops()) {
        const QRectF band(0, top - verticalOffset(), width, KXTableSeparatorBandHeight);
        KXObjectTableRowView::drawSeparatorBand(painter, band);
    }
}

void KXHoverTableView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    // A table growing below its last row redraws the area where the continued separators go.
    const double last = yPositionPastLastRow() - verticalOffset();
    if (last < viewport()->height())
        viewport()->update(QRect(0, int(last), viewport()->width(), viewport()->height() - int(last)));
}
