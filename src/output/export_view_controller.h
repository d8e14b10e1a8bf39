// The export controller of a document window: the export popover with its list of kinds, the image save
// panel with its accessory view, the PDF sheet, the export run on a worker thread under the progress sheet,
// the result sheets with the reveal of the exported file, and the project preview (a PDF of every page opened
// in the desktop's PDF viewer).
//
// The controller reaches the project through KXExportProject, so that output does not depend on the
// document layer. Pages are copied for output on the main thread when a run starts; the worker renders only
// those copies.
#pragma once

#include "output/export_run.h"
#include "output/popover_list.h"
#include "output/wallpaper_desktop.h"
#include "platform/foundation/notification_center.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <vector>

class KXCanvas;
class KXConversionInfoController;
class KXExportAccessoryView;
class KXExportPdfController;
class KXExportWallpaperCtl;
class KXExportiPhoto;
class KXProgressBarController;
class QPoint;
class QStandardItemModel;
class QWidget;

namespace kx::controls {
class KXPopupWindow;
}
class KXTableView;

// What the controller needs of the project, answered on the main thread.
struct KXExportProject {
    std::function<int()> pageCount;
    // An output copy of the page at the 0-based index (KXCanvas::outputCopy); null when it cannot be made.
    std::function<std::shared_ptr<KXCanvas>(int)> outputCopyOfPage;
    // The project file's path; empty for a project never saved.
    std::function<QString()> projectPath;
    // Records a usage event of category "Export" (action, label); may be empty.
    std::function<void(const QString& action, const QString& label)> recordExport;
    // The 0-based index of the page shown in the window; may be empty (the first page).
    std::function<int()> currentPageIndex;
    // Records a usage event of category "Share" (action); may be empty.
    std::function<void(const QString& action)> recordShare;
};

class KXExportViewControllerDelegate {
public:
    virtual ~KXExportViewControllerDelegate() = default;
    // After every export run, cancelled or not (never after a preview).
    virtual void exportViewControllerDidExportedImages() = 0;
};

// The rows of the popover's list, by `exportWithType` value.
enum KXExportType : int {
    KXExportTypeImage = 0,
    KXExportTypePDF = 1,
    KXExportTypeWallpaper = 2,
    KXExportTypePhotoLibrary = 3,
};

class KXExportViewController : public QObject {
    Q_OBJECT
public:
    explicit KXExportViewController(KXExportProject project, QObject* parent = nullptr);
    // What the controller reaches the project through.
    const KXExportProject& exportProject() const { return m_project; }
    ~KXExportViewController() override;

    // The window every sheet runs on; the popover closes with it.
    void setMainWindow(QWidget* window);
    QWidget* mainWindow() const { return m_mainWindow; }
    void setDelegate(KXExportViewControllerDelegate* delegate) { m_delegate = delegate; }

    // ---- popover ----
    QWidget* popupView() { return m_list->popupView(); }
    KXTableView* tableView() { return m_list->tableView(); }
    QStandardItemModel* kindModel() { return m_list->model(); }
    kx::controls::KXPopupWindow* popupWindow() { return m_list->popupWindow(); }
    // Shows the popover with the middle of its top edge at the screen point, or hides it when shown.
    void popupAtPosition(const QPoint& screenPoint) { m_list->popupAtPosition(screenPoint); }
    void hideWindow() { m_list->hideWindow(); }
    int selectedRow() const { return m_list->selectedRow(); }
    // The list's pointer notifications; a release exports the kind of its row.
    void tableMouseMove(int x, int y) { m_list->tableMouseMove(x, y); }
    void tableMouseExit() { m_list->tableMouseExit(); }
    void tableMouseUp() { m_list->tableMouseUp(); }
    // 0 image save panel, 1 PDF sheet, 2 wallpaper sheet, 3 photo-album sheet; other values do nothing.
    void exportWithType(int type);

    // ---- image save panel ----
    KXExportAccessoryView* view();
    void popupSavePanel();
    // What happens to the chosen path: an existing item that the run cannot use as it is gets the
    // "Unwritable" alert and nothing is written; otherwise the run starts on the next turn of the event loop.
    // Answers whether the run was scheduled.
    bool completionHandler(const QString& path);

    // ---- PDF sheet ----
    KXExportPdfController* exportPdfCtl();
    void runExportPdf();

    // ---- wallpaper ----
    // The desktops tried in order (default: wallpaperDesktops()).
    void setWallpaperDesktops(std::vector<std::unique_ptr<KXWallpaperDesktop>> desktops);
    // Where the wallpaper file goes (default: wallpaperFolder()).
    void setWallpaperFolder(const QString& folder) { m_wallpaperFolder = folder; }
    KXExportWallpaperCtl* exportWallpaperCtl();
    // The wallpaper sheet on the main window, then on OK the page shown written and set as the desktop
    // picture. A desktop with no road to its background gets the "WallpaperUnsupported" alert instead.
    void runExportWallpaper();
    // The file the last wallpaper run wrote.
    QString wallpaperPath() const { return m_wallpaperPath; }

    // ---- photo album ----
    // Where the album's files go (default: photoAlbumFolder()).
    void setPhotoAlbumFolder(const QString& folder) { m_photoAlbumFolder = folder; }
    KXExportiPhoto* exportiPhoto();
    // The photo-album sheet, then on OK every page written as a JPEG into the album folder.
    void runSendToiPhoto();

    // ---- export run ----
    // Starts the run at the path: a ".pdf" path writes every page as one PDF with the default document
    // information, otherwise the pages of the page choice in the format chosen in the accessory view.
    void saveImageToPath(const QString& path);
    bool isRunning() const { return m_running; }
    const KXExportResult& lastResult() const { return m_lastResult; }
    KXProgressBarController* pbCtl();
    KXConversionInfoController* exportInfoCtl();
    void stopProgressbar();
    // Reveals the exported file after the success sheet's OK.
    void openExportPath();

    // ---- project preview ----
    // The folder of the preview files; default: "<data folder>/<bundle name>/QuickPreview". Empty: no
    // preview is made.
    void setPreviewFolder(const QString& folder) { m_previewFolder = folder; }
    // Opens the preview PDF of the project in the desktop's viewer, rendering it first when the project
    // changed since the last complete preview (or none was made). The file name is the display name, made
    // unique the first time so that each window keeps its own file.
    void quickLookWithName(const QString& name, bool changed);
    QString previewPath() const { return m_previewPath; }
    bool previewUpToDate() const { return m_previewUpToDate; }

signals:
    // A run (export or preview) ended and its completion ran.
    void runFinished();

private:
    enum class RunKind { Export, Preview, Wallpaper, PhotoAlbum };
    // `sheetInfo`: the PDF information comes from the PDF sheet when the window has one (else the defaults).
    // `files`: the files of a photo-album run.
    void startRun(const QString& path, const std::vector<int>& pageIndexes, RunKind kind, bool sheetInfo,
                  const QStringList& files = {});
    void finishRun(const KXExportResult& result, const QString& path, RunKind kind);
    void finishWallpaper(const KXExportResult& result, const QString& path);
    void finishPhotoAlbum(const KXExportResult& result);
    void presentProgress();
    std::vector<int> allPageIndexes() const;

    KXExportProject m_project;
    QPointer<QWidget> m_mainWindow;
    KXExportViewControllerDelegate* m_delegate = nullptr;
    std::unique_ptr<KXPopoverList> m_list;
    std::unique_ptr<KXExportAccessoryView> m_view;
    std::unique_ptr<KXExportPdfController> m_exportPdfCtl;
    std::unique_ptr<KXExportWallpaperCtl> m_exportWallpaperCtl;
    std::unique_ptr<KXExportiPhoto> m_exportiPhoto;
    std::vector<std::unique_ptr<KXWallpaperDesktop>> m_wallpaperDesktops;
    bool m_wallpaperDesktopsSet = false;
    KXWallpaperDesktop* m_wallpaperDesktop = nullptr;
    KXWallpaperRequest m_wallpaperRequest;
    QString m_wallpaperFolder;
    QString m_wallpaperPath;
    QString m_previousWallpaper;
    QString m_photoAlbumFolder;
    std::unique_ptr<KXProgressBarController> m_pbCtl;
    std::unique_ptr<KXConversionInfoController> m_exportInfoCtl;
    std::vector<kx::NotificationToken> m_observers;
    bool m_running = false;
    KXExportResult m_lastResult;
    QString m_previewFolder;
    QString m_previewPath;
    bool m_previewUpToDate = false;
    // One run at a time; the controller waits for it before it goes away.
    QThreadPool m_pool;
};
