#include "library/missing_resources_sheet.h"

#include "platform/foundation/bundle.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QString localized(const QString& key) {
    return kx::Bundle::main().localizedString(key);
}

const QString kCategoryColumn = QStringLiteral("category");
const QString kNameColumn = QStringLiteral("name");

}  // namespace

void KXMissingResourcesModel::setLists(const QStringList& photos, const QStringList& cliparts,
                                       const QStringList& masks) {
    beginResetModel();
    m_photos = photos;
    m_cliparts = cliparts;
    m_masks = masks;
    endResetModel();
}

int KXMissingResourcesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_photos.size() + m_cliparts.size() + m_masks.size());
}

int KXMissingResourcesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant KXMissingResourcesModel::objectValue(const QString& columnIdentifier, int row) const {
    if (row < 0)
        return {};
    struct Kind {
        const QStringList& names;
        const char* key;
    };
    const Kind kinds[] = {{m_photos, "Image"}, {m_cliparts, "Clipart"}, {m_masks, "Mask"}};
    for (const Kind& kind : kinds) {
        if (row < kind.names.size())
            return columnIdentifier == kCategoryColumn ? localized(QString::fromLatin1(kind.key)) : kind.names[row];
        row -= int(kind.names.size());
    }
    return {};
}

QVariant KXMissingResourcesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return objectValue(index.column() == 0 ? kCategoryColumn : kNameColumn, index.row());
}

QVariant KXMissingResourcesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return localized(section == 0 ? QStringLiteral("MissingKind") : QStringLiteral("MissingName"));
}

KXMissingResWindowController::KXMissingResWindowController() = default;

KXMissingResWindowController::~KXMissingResWindowController() {
    delete m_window.data();
}

void KXMissingResWindowController::buildWindow(QWidget* parent) {
    m_window = new QDialog(parent, Qt::Sheet);
    m_window->setObjectName(QStringLiteral("MissingResourceWindow"));
    m_window->setWindowTitle(localized(QStringLiteral("MissingResources")));
    m_window->resize(440, 300);
    auto* column = new QVBoxLayout(m_window);
    auto* tip = new QLabel(localized(QStringLiteral("MissingResourcesTip")), m_window);
    tip->setWordWrap(true);
    column->addWidget(tip);
    m_tableView = new QTableView(m_window);
    m_tableView->setObjectName(QStringLiteral("tableView"));
    m_tableView->setModel(&m_model);
    m_tableView->verticalHeader()->hide();
    m_tableView->horizontalHeader()->setStretchLastSection(true);
    m_tableView->setSelectionMode(QAbstractItemView::NoSelection);
    m_tableView->setFocusPolicy(Qt::NoFocus);
    column->addWidget(m_tableView, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* close = new QPushButton(localized(QStringLiteral("Close")), m_window);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, m_window, [this] { closeAction(); });
    buttons->addWidget(close);
    column->addLayout(buttons);
}

void KXMissingResWindowController::showInWindow(QWidget* window, const QStringList& photos,
                                                const QStringList& cliparts, const QStringList& masks) {
    if (!m_window || m_window->parentWidget() != window) {
        delete m_window.data();
        buildWindow(window);
    }
    m_model.setLists(photos, cliparts, masks);
    m_tableView->resizeColumnToContents(0);
    m_window->setWindowModality(Qt::WindowModal);
    m_window->show();
    m_window->raise();
}

void KXMissingResWindowController::closeAction() {
    if (!m_window)
        return;
    m_window->hide();
    // Without a window manager nothing hands the keyboard back to the document window.
    if (QWidget* owner = m_window->parentWidget())
        owner->activateWindow();
}
