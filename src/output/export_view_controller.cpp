#include "output/export_view_controller.h"

#include "controls/popup_window.h"
#include "controls/table_view.h"
#include "graphics/app_info.h"
#include "graphics/file_utilities.h"
#include "model/canvas.h"
#include "output/conversion_info_controller.h"
#include "output/export_accessory_view.h"
#include "output/export_dialogs.h"
#include "output/export_pdf_controller.h"
#include "output/file_reveal.h"
#include "output/photo_album_export.h"
#include "output/photo_album_sheet.h"
#include "output/progress_sheet.h"
#include "output/wallpaper_export.h"
#include "output/wallpaper_sheet.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/thread_handover.h"

#include <QDialog>
#include <QFile>
#include <QEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

using kx::controls::KXPopupWindow;

namespace {

struct KindRow {
    const char* title;
    const char* image;
    bool available;
};

// The list of the popover.
const KindRow kKindRows[] = {
    {"Save as Image", "SaveImage", true},
    {"Save as PDF", "SavePDF", true},
    {"Set as Wallpaper", "SetWallpaper", true},
    {"Send to iPhoto", "SendiPhoto", true},
};

QString defaultPreviewFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base + u'/' + bundleName() + QStringLiteral("/QuickPreview");
}

// Whether an item already at the path keeps the run from writing there: a run never deletes what it finds.
// One file replaces a writable file; numbered files go into a writable folder.
bool targetUnwritable(const QString& path, bool folderRun) {
    const QFileInfo existing(path);
    if (!existing.exists())
        return !QFileInfo(existing.absolutePath()).isWritable();
    if (folderRun)
        return !existing.isDir() || !existing.isWritable();
    return existing.isDir() || !existing.isWritable();
}

}  // namespace

KXExportViewController::KXExportViewController(KXExportProject project, QObject* parent)
    : QObject(parent), m_project(std::move(project)), m_previewFolder(defaultPreviewFolder()) {
    m_pool.setMaxThreadCount(1);
    m_list = std::make_unique<KXPopoverList>(QStringLiteral("popupView"), QStringLiteral("tableView"),
                                             QStringLiteral("exportPopover"), [this](int row) {
                                                 if (row >= 0)
                                                     exportWithType(row);
                                             });
    for (const KindRow& row : kKindRows)
        m_list->addRow(exportText(row.title), QString::fromLatin1(row.image), row.available);
}

KXExportViewController::~KXExportViewController() {
    if (m_pbCtl)
        m_pbCtl->setIsCancelled(true);
    m_pool.waitForDone();
    m_observers.clear();
}

void KXExportViewController::setMainWindow(QWidget* window) {
    m_mainWindow = window;
    m_list->followWindow(window);
}

// ---- popover ----

void KXExportViewController::exportWithType(int type) {
    switch (type) {
    case KXExportTypeImage:
        popupSavePanel();
        break;
    case KXExportTypePDF:
        runExportPdf();
        break;
    case KXExportTypeWallpaper:
        runExportWallpaper();
        break;
    case KXExportTypePhotoLibrary:
        runSendToiPhoto();
        break;
    default:
        break;
    }
}

// ---- image save panel ----

KXExportAccessoryView* KXExportViewController::view() {
    if (!m_view)
        m_view = std::make_unique<KXExportAccessoryView>();
    return m_view.get();
}

void KXExportViewController::popupSavePanel() {
    KXExportAccessoryView* accessory = view();
    accessory->prepareForPanel(m_project.pageCount());
    KXSavePanelRequest request;
    request.parent = m_mainWindow;
    request.prompt = exportText("Save");
    const QString projectPath = m_project.projectPath();
    request.directory = projectPath.isEmpty() ? QString() : QFileInfo(projectPath).absolutePath();
    request.name = defaultExportName(projectPath, exportText("Untitled"));
    request.allowedTypes = accessory->allowedFileTypes();
    request.accessory = accessory;
    const QString path = runSavePanel(request);
    if (!path.isEmpty())
        completionHandler(path);
}

bool KXExportViewController::completionHandler(const QString& path) {
    KXExportAccessoryView* accessory = view();
    const bool pdf = exportKindForPath(path) == KXExportKind::PDF;
    const bool folderRun = !pdf && exportWritesFolder(accessory->pageChoice(), m_project.pageCount(), accessory->pageNumbers());
    if (targetUnwritable(path, folderRun)) {
        runInformationalAlert(m_mainWindow, exportText("Unwritable").arg(path), exportText("UnwritableTip"));
        return false;
    }
    if (m_project.recordExport)
        m_project.recordExport(QStringLiteral("Export image"), QFileInfo(path).suffix().toLower());
    QTimer::singleShot(0, this, [this, path] { saveImageToPath(path); });
    return true;
}

// ---- PDF sheet ----

KXExportPdfController* KXExportViewController::exportPdfCtl() {
    if (!m_exportPdfCtl) {
        m_exportPdfCtl = std::make_unique<KXExportPdfController>();
        m_exportPdfCtl->window();
    }
    return m_exportPdfCtl.get();
}

void KXExportViewController::runExportPdf() {
    KXExportPdfController* sheet = exportPdfCtl();
    sheet->setTfName(m_mainWindow ? m_mainWindow->windowTitle() : exportText("Untitled"));
    if (!sheet->runSheet(m_mainWindow))
        return;
    const QString path = sheet->filePath();
    QTimer::singleShot(0, this, [this, path] { startRun(path, allPageIndexes(), RunKind::Export, true); });
    if (m_project.recordExport)
        m_project.recordExport(QStringLiteral("Save PDF"), QStringLiteral("pdf"));
}

// ---- wallpaper ----

void KXExportViewController::setWallpaperDesktops(std::vector<std::unique_ptr<KXWallpaperDesktop>> desktops) {
    m_wallpaperDesktops = std::move(desktops);
    m_wallpaperDesktopsSet = true;
}

KXExportWallpaperCtl* KXExportViewController::exportWallpaperCtl() {
    if (!m_exportWallpaperCtl) {
        m_exportWallpaperCtl = std::make_unique<KXExportWallpaperCtl>();
        m_exportWallpaperCtl->window();
    }
    return m_exportWallpaperCtl.get();
}

void KXExportViewController::runExportWallpaper() {
    if (m_running)
        return;
    if (!m_wallpaperDesktopsSet)
        setWallpaperDesktops(wallpaperDesktops());
    m_wallpaperDesktop = availableWallpaperDesktop(m_wallpaperDesktops);
    if (!m_wallpaperDesktop) {
        runInformationalAlert(m_mainWindow, exportText("WallpaperUnsupported"), exportText("WallpaperUnsupportedTip"));
        return;
    }
    KXExportWallpaperCtl* sheet = exportWallpaperCtl();
    sheet->setDesktopAbilities(m_wallpaperDesktop->honoursScaling(), m_wallpaperDesktop->honoursScreens());
    if (!sheet->runSheet(m_mainWindow))
        return;
    const QString folder = m_wallpaperFolder.isEmpty() ? wallpaperFolder() : m_wallpaperFolder;
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        runInformationalAlert(m_mainWindow, exportText("WallpaperFailed"), exportText("WallpaperNoFolder"));
        return;
    }
    const KXWallpaperFiles files = nextWallpaperFiles(folder);
    m_previousWallpaper = files.previous;
    m_wallpaperRequest = {files.target, sheet->scaleType(), sheet->fillColor(), sheet->screenName(), sheet->screenIndex()};
    if (m_project.recordExport)
        m_project.recordExport(QStringLiteral("Save wallpaper"), QStringLiteral("jpg"));
    const int count = m_project.pageCount();
    const int current = m_project.currentPageIndex ? std::clamp(m_project.currentPageIndex(), 0, std::max(0, count - 1)) : 0;
    const QString target = files.target;
    QTimer::singleShot(100, this, [this, target, current] { startRun(target, {current}, RunKind::Wallpaper, false); });
}

void KXExportViewController::finishWallpaper(const KXExportResult& result, const QString& path) {
    if (result.outcome == KXExportOutcome::Failed) {
        runInformationalAlert(m_mainWindow, exportText("WallpaperFailed"), result.reason);
        return;
    }
    if (result.outcome != KXExportOutcome::Written || !m_wallpaperDesktop)
        return;
    m_wallpaperPath = path;
    QString error;
    if (!m_wallpaperDesktop->setWallpaper(m_wallpaperRequest, &error)) {
        // The new file stays: the previous one may still be the picture on the screen, so it stays too.
        runInformationalAlert(m_mainWindow, exportText("WallpaperFailed"), error);
        return;
    }
    // The desktop shows the new file now; the folder keeps that one alone.
    if (!m_previousWallpaper.isEmpty() && m_previousWallpaper != path)
        QFile::remove(m_previousWallpaper);
}

// ---- photo album ----

KXExportiPhoto* KXExportViewController::exportiPhoto() {
    if (!m_exportiPhoto) {
        m_exportiPhoto = std::make_unique<KXExportiPhoto>();
        m_exportiPhoto->window();
    }
    return m_exportiPhoto.get();
}

void KXExportViewController::runSendToiPhoto() {
    if (m_running)
        return;
    const QString projectPath = m_project.projectPath();
    KXExportiPhoto* sheet = exportiPhoto();
    if (!sheet->runSheet(m_mainWindow, defaultExportName(projectPath, exportText("Untitled"))))
        return;
    const QString folder = m_photoAlbumFolder.isEmpty() ? photoAlbumFolder() : m_photoAlbumFolder;
    if (folder.isEmpty() || !QDir().mkpath(folder)) {
        exportInfoCtl()->showExportFailedInfo(m_mainWindow, exportText("PhotoAlbumNoFolder"));
        return;
    }
    if (m_project.recordExport)
        m_project.recordExport(QStringLiteral("Send to iPhoto"), QStringLiteral("jpg"));
    const std::vector<int> pages = allPageIndexes();
    const QStringList files = photoAlbumFiles(folder, sheet->name(), int(pages.size()));
    QTimer::singleShot(0, this, [this, folder, pages, files] { startRun(folder, pages, RunKind::PhotoAlbum, false, files); });
}

void KXExportViewController::finishPhotoAlbum(const KXExportResult& result) {
    if (result.outcome == KXExportOutcome::Written)
        return;
    // A send that did not finish leaves nothing half done in the album.
    for (const QString& file : result.writtenFiles)
        QFile::remove(file);
    if (result.outcome == KXExportOutcome::Failed) {
        const QString detail = result.failedPage > 0
                                   ? exportText("ExportedFailedPage").arg(result.failedPage).arg(result.reason)
                                   : result.reason;
        exportInfoCtl()->showExportFailedInfo(m_mainWindow, detail);
    }
}

// ---- export run ----

KXProgressBarController* KXExportViewController::pbCtl() {
    if (!m_pbCtl) {
        m_pbCtl = std::make_unique<KXProgressBarController>();
        m_pbCtl->loadWindow();
        m_observers.push_back(kx::NotificationCenter::defaultCenter().addObserver(
            KXProgressCanceledNotification, m_pbCtl.get(), [this](const kx::Notification&) { stopProgressbar(); }));
    }
    return m_pbCtl.get();
}

KXConversionInfoController* KXExportViewController::exportInfoCtl() {
    if (!m_exportInfoCtl) {
        m_exportInfoCtl = std::make_unique<KXConversionInfoController>();
        m_exportInfoCtl->window();
        m_observers.push_back(kx::NotificationCenter::defaultCenter().addObserver(
            KXConversionInfoPaneClosed, m_exportInfoCtl.get(), [this](const kx::Notification&) { openExportPath(); }));
    }
    return m_exportInfoCtl.get();
}

void KXExportViewController::presentProgress() {
    presentRenderingProgress(*pbCtl(), m_mainWindow);
}

void KXExportViewController::stopProgressbar() {
    if (!m_pbCtl)
        return;
    closeProgress(*m_pbCtl);
}

std::vector<int> KXExportViewController::allPageIndexes() const {
    return exportPageIndexes(KXExportAllPages, m_project.pageCount(), {1, 1});
}

void KXExportViewController::saveImageToPath(const QString& path) {
    KXExportAccessoryView* accessory = view();
    const std::vector<int> pages = exportKindForPath(path) == KXExportKind::PDF
                                       ? allPageIndexes()
                                       : exportPageIndexes(accessory->pageChoice(), m_project.pageCount(), accessory->pageNumbers());
    startRun(path, pages, RunKind::Export, false);
}

void KXExportViewController::startRun(const QString& path, const std::vector<int>& pageIndexes, RunKind kind,
                                      bool sheetInfo, const QStringList& files) {
    if (m_running)
        return;
    KXExportJob job;
    job.path = path;
    job.files = files;
    job.format = kind == RunKind::Wallpaper || kind == RunKind::PhotoAlbum ? QStringLiteral("jpg") : view()->exportFormat();
    job.quality = view()->quality();
    job.pdfInfo = m_exportPdfCtl && sheetInfo ? m_exportPdfCtl->pdfInfo() : defaultPdfInfo(path, applicationBundleName());
    // The copies are made here, on the thread that owns the pages; the worker renders only them.
    for (int index : pageIndexes) {
        std::shared_ptr<KXCanvas> copy = m_project.outputCopyOfPage(index);
        if (!copy) {
            finishRun({KXExportOutcome::Failed, index + 1, QStringLiteral("the page cannot be copied"), {}}, path, kind);
            return;
        }
        job.pages.push_back(std::move(copy));
    }
    m_running = true;
    presentProgress();
    KXProgressBarController* pb = pbCtl();
    KXExportControl control;
    control.isCancelled = [pb] { return pb->isCancelled(); };
    control.waitWhilePausing = [pb] { pb->waitWhilePausing(); };
    QPointer<KXExportViewController> self(this);
    // The job is built before the hand-over is announced, so that everything it holds comes before it.
    std::function<void()> work = [self, job = std::move(job), control, path, kind]() mutable {
        kx::takePoolHandOver();
        const KXExportResult result = runExport(job, control);
        // The copies go with the worker; nothing of them reaches the main thread.
        job.pages.clear();
        QMetaObject::invokeMethod(
            self.data(),
            [self, result, path, kind] {
                if (self)
                    self->finishRun(result, path, kind);
            },
            Qt::QueuedConnection);
    };
    kx::announcePoolHandOver();
    m_pool.start(std::move(work));
}

void KXExportViewController::finishRun(const KXExportResult& result, const QString& path, RunKind kind) {
    m_running = false;
    m_lastResult = result;
    stopProgressbar();
    if (kind == RunKind::Wallpaper || kind == RunKind::PhotoAlbum) {
        if (kind == RunKind::Wallpaper)
            finishWallpaper(result, path);
        else
            finishPhotoAlbum(result);
        if (m_delegate)
            m_delegate->exportViewControllerDidExportedImages();
        emit runFinished();
        return;
    }
    if (kind == RunKind::Preview) {
        m_previewUpToDate = result.outcome == KXExportOutcome::Written;
        if (QFileInfo::exists(path))
            openURLString(QUrl::fromLocalFile(path).toString());
        emit runFinished();
        return;
    }
    if (result.outcome == KXExportOutcome::Written) {
        if (showsExportingTip())
            exportInfoCtl()->showSaveInfoForFile(path, m_mainWindow);
    } else if (result.outcome == KXExportOutcome::Failed) {
        const QString detail = result.failedPage > 0
                                   ? exportText("ExportedFailedPage").arg(result.failedPage).arg(result.reason)
                                   : result.reason;
        exportInfoCtl()->showExportFailedInfo(m_mainWindow, detail);
    }
    if (m_delegate)
        m_delegate->exportViewControllerDidExportedImages();
    emit runFinished();
}

void KXExportViewController::openExportPath() {
    if (!m_exportInfoCtl || m_lastResult.outcome != KXExportOutcome::Written || m_exportInfoCtl->result() != 1)
        return;
    QString path = m_exportInfoCtl->filePath();
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    if (QFileInfo(path).isDir())
        path = m_lastResult.writtenFiles.isEmpty() ? numberedExportPath(path, 0, view()->exportFormat())
                                                   : m_lastResult.writtenFiles.constFirst();
    if (!revealFileInFileManager(path))
        runInformationalAlert(m_mainWindow, exportText("FailedShowFile") + path, {});
}

// ---- project preview ----

void KXExportViewController::quickLookWithName(const QString& name, bool changed) {
    if (m_running)
        return;
    if (m_previewPath.isEmpty()) {
        if (m_previewFolder.isEmpty() || !QDir().mkpath(m_previewFolder)) {
            emit runFinished();
            return;
        }
        m_previewPath = uniqueFilePath(m_previewFolder, name, QStringLiteral("pdf"));
    }
    if (changed)
        m_previewUpToDate = false;
    if (m_previewUpToDate && QFileInfo::exists(m_previewPath)) {
        openURLString(QUrl::fromLocalFile(m_previewPath).toString());
        emit runFinished();
        return;
    }
    startRun(m_previewPath, allPageIndexes(), RunKind::Preview, true);
}
