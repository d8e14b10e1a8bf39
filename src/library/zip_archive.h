// Reading ZIP archives (content packs) through minizip, password-protected entries included.
//
// Entries are untrusted: their names are decoded (UTF-8 when the entry says so, else code page 437),
// "\" separators become "/", and an archive holding an absolute name, a drive letter or a ".." component
// is refused before anything is written. "__MACOSX/" entries (resource-fork litter) and symbolic-link
// entries are skipped: no link is ever created. Folders and files are made one component at a time below
// the target folder without following any symbolic link that is already there, and an existing file is
// replaced by a new one rather than written through (so a hard link to a file elsewhere is left alone).
// The number of entries and the total expanded size are capped, counting the bytes actually inflated.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Optional receiver of the archive's messages; both operations have defaults.
class KXZipArchiveDelegate {
public:
    virtual ~KXZipArchiveDelegate() = default;
    // Receives the archive's error texts; dropped by default.
    virtual void ErrorMessage(const QString& message) { (void)message; }
    // Whether an existing file may be replaced when overwriting is off; yes by default.
    virtual bool OverWriteOperation(const QString& path) {
        (void)path;
        return true;
    }
};

// Bounds of one extraction, against archives made to fill the disk.
struct KXZipLimits {
    std::int64_t maxEntries = 20000;
    std::int64_t maxTotalBytes = std::int64_t(768) << 20;
};

// One entry as read from the central directory, its name made safe.
struct KXZipEntryName {
    enum class Kind { File, Folder, Skipped, Refused };
    Kind kind = Kind::Refused;
    // The relative path with "/" separators and no empty, "." or ".." components (empty when skipped or refused).
    QString path;
};

// Decodes an entry name (bytes up to the first zero; UTF-8 when `utf8`, else code page 437) and judges it.
// An invalid UTF-8 name, an absolute name, a drive letter or a ".." component is refused; "__MACOSX"
// entries and names with nothing left after "." and empty components are skipped.
KXZipEntryName KXZipSafeEntryName(const QByteArray& rawName, bool utf8);
// Code page 437, the original PC character set, which ZIP names use unless flagged as UTF-8.
QString KXDecodeCodePage437(const QByteArray& bytes);

class KXZipArchive {
public:
    KXZipArchive();
    ~KXZipArchive();
    KXZipArchive(const KXZipArchive&) = delete;
    KXZipArchive& operator=(const KXZipArchive&) = delete;

    // Opens the archive at the path and reads its global information; closes any archive open before.
    bool UnzipOpenFile(const QString& path);
    // Records the password for the encrypted entries, then opens the archive.
    bool UnzipOpenFile(const QString& path, const QByteArray& password);
    // Extracts every entry below the folder, which must exist. True only when every entry was written (or
    // skipped on purpose); on false, lastError() says why and what was written so far stays in the folder.
    bool UnzipFileTo(const QString& folder, bool overWrite);
    // Forgets the password and closes the archive; true when none was open or closing succeeded.
    bool UnzipCloseFile();

    // Passes a message to the delegate.
    void OutputErrorMessage(const QString& message);
    // Whether an existing file may be replaced, by the delegate's answer (yes without a delegate).
    bool OverWrite(const QString& path);

    KXZipArchiveDelegate* delegate() const { return m_delegate; }
    void setDelegate(KXZipArchiveDelegate* delegate) { m_delegate = delegate; }
    void setLimits(const KXZipLimits& limits) { m_limits = limits; }
    // A sentence telling why the last operation failed (empty after success).
    QString lastError() const { return m_lastError; }

private:
    bool fail(const QString& message, const QString& detail);
    bool checkEntries();
    bool extractCurrent(int rootFd, const QString& folder, bool overWrite, std::int64_t& total);

    void* m_unzFile = nullptr;
    QByteArray m_password;
    KXZipArchiveDelegate* m_delegate = nullptr;
    KXZipLimits m_limits;
    QString m_lastError;
};
