// One row of the content store's pack list: a light grey row with an embossed separator (a grey line along
// its bottom edge, a white one along its top edge), a blue gradient when selected, and a flag that follows
// the pointer entering and leaving it. The row's painting steps are shared with the hover table, which
// continues the separators below its last row.
#pragma once

#include <QPointer>
#include <QVariant>
#include <QWidget>

class QPainter;

class KXObjectTableRowView : public QWidget {
    Q_OBJECT
public:
    explicit KXObjectTableRowView(QWidget* parent = nullptr);

    // The object the row shows (the store's catalogue entry).
    QVariant objectValue() const { return m_objectValue; }
    void setObjectValue(const QVariant& value) { m_objectValue = value; }

    bool mouseInside() const { return m_mouseInside; }
    // Redraws the row at once when the flag changes.
    void setMouseInside(bool inside);

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    // Off when the table's selection is not highlighted: a selected row then draws no gradient.
    bool selectionHighlighted() const { return m_selectionHighlighted; }
    void setSelectionHighlighted(bool highlighted);
    // Set by the table while the user resizes its window: the row then redraws only its separator unless
    // it is selected or under the pointer.
    void setInLiveResize(bool live) { m_inLiveResize = live; }

    // The painting steps, in the row's coordinates.
    static void drawBackground(QPainter& painter, const QRectF& row);
    static void drawSeparator(QPainter& painter, const QRectF& row);
    static void drawSelection(QPainter& painter, const QRectF& row);
    // A separator where two rows would meet: the grey bottom line of the one above, then the white top
    // line of the one below.
    static void drawSeparatorBand(QPainter& painter, const QRectF& band);

    // The part of the row a resize redraws: the whole row while selected or under the pointer during a live
    // resize, else only its separator (outside a live resize, the whole row).
    QRect resizeRedrawRect() const;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QVariant m_objectValue;
    bool m_mouseInside = false;
    bool m_selected = false;
    bool m_selectionHighlighted = true;
    bool m_inLiveResize = false;
};
