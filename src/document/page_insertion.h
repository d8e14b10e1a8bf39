// Putting new objects on a page: text boxes, calendars, shapes and lines from the shape picker, photos from
// files, pasted files and text, and pictures for the page's empty photo frames. Everything here works on the
// page model alone; the document window supplies what only it knows (the visible part of the page, the
// page layer's cascade offset) and selects what comes back in its canvas view.
//
// Sizes and places are in preview points of the page (its size on screen at the current zoom, y up, origin
// at the page's lower-left corner) unless said otherwise; the objects get page-relative rectangles.
//
// Each call that adds objects adds them as one undo step on the page's undo manager.
#pragma once

#include "model/canvas.h"
#include "platform/foundation/geometry.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class KXCalendar;
class KXShape;

// The cascade of new text boxes, calendars and shapes: a point in page-relative units added to the centred
// place of each one.
inline constexpr kx::Point kInsertCascadeStep{0.01, 0.01};

// Advances the cascade for a rectangle just placed: back to (0, 0) when it reaches past the page's top or
// right edge, else one step further.
void resetLayerOffsetByRect(const kx::Rect& rect, const kx::Size& previewSize, kx::Point& offset);

// Where a new object of `size` goes: centred on the page plus the cascade offset when that rectangle meets
// the visible part of the page (and the cascade advances), else centred in the visible part (a calendar then
// takes 0.6 of its width and height) with the cascade unchanged. An empty visible rectangle stands for a page
// with no view, which is taken as seen. Returns the page-relative rectangle.
kx::Rect placeNewObject(const kx::Size& previewSize, const kx::Size& size, kx::Point& offset,
                        const kx::Rect& visible, bool isCalendar = false);

// A text box holding `string` (the window passes the localised "NewText"), its font scaled to fill its box
// (a text without a measurable size keeps the scale it has), with no photo, a small shadow; added and
// selected.
std::shared_ptr<KXShape> addTextBox(KXCanvas& page, kx::Point& offset, const kx::Rect& visible, const QString& string);
// A calendar of 0.6 of the page, border off, a small shadow; added and selected.
std::shared_ptr<KXCalendar> addCalendar(KXCanvas& page, kx::Point& offset, const kx::Rect& visible);
// A parametric shape or line of the type, placed by the cascade: 0.4 of the page wide for the wide types
// (rounded rectangle, speech bubble, line, arrow line), else 0.25; about 0.25 of the page width high.
std::shared_ptr<KXShape> addShapeWithType(KXCanvas& page, kx::Point& offset, const kx::Rect& visible,
                                          std::uint32_t shapeType);
// The shape at the rectangle: lines, curves and arrow lines (13 to 15) with a thin border, the others with
// the border off, their text centred and their parameters made absolute for the page. Neither photo nor
// text; every kind takes the aspect ratio given. Added and selected.
std::shared_ptr<KXShape> createShapeWithType(KXCanvas& page, std::uint32_t shapeType, const kx::Rect& relativeRect,
                                             double aspectRatio);

// A new photo object for the image path, set up as every inserted or pasted photo is: no text, a white
// border of width 3 switched off, no frame, no mask, the whole picture shown, selected. No rectangle yet.
std::shared_ptr<KXShape> photoShapeWithPath(const QString& path);

// The size a photo of `pixelSize` is inserted at in an area whose width and height add up to 5 × m:
// the pixel size, shrunk to m on its longer side when that side exceeds m.
kx::Size insertedPhotoSize(const kx::Size& pixelSize, double m);

// A photo of the image at the path, at `point` (its lower-left corner), its picture fitted into `maxSize`.
// Null, with *error naming the reason, when the path gives no picture or no size.
std::shared_ptr<KXShape> addPhotoWithPath(KXCanvas& page, const QString& path, const kx::Point& point,
                                          const kx::Size& maxSize, QString* error = nullptr);
// A photo of the image at the path, centred in the page when the whole page is visible, else in the
// visible part, at most a fifth of that area's width plus height on its longer side. Null, with *error, when
// the file cannot be loaded.
std::shared_ptr<KXShape> addImageWithPath(KXCanvas& page, const QString& path, const kx::Rect& visible,
                                          QString* error = nullptr);
// Photos of the supported images among the paths, the first at `point`, each next one a twentieth of the
// page further right and down; each picture fitted into `maxSize`. Paths that are not images are left out.
KXCanvas::GraphList addPhotosWithPaths(KXCanvas& page, const QStringList& paths, const kx::Point& point,
                                       const kx::Size& maxSize);
// The open dialog's road: photos of the chosen files around the page's centre, sized by the first image.
KXCanvas::GraphList addPhotosFromFiles(KXCanvas& page, const QStringList& paths);

// Pasted image files: one photo per path that gives a picture (others are left out), the first centred on
// the page, each next a twentieth of the page further right and down, each fitted into 0.4 of the page;
// all moved by the paste cascade, which advances one step first.
KXCanvas::GraphList pasteImagesOnPage(KXCanvas& page, kx::Point& offset, const QStringList& paths);
// Pasted text: a text box of the plain string sized to the text as laid out on the page (at least 0.3 of
// the page high), centred on the page as seen in a view of `viewSize`, moved by the paste cascade. Null for
// text without characters or without a measurable size.
std::shared_ptr<KXShape> pasteTextOnPage(KXCanvas& page, kx::Point& offset, const QString& string,
                                         const kx::Size& viewSize);

// The size of text laid out with the default attributes in a box of the page's pixel size.
kx::Size usedSizeOfPlainText(const QString& string, const kx::Size& pixelSize);

// Gives empty photo frames of the page pictures from `images` (paths that are not supported images are
// dropped), each picture at most once, picked with `random` (uniform 32-bit numbers). Returns whether the
// page still has empty frames afterwards.
bool fillRandomly(KXCanvas& page, const QStringList& images, const std::function<std::uint32_t()>& random);
