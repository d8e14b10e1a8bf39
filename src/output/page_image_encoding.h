// A rendered page encoded as the bytes of a bitmap file: JPEG with its quality, PNG, TIFF, BMP (a real
// Windows bitmap) or GIF, each recording the page's resolution where the format carries one.
#pragma once

#include "graphics/image_file_types.h"

#include <QByteArray>
#include <QImage>
#include <QString>

class KXCanvas;

// The resolution a page's files record: the page's own dots per inch when it is measured in a physical unit,
// 72 for a page measured in pixels (so its point size equals its pixel size).
int exportResolutionOfPage(const KXCanvas& page);
// The resolution that sizes a page in a PDF: the page's own dots per inch whatever its unit (72 when it has
// none), so that a page of 2480 x 3508 pixels at 300 dpi becomes an A4 page of 595 x 842 points.
int pdfResolutionOfPage(const KXCanvas& page);

// The image encoded as the type; `quality` (1 .. 100) is used by JPEG only. An empty array when the type
// cannot be written (*error says why).
QByteArray encodePageImage(const QImage& image, BitmapFileType type, int quality, int dotsPerInch,
                           QString* error = nullptr);
