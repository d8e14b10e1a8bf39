// Feeds arbitrary bytes to the pack unpacker as an archive file: it must end with success or an error, never
// crash or hang, and whatever it does stays inside the packs folder: no entry outside it, no symbolic link
// made, no scratch folder left behind. Entry names judged safe never climb out of their folder.
#include "library/pack_installer.h"
#include "library/zip_archive.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

void checkName(const QByteArray& raw, bool utf8) {
    const KXZipEntryName name = KXZipSafeEntryName(raw, utf8);
    if (name.kind != KXZipEntryName::Kind::File && name.kind != KXZipEntryName::Kind::Folder) {
        require(name.path.isEmpty());
        return;
    }
    require(!name.path.isEmpty() && !name.path.startsWith(u'/') && !name.path.contains(u'\\'));
    for (const QString& component : name.path.split(u'/'))
        require(!component.isEmpty() && component != QStringLiteral("..") && component != QStringLiteral("."));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir root;
    require(root.isValid());
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkName(bytes.left(300), false);
    checkName(bytes.left(300), true);

    const QString archive = root.path() + "/in.zip";
    {
        QFile file(archive);
        require(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    const QString packs = root.path() + "/packs";
    KXZipLimits limits;
    limits.maxEntries = 2000;
    limits.maxTotalBytes = 8 << 20;
    const KXPackInstallResult result = KXInstallPack(archive, packs, QStringLiteral("P"), "pw", limits);
    require(result.ok == result.errorText.isEmpty());

    // Only the archive and the packs folder in the root; only the pack in the packs folder; no links.
    QStringList top = QDir(root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    top.sort();
    require(top == QStringList({"in.zip", "packs"}));
    const QStringList installed =
        QDir(packs).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    require(installed == (result.ok ? QStringList{"P"} : QStringList{}));
    QDirIterator it(packs, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        require(!QFileInfo(it.next()).isSymLink());
    QDir(packs).removeRecursively();
    return 0;
}
