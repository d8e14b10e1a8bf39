// A table that reports the pointer instead of selecting: moves over it, presses, releases and the pointer
// leaving it are posted as notifications (sender: the table), and presses and releases go no further, so
// the table itself neither selects nor tracks clicks. Popovers use them to highlight and pick entries.
#pragma once

#include <QString>
#include <QTableView>

// User info "pointX", "pointY": the pointer in the table's coordinates, each truncated to an integer.
inline const QString KXTableViewMouseMove = QStringLiteral("KXTableViewMouseMove");
inline const QString KXTableViewMouseDown = QStringLiteral("KXTableViewMouseDown");
inline const QString KXTableViewMouseUp = QStringLiteral("KXTableViewMouseUp");
inline const QString KXTableViewMouseExit = QStringLiteral("KXTableViewMouseExit");

class KXTableView : public QTableView {
    Q_OBJECT
public:
    explicit KXTableView(QWidget* parent = nullptr);

protected:
    // The pointer is followed over the whole table, pressed or not.
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
};
