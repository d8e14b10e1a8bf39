#include "library/resource_browser_item.h"

#include "canvas/canvas_drop.h"

#include <QDrag>
#include <QPixmap>

#include "controls/thumbnail_maker.h"
#include "library/resource_folders.h"
#include "platform/foundation/archive_copy.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"

#include <QFileInfo>

#include <mutex>

void KXImageBrowserItem::registerClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        kx::ClassRegistry& registry = kx::ClassRegistry::shared();
        registry.registerClass<KXImageBrowserItem>(QStringLiteral("KXImageBrowserItem"));
        registry.registerClass<KXResourceBrowserItem>(QStringLiteral("KXResourceBrowserItem"),
                                                      QStringLiteral("KXImageBrowserItem"));
    });
}

void KXImageBrowserItem::encodeWithCoder(kx::KeyedArchiver& coder) const {
    // The URL is kept as its text; nil when there is none.
    coder.encodeObject(m_url.isEmpty() ? kx::Value() : kx::Value(m_url.toString()), QStringLiteral("url"));
    coder.encodeObject(m_path.isNull() ? kx::Value() : kx::Value(m_path), QStringLiteral("path"));
    coder.encodeObject(m_title.isNull() ? kx::Value() : kx::Value(m_title), QStringLiteral("title"));
    coder.encodeObject(m_toolTip.isNull() ? kx::Value() : kx::Value(m_toolTip), QStringLiteral("toolTip"));
    coder.encodeObject(kx::Value(m_representationType), QStringLiteral("representationType"));
}

void KXImageBrowserItem::initWithCoder(kx::KeyedUnarchiver& coder) {
    const QString url = coder.decodeObjectOfType(QStringLiteral("url"), kx::Value::Type::String).toString();
    m_url = url.isEmpty() ? QUrl() : QUrl(url);
    setPath(coder.decodeObjectOfType(QStringLiteral("path"), kx::Value::Type::String).toString());
    m_title = coder.decodeObjectOfType(QStringLiteral("title"), kx::Value::Type::String).toString();
    m_toolTip = coder.decodeObjectOfType(QStringLiteral("toolTip"), kx::Value::Type::String).toString();
    const kx::Value type = coder.decodeObjectOfType(QStringLiteral("representationType"), kx::Value::Type::String);
    m_representationType = type.isNil() ? KXImageBrowserPathRepresentationType : type.toString();
}

std::shared_ptr<KXImageBrowserItem> KXImageBrowserItem::copy() const {
    registerClasses();
    return kx::archiveCopy(*this);
}

QString KXImageBrowserItem::imageTitle() const {
    if (!m_title.isEmpty())
        return m_title;
    if (!m_path.isEmpty())
        return QFileInfo(m_path).completeBaseName();
    if (!m_url.isEmpty())
        return QFileInfo(m_url.toString()).completeBaseName();
    return {};
}

QString KXImageBrowserItem::imageSubtitle() const {
    return QFileInfo(m_path).suffix();
}

QString KXImageBrowserItem::imageUID() const {
    if (m_representationType == KXImageBrowserURLRepresentationType)
        return m_url.toString();
    if (m_representationType == KXImageBrowserPathRepresentationType)
        return m_path;
    // An image has no name: its pixels' identity stands in for one.
    if (m_representationType == KXImageBrowserImageRepresentationType && !m_image.isNull())
        return QStringLiteral("image-") + QString::number(m_image.qimage().cacheKey());
    return QStringLiteral("placeholder");
}

QString KXImageBrowserItem::description() const {
    return m_toolTip.isEmpty() ? imageTitle() : m_toolTip;
}

kx::ImageBrowserItem KXImageBrowserItem::browserItem() const {
    kx::ImageBrowserItem item;
    item.uid = imageUID();
    item.version = m_version;
    item.title = imageTitle();
    item.subtitle = imageSubtitle();
    item.toolTip = description();
    if (m_representationType == KXImageBrowserImageRepresentationType)
        item.image = m_image;
    item.path = m_path;
    return item;
}

void KXResourceBrowserItem::setPath(const QString& path) {
    KXImageBrowserItem::setPath(path);
    m_thumbPath = thumbnailPathForResource(path);
}

kx::ImageBrowserItem KXResourceBrowserItem::browserItem() const {
    kx::ImageBrowserItem item = KXImageBrowserItem::browserItem();
    if (representationType() == KXImageBrowserPathRepresentationType && !m_thumbPath.isEmpty()) {
        item.renderer = [thumb = m_thumbPath](int maximumPixelSize) {
            kx::ImageBrowserItem source;
            source.path = thumb;
            return kx::makeThumbnail(source, maximumPixelSize);
        };
    }
    return item;
}

namespace {

int browserModelItemCount(const KXImageBrowserView& view) {
    return const_cast<KXImageBrowserView&>(view).browserModel().itemCount();
}

QString itemPath(const KXImageBrowserView& view, int item) {
    return const_cast<KXImageBrowserView&>(view).browserModel().items()[size_t(item)].path;
}

}  // namespace

QMimeData* KXImageBrowserView::dragData(const std::vector<int>& items) const {
    if (m_dragDataProvider)
        return m_dragDataProvider(items);
    QList<QUrl> urls;
    for (int item : items)
        if (item >= 0 && item < browserModelItemCount(*this) && !itemPath(*this, item).isEmpty())
            urls.append(QUrl::fromLocalFile(itemPath(*this, item)));
    if (urls.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    addDragSourceFacts(*data, QStringLiteral("KXImageBrowserView"), m_idString);
    return data;
}

void KXImageBrowserView::startDrag(Qt::DropActions) {
    const std::vector<int> items = selectedItems();
    startBrowserDrag(*this, dragData(items), items);
}

void startBrowserDrag(kx::ImageBrowserView& view, QMimeData* data, const std::vector<int>& items) {
    if (!data)
        return;
    auto* drag = new QDrag(&view);
    drag->setMimeData(data);
    if (!items.empty()) {
        const QImage thumbnail = view.browserModel().thumbnail(items.front());
        if (!thumbnail.isNull()) {
            const QImage picture = thumbnail.scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            drag->setPixmap(QPixmap::fromImage(picture));
            const QPoint centre(picture.width() / 2, picture.height() / 2);
            drag->setHotSpot(centre);
            addDragImageFacts(*data, {double(picture.width()), double(picture.height())},
                              {double(centre.x()), double(centre.y())});
        }
    }
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}
