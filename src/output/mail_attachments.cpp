#include "output/mail_attachments.h"

#include "graphics/file_utilities.h"
#include "graphics/geometry_utilities.h"
#include "graphics/image_file_types.h"
#include "model/canvas.h"
#include "output/page_image_encoding.h"
#include "output/share_names.h"
#include "platform/foundation/atomic_file.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

const QString kAttachmentName = QStringLiteral("postcard");
// Attachments are written at 300 dots per inch, so a mail program that sizes by resolution prints them small.
constexpr int kAttachmentResolution = 300;

}  // namespace

kx::Size mailImageSize(kx::Size pageSize, const KXMailOptions& options) {
    kx::Size size = pageSize;
    if (!options.useOriginalSize)
        size = aspectFitSize(pageSize, options.mailSize);
    return {std::max(1.0, std::round(size.width)), std::max(1.0, std::round(size.height))};
}

QString mailAttachmentFolder() {
    return applicationDataSubfolder(QStringLiteral("Email"));
}

void removeEarlierAttachments(const QString& folder) {
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    const QStringList patterns{kAttachmentName + QStringLiteral(".*"), kAttachmentName + QStringLiteral("_*.*")};
    static const QStringList ours{"jpg", "tiff", "bmp", "png", "gif"};
    for (const QFileInfo& entry : dir.entryInfoList(patterns, QDir::Files | QDir::Hidden | QDir::System)) {
        if (entry.isSymLink() || !entry.isFile() || !ours.contains(entry.suffix().toLower()))
            continue;
        QFile::remove(entry.filePath());
    }
}

QStringList saveEmailImageAsFiles(const std::vector<std::shared_ptr<KXCanvas>>& pages, const KXMailOptions& options,
                                  const QString& folder, const KXExportControl& control) {
    QStringList written;
    if (folder.isEmpty())
        return written;
    removeEarlierAttachments(folder);
    for (const std::shared_ptr<KXCanvas>& page : pages) {
        control.waitWhilePausing();
        if (control.isCancelled())
            break;
        const kx::Size size = mailImageSize(page->pixelSize(), options);
        const kx::Image image = page->renderOutputImage(size);
        const QString file = uniqueFilePath(folder, kAttachmentName, options.format);
        if (image.isNull() || file.isEmpty())
            continue;
        const QByteArray data = encodePageImage(image.qimage(), bitmapFileTypeForPath(file), options.quality,
                                                kAttachmentResolution);
        if (control.isCancelled())
            break;
        if (!data.isEmpty() && kx::writeFileAtomically(file, data))
            written.append(file);
    }
    return written;
}
