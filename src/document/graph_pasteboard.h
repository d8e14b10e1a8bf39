// Page objects on the clipboard. Copy writes our own clipboard type: a binary property list holding an
// array of data items, item 0 the keyed archive of the source page's pixel size (a KXSize in pixels at
// 72 dpi), then one keyed archive per copied object (the selected, unlocked objects of the page in the
// order of its selection). Paste reads it back into any page, window or project: the objects keep their
// place relative to the page and their size in pixels, and each further paste lands one step further along
// (see the cascade below).
//
// Clipboard data may come from any other program, so reading it is bounded: the whole of it, the number of
// items and each archive are limited, a page size that is not a positive, finite pixel size refuses the
// whole of it, and an item that does not read back as a page object is left out.
#pragma once

#include "model/canvas.h"
#include "platform/foundation/geometry.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class KXGraph;

// The clipboard type of copied page objects.
inline const QString KXGrpahPasteboardType = QStringLiteral("application/x-kollage-page-objects");

// Clipboard data of our type larger than this is refused unread: archives of page objects hold no images.
inline constexpr qint64 kMaxGraphPasteboardBytes = qint64(64) << 20;
// At most this many objects are read: as many as a page may hold.
inline constexpr std::size_t kMaxGraphPasteboardObjects = 10000;

// The paste cascade: every paste onto a page first moves its page layer's offset one step, then places
// the objects by it. Copy puts the offset of the page copied from at (0, 0) and that of every other page at
// minus one step, so that the first paste onto the source page lands one step right and down (page-relative
// y grows upwards) and the first paste onto another page lands exactly in place.
inline constexpr kx::Point kPasteCascadeStep{0.01, -0.01};
inline constexpr kx::Point kPasteOffsetOfOtherPages{-0.01, 0.01};

// The data copy writes for the page's selection; with no unlocked object selected the array holds the
// page size alone. Empty when the page has no usable size or an object cannot be archived.
QByteArray selectedGraphsAsDatas(const KXCanvas& page);

// What paste reads from our clipboard type.
struct KXPasteboardGraphs {
    kx::Size sourcePixelSize;
    std::vector<std::shared_ptr<KXGraph>> graphs;
    // Items that did not read back as page objects (left out).
    std::size_t skippedItems = 0;
};

// Reads clipboard data of our type; nullopt (and *error) when it is not such an array, is too large,
// holds too many items or has no usable page size.
std::optional<KXPasteboardGraphs> readGraphPasteboardData(const QByteArray& data, QString* error = nullptr);

// Puts the objects onto the page as one undo step: the offset moves one step first; each object's
// page-relative rectangle is scaled so that it keeps its pixel size when the page sizes differ, moved by
// the offset, and the object is added (selected). An object that reaches past the right or bottom edge
// sets the offset back to (0, 0) for later pastes. The added objects, in order.
KXCanvas::GraphList pasteGraphsOnPage(KXCanvas& page, kx::Point& offset, const KXPasteboardGraphs& pasted);
