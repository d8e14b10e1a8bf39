#include "app/page_clipboard.h"

#include "document/graph_pasteboard.h"
#include "graphics/file_utilities.h"
#include "graphics/image_cache.h"
#include "graphics/image_file_types.h"
#include "graphics/image_loading.h"
#include "graphics/system_services.h"
#include "platform/foundation/atomic_file.h"
#include "platform/gfx/image.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

namespace {

// The image types that enable Paste: the platform's usual bitmap types on the clipboard, and Qt's own.
const QStringList& usualImageTypes() {
    static const QStringList types{QStringLiteral("image/png"), QStringLiteral("image/tiff"),
                                   QStringLiteral("application/x-qt-image")};
    return types;
}

// The encoded image types the clipboard offers, usual ones first.
QStringList encodedImageTypes(const QMimeData* data) {
    QStringList types;
    for (const QString& type : {QStringLiteral("image/png"), QStringLiteral("image/tiff")}) {
        if (data->hasFormat(type))
            types << type;
    }
    for (const QString& format : data->formats()) {
        if (format.startsWith(QLatin1String("image/")) && !types.contains(format))
            types << format;
    }
    return types;
}

bool hasUsualImage(const QMimeData* data) {
    for (const QString& type : usualImageTypes()) {
        if (data->hasFormat(type))
            return true;
    }
    return false;
}

// Text of its own (a list of files alone is not pasted as text of their names).
bool hasPlainText(const QMimeData* data) {
    return data->hasFormat(QStringLiteral("text/plain")) && !data->text().isEmpty();
}

}  // namespace

QStringList localFilesOfMimeData(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            files << url.toLocalFile();
    }
    return files;
}

QImage imageOfMimeData(const QMimeData* data) {
    if (!data)
        return {};
    if (data->hasImage()) {
        const QImage image = qvariant_cast<QImage>(data->imageData());
        if (!image.isNull())
            return image;
    }
    // Encoded data from another program is decoded as a downloaded file is: its size checked first.
    for (const QString& type : encodedImageTypes(data)) {
        const QByteArray bytes = data->data(type);
        if (bytes.isEmpty() || bytes.size() > kMaxPastedImageBytes)
            continue;
        const kx::Image image = decodeBitmapData(bytes);
        if (!image.isNull())
            return image.qimage();
    }
    return {};
}

KXPasteRoad pasteRoadForMimeData(const QMimeData* data) {
    if (!data)
        return KXPasteRoad::None;
    if (data->hasFormat(KXGrpahPasteboardType))
        return KXPasteRoad::Graphs;
    if (containsSupportedImageFile(localFilesOfMimeData(data)))
        return KXPasteRoad::Files;
    if (hasPlainText(data))
        return KXPasteRoad::Text;
    if (data->hasImage() || !encodedImageTypes(data).isEmpty())
        return KXPasteRoad::Image;
    return KXPasteRoad::None;
}

bool canPasteMimeData(const QMimeData* data) {
    if (!data)
        return false;
    return data->hasFormat(KXGrpahPasteboardType) || containsSupportedImageFile(localFilesOfMimeData(data)) ||
           hasPlainText(data) || hasUsualImage(data);
}

void writeGraphsToPasteboard(const QByteArray& datas) {
    QClipboard* clipboard = sharedPasteboard();
    if (!clipboard)
        return;
    auto* mime = new QMimeData;
    mime->setData(KXGrpahPasteboardType, datas);
    clipboard->setMimeData(mime);
}

QByteArray graphsOnPasteboard() {
    QClipboard* clipboard = sharedPasteboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    if (!data || !data->hasFormat(KXGrpahPasteboardType))
        return {};
    return data->data(KXGrpahPasteboardType);
}

std::uint64_t pasteboardChangeCount() {
    static std::uint64_t count = 0;
    static QPointer<QClipboard> followed;
    QClipboard* clipboard = sharedPasteboard();
    if (clipboard && clipboard != followed) {
        followed = clipboard;
        QObject::connect(clipboard, &QClipboard::changed, clipboard, [](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard)
                ++count;
        });
    }
    return count;
}

QString pastedImagesFolder() {
    // Removed with its files when the process ends (the folder object is destroyed at exit).
    static std::unique_ptr<QTemporaryDir> folder;
    if (!folder) {
        auto made = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/kollage-pasted-XXXXXX"));
        if (!made->isValid())
            return {};
        folder = std::move(made);
    }
    return folder->path();
}

QString KXPastedImageFile::fileForImage(const QImage& image, std::uint64_t changeCount, QString* error) {
    if (!m_path.isEmpty() && changeCount == m_changeCount && QFileInfo(m_path).isFile())
        return m_path;
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("the clipboard holds no image");
        return {};
    }
    const QString folder = pastedImagesFolder();
    if (folder.isEmpty()) {
        if (error)
            *error = QStringLiteral("no folder for pasted images can be made");
        return {};
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        if (error)
            *error = QStringLiteral("the image cannot be encoded as PNG");
        return {};
    }
    const QString path = uniqueFilePath(folder, QStringLiteral("1"), QStringLiteral("png"));
    if (!kx::writeFileAtomically(path, png, error))
        return {};
    if (const KXCachePtr entry = KXCache::initWithImage(kx::Image(image), path))
        KXCacheManager::cacheManager().addCache(entry, path);
    m_path = path;
    m_changeCount = changeCount;
    return path;
}
