// Turning image files into images: bitmap formats through Qt's image readers, JPNG through its own
// reader, and vector files (PDF, AI, EPS, SVG) rasterised. Every function returns a new image, or the
// null image when the path is empty, the file is missing, unreadable, not an image, or refused.
//
// Bitmaps come out upright (the file's orientation, rotation and mirroring, applied), converted to sRGB
// when they embed another colour profile, and 8 bits per component (16-bit files are reduced).
//
// Limits against hostile files ("decompression bombs"): the decoder reads the stored size before any
// pixel and refuses an image of more than kx::Image::maximumPixelCount pixels, and Qt's reader refuses to
// allocate more than four bytes a pixel at that count (1024 MB) for one image
// (kx::Image::limitReaderAllocations). PDF pages are drawn at one pixel per point
// but never larger than kMaximumPDFPixelCount pixels nor kMaximumPDFPixelSide on a side; a larger page is
// drawn scaled down, keeping its proportions. EPS files are PostScript programs, so they are run by
// Ghostscript in a separate process (safe mode, no file access, limited memory) that is stopped after
// kEPSTimeLimitMs.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/image.h"

#include <QByteArray>
#include <QString>

inline constexpr qint64 kMaximumPDFPixelCount = qint64(1) << 26;
inline constexpr int kMaximumPDFPixelSide = 16384;
inline constexpr int kEPSTimeLimitMs = 20000;
// The size vector files are drawn to fit when a whole file is loaded.
inline constexpr double kVectorRasterLimit = 2000;

// The whole image of a file: JPNG decoded (baked into a plain bitmap), a PDF's first page at its own size,
// SVG, EPS and AI drawings fitted into 2000 x 2000 (small drawings are scaled up), anything else through the
// bitmap readers at full size.
kx::Image loadImageFromFile(const QString& path);

// loadImageFromFile through a small shared cache, for the decorations (frames, masks) that every copy of a
// page loads again: a file read before is handed out again while its size and modification time are
// unchanged. Holds at most kSharedImageCacheBytes of pixels, the most recently used kept; larger images are
// loaded and not kept. Thread-safe.
inline constexpr qint64 kSharedImageCacheBytes = qint64(64) << 20;
kx::Image loadSharedImageFromFile(const QString& path);

// Image 0 of encoded bitmap data (a downloaded image), decoded like a bitmap file: upright, in sRGB,
// size-checked first, scaled down by the decoder when `maximumPixelSize` is positive. Null when it
// cannot be read.
kx::Image decodeBitmapData(const QByteArray& data, int maximumPixelSize = 0);

// A JPNG file at full size; any other file through the bitmap readers, decoded straight to a size whose
// longer side is at most `maximumPixelSize` (never enlarged). The JPEG reader then decodes at 1/2, 1/4 or
// 1/8 scale, which makes this much faster than a full decode. Vector files are not rasterised here, and the
// bitmap readers do not read them, so they give null. A `maximumPixelSize` of 0 or less sets no limit.
kx::Image loadImageThumbnail(const QString& path, int maximumPixelSize);

// The first page of a PDF (or PDF-compatible) file at one pixel per point, on a transparent background.
kx::Image rasterizePDFFile(const QString& path);
// The number of pages of a PDF file; 0 when it cannot be opened.
int pdfPageCount(const QString& path);
// The page numbered `index` (from 0) fitted into (maxWidth, maxHeight) like a drawing; null when there is no
// such page.
kx::Image rasterizePDFPage(const QString& path, int index, double maxWidth, double maxHeight);
// The first page's size in points, rotation applied; (0, 0) when the file cannot be opened.
kx::Size pdfFirstPageSize(const QString& path);
// The first page drawn into an image of `size` pixels (rounded up), stretched to fill it; null for an empty
// size or one beyond the PDF limits above.
kx::Image rasterizePDFFileToSize(const QString& path, const kx::Size& size);

// Vector drawings fitted into (maxWidth, maxHeight) with aspectFitSize (small drawings are scaled up), on a
// transparent background. A drawing that cannot be opened, or has no size, gives null.
kx::Image rasterizeSVGFile(const QString& path, double maxWidth, double maxHeight);
kx::Image rasterizeEPSFile(const QString& path, double maxWidth, double maxHeight);
kx::Image rasterizeAIFile(const QString& path, double maxWidth, double maxHeight);
// The first page of PDF (or AI) data, fitted like rasterizeAIFile.
kx::Image rasterizePDFData(const QByteArray& data, double maxWidth, double maxHeight);

// The natural size of an EPS drawing: its %%BoundingBox in points; (0, 0) when there is none.
kx::Size epsBoundingBoxSize(const QString& path);
// Where an EPS drawing lies: its %%BoundingBox (lower-left corner and size in points; empty when there is
// none) and whether the box came from the trailer ("(atend)" in the header). The PostScript section of a
// DOS EPS binary file is read; the header is searched in its first 256 KiB, the trailer in its last 64 KiB.
struct EPSBoundingBox {
    kx::Rect rect;
    bool inTrailer = false;
};
EPSBoundingBox epsBoundingBoxOfData(const QByteArray& data);
// The picture of the PNG that Ghostscript wrote for a drawing fitted to `fitted`, stretched to that size;
// null when the PNG is unreadable or announces a picture much larger than asked for.
kx::Image epsImageFromPNG(const QByteArray& png, const kx::Size& fitted);

// The application's "reflectionMask" resource, loaded on first use and kept; null (and tried again on the
// next call) while the resource is missing. A grey ramp: white next to the object, fading to black.
kx::Image reflectionMaskImage();
