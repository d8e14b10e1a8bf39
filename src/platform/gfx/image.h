// An immutable, implicitly shared bitmap image. Colour images are 8-bit RGBA premultiplied in memory
// order R, G, B, A (sRGB); grey images are 8-bit grey without alpha and alpha-only images 8-bit coverage.
// Memory row 0 is the top row of the picture. Copies share pixels; nothing changes an image once made.
//
// Every image the application makes from data, from a file or by name goes through fromData(), fromFile()
// and named(), which read JPNG as well as the formats Qt's image plugins decode.
#pragma once

#include "platform/foundation/geometry.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

namespace kx {

class Image {
public:
    enum class Format {
        RGBA,   // QImage::Format_RGBA8888_Premultiplied
        Gray,   // QImage::Format_Grayscale8
        Alpha,  // QImage::Format_Alpha8
    };

    // The null image ("no image").
    Image() = default;
    // Wraps a QImage: grey and alpha-only images keep their kind, every other format is converted to RGBA.
    explicit Image(const QImage& image);
    // The same, taking over the image: a conversion to RGBA then works in its memory where Qt can.
    explicit Image(QImage&& image);

    bool isNull() const { return m_image.isNull(); }
    Format format() const { return m_format; }
    bool isGray() const { return !isNull() && m_format == Format::Gray; }
    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    Size pixelSize() const { return {double(width()), double(height())}; }

    // The size the image shows at, in points: its pixel size unless set otherwise (an "@2x" file shows at half).
    Size pointSize() const;
    Image withPointSize(const Size& size) const;

    // The wrapped image, in one of the three formats above.
    const QImage& qimage() const { return m_image; }
    const uchar* constBits() const { return m_image.constBits(); }
    int bytesPerRow() const { return int(m_image.bytesPerLine()); }
    // The pixel at column x of memory row `row` (0 = top), un-premultiplied; transparent outside the image.
    // Grey pixels read as opaque grey, alpha-only pixels as black with that alpha.
    QColor pixelColor(int x, int row) const;

    // Decodes JPNG data, else any format the image plugins read. Broken or oversized data gives a null image.
    static Image fromData(const QByteArray& data);
    // Opens a file (its "@2x" variant on a 2x screen, shown at half size). A missing or broken file gives null.
    static Image fromFile(const QString& path);
    // An image resource of the application by name. Names with the extension "jpng" are decoded once and
    // shared through a cache; other names are looked up in the resource folder, with or without extension.
    static Image named(const QString& name);

    // The folder where named() finds resources: the main bundle's resources folder.
    static QString resourceFolder();

    // Largest pixel count a decoder or a context accepts (width x height); larger images are refused.
    static constexpr qint64 maximumPixelCount = qint64(1) << 28;
    // Sets Qt's image reader limit on one image's memory (one value for the whole process, four bytes per
    // pixel at the pixel limit) once, before the first decode; decoders call it instead of setting the
    // limit themselves, which several threads decoding at once would race on.
    static void limitReaderAllocations();

private:
    QImage m_image;
    Format m_format = Format::RGBA;
    Size m_pointSize;
    bool m_hasPointSize = false;
};

}  // namespace kx
