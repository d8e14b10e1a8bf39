// A segmented control drawn from images ("SeqLeft", "SeqCenter", "SeqRight", their "_down" forms for
// selected segments, and "SegmentDivider"), with white labels.
//
// Selection modes: one segment at a time (clicking a segment selects it alone), any number (a click
// switches one segment), or momentary (a click selects nothing and only reports the segment).
// selectionChanged() tells every change of the selected set, whoever made it; activated(index) tells a
// click of the user on an enabled segment, the moment the control's action is sent.
//
// From the keyboard, Left and Right move to the previous or next enabled segment (selecting it at once in
// one-at-a-time mode) and Space clicks the segment moved to.
#pragma once

#include "controls/control_geometry.h"

#include <QPixmap>
#include <QString>
#include <QWidget>

#include <vector>

namespace kx::controls {

class KXSegmentedControl : public QWidget {
    Q_OBJECT
public:
    enum class SelectionMode { SelectOne, SelectAny, Momentary };

    explicit KXSegmentedControl(QWidget* parent = nullptr);

    void setSegmentCount(int count);
    int segmentCount() const { return int(m_segments.size()); }

    void setSelectionMode(SelectionMode mode);
    SelectionMode selectionMode() const { return m_mode; }

    void setLabel(int segment, const QString& label);
    QString label(int segment) const;
    void setImage(int segment, const QPixmap& image);
    QPixmap image(int segment) const;
    // A set width of 0 (the default) shares the control's width equally.
    void setWidth(int segment, double width);
    double width(int segment) const;
    void setTag(int segment, int tag);
    int tag(int segment) const;
    void setSegmentEnabled(int segment, bool enabled);
    bool isSegmentEnabled(int segment) const;

    void setSelected(int segment, bool selected);
    bool isSelected(int segment) const;
    // The first selected segment, or -1. Setting -1 clears the selection; in one-at-a-time mode selecting
    // a segment clears the others.
    int selectedSegment() const;
    void setSelectedSegment(int segment);
    // Selects the segment whose tag is `tag` (alone); with no such segment the selection is cleared and the
    // answer is false.
    bool selectSegmentWithTag(int tag);
    int selectedTag() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void selectionChanged();
    void activated(int segment);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Segment {
        QString label;
        QPixmap image;
        double width = 0;
        int tag = 0;
        bool enabled = true;
        bool selected = false;
    };

    bool validSegment(int segment) const { return segment >= 0 && segment < segmentCount(); }
    // Applies a new selected set; tells selectionChanged only when it differs.
    void applySelection(const std::vector<bool>& selected);
    std::vector<bool> selection() const;
    void clicked(int segment);
    void drawSegment(class QPainter& painter, int index, const QRectF& frame) const;
    void drawInterior(QPainter& painter, const Segment& segment, const QRectF& frame) const;
    QFont labelFont() const;
    SegmentLayout segmentLayout() const;

    std::vector<Segment> m_segments;
    SelectionMode m_mode = SelectionMode::SelectOne;
    int m_pressedSegment = -1;
    // The segment the keyboard is on.
    int m_keySegment = 0;
};

// Draws `image` over `target`, stretching its middle column sideways and keeping its left and right caps
// (the columns either side of the middle) at their own width, so rounded ends stay round at any width.
void drawStretchedImage(QPainter& painter, const QRectF& target, const QPixmap& image);

}  // namespace kx::controls
