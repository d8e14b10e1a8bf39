// The sheet that lists, over a document window, the photos, clip-arts and masks a project named but that
// could not be found when it was opened: one row per item with its kind and its name, and a close button.
#pragma once

#include "document/project.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <memory>

class QTableView;

// The rows: all photos, then all clip-arts, then all masks. Column 0 ("category") shows the kind.
class KXMissingResourcesModel : public QAbstractTableModel {
public:
    void setLists(const QStringList& photos, const QStringList& cliparts, const QStringList& masks);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The localised kind for column "category", the name for any other column; null past the last row.
    QVariant objectValue(const QString& columnIdentifier, int row) const;

    const QStringList& photos() const { return m_photos; }
    const QStringList& cliparts() const { return m_cliparts; }
    const QStringList& masks() const { return m_masks; }

private:
    QStringList m_photos;
    QStringList m_cliparts;
    QStringList m_masks;
};

class KXMissingResWindowController : public KXMissingResourcesSheet {
public:
    KXMissingResWindowController();
    ~KXMissingResWindowController() override;

    // Replaces the lists shown and puts the sheet over the window.
    void showInWindow(QWidget* window, const QStringList& photos, const QStringList& cliparts,
                      const QStringList& masks) override;
    void closeAction();

    KXMissingResourcesModel& model() { return m_model; }
    // The sheet; null before it was first shown.
    QDialog* window() const { return m_window; }
    QTableView* tableView() const { return m_tableView; }

private:
    void buildWindow(QWidget* parent);

    KXMissingResourcesModel m_model;
    QPointer<QDialog> m_window;
    QTableView* m_tableView = nullptr;
};
