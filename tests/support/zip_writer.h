// A tiny ZIP writer for tests of archive readers: it writes exactly the names, flags and attributes it is
// given (hostile names, code page 437 names, symbolic-link entries, sizes that lie), stored or deflated.
// No encryption and no ZIP64: real encrypted archives come from the zip and 7z programs.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace kxtest {

struct ZipEntry {
    QByteArray name;  // the raw bytes of the name
    QByteArray data;
    bool deflate = false;
    std::uint16_t flags = 0;            // 0x800: the name is UTF-8
    std::uint16_t versionMadeBy = 20;   // (3 << 8) | 20 for a Unix host
    std::uint32_t externalAttributes = 0;
    // When set, written in the headers instead of the real uncompressed size.
    std::int64_t claimedSize = -1;

    static ZipEntry symbolicLink(const QByteArray& name, const QByteArray& target) {
        ZipEntry entry{name, target};
        entry.versionMadeBy = (3 << 8) | 20;
        entry.externalAttributes = std::uint32_t(0120777) << 16;
        return entry;
    }
};

class ZipWriter {
public:
    void add(const ZipEntry& entry) {
        add(entry, [&entry](const std::function<void(const QByteArray&)>& feed) { feed(entry.data); },
            entry.data.size());
    }
    // An entry of `size` zero bytes, deflated (a compression bomb when large), fed in pieces so that a large
    // one is never held in memory.
    void addZeros(const QByteArray& name, std::int64_t size, std::int64_t claimedSize = -1) {
        ZipEntry entry{name, {}, true};
        entry.claimedSize = claimedSize;
        add(entry,
            [size](const std::function<void(const QByteArray&)>& feed) {
                const QByteArray block(1 << 20, '\0');
                for (std::int64_t left = size; left > 0; left -= block.size())
                    feed(left >= block.size() ? block : block.left(qsizetype(left)));
            },
            size);
    }

    QByteArray bytes() const {
        QByteArray out = m_body;
        const std::uint32_t directoryOffset = std::uint32_t(out.size());
        out += m_directory;
        put32(out, 0x06054b50);
        put16(out, 0);
        put16(out, 0);
        put16(out, std::uint16_t(m_count));
        put16(out, std::uint16_t(m_count));
        put32(out, std::uint32_t(m_directory.size()));
        put32(out, directoryOffset);
        put16(out, 0);
        return out;
    }
    bool write(const QString& path) const {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes()) == bytes().size();
    }

private:
    static void put16(QByteArray& out, std::uint16_t value) {
        out.append(char(value & 0xff));
        out.append(char(value >> 8));
    }
    static void put32(QByteArray& out, std::uint32_t value) {
        put16(out, std::uint16_t(value & 0xffff));
        put16(out, std::uint16_t(value >> 16));
    }

    void add(const ZipEntry& entry, const std::function<void(const std::function<void(const QByteArray&)>&)>& produce,
             std::int64_t size) {
        std::uint32_t crc = std::uint32_t(crc32(0, nullptr, 0));
        QByteArray compressed;
        z_stream stream{};
        if (entry.deflate)
            deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        auto pump = [&](const QByteArray& piece, int flush) {
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.constData()));
            stream.avail_in = uInt(piece.size());
            char buffer[1 << 16];
            do {
                stream.next_out = reinterpret_cast<Bytef*>(buffer);
                stream.avail_out = sizeof buffer;
                deflate(&stream, flush);
                compressed.append(buffer, qsizetype(sizeof buffer - stream.avail_out));
            } while (stream.avail_out == 0 || stream.avail_in > 0);
        };
        produce([&](const QByteArray& piece) {
            crc = std::uint32_t(crc32(crc, reinterpret_cast<const Bytef*>(piece.constData()), uInt(piece.size())));
            if (entry.deflate)
                pump(piece, Z_NO_FLUSH);
            else
                compressed += piece;
        });
        if (entry.deflate) {
            pump({}, Z_FINISH);
            deflateEnd(&stream);
        }
        const std::uint32_t claimed = std::uint32_t(entry.claimedSize >= 0 ? entry.claimedSize : size);
        const std::uint16_t method = entry.deflate ? 8 : 0;
        const std::uint32_t offset = std::uint32_t(m_body.size());

        put32(m_body, 0x04034b50);
        put16(m_body, 20);
        put16(m_body, entry.flags);
        put16(m_body, method);
        put16(m_body, 0);       // time
        put16(m_body, 0x5a21);  // 2025-01-01
        put32(m_body, crc);
        put32(m_body, std::uint32_t(compressed.size()));
        put32(m_body, claimed);
        put16(m_body, std::uint16_t(entry.name.size()));
        put16(m_body, 0);
        m_body += entry.name;
        m_body += compressed;

        put32(m_directory, 0x02014b50);
        put16(m_directory, entry.versionMadeBy);
        put16(m_directory, 20);
        put16(m_directory, entry.flags);
        put16(m_directory, method);
        put16(m_directory, 0);
        put16(m_directory, 0x5a21);
        put32(m_directory, crc);
        put32(m_directory, std::uint32_t(compressed.size()));
        put32(m_directory, claimed);
        put16(m_directory, std::uint16_t(entry.name.size()));
        put16(m_directory, 0);
        put16(m_directory, 0);
        put16(m_directory, 0);
        put16(m_directory, 0);
        put32(m_directory, entry.externalAttributes);
        put32(m_directory, offset);
        m_directory += entry.name;
        ++m_count;
    }

    QByteArray m_body;
    QByteArray m_directory;
    int m_count = 0;
};

}  // namespace kxtest
