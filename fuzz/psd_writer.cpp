// Drives the PSD writer with arbitrary document sizes, layer placements, opacities and pixels, and the
// PackBits encoder with arbitrary bytes and steps. Nothing may crash; PackBits must decode back to the
// selected bytes within its packet rules; every file must have consistent lengths from header to end.
#include "output/psd_writer.h"

#include <QImage>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

// Decodes PackBits, aborting on a packet outside the rules or one that runs past the end.
QByteArray unpack(const QByteArray& packed) {
    QByteArray out;
    for (qsizetype i = 0; i < packed.size();) {
        const int header = static_cast<signed char>(packed[i++]);
        if (header >= 0) {
            check(i + header + 1 <= packed.size());
            out.append(packed.mid(i, header + 1));
            i += header + 1;
        } else {
            check(header >= -126 && header <= -2 && i < packed.size());
            out.append(QByteArray(1 - header, packed[i++]));
        }
    }
    return out;
}

std::uint64_t value(const QByteArray& data, qsizetype at, int length) {
    check(at >= 0 && at + length <= data.size());
    std::uint64_t v = 0;
    for (int i = 0; i < length; ++i)
        v = (v << 8) | std::uint8_t(data[at + i]);
    return v;
}

// Walks row counts and rows of `count` rows of width W starting at `at`; returns the end.
qsizetype walkRows(const QByteArray& file, qsizetype at, int W, int count) {
    check(value(file, at, 2) == 1);
    qsizetype data = at + 2 + 2 * qsizetype(count);
    for (int r = 0; r < count; ++r) {
        const qsizetype length = qsizetype(value(file, at + 2 + 2 * r, 2));
        check(data + length <= file.size());
        check(unpack(file.mid(data, length)).size() == W);
        data += length;
    }
    return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    // PackBits over every n-th byte of the input.
    const int skip = 1 + data[0] % 5;
    const qsizetype start = data[1] % 8;
    const QByteArray packed = packedBitsForRange(bytes, start, bytes.size(), skip);
    QByteArray selected;
    for (qsizetype i = start; i < bytes.size(); i += skip)
        selected.append(bytes[i]);
    check(unpack(packed) == selected);

    // A small document with up to four layers taken from the rest of the input.
    const int W = data[2] % 48, H = data[3] % 48;
    PSDWriter writer(kx::Size(W, H));
    const int layers = data[4] % 5;
    qsizetype cursor = 5;
    auto next = [&] { return data[cursor++ % size]; };
    int added = 0;
    for (int l = 0; l < layers; ++l) {
        const int w = next() % 40, h = next() % 40;
        const double x = int(next()) - 128 + next() / 256.0, y = int(next()) - 128 + next() / 256.0;
        const float opacity = next() / 200.0f - 0.1f;
        QImage image(w, h, QImage::Format_RGBA8888);
        for (int row = 0; row < h; ++row)
            for (int i = 0; i < w * 4; ++i)
                image.scanLine(row)[i] = next();
        PSDError error;
        if (writer.addLayerWithCGImage(kx::Image(image), QStringLiteral("Layer"), opacity, {x, y}, &error))
            ++added;
        else
            check(!error.name.isEmpty() && !error.reason.isEmpty());
    }
    check(int(writer.layers().size()) == added);
    PSDError error;
    const QByteArray file = writer.createPSDData(&error);
    if (added == 0) {
        check(file.isEmpty() && !error.reason.isEmpty());
        return 0;
    }
    check(file.startsWith("8BPS") && value(file, 14, 4) == std::uint64_t(H) && value(file, 18, 4) == std::uint64_t(W));
    constexpr qsizetype section = 26 + 4 + 4 + 42;
    const std::uint64_t sectionLength = value(file, section, 4);
    const std::uint64_t infoLength = value(file, section + 4, 4);
    check(sectionLength == infoLength + 4 && infoLength % 2 == 0);
    check(value(file, section + 8, 2) == std::uint64_t(added));
    // Channel blocks follow the records, in record order, with the lengths the records give.
    qsizetype at = section + 10 + qsizetype(added) * 82;
    for (int l = 0; l < added; ++l)
        for (int c = 0; c < 4; ++c) {
            const qsizetype length = qsizetype(value(file, section + 10 + l * 82 + 20 + c * 6, 4));
            check(walkRows(file, at, W, H) == at + length);
            at += length;
        }
    // At most one padding byte ends the layer info.
    check(section + 8 + qsizetype(infoLength) - at <= 1);
    check(walkRows(file, section + 8 + qsizetype(infoLength), W, 4 * H) == file.size());
    return 0;
}
