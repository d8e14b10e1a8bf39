#include "library/zip_archive.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QStringDecoder>
#include <QStringList>
#include <QTime>

#include <minizip/unzip.h>
#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// Characters 0x80 to 0xFF of code page 437; the lower half is ASCII.
constexpr char16_t kCodePage437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

constexpr unsigned kFlagEncrypted = 0x1;
constexpr unsigned kFlagUtf8Name = 0x800;
constexpr unsigned kFlagDataDescriptor = 0x8;
constexpr unsigned long kMethodAes = 99;
// Hosts whose "external attributes" carry a Unix file mode in their upper 16 bits.
constexpr unsigned long kHostUnix = 3;
constexpr unsigned long kHostMacOS = 19;

unzFile handle(void* file) {
    return static_cast<unzFile>(file);
}

// Closes a file descriptor when it leaves scope.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            reset();
            m_fd = other.m_fd;
            other.m_fd = -1;
        }
        return *this;
    }
    int get() const { return m_fd; }
    void reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// The folder `name` inside `parent`, made when missing; never through a symbolic link.
Descriptor openSubfolder(int parent, const QString& name) {
    const QByteArray encoded = QFile::encodeName(name);
    if (::mkdirat(parent, encoded.constData(), 0755) != 0 && errno != EEXIST)
        return Descriptor();
    return Descriptor(::openat(parent, encoded.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// Walks (making them) the folders of `components` below `root`; an invalid descriptor when one cannot be
// made or is not a real folder.
Descriptor openFolders(int root, const QStringList& components) {
    Descriptor current(::fcntl(root, F_DUPFD_CLOEXEC, 0));
    for (const QString& component : components) {
        if (current.get() < 0)
            break;
        current = openSubfolder(current.get(), component);
    }
    return current;
}

bool writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// The entry's date (a local time with months counted from 0) as the file's modification time.
void setModificationTime(int fd, const tm_unz& date) {
    const QDateTime when(QDate(int(date.tm_year), int(date.tm_mon) + 1, int(date.tm_mday)),
                         QTime(int(date.tm_hour), int(date.tm_min), int(date.tm_sec)));
    if (!when.isValid())
        return;
    const timespec times[2] = {{time_t(when.toSecsSinceEpoch()), 0}, {time_t(when.toSecsSinceEpoch()), 0}};
    ::futimens(fd, times);
}

bool isSymbolicLink(const unz_file_info64& info) {
    const unsigned long host = info.version >> 8;
    if (host != kHostUnix && host != kHostMacOS)
        return false;
    return S_ISLNK(mode_t(info.external_fa >> 16));
}

struct CurrentEntry {
    unz_file_info64 info{};
    QByteArray rawName;
};

bool readCurrentEntry(unzFile file, CurrentEntry& entry) {
    std::vector<char> name(65536);
    if (unzGetCurrentFileInfo64(file, &entry.info, name.data(), uLong(name.size()), nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    entry.rawName = QByteArray(name.data(), qsizetype(std::min<uLong>(entry.info.size_filename, name.size())));
    return true;
}

// Turns an entry's stored bytes into its contents: traditional PKWARE decryption when encrypted, then
// inflation when deflated, keeping the checksum and size of what comes out.
class EntryDecoder {
public:
    explicit EntryDecoder(bool deflated) : m_deflated(deflated) {
        if (m_deflated)
            m_inflating = inflateInit2(&m_stream, -MAX_WBITS) == Z_OK;
    }
    ~EntryDecoder() {
        if (m_inflating)
            inflateEnd(&m_stream);
    }
    EntryDecoder(const EntryDecoder&) = delete;
    EntryDecoder& operator=(const EntryDecoder&) = delete;

    // Sets the keys from the password and decrypts the 12-byte header; false when its check byte differs.
    bool startDecryption(const QByteArray& password, std::array<char, 12>& header, std::uint8_t check) {
        m_encrypted = true;
        for (const char c : password)
            updateKeys(std::uint8_t(c));
        for (char& c : header)
            c = char(decrypt(std::uint8_t(c)));
        return std::uint8_t(header[11]) == check;
    }

    // Decodes a piece and hands the output to `sink(data, size)`, which answers whether to go on.
    template <typename Sink>
    bool feed(char* data, int size, Sink& sink) {
        if (m_encrypted)
            for (int i = 0; i < size; ++i)
                data[i] = char(decrypt(std::uint8_t(data[i])));
        if (!m_deflated)
            return deliver(data, size, sink);
        if (!m_inflating || m_ended)
            return m_ended && size == 0;
        m_stream.next_in = reinterpret_cast<Bytef*>(data);
        m_stream.avail_in = uInt(size);
        char out[64 * 1024];
        while (m_stream.avail_in > 0 && !m_ended) {
            m_stream.next_out = reinterpret_cast<Bytef*>(out);
            m_stream.avail_out = sizeof out;
            const int result = inflate(&m_stream, Z_NO_FLUSH);
            if (result != Z_OK && result != Z_STREAM_END)
                return false;
            m_ended = result == Z_STREAM_END;
            const qint64 produced = qint64(sizeof out - m_stream.avail_out);
            if (produced > 0 && !deliver(out, produced, sink))
                return false;
            if (result == Z_OK && produced == 0 && m_stream.avail_in > 0)
                return false;
        }
        // Bytes after the end of the deflated stream are not the entry's contents; they are left unread.
        return true;
    }

    bool finished() const { return !m_deflated || m_ended; }
    std::int64_t size() const { return m_size; }
    uLong crc() const { return m_crc; }

private:
    template <typename Sink>
    bool deliver(const char* data, qint64 size, Sink& sink) {
        m_crc = crc32(m_crc, reinterpret_cast<const Bytef*>(data), uInt(size));
        m_size += size;
        return sink(data, size);
    }
    void updateKeys(std::uint8_t c) {
        m_keys[0] = std::uint32_t(crc32Byte(m_keys[0], c));
        m_keys[1] = (m_keys[1] + (m_keys[0] & 0xff)) * 134775813u + 1;
        m_keys[2] = std::uint32_t(crc32Byte(m_keys[2], std::uint8_t(m_keys[1] >> 24)));
    }
    std::uint8_t decrypt(std::uint8_t c) {
        const std::uint32_t temp = (m_keys[2] & 0xffff) | 2;
        const auto plain = std::uint8_t(c ^ std::uint8_t((temp * (temp ^ 1)) >> 8));
        updateKeys(plain);
        return plain;
    }
    // One step of the CRC-32 register without its pre- and post-inversion, as the cipher uses it.
    static std::uint32_t crc32Byte(std::uint32_t crc, std::uint8_t byte) {
        return std::uint32_t(get_crc_table()[(crc ^ byte) & 0xff]) ^ (crc >> 8);
    }

    bool m_deflated;
    bool m_inflating = false;
    bool m_ended = false;
    bool m_encrypted = false;
    z_stream m_stream{};
    std::uint32_t m_keys[3] = {0x12345678u, 0x23456789u, 0x34567890u};
    uLong m_crc = crc32(0, nullptr, 0);
    std::int64_t m_size = 0;
};

}  // namespace

QString KXDecodeCodePage437(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        text.append(code < 0x80 ? QChar(code) : QChar(kCodePage437High[code - 0x80]));
    }
    return text;
}

KXZipEntryName KXZipSafeEntryName(const QByteArray& rawName, bool utf8) {
    KXZipEntryName result;
    const qsizetype zero = rawName.indexOf('\0');
    const QByteArray bytes = zero < 0 ? rawName : rawName.left(zero);
    QString name;
    if (utf8) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        name = decoder.decode(bytes);
        if (decoder.hasError())
            return result;
    } else {
        name = KXDecodeCodePage437(bytes);
    }
    name.replace(u'\\', u'/');
    // Absolute names and drive letters ("C:", "C:/x") would leave the target folder.
    if (name.startsWith(u'/'))
        return result;
    if (name.size() >= 2 && name[1] == u':' && name[0].isLetter())
        return result;
    const bool folder = name.endsWith(u'/');
    QStringList components;
    for (const QString& component : name.split(u'/', Qt::SkipEmptyParts)) {
        if (component == QStringLiteral(".."))
            return result;
        if (component != u'.')
            components.append(component);
    }
    result.kind = KXZipEntryName::Kind::Skipped;
    if (components.isEmpty() || components.first() == QStringLiteral("__MACOSX"))
        return result;
    result.kind = folder ? KXZipEntryName::Kind::Folder : KXZipEntryName::Kind::File;
    result.path = components.join(u'/');
    return result;
}

KXZipArchive::KXZipArchive() = default;

KXZipArchive::~KXZipArchive() {
    UnzipCloseFile();
}

bool KXZipArchive::UnzipOpenFile(const QString& path) {
    const QByteArray password = m_password;
    UnzipCloseFile();
    m_password = password;
    m_lastError.clear();
    unzFile file = unzOpen64(QFile::encodeName(path).constData());
    if (!file) {
        m_lastError = QStringLiteral("The archive cannot be opened: it is missing, damaged or incomplete.");
        return false;
    }
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(file, &global) != UNZ_OK) {
        unzClose(file);
        m_lastError = QStringLiteral("The archive's table of contents cannot be read.");
        return false;
    }
    m_unzFile = file;
    return true;
}

bool KXZipArchive::UnzipOpenFile(const QString& path, const QByteArray& password) {
    m_password = password;
    return UnzipOpenFile(path);
}

bool KXZipArchive::UnzipCloseFile() {
    m_password.clear();
    if (!m_unzFile)
        return true;
    const int result = unzClose(handle(m_unzFile));
    m_unzFile = nullptr;
    return result == UNZ_OK;
}

void KXZipArchive::OutputErrorMessage(const QString& message) {
    if (m_delegate)
        m_delegate->ErrorMessage(message);
}

bool KXZipArchive::OverWrite(const QString& path) {
    return m_delegate ? m_delegate->OverWriteOperation(path) : true;
}

bool KXZipArchive::fail(const QString& message, const QString& detail) {
    m_lastError = detail;
    OutputErrorMessage(message);
    return false;
}

// Reads the whole table of contents first, so that an archive with a name that would leave the target,
// too many entries or too large a declared size is refused before anything is written.
bool KXZipArchive::checkEntries() {
    unzFile file = handle(m_unzFile);
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(file, &global) != UNZ_OK)
        return fail(QStringLiteral("Failed"), QStringLiteral("The archive's table of contents cannot be read."));
    if (std::int64_t(global.number_entry) > m_limits.maxEntries)
        return fail(QStringLiteral("Too many entries"),
                    QStringLiteral("The archive holds %1 entries, more than the %2 allowed.")
                        .arg(global.number_entry)
                        .arg(m_limits.maxEntries));
    if (global.number_entry == 0)
        return true;
    if (unzGoToFirstFile(file) != UNZ_OK)
        return fail(QStringLiteral("Failed"), QStringLiteral("The archive's first entry cannot be reached."));
    std::int64_t count = 0;
    std::int64_t declared = 0;
    int step = UNZ_OK;
    for (; step == UNZ_OK; step = unzGoToNextFile(file)) {
        CurrentEntry entry;
        if (!readCurrentEntry(file, entry))
            return fail(QStringLiteral("Error occurs while getting file info"),
                        QStringLiteral("An entry of the archive cannot be described."));
        if (++count > m_limits.maxEntries)
            return fail(QStringLiteral("Too many entries"),
                        QStringLiteral("The archive holds more than the %1 entries allowed.").arg(m_limits.maxEntries));
        const KXZipEntryName name = KXZipSafeEntryName(entry.rawName, entry.info.flag & kFlagUtf8Name);
        if (name.kind == KXZipEntryName::Kind::Refused)
            return fail(QStringLiteral("Unsafe entry name"),
                        QStringLiteral("The archive holds an entry named \"%1\", which would be written outside "
                                       "its folder.")
                            .arg(QString::fromLatin1(entry.rawName.left(200))));
        if (name.kind == KXZipEntryName::Kind::File && !isSymbolicLink(entry.info)) {
            declared += std::int64_t(std::min<ZPOS64_T>(entry.info.uncompressed_size, ZPOS64_T(INT64_MAX / 4)));
            if (declared > m_limits.maxTotalBytes)
                return fail(QStringLiteral("Too large"),
                            QStringLiteral("The archive expands to more than the %1 bytes allowed.")
                                .arg(m_limits.maxTotalBytes));
        }
    }
    if (step != UNZ_END_OF_LIST_OF_FILE)
        return fail(QStringLiteral("Failed"), QStringLiteral("The archive's table of contents is damaged."));
    return true;
}

bool KXZipArchive::UnzipFileTo(const QString& folder, bool overWrite) {
    m_lastError.clear();
    if (!m_unzFile)
        return fail(QStringLiteral("Failed"), QStringLiteral("No archive is open."));
    const Descriptor root(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (root.get() < 0)
        return fail(QStringLiteral("Failed"), QStringLiteral("The folder \"%1\" cannot be opened.").arg(folder));
    if (!checkEntries())
        return false;
    unzFile file = handle(m_unzFile);
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(file, &global) != UNZ_OK || global.number_entry == 0)
        return true;
    if (unzGoToFirstFile(file) != UNZ_OK)
        return fail(QStringLiteral("Failed"), QStringLiteral("The archive's first entry cannot be reached."));
    std::int64_t total = 0;
    int step = UNZ_OK;
    for (; step == UNZ_OK; step = unzGoToNextFile(file))
        if (!extractCurrent(root.get(), folder, overWrite, total))
            return false;
    if (step != UNZ_END_OF_LIST_OF_FILE)
        return fail(QStringLiteral("Failed"), QStringLiteral("The archive's table of contents is damaged."));
    return true;
}

bool KXZipArchive::extractCurrent(int rootFd, const QString& folder, bool overWrite, std::int64_t& total) {
    unzFile file = handle(m_unzFile);
    CurrentEntry entry;
    if (!readCurrentEntry(file, entry))
        return fail(QStringLiteral("Error occurs while getting file info"),
                    QStringLiteral("An entry of the archive cannot be described."));
    const KXZipEntryName name = KXZipSafeEntryName(entry.rawName, entry.info.flag & kFlagUtf8Name);
    if (name.kind == KXZipEntryName::Kind::Refused)
        return fail(QStringLiteral("Unsafe entry name"), QStringLiteral("The archive holds an unsafe entry name."));
    // Links are never made: one could point a later entry, or the user, anywhere.
    if (name.kind == KXZipEntryName::Kind::Skipped || isSymbolicLink(entry.info))
        return true;
    QStringList components = name.path.split(u'/');
    const QString display = folder + u'/' + name.path;
    if (name.kind == KXZipEntryName::Kind::Folder) {
        if (openFolders(rootFd, components).get() < 0)
            return fail(
                QStringLiteral("Failed"),
                QStringLiteral("The folder \"%1\" cannot be made (is something else in its place?).").arg(name.path));
        return true;
    }
    const QByteArray leaf = QFile::encodeName(components.takeLast());
    const Descriptor parent = openFolders(rootFd, components);
    if (parent.get() < 0)
        return fail(
            QStringLiteral("Failed"),
            QStringLiteral("The folder of \"%1\" cannot be made (is something else in its place?).").arg(name.path));
    struct stat existing {};
    const bool replacing = ::fstatat(parent.get(), leaf.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (replacing) {
        if (!overWrite && !OverWrite(display))
            return true;
        if (S_ISDIR(existing.st_mode))
            return fail(QStringLiteral("Failed"),
                        QStringLiteral("\"%1\" cannot be replaced: a folder is in its place.").arg(name.path));
    }
    const bool encrypted = entry.info.flag & kFlagEncrypted;
    if (encrypted && m_password.isEmpty())
        return fail(QStringLiteral("Error occurs"),
                    QStringLiteral("The entry \"%1\" is encrypted and no password was given.").arg(name.path));
    // The entry is read as stored (raw) and decrypted and inflated here: the system's minizip may be built
    // without decryption, and counting the inflated bytes ourselves keeps lying sizes from mattering.
    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile2(file, &method, &level, 1) != UNZ_OK || (method != 0 && method != Z_DEFLATED))
        return fail(
            QStringLiteral("Error occurs"),
            entry.info.compression_method == kMethodAes
                ? QStringLiteral("The entry \"%1\" uses AES encryption, which cannot be read.").arg(name.path)
                : QStringLiteral("The entry \"%1\" cannot be opened (unknown compression or damaged).").arg(name.path));
    // A new file takes the place of an old one, so nothing is written through a link (symbolic or hard).
    if (replacing && ::unlinkat(parent.get(), leaf.constData(), 0) != 0) {
        unzCloseCurrentFile(file);
        return fail(QStringLiteral("Failed"), QStringLiteral("\"%1\" cannot be replaced.").arg(name.path));
    }
    const Descriptor output(
        ::openat(parent.get(), leaf.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (output.get() < 0) {
        unzCloseCurrentFile(file);
        return fail(QStringLiteral("Failed"), QStringLiteral("\"%1\" cannot be written.").arg(name.path));
    }
    EntryDecoder decoder(method == Z_DEFLATED);
    if (encrypted) {
        // The check byte of the encryption header: the checksum's high byte, or the time's when the sizes
        // and checksum follow the data.
        const auto check =
            std::uint8_t((entry.info.flag & kFlagDataDescriptor) ? (entry.info.dosDate >> 8) : (entry.info.crc >> 24));
        std::array<char, 12> header{};
        if (unzReadCurrentFile(file, header.data(), unsigned(header.size())) != int(header.size()) ||
            !decoder.startDecryption(m_password, header, check)) {
            unzCloseCurrentFile(file);
            return fail(QStringLiteral("Error occurs"),
                        QStringLiteral("The entry \"%1\" cannot be decrypted: the password is wrong.").arg(name.path));
        }
    }
    QString problem;
    auto sink = [&](const char* data, qint64 size) {
        total += size;
        if (total > m_limits.maxTotalBytes) {
            problem =
                QStringLiteral("The archive expands to more than the %1 bytes allowed.").arg(m_limits.maxTotalBytes);
            return false;
        }
        if (!writeAll(output.get(), data, size)) {
            problem =
                QStringLiteral("\"%1\" cannot be written: %2").arg(name.path, QString::fromLocal8Bit(strerror(errno)));
            return false;
        }
        return true;
    };
    std::vector<char> buffer(64 * 1024);
    bool ok = true;
    while (ok) {
        const int read = unzReadCurrentFile(file, buffer.data(), unsigned(buffer.size()));
        if (read < 0)
            ok = false;
        if (read <= 0)
            break;
        ok = decoder.feed(buffer.data(), read, sink);
    }
    unzCloseCurrentFile(file);
    if (!problem.isEmpty())
        return fail(QStringLiteral("Failed"), problem);
    if (!ok || !decoder.finished() || decoder.size() != std::int64_t(entry.info.uncompressed_size) ||
        decoder.crc() != entry.info.crc)
        return fail(QStringLiteral("Failed to reading zip file"),
                    QStringLiteral("The entry \"%1\" is damaged: its data does not match its size or checksum%2.")
                        .arg(name.path, encrypted ? QStringLiteral(", or the password is wrong") : QString()));
    setModificationTime(output.get(), entry.info.tmu_date);
    return true;
}
