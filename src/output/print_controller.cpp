#include "output/print_controller.h"

#include "model/canvas.h"
#include "model/page_size.h"
#include "output/export_dialogs.h"
#include "output/print_view.h"
#include "output/print_view_controller.h"
#include "output/progress_sheet.h"
#include "platform/foundation/thread_handover.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// How often a finished build looks again whether the cancel question has been answered, in milliseconds.
constexpr int kAnswerPoll = 20;

KXPrintDialogRunner& dialogRunnerSlot() {
    static KXPrintDialogRunner runner;
    return runner;
}

KXPrintPreviewRunner& previewRunnerSlot() {
    static KXPrintPreviewRunner runner;
    return runner;
}

bool runPrintDialog(QPrinter& printer, KXPrintViewController& options, QWidget* parent, int pageCount) {
    if (const auto& runner = dialogRunnerSlot())
        return runner(printer, options, parent, pageCount);
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, std::max(1, pageCount));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    QWidget* tab = options.view();
    dialog.setOptionTabs({tab});
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // The dialog deletes what it holds; the options tab is kept for the next print.
    tab->setParent(nullptr);
    return accepted;
}

// The preview in a window of its own with a Close button only: printing stays with the print dialog, which
// draws at the printer's resolution.
void runPrintPreview(QPrinter& printer, const std::function<void(QPrinter&)>& paint, QWidget* parent) {
    if (const auto& runner = previewRunnerSlot()) {
        runner(printer, paint, parent);
        return;
    }
    QDialog window(parent);
    window.setObjectName(QStringLiteral("PrintPreview"));
    window.setWindowTitle(exportText("PrintPreview"));
    auto* layout = new QVBoxLayout(&window);
    auto* preview = new QPrintPreviewWidget(&printer, &window);
    preview->setViewMode(QPrintPreviewWidget::FacingPagesView);
    preview->fitInView();
    QObject::connect(preview, &QPrintPreviewWidget::paintRequested, &window, [&paint](QPrinter* p) { paint(*p); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &window);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &window, &QDialog::reject);
    layout->addWidget(preview, 1);
    layout->addWidget(buttons);
    window.resize(800, 640);
    window.exec();
}

}  // namespace

void setPrintDialogRunner(KXPrintDialogRunner runner) {
    dialogRunnerSlot() = std::move(runner);
}

void setPrintPreviewRunner(KXPrintPreviewRunner runner) {
    previewRunnerSlot() = std::move(runner);
}

kx::Size pageSizeInPoints(const KXCanvas& page) {
    const kx::Size pixels = page.pixelSize();
    const std::int64_t dpi = page.pageSize() ? page.pageSize()->dpi() : 0;
    const double perInch = dpi > 0 ? double(dpi) : 72.0;
    return {pixels.width / perInch * 72, pixels.height / perInch * 72};
}

KXPrintController::KXPrintController(KXPrintProject project, KXPrintProgress progress, QObject* parent)
    : QObject(parent), m_project(std::move(project)), m_progress(std::move(progress)) {
    m_pool.setMaxThreadCount(1);
}

KXPrintController::~KXPrintController() {
    m_stop->store(true);
    m_pool.waitForDone();
}

KXPrintViewController* KXPrintController::printCtl() {
    if (!m_printCtl) {
        m_printCtl = std::make_unique<KXPrintViewController>();
        m_printCtl->view();
    }
    return m_printCtl.get();
}

KXPrintInfo& KXPrintController::printInfo() {
    return m_printInfo ? *m_printInfo : KXPrintInfo::sharedPrintInfo();
}

void KXPrintController::preparePrintInfo() {
    KXPrintInfo& info = printInfo();
    const KXCanvas* page = m_project.currentCanvas ? m_project.currentCanvas() : nullptr;
    const kx::Size pixels = page ? page->pixelSize() : kx::Size();
    info.setLandscape(pixels.width > pixels.height);
    info.setZeroMargins();
}

std::shared_ptr<KXPrintView> KXPrintController::buildPrintView(const std::vector<std::shared_ptr<KXCanvas>>& copies,
                                                               double frameWidth, double frameHeight,
                                                               const std::function<void()>& waitWhilePausing,
                                                               const std::function<bool()>& cancelled) {
    auto view = std::make_shared<KXPrintView>(kx::Rect(0, 0, frameWidth, frameHeight));
    view->setMaxPage(int(copies.size()));
    for (const auto& copy : copies) {
        waitWhilePausing();
        if (cancelled())
            return nullptr;
        view->addCanvas(copy);
    }
    return view;
}

void KXPrintController::printAction() {
    if (m_running || !m_progress.sheet)
        return;
    m_running = true;
    if (m_progress.show)
        m_progress.show(exportText("Rendering"));
    printCtl();
    // The copies are made here, on the thread that owns the pages; the worker reads only them.
    std::vector<std::shared_ptr<KXCanvas>> copies;
    const int count = m_project.pageCount ? m_project.pageCount() : 0;
    for (int i = 0; i < count; ++i) {
        std::shared_ptr<KXCanvas> copy = m_project.outputCopyOfPage(i);
        if (!copy) {
            // A page that cannot be copied cannot be printed; printing part of the project is not offered.
            if (m_progress.stop)
                m_progress.stop();
            endRun(false);
            return;
        }
        copies.push_back(std::move(copy));
    }
    const KXCanvas* current = m_project.currentCanvas ? m_project.currentCanvas() : nullptr;
    const kx::Size frame = current ? current->pixelSize() : kx::Size();
    KXProgressBarController* sheet = m_progress.sheet;
    std::shared_ptr<std::atomic<bool>> stop = m_stop;
    QPointer<KXPrintController> self(this);
    // Everything the job holds is in place before the hand-over is announced.
    std::function<void()> work = [self, sheet, stop, frame, copies = std::move(copies)]() mutable {
        kx::takePoolHandOver();
        std::shared_ptr<KXPrintView> view = buildPrintView(
            copies, frame.width, frame.height, [sheet] { sheet->waitWhilePausing(); },
            [sheet, stop] { return stop->load() || sheet->isCancelled(); });
        copies.clear();
        // The view goes to the main thread, which draws its pages from now on.
        kx::announcePoolHandOver();
        QMetaObject::invokeMethod(
            self.data(),
            [self, view] {
                kx::takePoolHandOver();
                if (self)
                    self->finishRendering(view);
            },
            Qt::QueuedConnection);
    };
    kx::announcePoolHandOver();
    m_pool.start(std::move(work));
}

void KXPrintController::finishRendering(std::shared_ptr<KXPrintView> view) {
    // The end of the build can arrive while the sheet asks whether to cancel (its question runs an event
    // loop); the answer decides what happens, so the print waits for it.
    if (m_progress.sheet->isPausing()) {
        QTimer::singleShot(kAnswerPoll, this, [this, view] { finishRendering(view); });
        return;
    }
    if (m_progress.stop)
        m_progress.stop();
    if (m_progress.sheet->isCancelled() || !view) {
        endRun(false);
        return;
    }
    m_view = std::move(view);
    KXPrintInfo& info = printInfo();
    preparePrintInfo();
    KXPrintViewController* options = printCtl();
    options->setRepresentedObject(&info);
    const KXCanvas* current = m_project.currentCanvas ? m_project.currentCanvas() : nullptr;
    options->setPageSize(current ? pageSizeInPoints(*current) : kx::Size());
    m_view->setPrintData(options);
    options->updateScale();
    KXPrintView* shown = m_view.get();
    options->setPreviewHandler([shown, options] {
        runPrintPreview(options->representedObject()->printer(),
                        [shown](QPrinter& printer) { shown->print(printer, KXPrintTarget::Preview); },
                        options->view()->window());
    });
    // Every page unless the user chooses a range again.
    info.printer().setPrintRange(QPrinter::AllPages);
    info.printer().setFromTo(0, 0);
    bool printed = false;
    if (runPrintDialog(info.printer(), *options, m_mainWindow, int(m_view->canvases().size()))) {
        // The paper may have changed in the dialog: a fitted page is fitted to the one chosen.
        options->updateScale();
        printed = m_view->print(info.printer(), KXPrintTarget::Printer);
    }
    options->setPreviewHandler({});
    if (printed && m_project.recordPrint)
        m_project.recordPrint();
    endRun(printed);
}

void KXPrintController::endRun(bool printed) {
    m_view.reset();
    m_running = false;
    emit printFinished(printed);
}
