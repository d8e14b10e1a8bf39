// The list of a popover of the document window (the export kinds, the share kinds): one column of rows in a
// KXTableView inside a KXPopupWindow. The row under the pointer is selected as it moves, leaving the list
// clears it, and a release closes the popover and reports the row released on (-1 outside every row).
#pragma once

#include "platform/foundation/notification_center.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class KXTableView;
class QPoint;
class QStandardItemModel;

namespace kx::controls {
class KXPopupWindow;
}

class KXPopoverList : public QObject {
    Q_OBJECT
public:
    // `name` names the content view, `tableName` the table and `windowName` the popover window; the table is
    // as tall as its rows. `chosen` gets the released row.
    KXPopoverList(const QString& name, const QString& tableName, const QString& windowName,
                  std::function<void(int row)> chosen);
    ~KXPopoverList() override;

    // The popover closes when this window hides or closes (a popover left open would outlive its window on
    // the screen and keep the application running).
    void followWindow(QWidget* window);

    // A row with a localised title and the bundle image of that name (none when missing).
    void addRow(const QString& title, const QString& imageName = {}, bool enabled = true);

    QWidget* popupView();
    KXTableView* tableView();
    QStandardItemModel* model();
    kx::controls::KXPopupWindow* popupWindow();
    // Shows the popover with the middle of its top edge at the screen point, or hides it when shown.
    void popupAtPosition(const QPoint& screenPoint);
    void hideWindow();
    int selectedRow() const { return m_selectedRow; }

    // The table's pointer notifications.
    void tableMouseMove(int x, int y);
    void tableMouseExit();
    void tableMouseUp();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Row {
        QString title, imageName;
        bool enabled;
    };
    void appendToModel(const Row& row);
    void fitTableToRows();

    QString m_name, m_tableName, m_windowName;
    QPointer<QWidget> m_followed;
    std::function<void(int)> m_chosen;
    std::vector<Row> m_rows;
    QWidget* m_popupView = nullptr;
    KXTableView* m_tableView = nullptr;
    QStandardItemModel* m_model = nullptr;
    std::unique_ptr<kx::controls::KXPopupWindow> m_popupWindow;
    std::vector<kx::NotificationToken> m_observers;
    int m_selectedRow = -1;
};
