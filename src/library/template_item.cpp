#include "library/template_item.h"

#include "graphics/file_utilities.h"
#include "graphics/image_loading.h"
#include "library/template_folders.h"

void KXTemplateItem::setPath(const QString& path) {
    m_path = path;
    m_isPDF = pathExtension(path).toLower() == QLatin1String("pdf");
    if (m_isPDF)
        m_maxNumberPages = pdfPageCount(path);
}

QString KXTemplateItem::path() const {
    if (!m_path.isEmpty())
        return m_path;
    return m_imagePaths.isEmpty() ? QString() : m_imagePaths.first();
}

void KXTemplateItem::addImagePaths(const QStringList& paths) {
    m_imagePaths = paths;
    if (!paths.isEmpty())
        setPath(paths.first());
}

std::int64_t KXTemplateItem::pageCount() const {
    return m_isPDF ? m_maxNumberPages : m_imagePaths.size();
}

bool KXTemplateItem::isMultiplePage() const {
    return pageCount() > 1;
}

bool KXTemplateItem::isCustomTemplate() const {
    return kx::templates::isCustomTemplatePath(path());
}

QString KXTemplateItem::templateFolder() const {
    return kx::templates::templateFolderOfFile(path());
}

QString KXTemplateItem::imageUID() const {
    if (m_isPDF)
        return m_path;
    const std::int64_t index = m_currentPage - 1;
    return index >= 0 && index < m_imagePaths.size() ? m_imagePaths[index] : path();
}

kx::ImageBrowserItem KXTemplateItem::browserItem() const {
    kx::ImageBrowserItem item;
    item.title = m_name;
    item.subtitle = m_name;
    item.version = m_version;
    if (m_isPDF) {
        // A PDF that cannot be opened has no page to show.
        item.uid = m_path;
        if (m_maxNumberPages > 0) {
            item.path = m_path;
            item.pdfPage = int(std::clamp<std::int64_t>(m_currentPage - 1, 0, m_maxNumberPages - 1));
        }
    } else {
        item.uid = imageUID();
        item.path = item.uid;
    }
    return item;
}
