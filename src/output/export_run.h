// The export run: pages rendered one after the other (on the calling thread, a worker's) and written as
// bitmap files, layered PSD files or one PDF document, chosen by the path's extension.
//
// - One bitmap or PSD page is written at the path itself; several go into the folder at the path (created when
//   missing, never emptied) as <folder>/<folder name>_<n>.<format>, replacing only files of those names.
// - Every page is rendered from its own output copy at its own pixel size; in a PDF each page gets its own
//   media box.
// - Every file is written under a temporary name and renamed into place, so a failed, cancelled or killed run
//   never leaves an incomplete file under a final name.
// - Between pages the run waits while the progress sheet is asking to confirm a cancel, and stops when the
//   cancel is confirmed.
#pragma once

#include "output/pdf_writer.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class KXCanvas;

struct KXExportJob {
    // Output copies (KXCanvas::outputCopy) of the pages to write, in order. They are rendered on the run's
    // thread and belong to nobody else.
    std::vector<std::shared_ptr<KXCanvas>> pages;
    QString path;
    // Extension of the numbered files of a multi-file run ("jpg", "png", "tiff", "bmp", "psd").
    QString format;
    // JPEG quality, 1 .. 100.
    int quality = 100;
    // Document information of a PDF run.
    KXPdfInfo pdfInfo;
    // The bitmap files to write, one per page, in place of the path's own naming (the photo album names its
    // files after a name of the user's); empty: named by the path.
    QStringList files;
};

// How the run asks the progress sheet whether to stop; both may be called from the run's thread.
struct KXExportControl {
    std::function<bool()> isCancelled = [] { return false; };
    std::function<void()> waitWhilePausing = [] {};
};

enum class KXExportOutcome { Written, Cancelled, Failed };

struct KXExportResult {
    KXExportOutcome outcome = KXExportOutcome::Failed;
    // 1-based number (in the job's list) of the page that could not be written; 0 when no page is to blame.
    int failedPage = 0;
    QString reason;
    // The files written completely, in order.
    QStringList writtenFiles;
};

// The kinds of run: by the path's lower-cased extension ("pdf", "psd"), and for a folder of numbered files
// by the format.
enum class KXExportKind { Bitmap, PSD, PDF };
KXExportKind exportKindForPath(const QString& path);
KXExportKind exportKindOfJob(const KXExportJob& job);

// Whether the run writes a folder of numbered files (more than one page, and not a PDF).
bool exportJobWritesFolder(const KXExportJob& job);

KXExportResult runExport(const KXExportJob& job, const KXExportControl& control = {});
