// The print road of a document window: File > Print.
//
// 1. The window's progress sheet shows "Rendering"; output copies of every page are made on the main thread
//    (the thread that owns the pages) and a worker builds the print view from them, page after page,
//    waiting while the sheet asks the user to confirm a cancel and stopping when the cancel is confirmed.
// 2. Back on the main thread the sheet goes down. A cancelled run ends there: no dialog, nothing printed.
// 3. The shared print information gets zero margins and the orientation of the current page's shape; the
//    options tab gets the page size in points and works out the scale.
// 4. The print dialog runs with the options tab (and its preview button); when the user prints, the view
//    draws every sheet of the chosen range into the printer, and the usage event is recorded when something
//    was printed.
//
// The controller reaches the project through KXPrintProject, so that output does not depend on the document
// layer. The dialog and the preview can be replaced, so that tests never wait on a modal dialog.
#pragma once

#include "platform/foundation/geometry.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class KXCanvas;
class KXPrintInfo;
class KXPrintView;
class KXPrintViewController;
class KXProgressBarController;
class QPrinter;
class QWidget;

// What the controller needs of the project, answered on the main thread.
struct KXPrintProject {
    std::function<int()> pageCount;
    // An output copy of the page at the 0-based index (KXCanvas::outputCopy); null when it cannot be made.
    std::function<std::shared_ptr<KXCanvas>(int)> outputCopyOfPage;
    // The page the window shows; its shape chooses the paper's orientation. Null without pages.
    std::function<const KXCanvas*()> currentCanvas;
    // Records the usage event of a print with the project's summary; may be empty.
    std::function<void()> recordPrint;
};

// The window's progress sheet: the controller whose flags the worker follows, and how the window shows it
// with a tip and takes it down.
struct KXPrintProgress {
    KXProgressBarController* sheet = nullptr;
    std::function<void(const QString& tip)> show;
    std::function<void()> stop;
};

// Runs the print dialog for the printer, with the options tab, modally on `parent`; the pages are 1 to
// pageCount. True when the user chose to print (the printer then holds the choices). The options tab goes
// back to its controller before the dialog goes.
using KXPrintDialogRunner =
    std::function<bool(QPrinter& printer, KXPrintViewController& options, QWidget* parent, int pageCount)>;
void setPrintDialogRunner(KXPrintDialogRunner runner);
// Runs Qt's print preview of the printer on `parent`; `paint` draws the sheets into the printer it is given.
using KXPrintPreviewRunner =
    std::function<void(QPrinter& printer, const std::function<void(QPrinter&)>& paint, QWidget* parent)>;
void setPrintPreviewRunner(KXPrintPreviewRunner runner);

// The size of a page in points: its pixels over its dpi (72 when it has none) times 72.
kx::Size pageSizeInPoints(const KXCanvas& page);

class KXPrintController : public QObject {
    Q_OBJECT
public:
    KXPrintController(KXPrintProject project, KXPrintProgress progress, QObject* parent = nullptr);
    ~KXPrintController() override;

    // The window the dialog runs on.
    void setMainWindow(QWidget* window) { m_mainWindow = window; }

    // File > Print. Nothing happens while a print is under way.
    void printAction();
    bool isRunning() const { return m_running; }

    // The options tab, made on first use and kept for later prints.
    KXPrintViewController* printCtl();
    // The print information of this window's prints (the application's shared one unless a test gives its
    // own). Not owned.
    KXPrintInfo& printInfo();
    void setPrintInfo(KXPrintInfo* info) { m_printInfo = info; }
    // Prepares the print information for the current page: zero margins, landscape for a page wider than
    // tall, else portrait.
    void preparePrintInfo();

    // The view of the print under way (while the dialog runs); null otherwise.
    const KXPrintView* currentView() const { return m_view.get(); }

    // Builds the print view of the copies on the calling thread: the frame's size, one page per copy. Between
    // pages it waits out the pause and stops (answering null) when `cancelled` says so.
    static std::shared_ptr<KXPrintView> buildPrintView(const std::vector<std::shared_ptr<KXCanvas>>& copies,
                                                       double frameWidth, double frameHeight,
                                                       const std::function<void()>& waitWhilePausing,
                                                       const std::function<bool()>& cancelled);

signals:
    // A print ended (cancelled, declined in the dialog, or printed); `printed` when sheets went out.
    void printFinished(bool printed);

private:
    void finishRendering(std::shared_ptr<KXPrintView> view);
    void endRun(bool printed);

    KXPrintProject m_project;
    KXPrintProgress m_progress;
    QPointer<QWidget> m_mainWindow;
    std::unique_ptr<KXPrintViewController> m_printCtl;
    KXPrintInfo* m_printInfo = nullptr;
    std::shared_ptr<KXPrintView> m_view;
    bool m_running = false;
    // Set when the controller goes, so that a worker still building stops at its next page.
    std::shared_ptr<std::atomic<bool>> m_stop = std::make_shared<std::atomic<bool>>(false);
    // One build at a time; the controller waits for it before it goes away.
    QThreadPool m_pool;
};
