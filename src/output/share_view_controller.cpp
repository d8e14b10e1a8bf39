#include "output/share_view_controller.h"

#include "controls/popup_window.h"
#include "controls/table_view.h"
#include "graphics/app_info.h"
#include "model/canvas.h"
#include "output/export_dialogs.h"
#include "output/facebook_share.h"
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

// The row of the e-mail road comes first; the desktop's services follow.
constexpr int kEmailRow = 0;

}  // namespace

kx::Size shareImageSize(kx::Size pageSize, double maximumSide) {
    if (pageSize.width <= maximumSide && pageSize.height <= maximumSide)
        return pageSize;
    const float ratio = float(pageSize.width / pageSize.height);
    if (ratio > 1)
        return {maximumSide, std::round(maximumSide / ratio)};
    return {std::round(maximumSide * ratio), maximumSide};
}

QString shareAnalyticsAction(int type) {
    static const char* const actions[] = {"Share Email",    "Share iMessage", "Share AirDrop",
                                          "Share Twitter", "Share Facebook", "Share Flickr"};
    if (type < 0 || type > 5)
        return {};
    return QString::fromLatin1(actions[type]);
}

KXShareViewController::KXShareViewController(KXExportProject project, QObject* parent)
    : QObject(parent), m_project(std::move(project)), m_nameList{exportText("Email")} {
    m_pool.setMaxThreadCount(1);
    m_list = std::make_unique<KXPopoverList>(QStringLiteral("ShareView"), QStringLiteral("shareTableView"),
                                             QStringLiteral("sharePopover"),
                                             [this](int row) { shareImageByType(rowType(row)); });
    m_list->addRow(m_nameList.constFirst(), QStringLiteral("Email"));
    if (KXFacebookConfig::fromInfo().isComplete())
        addSharingService(std::make_shared<KXFacebookShareEntry>());
}

KXShareViewController::~KXShareViewController() {
    if (m_pbCtl)
        m_pbCtl->setIsCancelled(true);
    m_pool.waitForDone();
}

void KXShareViewController::setMainWindow(QWidget* window) {
    m_mainWindow = window;
    m_list->followWindow(window);
}

void KXShareViewController::addSharingService(std::shared_ptr<KXSharingService> service) {
    if (!service)
        return;
    m_services.push_back(std::move(service));
    m_nameList.append(m_services.back()->title());
    m_list->addRow(m_nameList.back());
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

// ---- sharing ----

void KXShareViewController::shareImageByType(int type) {
    if (m_project.recordShare)
        m_project.recordShare(shareAnalyticsAction(type));
    if (type == KXShareTypeEmail) {
        runExportEmail();
        return;
    }
    if (type == KXShareTypeFacebook && serviceOfType(type)) {
        fbShareCollage();
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
    presentRenderingProgress(*pbCtl(), m_mainWindow);
}

void KXShareViewController::fbShareCollage() {
    if (!m_facebook)
        m_facebook = std::make_unique<KXFacebookShare>([this] { return currentPageCopy(); }, m_mainWindow);
    m_facebook->fbShareCollage();
}

std::shared_ptr<KXCanvas> KXShareViewController::currentPageCopy() const {
    const int index = m_project.currentPageIndex ? m_project.currentPageIndex() : 0;
    const int count = m_project.pageCount ? m_project.pageCount() : 0;
    return m_project.outputCopyOfPage && index >= 0 && index < count ? m_project.outputCopyOfPage(index) : nullptr;
}

void KXShareViewController::stopProgressbar() {
    if (!m_pbCtl)
        return;
    closeProgress(*m_pbCtl);
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
    std::shared_ptr<KXCanvas> page = currentPageCopy();
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
