// The image files of an e-mail: every page rendered at the chosen size and written in the chosen format into
// the application's "Email" folder as postcard.<ext>, postcard_001.<ext>, ...
#pragma once

#include "output/export_run.h"
#include "platform/foundation/geometry.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class KXCanvas;

struct KXMailOptions {
    // Pages go at their own pixel size; otherwise fitted inside `mailSize`, keeping their proportions.
    bool useOriginalSize = false;
    kx::Size mailSize{640, 640};
    // "jpg", "tiff", "bmp", "png" or "gif".
    QString format = QStringLiteral("jpg");
    // JPEG quality, 1 .. 100.
    int quality = 90;
};

// The pixel size a page of `pageSize` is sent at (whole pixels, at least 1 each way).
kx::Size mailImageSize(kx::Size pageSize, const KXMailOptions& options);

// <data>/<bundle name>/Email, created; empty when it cannot be.
QString mailAttachmentFolder();

// Removes the attachments an earlier mail left in the folder (regular files named postcard*.<format of
// ours>), so that the folder does not grow with every mail; anything else in it stays.
void removeEarlierAttachments(const QString& folder);

// Renders and writes the pages (output copies, rendered on the calling thread) into the folder, after
// removing the earlier attachments; the files written, in page order. A page that cannot be rendered or
// written is left out. Stops between pages when the control says so. An empty folder writes nothing.
QStringList saveEmailImageAsFiles(const std::vector<std::shared_ptr<KXCanvas>>& pages, const KXMailOptions& options,
                                  const QString& folder, const KXExportControl& control = {});
