// The table of the content store's pack list. Each row is drawn with the row look of KXObjectTableRowView
// (grey background, embossed separator, blue gradient when selected; cells keep their normal text colours
// on it), so the table draws no grid; below the last row it continues the separators, one row height apart,
// down to the end of its area, so that a short list still looks ruled. Rows are selected whole.
#pragma once

#include <QTableView>

#include <vector>

class QPainter;

class KXHoverTableView : public QTableView {
    Q_OBJECT
public:
    explicit KXHoverTableView(QWidget* parent = nullptr);

    // The bottom edge of the last row in the table's coordinates; 0 without rows.
    double yPositionPastLastRow() const;
    // The row height the continued separators are spaced by.
    double rowHeight() const;
    // The tops of the separator bands drawn below the last row, in the table's coordinates.
    std::vector<double> continuedSeparatorBandTops() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The look of every row that meets the area, in viewport coordinates.
    void drawRowLooks(QPainter& painter, const QRect& area) const;
    // The height of the table's area: its rows, or the visible area when that is taller.
    double boundsHeight() const;
};
