// What a drag onto the canvas view carries, read from its mime data. Everything in it is untrusted: it may
// come from another program. The canvas view's drop handling (canvas_drop.cpp) works on this decoded form
// alone, so drops from our own browsers, from the file manager and from tests are handled alike.
//
// Besides the usual formats (text/uri-list, text/plain, text/html) and the search results'
// KXGoogleImagePboardType, our browsers put the facts a drop reads from its source into the mime data:
// the class of the source browser, its identifier ("mask", "frame" give the resource type), the size of the
// dragged picture and where the pointer holds it, and the thumbnails of dragged search results that are
// already loaded.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/image.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QMimeData;

// Posted with the view as sender after a mask or frame was dropped onto empty page.
inline const QString KXNewEmptyPhoto = QStringLiteral("KXNewEmptyPhoto");
// Posted with the photo's shape as sender after a drop replaced its picture, mask or frame.
inline const QString KXReplacePhotoNotification = QStringLiteral("KXReplacePhotoNotification");

// The mime formats of the drag facts.
inline const QString KXDragSourceClassFormat = QStringLiteral("application/x-kollage-drag-source");
inline const QString KXDragBrowserIdFormat = QStringLiteral("application/x-kollage-browser-id");
// "{{x, y}, {w, h}}": the pointer's place in the dragged picture (from its top-left corner, y down) and the
// picture's size, in points.
inline const QString KXDragImageFormat = QStringLiteral("application/x-kollage-drag-image");
// A binary property list dictionary from thumbnail address to PNG data.
inline const QString KXDragThumbnailsFormat = QStringLiteral("application/x-kollage-search-thumbnails");

// What a dropped file becomes on a photo.
enum KXResourceType : int {
    KXResourceTypePhoto = 0,
    KXResourceTypeMask = 1,
    KXResourceTypeFrame = 2,
};

// Limits on what is read from a drag.
inline constexpr int kMaxDroppedFiles = 200;
inline constexpr qsizetype kMaxDroppedTextChars = 200000;
inline constexpr qsizetype kMaxDroppedThumbnailBytes = 4 * 1024 * 1024;
inline constexpr double kMaxDragImageSide = 100000;

struct KXDropContents {
    // Local files of text/uri-list, in order (other schemes are left out).
    QStringList filePaths;
    // Keyed archives of search results.
    std::vector<QByteArray> googleImages;
    // The plain text, and the rich text when the drag has it.
    QString text;
    QString html;
    // The class of the source browser (empty for other sources) and the resource type its identifier gives.
    QString sourceClass;
    int resourceType = KXResourceTypePhoto;
    // The dragged picture's size and the pointer's place in it (top-left origin), when the source said.
    std::optional<kx::Size> imageSize;
    kx::Point imageHotSpot;
    // Loaded thumbnails of search results by their address.
    QHash<QString, kx::Image> thumbnails;

    bool hasString() const { return !text.isEmpty() || !html.isEmpty(); }
};

KXDropContents decodeDropMimeData(const QMimeData& data);

// The resource type of a browser identifier: "mask" 1, "frame" 2 (case ignored), 0 otherwise.
int resourceTypeForBrowserId(const QString& idString);

// Adds the drag facts of a browser to mime data.
void addDragSourceFacts(QMimeData& data, const QString& sourceClass, const QString& browserId);
void addDragImageFacts(QMimeData& data, const kx::Size& imageSize, const kx::Point& hotSpot);
void addDragThumbnails(QMimeData& data, const QHash<QString, kx::Image>& thumbnails);
