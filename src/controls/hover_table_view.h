// The table of the content store's pack list. Its rows draw their own separators (see
// KXObjectTableRowView), so the table draws no grid; below the last row it continues the separators, one
// row height apart, down to the end of its area, so that an short list still looks ruled.
#pragma once

#include <QTableView>

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
    // The height of the table's area: its rows, or the visible area when that is taller.
    double boundsHeight() const;
};
