#include "output/psd_writer.h"

#include "platform/foundation/atomic_file.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <utility>
#include <vector>

namespace {

constexpr std::uint64_t maximumSectionLength = std::numeric_limits<std::uint32_t>::max();

void fail(PSDError* error, const QString& name, const QString& reason) {
    if (error)
        *error = {name, reason};
}

// The layer name as the record stores it: the name and one blank, padded with blanks or cut to 15
// characters. Characters outside printable ASCII become '?', since the field holds single bytes.
QByteArray recordName(const QString& name) {
    QByteArray bytes;
    for (QChar ch : name + QLatin1Char(' ')) {
        if (bytes.size() == 15)
            break;
        const char16_t u = ch.unicode();
        bytes.append(u >= 0x20 && u < 0x7f ? char(u) : '?');
    }
    while (bytes.size() < 15)
        bytes.append(' ');
    return char(15) + bytes;
}

// Rows stored as the channel data and the merged image store them: every row's byte count, then the rows.
// The counts are reserved first and filled in as each row is appended, so nothing is copied twice.
class RowBlock {
public:
    RowBlock(QByteArray& out, int rows) : m_out(out), m_countsAt(out.size()) { out.resize(out.size() + 2 * qsizetype(rows)); }
    void beginRow() { m_rowStart = m_out.size(); }
    void endRow() {
        const qsizetype length = m_out.size() - m_rowStart;  // at most 30238 for the widths allowed
        m_out[m_countsAt + 2 * m_row] = char(length >> 8);
        m_out[m_countsAt + 2 * m_row + 1] = char(length & 0xff);
        ++m_row;
    }

private:
    QByteArray& m_out;
    qsizetype m_countsAt;
    qsizetype m_rowStart = 0;
    qsizetype m_row = 0;
};

void putValue(QByteArray& data, qsizetype at, std::uint64_t value, int length) {
    for (int k = 0; k < length; ++k)
        data[at + k] = char((value >> (8 * (length - 1 - k))) & 0xff);
}

void appendValues(QByteArray& data, std::initializer_list<std::pair<std::uint64_t, int>> fields) {
    for (const auto& [value, length] : fields)
        appendValue(data, value, length);
}

}  // namespace

void appendValue(QByteArray& data, std::uint64_t value, int length) {
    length = std::clamp(length, 1, 8);
    for (int k = length - 1; k >= 0; --k)
        data.append(char((value >> (8 * k)) & 0xff));
}

QByteArray packedBitsForRange(const QByteArray& data, qsizetype start, qsizetype length, int skip) {
    return packedBitsForRange(reinterpret_cast<const uchar*>(data.constData()), data.size(), start, length, skip);
}

QByteArray packedBitsForRange(const uchar* data, qsizetype size, qsizetype start, qsizetype length, int skip) {
    QByteArray out;
    appendPackedBits(out, data, size, start, length, skip);
    return out;
}

void appendPackedBits(QByteArray& out, const uchar* data, qsizetype size, qsizetype start, qsizetype length,
                      int skip) {
    if (!data || skip < 1 || start < 0 || length <= 0 || start >= size)
        return;
    const qsizetype end = length > size - start ? size : start + length;

    uchar literal[130];
    int count = 0;
    auto writeLiteral = [&](int n) {
        out.append(char(n - 1));
        out.append(reinterpret_cast<const char*>(literal), n);
        std::copy(literal + n, literal + count, literal);
        count -= n;
    };

    qsizetype i = start;
    while (i < end) {
        const uchar byte = data[i];
        i += skip;
        literal[count++] = byte;
        if (count >= 3 && literal[count - 2] == byte && literal[count - 3] == byte) {
            // Three equal bytes start a run; what came before them goes out as literals first.
            if (count > 3)
                writeLiteral(count - 3);
            count = 0;
            int run = 3;
            while (run < 127 && i < end && data[i] == byte) {
                ++run;
                i += skip;
            }
            out.append(char(1 - run));
            out.append(char(byte));
            continue;
        }
        // Keep the last two bytes back: they may be the start of a run.
        if (count == 130)
            writeLiteral(128);
    }
    if (count == 129)
        writeLiteral(128);
    if (count > 0)
        writeLiteral(count);
}

PSDWriter::PSDWriter(kx::Size documentSize) : m_documentSize(documentSize) {}

int PSDWriter::width() const { return int(m_documentSize.width); }
int PSDWriter::height() const { return int(m_documentSize.height); }

bool PSDWriter::checkDocumentSize(PSDError* error) const {
    const double w = m_documentSize.width, h = m_documentSize.height;
    if (!(w >= 1 && h >= 1)) {  // also refuses NaN
        fail(error, QStringLiteral("NSGenericException"),
             QStringLiteral("You must specify a non-zero documentSize before calling addLayer:"));
        return false;
    }
    if (w >= maximumDimension + 1 || h >= maximumDimension + 1 ||
        qint64(w) * qint64(h) > kx::Image::maximumPixelCount) {
        fail(error, QStringLiteral("NSGenericException"),
             QStringLiteral("The document size %1 x %2 is larger than a PSD file can hold")
                 .arg(qint64(std::min(w, 1e15)))
                 .arg(qint64(std::min(h, 1e15))));
        return false;
    }
    return true;
}

bool PSDWriter::addLayerWithCGImage(const kx::Image& image, const QString& name, float opacity, kx::Point offset,
                                    PSDError* error) {
    if (!checkDocumentSize(error))
        return false;
    const int index = int(m_layers.size());
    const int W = width(), H = height();
    auto outside = [&] {
        fail(error, QStringLiteral("LayerOutOfBounds"),
             QStringLiteral("Layer %1 has no pixel inside the document").arg(index));
        return false;
    };
    // Offsets far outside the document cannot place a pixel inside it (and must not overflow an int).
    constexpr double limit = 1 << 30;
    if (image.isNull() || !(std::abs(offset.x) < limit) || !(std::abs(offset.y) < limit))
        return outside();
    const int x = int(std::floor(offset.x)), y = int(std::floor(offset.y));
    const QRect placed(x, y, image.width(), image.height());
    const QRect rect = placed.intersected(QRect(0, 0, W, H));
    if (rect.isEmpty())
        return outside();

    PSDLayer layer;
    layer.name = name;
    layer.opacity = std::isnan(opacity) ? 1.0f : std::clamp(opacity, 0.0f, 1.0f);
    layer.rect = rect;
    // Layer pixels are stored straight (not premultiplied), as readers of the format expect. Only the part
    // inside the document is converted; an image that lies wholly inside is converted without a copy first.
    const QRect inImage = rect.translated(-x, -y);
    const QImage& source = image.qimage();
    layer.imageData = (inImage == source.rect() ? source : source.copy(inImage)).convertToFormat(QImage::Format_RGBA8888);

    if (m_flattenedContext.isNull()) {
        m_flattenedContext = QImage(W, H, QImage::Format_RGBA8888_Premultiplied);
        m_flattenedContext.fill(Qt::white);
    }
    QPainter painter(&m_flattenedContext);
    painter.setOpacity(layer.opacity);
    painter.drawImage(QPoint(x, y), image.qimage());
    painter.end();

    m_layers.push_back(std::move(layer));
    return true;
}

QByteArray PSDWriter::createPSDData(PSDError* error) {
    if (m_layers.empty() || m_layerChannelCount < 3) {
        fail(error, QStringLiteral("NSGenericException"),
             QStringLiteral("Please provide layer data, flattened data and set layer channel count to at least 3."));
        return {};
    }
    if (!checkDocumentSize(error))
        return {};
    if (m_layers.size() > 32767) {
        fail(error, QStringLiteral("NSGenericException"),
             QStringLiteral("A PSD file holds at most 32767 layers"));
        return {};
    }
    const int W = width(), H = height();
    const qsizetype rowBytes = qsizetype(W) * 4;

    QByteArray file;
    // Header.
    file.append("8BPS");
    appendValues(file, {{1, 2}, {0, 6}, {std::uint64_t(m_layerChannelCount), 2}, {std::uint64_t(H), 4},
                        {std::uint64_t(W), 4}, {8, 2}, {3, 2}});
    // Colour mode data: none. Image resources: the resolution both ways (16.16 fixed point, pixels per inch,
    // shown in inches), and the bottom layer as the target layer.
    appendValues(file, {{0, 4}, {42, 4}});
    file.append("8BIM");
    const std::uint64_t resolution = std::uint64_t(m_dotsPerInch) << 16;
    appendValues(file, {{1005, 2}, {0, 2}, {16, 4}, {resolution, 4}, {1, 2}, {1, 2}, {resolution, 4}, {1, 2}, {1, 2}});
    file.append("8BIM");
    appendValues(file, {{1024, 2}, {0, 2}, {2, 4}, {0, 2}});

    // Layer info: the records, then every layer's channel data in the same order. The records are written
    // first with their channel lengths left open and completed once each layer's channels are written.
    const qsizetype packedRowLimit = rowBytes / 4 + (rowBytes / 4 + 127) / 128 + 3;
    const qsizetype channelLimit = 2 + qsizetype(H) * (2 + packedRowLimit);
    // Room for the worst case, reserved but not touched; capped, since the worst case is rarely met.
    const qsizetype worstCase = file.size() + 8 + 2 + qsizetype(m_layers.size()) * (82 + 4 * channelLimit) + 1 +
                                2 + 4 * qsizetype(H) * (2 + packedRowLimit);
    file.reserve(std::min(worstCase, qsizetype(1) << 31));
    const qsizetype sectionAt = file.size();
    appendValues(file, {{0, 4}, {0, 4}, {std::uint64_t(m_layers.size()), 2}});
    std::vector<qsizetype> lengthsAt;
    for (const PSDLayer& layer : m_layers) {
        appendValues(file, {{0, 4}, {0, 4}, {std::uint64_t(H), 4}, {std::uint64_t(W), 4}, {4, 2}});
        static constexpr std::uint64_t channelIds[4] = {0, 1, 2, 0xffff};
        for (int c = 0; c < 4; ++c) {
            appendValue(file, channelIds[c], 2);
            lengthsAt.push_back(file.size());
            appendValue(file, 0, 4);
        }
        file.append("8BIMnorm");
        appendValue(file, std::uint64_t(std::ceil(layer.opacity * 255.0f)), 1);
        // Clipping base, flags (transparency protected, visible), filler, extra data of 24 bytes: no layer
        // mask, no blending ranges, the name.
        appendValues(file, {{0, 1}, {1, 1}, {0, 1}, {24, 4}, {0, 4}, {0, 4}});
        file.append(recordName(layer.name));
    }

    // The blank row and each layer's zero pieces are packed once, from one zero buffer.
    const QByteArray zeros(rowBytes, '\0');
    const QByteArray blankRow = packedBitsForRange(zeros, 0, rowBytes, 4);
    auto nextLength = lengthsAt.begin();
    for (const PSDLayer& layer : m_layers) {
        const QRect& r = layer.rect;
        const QByteArray left = r.x() > 0 ? packedBitsForRange(zeros, 0, qsizetype(r.x()) * 4, 4) : QByteArray();
        const int rightCount = W - r.x() - r.width();
        const QByteArray right = rightCount > 0 ? packedBitsForRange(zeros, 0, qsizetype(rightCount) * 4, 4)
                                                : QByteArray();
        const qsizetype layerRowBytes = qsizetype(r.width()) * 4;
        for (int c = 0; c < 4; ++c) {
            const qsizetype blockAt = file.size();
            appendValue(file, 1, 2);
            RowBlock block(file, H);
            for (int row = 0; row < H; ++row) {
                block.beginRow();
                if (row < r.y() || row > r.bottom()) {
                    file.append(blankRow);
                } else {
                    file.append(left);
                    appendPackedBits(file, layer.imageData.constScanLine(row - r.y()), layerRowBytes, c,
                                     layerRowBytes, 4);
                    file.append(right);
                }
                block.endRow();
            }
            putValue(file, *nextLength++, std::uint64_t(file.size() - blockAt), 4);
        }
    }
    if ((file.size() - sectionAt - 8) % 2)
        file.append('\0');
    const std::uint64_t layerInfoLength = std::uint64_t(file.size() - sectionAt - 8);
    if (layerInfoLength + 4 > maximumSectionLength) {
        fail(error, QStringLiteral("NSGenericException"),
             QStringLiteral("The layers are too large for a PSD file"));
        return {};
    }
    putValue(file, sectionAt, layerInfoLength + 4, 4);
    putValue(file, sectionAt + 4, layerInfoLength, 4);

    // Merged image: the composite over white, channel by channel, all row counts first.
    appendValue(file, 1, 2);
    RowBlock merged(file, 4 * H);
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < H; ++row) {
            merged.beginRow();
            appendPackedBits(file, m_flattenedContext.constScanLine(row), rowBytes, c, rowBytes, 4);
            merged.endRow();
        }

    m_layers.clear();
    m_flattenedContext = QImage();
    return file;
}

bool PSDWriter::writeToFile(const QString& path, PSDError* error) {
    const QByteArray data = createPSDData(error);
    if (data.isEmpty())
        return false;
    QString reason;
    if (!kx::writeFileAtomically(path, data, &reason)) {
        fail(error, QStringLiteral("NSFileWriteUnknownError"), reason);
        return false;
    }
    return true;
}
