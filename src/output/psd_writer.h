// A writer of layered Photoshop documents (PSD, version 1, 8 bits per channel, RGB), built in memory.
//
// Layers are added bottom first; each is stored with the bounds of the whole document and is transparent
// outside the pixels its image covers. The writer also keeps the composite of all layers over opaque
// white, which becomes the file's merged image. Misuse (no document size, no layers, a layer with no pixel
// inside the document) is an error returned to the caller, never an exception or a crash.
#pragma once

#include "platform/foundation/geometry.h"
#include "platform/gfx/image.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

// Why the writer refused: a name for the kind of misuse and a sentence that says what was wrong.
struct PSDError {
    QString name;
    QString reason;
};

// One layer: its pixels inside the document as a straight (not premultiplied) RGBA image of the rectangle's
// size (QImage::Format_RGBA8888, rows from the top); its opacity 0...1; its rectangle in document pixels
// from the top-left.
struct PSDLayer {
    QString name;
    QImage imageData;
    float opacity = 1;
    QRect rect;
};

class PSDWriter {
public:
    // Largest width or height a version 1 file may have.
    static constexpr int maximumDimension = 30000;

    PSDWriter() = default;
    // A writer for a document of this size in pixels (fractions are dropped).
    explicit PSDWriter(kx::Size documentSize);

    kx::Size documentSize() const { return m_documentSize; }
    void setDocumentSize(kx::Size size) { m_documentSize = size; }
    // The resolution the file records, in pixels per inch: 72 unless set (a value below 1 is taken as 72).
    int dotsPerInch() const { return m_dotsPerInch; }
    void setDotsPerInch(int dotsPerInch) { m_dotsPerInch = dotsPerInch >= 1 && dotsPerInch <= 30000 ? dotsPerInch : 72; }
    int layerChannelCount() const { return m_layerChannelCount; }
    const std::vector<PSDLayer>& layers() const { return m_layers; }

    // Appends the image as the new top layer at the offset (measured from the document's top-left, in whole
    // pixels: fractions are dropped toward negative infinity) and draws it into the composite with the
    // opacity (clamped to 0...1). The parts of the image outside the document are cut off. False, with
    // *error filled and nothing added, when the document size is unusable or no pixel of the image lands
    // inside the document.
    bool addLayerWithCGImage(const kx::Image& image, const QString& name, float opacity, kx::Point offset,
                             PSDError* error = nullptr);

    // The whole file. The layers are consumed: a writer serves one file. An empty buffer, with *error filled
    // and the layers kept, when there is no layer or the file would be too large for the format.
    QByteArray createPSDData(PSDError* error = nullptr);

    // Builds the file and writes it atomically: on any failure an old file at the path is left as it was.
    bool writeToFile(const QString& path, PSDError* error = nullptr);

private:
    bool checkDocumentSize(PSDError* error) const;
    int width() const;
    int height() const;

    kx::Size m_documentSize;
    int m_dotsPerInch = 72;
    std::vector<PSDLayer> m_layers;
    int m_layerChannelCount = 4;
    QImage m_flattenedContext;  // premultiplied RGBA composite over white
};

// Appends a non-negative integer as `length` big-endian bytes (length 1 to 8).
void appendValue(QByteArray& data, std::uint64_t value, int length);

// PackBits encoding of the bytes at start, start + skip, start + 2 * skip, ... below start + length: runs of 3
// to 127 equal bytes, literal packets of 1 to 128 bytes. Reads nothing outside data.
QByteArray packedBitsForRange(const QByteArray& data, qsizetype start, qsizetype length, int skip);
// The same over a raw buffer of `size` bytes.
QByteArray packedBitsForRange(const uchar* data, qsizetype size, qsizetype start, qsizetype length, int skip);
// The same, appended to `out`.
void appendPackedBits(QByteArray& out, const uchar* data, qsizetype size, qsizetype start, qsizetype length,
                      int skip);
