#include "library/resource_browser_item.h"

#include "controls/thumbnail_maker.h"
#include "library/resource_folders.h"

#include <QFileInfo>

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
