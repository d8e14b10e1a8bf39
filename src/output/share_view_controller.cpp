#include "output/share_view_controller.h"

#include "controls/popup_window.h"
#include "controls/table_view.h"
#include "graphics/app_info.h"
#include "model/canvas.h"
#include "output/export_dialogs.h"
#include "output/mail_attachments.h"
#include "output/mail_handoff.h"
#include "output/mail_options_sheet.h"
#include "output/progress_sheet.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/thread_handover.h"

#include <QDialog>
#include <QEvent>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

using kx::controls::KXPopupWindow;

namespace {

constexpr double kShareMaximumSide = 2000;

// The row of the e-mail road comes first; the desktop's services follow.
constexpr int kEmailRow = 0;

}  // namespace

kx::Size shareImageSize(kx::Size pageSize) {
    if (pageSize.width <= kShareMaximumSide && pageSize.height <= kShareMaximumSide)
        return pageSize;
    const float ratio = float(pageSize.width / pageSize.height);
    if (ratio > 1)
        return {kShareMaximumSide, std::round(kShareMaximumSide / ratio)};
    return {std::round(kShareMaximumSide * ratio), kShareMaximumSide};
}

QString shareAnalyticsAction(int type) {
    static const char* const actions[] = {"Share Email",    "Share iMessage", "Share AirDrop",
                                          "Share Twitter", "Share Facebook", "Share Flickr"};
    if (type < 0 || type > 5)
        return {};
    return QString::fromLatin1(actions[type]);
}

KXShareViewController::KXShareViewController(KXExportProject project, QObject* parent)
    : QObject(parent), m_project(std::move(project)) {
    m_pool.setMaxThreadCount(1);
}

KXShareViewController::~KXShareViewController() {
    if (m_pbCtl)
        m_pbCtl->setIsCancelled(true);
    m_pool.waitForDone();
    m_observers.clear();
    if (!m_popupWindow)
        delete m_popupView;
}

void KXShareViewController::setMainWindow(QWidget* window) {
    if (m_mainWindow)
        m_mainWindow->removeEventFilter(this);
    m_mainWindow = window;
    if (window)
        window->installEventFilter(this);
}

bool KXShareViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_mainWindow && (event->type() == QEvent::Hide || event->type() == QEvent::Close))
        hideWindow();
    return QObject::eventFilter(watched, event);
}

void KXShareViewController::addSharingService(std::shared_ptr<KXSharingService> service) {
    if (!service)
        return;
    m_services.push_back(std::move(service));
    if (m_rows) {
        m_nameList.append(m_services.back()->title());
        auto* item = new QStandardItem(m_nameList.back());
        item->setEditable(false);
        m_rows->appendRow(item);
    }
}

KXSharingService* KXShareViewController::serviceOfType(int type) const {
    for (const auto& service : m_services)
        if (service->shareType() == type)
            return service.get();
    return nullptr;
}

int KXShareViewController::rowType(int row) const {
    if (row == kEmailRow)
        return KXShareTypeEmail;
    if (row > 0 && row <= int(m_services.size()))
        return m_services[size_t(row - 1)]->shareType();
    return -1;
}

// ---- popover ----

QWidget* KXShareViewController::popupView() {
    if (m_popupView)
        return m_popupView;
    m_popupView = new QWidget;
    m_popupView->setObjectName(QStringLiteral("ShareView"));
    auto* layout = new QVBoxLayout(m_popupView);
    layout->setContentsMargins(6, 6, 6, 6);
    m_shareTableView = new KXTableView(m_popupView);
    m_shareTableView->setObjectName(QStringLiteral("shareTableView"));
    m_rows = new QStandardItemModel(m_shareTableView);
    m_nameList = {exportText("Email")};
    for (const auto& service : m_services)
        m_nameList.append(service->title());
    for (const QString& title : m_nameList) {
        auto* item = new QStandardItem(title);
        if (title == m_nameList.constFirst()) {
            const QString icon = kx::Bundle::main().pathForResource(QStringLiteral("Email"), QStringLiteral("png"));
            if (!icon.isEmpty())
                item->setIcon(QIcon(icon));
        }
        item->setEditable(false);
        m_rows->appendRow(item);
    }
    m_shareTableView->setModel(m_rows);
    m_shareTableView->horizontalHeader()->hide();
    m_shareTableView->verticalHeader()->hide();
    m_shareTableView->horizontalHeader()->setStretchLastSection(true);
    m_shareTableView->setShowGrid(false);
    m_shareTableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_shareTableView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_shareTableView->setFixedSize(200, 3 * m_shareTableView->verticalHeader()->defaultSectionSize() + 4);
    layout->addWidget(m_shareTableView);
    auto& centre = kx::NotificationCenter::defaultCenter();
    m_observers.push_back(centre.addObserver(KXTableViewMouseMove, m_shareTableView, [this](const kx::Notification& n) {
        tableMouseMove(int(n.userInfo.at(QStringLiteral("pointX")).toInteger()),
                       int(n.userInfo.at(QStringLiteral("pointY")).toInteger()));
    }));
    m_observers.push_back(
        centre.addObserver(KXTableViewMouseExit, m_shareTableView, [this](const kx::Notification&) { tableMouseExit(); }));
    m_observers.push_back(
        centre.addObserver(KXTableViewMouseUp, m_shareTableView, [this](const kx::Notification&) { tableMouseUp(); }));
    return m_popupView;
}

KXTableView* KXShareViewController::shareTableView() {
    popupView();
    return m_shareTableView;
}

KXPopupWindow* KXShareViewController::popupWindow() {
    if (!m_popupWindow) {
        m_popupWindow = std::make_unique<KXPopupWindow>();
        m_popupWindow->setObjectName(QStringLiteral("sharePopover"));
        m_popupWindow->setContentView(popupView());
    }
    return m_popupWindow.get();
}

void KXShareViewController::popupAtPosition(const QPoint& screenPoint) {
    popupWindow()->toggleAt(QRect(screenPoint, QSize(0, 0)));
}

void KXShareViewController::hideWindow() {
    if (m_popupWindow && m_popupWindow->isVisible())
        m_popupWindow->hide();
}

void KXShareViewController::tableMouseMove(int x, int y) {
    const int row = shareTableView()->indexAt(QPoint(x, y)).row();
    if (row == m_selectedRow)
        return;
    m_selectedRow = row;
    m_shareTableView->clearSelection();
    if (row >= 0)
        m_shareTableView->selectRow(row);
}

void KXShareViewController::tableMouseExit() {
    m_selectedRow = -1;
    shareTableView()->clearSelection();
}

void KXShareViewController::tableMouseUp() {
    hideWindow();
    const int row = m_selectedRow;
    tableMouseExit();
    shareImageByType(rowType(row));
}

// ---- sharing ----

void KXShareViewController::shareImageByType(int type) {
    if (m_project.recordShare)
        m_project.recordShare(shareAnalyticsAction(type));
    if (type == KXShareTypeEmail) {
        runExportEmail();
        return;
    }
    shareImageToType(type);
}

KXExportEmailController* KXShareViewController::exportEmailCtl() {
    if (!m_exportEmailCtl) {
        m_exportEmailCtl = std::make_unique<KXExportEmailController>();
        m_exportEmailCtl->window();
    }
    return m_exportEmailCtl.get();
}

KXProgressBarController* KXShareViewController::pbCtl() {
    if (!m_pbCtl) {
        m_pbCtl = std::make_unique<KXProgressBarController>();
        m_pbCtl->loadWindow();
    }
    return m_pbCtl.get();
}

void KXShareViewController::presentProgress() {
    KXProgressBarController* pb = pbCtl();
    pb->setIndeterminate(true);
    pb->showWindow();
    pb->setTip(exportText("Rendering"));
    presentSheet(pb->window(), m_mainWindow, false);
}

void KXShareViewController::stopProgressbar() {
    if (!m_pbCtl)
        return;
    m_pbCtl->stopAnimation();
    m_pbCtl->window()->hide();
}

void KXShareViewController::runExportEmail() {
    if (m_running)
        return;
    KXExportEmailController* sheet = exportEmailCtl();
    if (!sheet->runSheet(m_mainWindow))
        return;
    std::vector<std::shared_ptr<KXCanvas>> pages;
    const int count = m_project.pageCount ? m_project.pageCount() : 0;
    for (int i = 0; i < count; ++i)
        if (std::shared_ptr<KXCanvas> copy = m_project.outputCopyOfPage(i))
            pages.push_back(std::move(copy));
    m_running = true;
    presentProgress();
    KXProgressBarController* pb = pbCtl();
    KXExportControl control;
    control.isCancelled = [pb] { return pb->isCancelled(); };
    control.waitWhilePausing = [pb] { pb->waitWhilePausing(); };
    QPointer<KXShareViewController> self(this);
    const QString folder = m_mailFolder.isEmpty() ? mailAttachmentFolder() : m_mailFolder;
    std::function<void()> work = [self, pages = std::move(pages), options = sheet->options(), folder,
                                  control]() mutable {
        kx::takePoolHandOver();
        const QStringList files = saveEmailImageAsFiles(pages, options, folder, control);
        const bool cancelled = control.isCancelled();
        pages.clear();
        QMetaObject::invokeMethod(
            self.data(),
            [self, files, cancelled] {
                if (self)
                    self->mailFilesWritten(files, cancelled);
            },
            Qt::QueuedConnection);
    };
    kx::announcePoolHandOver();
    m_pool.start(std::move(work));
}

void KXShareViewController::mailFilesWritten(const QStringList& files, bool cancelled) {
    m_running = false;
    m_lastAttachments = files;
    stopProgressbar();
    if (cancelled) {
        emit runFinished();
        return;
    }
    QPointer<KXShareViewController> self(this);
    sendMailWithAttachmentFiles(files, this, [self] {
        if (self)
            runInformationalAlert(self->m_mainWindow, exportText("NoMailAccount"), exportText("NoMailAccountTip"));
    });
    emit runFinished();
}

void KXShareViewController::shareImageToType(int type) {
    if (m_running)
        return;
    const int index = m_project.currentPageIndex ? m_project.currentPageIndex() : 0;
    std::shared_ptr<KXCanvas> page =
        m_project.outputCopyOfPage && (m_project.pageCount ? m_project.pageCount() : 0) > index
            ? m_project.outputCopyOfPage(index)
            : nullptr;
    if (!page) {
        emit runFinished();
        return;
    }
    m_running = true;
    presentProgress();
    KXProgressBarController* pb = pbCtl();
    QPointer<KXShareViewController> self(this);
    const QString text = QStringLiteral("Created by %1").arg(bundleName());
    std::function<void()> work = [self, page = std::move(page), pb, type, text]() mutable {
        kx::takePoolHandOver();
        pb->waitWhilePausing();
        QImage image;
        if (!pb->isCancelled())
            image = page->renderOutputImage(shareImageSize(page->pixelSize())).qimage();
        page.reset();
        QMetaObject::invokeMethod(
            self.data(),
            [self, image, type, text] {
                if (!self)
                    return;
                // The service is looked up again: it belongs to the main thread.
                KXSharingService* target = self->serviceOfType(type);
                if (target && !image.isNull() && !self->m_pbCtl->isCancelled())
                    target->perform(image, text);
                self->m_running = false;
                self->stopProgressbar();
                emit self->runFinished();
            },
            Qt::QueuedConnection);
    };
    kx::announcePoolHandOver();
    m_pool.start(std::move(work));
}
