#include "output/popover_list.h"

#include "controls/popup_window.h"
#include "controls/table_view.h"
#include "platform/foundation/bundle.h"

#include <QEvent>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include <algorithm>

using kx::controls::KXPopupWindow;

KXPopoverList::KXPopoverList(const QString& name, const QString& tableName, const QString& windowName,
                             std::function<void(int row)> chosen)
    : m_name(name), m_tableName(tableName), m_windowName(windowName), m_chosen(std::move(chosen)) {}

KXPopoverList::~KXPopoverList() {
    m_observers.clear();
    // The view is owned by the popover window once that exists.
    if (!m_popupWindow)
        delete m_popupView;
}

void KXPopoverList::followWindow(QWidget* window) {
    if (m_followed)
        m_followed->removeEventFilter(this);
    m_followed = window;
    if (window)
        window->installEventFilter(this);
}

bool KXPopoverList::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_followed && (event->type() == QEvent::Hide || event->type() == QEvent::Close))
        hideWindow();
    return QObject::eventFilter(watched, event);
}

void KXPopoverList::addRow(const QString& title, const QString& imageName, bool enabled) {
    m_rows.push_back({title, imageName, enabled});
    if (m_model) {
        appendToModel(m_rows.back());
        fitTableToRows();
    }
}

void KXPopoverList::fitTableToRows() {
    const int rows = std::max<int>(1, int(m_rows.size()));
    m_tableView->setFixedSize(200, rows * m_tableView->verticalHeader()->defaultSectionSize() + 4);
    m_popupView->adjustSize();
    if (m_popupWindow)
        m_popupWindow->adjustSize();
}

void KXPopoverList::appendToModel(const Row& row) {
    auto* item = new QStandardItem(row.title);
    if (!row.imageName.isEmpty()) {
        const QString icon = kx::Bundle::main().pathForResource(row.imageName, QStringLiteral("png"));
        if (!icon.isEmpty())
            item->setIcon(QIcon(icon));
    }
    item->setEditable(false);
    item->setEnabled(row.enabled);
    m_model->appendRow(item);
}

QWidget* KXPopoverList::popupView() {
    if (m_popupView)
        return m_popupView;
    m_popupView = new QWidget;
    m_popupView->setObjectName(m_name);
    auto* layout = new QVBoxLayout(m_popupView);
    layout->setContentsMargins(6, 6, 6, 6);
    m_tableView = new KXTableView(m_popupView);
    m_tableView->setObjectName(m_tableName);
    m_model = new QStandardItemModel(m_tableView);
    for (const Row& row : m_rows)
        appendToModel(row);
    m_tableView->setModel(m_model);
    m_tableView->horizontalHeader()->hide();
    m_tableView->verticalHeader()->hide();
    m_tableView->horizontalHeader()->setStretchLastSection(true);
    m_tableView->setShowGrid(false);
    m_tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tableView->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(m_tableView);
    fitTableToRows();
    auto& centre = kx::NotificationCenter::defaultCenter();
    m_observers.push_back(centre.addObserver(KXTableViewMouseMove, m_tableView, [this](const kx::Notification& n) {
        tableMouseMove(int(n.userInfo.at(QStringLiteral("pointX")).toInteger()),
                       int(n.userInfo.at(QStringLiteral("pointY")).toInteger()));
    }));
    m_observers.push_back(centre.addObserver(KXTableViewMouseExit, m_tableView, [this](const kx::Notification&) { tableMouseExit(); }));
    m_observers.push_back(centre.addObserver(KXTableViewMouseUp, m_tableView, [this](const kx::Notification&) { tableMouseUp(); }));
    return m_popupView;
}

KXTableView* KXPopoverList::tableView() {
    popupView();
    return m_tableView;
}

QStandardItemModel* KXPopoverList::model() {
    popupView();
    return m_model;
}

KXPopupWindow* KXPopoverList::popupWindow() {
    if (!m_popupWindow) {
        m_popupWindow = std::make_unique<KXPopupWindow>();
        m_popupWindow->setObjectName(m_windowName);
        m_popupWindow->setContentView(popupView());
    }
    return m_popupWindow.get();
}

void KXPopoverList::popupAtPosition(const QPoint& screenPoint) {
    popupWindow()->toggleAt(QRect(screenPoint, QSize(0, 0)));
}

void KXPopoverList::hideWindow() {
    if (m_popupWindow && m_popupWindow->isVisible())
        m_popupWindow->hide();
}

void KXPopoverList::tableMouseMove(int x, int y) {
    const int row = tableView()->indexAt(QPoint(x, y)).row();
    if (row == m_selectedRow)
        return;
    m_selectedRow = row;
    m_tableView->clearSelection();
    if (row >= 0)
        m_tableView->selectRow(row);
}

void KXPopoverList::tableMouseExit() {
    m_selectedRow = -1;
    tableView()->clearSelection();
}

void KXPopoverList::tableMouseUp() {
    hideWindow();
    const int row = m_selectedRow;
    tableMouseExit();
    if (m_chosen)
        m_chosen(row);
}
