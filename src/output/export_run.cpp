#include "output/export_run.h"

#include "model/canvas.h"
#include "output/canvas_psd_export.h"
#include "output/export_choices.h"
#include "output/page_image_encoding.h"
#include "platform/foundation/atomic_file.h"

#include <QDir>
#include <QFileInfo>

KXExportKind exportKindForPath(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("pdf"))
        return KXExportKind::PDF;
    if (ext == QLatin1String("psd"))
        return KXExportKind::PSD;
    return KXExportKind::Bitmap;
}

KXExportKind exportKindOfJob(const KXExportJob& job) {
    const KXExportKind byPath = exportKindForPath(job.path);
    if (byPath == KXExportKind::Bitmap && exportJobWritesFolder(job) && job.format.toLower() == QLatin1String("psd"))
        return KXExportKind::PSD;
    return byPath;
}

bool exportJobWritesFolder(const KXExportJob& job) {
    return job.pages.size() > 1 && exportKindForPath(job.path) != KXExportKind::PDF;
}

namespace {

KXExportResult failure(int page, const QString& reason, QStringList written = {}) {
    return {KXExportOutcome::Failed, page, reason, std::move(written)};
}

// Waits out an open confirmation; true when the run is to stop.
bool shouldStop(const KXExportControl& control) {
    control.waitWhilePausing();
    return control.isCancelled();
}

// The files of the run: the path itself for one page, numbered files in the folder at the path for several.
// Empty (with *reason) when the target cannot hold them; an existing folder is used as it is.
QStringList targetFiles(const KXExportJob& job, QString* reason) {
    if (!job.files.isEmpty()) {
        if (job.files.size() != qsizetype(job.pages.size())) {
            *reason = QStringLiteral("there is not one file for each page");
            return {};
        }
        return job.files;
    }
    const QFileInfo target(job.path);
    if (!exportJobWritesFolder(job)) {
        if (target.isDir()) {
            *reason = QStringLiteral("\"%1\" is a folder").arg(job.path);
            return {};
        }
        return {job.path};
    }
    if (target.exists() && !target.isDir()) {
        *reason = QStringLiteral("\"%1\" is a file, not a folder").arg(job.path);
        return {};
    }
    if (!QDir().mkpath(job.path)) {
        *reason = QStringLiteral("the folder \"%1\" cannot be made").arg(job.path);
        return {};
    }
    QStringList files;
    const QString ext = exportKindOfJob(job) == KXExportKind::PSD ? QStringLiteral("psd") : job.format.toLower();
    for (int i = 0; i < int(job.pages.size()); ++i)
        files.append(numberedExportPath(job.path, i, ext));
    return files;
}

bool writeBitmapPage(KXCanvas& page, const QString& file, const KXExportJob& job, QString* reason) {
    const kx::Image image = page.renderOutputImage(page.pixelSize());
    if (image.isNull()) {
        *reason = QStringLiteral("the page cannot be rendered at its size");
        return false;
    }
    const QByteArray data =
        encodePageImage(image.qimage(), bitmapFileTypeForPath(file), job.quality, exportResolutionOfPage(page), reason);
    return !data.isEmpty() && kx::writeFileAtomically(file, data, reason);
}

bool writePSDPage(KXCanvas& page, const QString& file, QString* reason) {
    PSDError error;
    if (savePSDImageToPath(page, file, page.pixelSize(), &error, exportResolutionOfPage(page)))
        return true;
    *reason = error.reason.isEmpty() ? error.name : error.reason;
    return false;
}

KXExportResult runPDF(const KXExportJob& job, const KXExportControl& control) {
    if (QFileInfo(job.path).isDir())
        return failure(0, QStringLiteral("\"%1\" is a folder").arg(job.path));
    KXPdfWriter writer(job.pdfInfo);
    for (int i = 0; i < int(job.pages.size()); ++i) {
        if (shouldStop(control))
            return {KXExportOutcome::Cancelled, 0, {}, {}};
        KXCanvas& page = *job.pages[size_t(i)];
        const kx::Size pixels = page.pixelSize();
        // The picture has twice the page's pixels, so the PDF stays sharp when it is zoomed in.
        const kx::Image image = page.renderOutputImage({pixels.width * 2, pixels.height * 2});
        QString reason = QStringLiteral("the page cannot be rendered at its size");
        if (image.isNull() || !writer.addPage(image.qimage(), pdfPageSize(pixels, pdfResolutionOfPage(page)), &reason))
            return failure(i + 1, reason);
    }
    if (shouldStop(control))
        return {KXExportOutcome::Cancelled, 0, {}, {}};
    QString reason;
    if (!writer.finish(job.path, &reason))
        return failure(0, reason);
    return {KXExportOutcome::Written, 0, {}, {job.path}};
}

}  // namespace

KXExportResult runExport(const KXExportJob& job, const KXExportControl& control) {
    if (job.pages.empty())
        return failure(0, QStringLiteral("there are no pages to export"));
    if (shouldStop(control))
        return {KXExportOutcome::Cancelled, 0, {}, {}};
    const KXExportKind kind = job.files.isEmpty() ? exportKindOfJob(job) : KXExportKind::Bitmap;
    if (kind == KXExportKind::PDF)
        return runPDF(job, control);
    QString reason;
    const QStringList files = targetFiles(job, &reason);
    if (files.isEmpty())
        return failure(0, reason);
    QStringList written;
    for (int i = 0; i < files.size(); ++i) {
        if (shouldStop(control))
            return {KXExportOutcome::Cancelled, 0, {}, written};
        KXCanvas& page = *job.pages[size_t(i)];
        const bool ok = kind == KXExportKind::PSD ? writePSDPage(page, files[i], &reason)
                                                  : writeBitmapPage(page, files[i], job, &reason);
        if (!ok)
            return failure(i + 1, reason, written);
        written.append(files[i]);
    }
    return {KXExportOutcome::Written, 0, {}, written};
}
