// Feeds arbitrary drag data to the canvas view's drop decoder: the input is cut at 0xFF bytes into the
// contents of the formats a drag may carry (file URLs, search results, text, rich text, the drag facts of
// our browsers and the search thumbnails). Whatever comes in, the decoded form keeps to its limits, and the
// search results in it unarchive or are refused without harm.
#include "canvas/canvas_drop.h"
#include "fuzz_support.h"
#include "graphics/image_search_record.h"

#include <QByteArray>
#include <QList>
#include <QMimeData>

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kxfuzz::startGuiApplication("fuzz_drop_mime_data");
    qInstallMessageHandler(kxfuzz::quiet);
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\xff');
    const QString formats[] = {QStringLiteral("text/uri-list"), KXGoogleImagePboardType,
                               QStringLiteral("text/plain"),    QStringLiteral("text/html"),
                               KXDragImageFormat,               KXDragBrowserIdFormat,
                               KXDragSourceClassFormat,         KXDragThumbnailsFormat};
    QMimeData mime;
    for (qsizetype i = 0; i < parts.size() && i < qsizetype(std::size(formats)); ++i)
        mime.setData(formats[i], parts[i]);
    const KXDropContents contents = decodeDropMimeData(mime);
    kxfuzz::require(contents.filePaths.size() <= kMaxDroppedFiles);
    kxfuzz::require(int(contents.googleImages.size()) <= kMaxGoogleImagesPerDrag);
    kxfuzz::require(contents.text.size() <= kMaxDroppedTextChars && contents.html.size() <= kMaxDroppedTextChars);
    kxfuzz::require(contents.resourceType >= KXResourceTypePhoto && contents.resourceType <= KXResourceTypeFrame);
    if (contents.imageSize) {
        const kx::Size s = *contents.imageSize;
        kxfuzz::require(s.width > 0 && s.height > 0 && s.width <= kMaxDragImageSide && s.height <= kMaxDragImageSide);
        kxfuzz::require(contents.imageHotSpot.x >= 0 && contents.imageHotSpot.x <= s.width);
        kxfuzz::require(contents.imageHotSpot.y >= 0 && contents.imageHotSpot.y <= s.height);
    }
    for (const QByteArray& archive : contents.googleImages)
        (void)googleImageFromArchive(archive);
    return 0;
}
