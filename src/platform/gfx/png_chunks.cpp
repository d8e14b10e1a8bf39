#include "platform/gfx/png_chunks.h"

#include <QIODevice>

#include <cstdint>

namespace kx {

namespace {

constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";
constexpr qint64 kSignatureLength = 8;
constexpr qint64 kChunkOverhead = 12;  // length, type and CRC around the data
// Real files hold a few thousand chunks at most; a stream of millions of empty chunks is not an image.
constexpr int kMaximumChunks = 1 << 20;

std::uint32_t bigEndian32(const char* bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 | std::uint32_t(b[3]);
}

bool chunksFit(QIODevice& device, qint64 start) {
    const qint64 size = device.size();
    if (size - start < kSignatureLength || !device.seek(start))
        return true;
    char header[8];
    if (device.read(header, kSignatureLength) != kSignatureLength ||
        QByteArray(header, kSignatureLength) != QByteArray(kSignature, kSignatureLength))
        return true;  // not a PNG stream: nothing to check here
    qint64 position = start + kSignatureLength;
    for (int chunks = 0; chunks < kMaximumChunks; ++chunks) {
        if (position == size)
            return true;  // ends without IEND: the decoder reports that itself
        if (size - position < 8 || !device.seek(position) || device.read(header, 8) != 8)
            return false;
        const std::uint32_t length = bigEndian32(header);
        if (length > 0x7FFFFFFFu || qint64(length) + kChunkOverhead > size - position)
            return false;
        if (QByteArray(header + 4, 4) == "IEND")
            return true;  // what follows IEND is never read
        position += qint64(length) + kChunkOverhead;
    }
    return false;
}

}  // namespace

bool pngChunksFitInDevice(QIODevice& device) {
    if (device.isSequential())
        return true;  // cannot be walked without consuming it; only random-access devices reach here
    const qint64 start = device.pos();
    const bool fits = chunksFit(device, start);
    device.seek(start);
    return fits;
}

}  // namespace kx
