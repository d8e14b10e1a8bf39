// One template in the chooser's browser: the pages of a PDF, or a list of page images, and the page showing.
#pragma once

#include "controls/image_browser_item.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class KXTemplateItem {
public:
    // Keeps the path; a PDF (any case of the extension) is opened and its pages counted (0 when it cannot be
    // opened, which leaves the item without pages).
    void setPath(const QString& path);
    // The stored path, else the first page image, else empty.
    QString path() const;
    // Replaces the page images; a non-empty list also sets the path to its first image.
    void addImagePaths(const QStringList& paths);
    const QStringList& imagePaths() const { return m_imagePaths; }
    bool hasPDF() const { return m_isPDF; }
    std::int64_t maxNumberPages() const { return m_maxNumberPages; }
    // The number of pages the item can show.
    std::int64_t pageCount() const;

    // Counted from 1.
    std::int64_t currentPage() const { return m_currentPage; }
    void setCurrentPage(std::int64_t page) { m_currentPage = page; }
    void visibleImage(std::int64_t page) { m_currentPage = page; }
    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    quint64 version() const { return m_version; }
    void setVersion(quint64 version) { m_version = version; }

    bool isMultiplePage() const;
    bool isFristPage() const { return m_currentPage == 1; }
    bool isLastPage() const { return m_currentPage == pageCount(); }
    bool isCustomTemplate() const;
    // The folder the template's files belong to.
    QString templateFolder() const;

    // What the browser shows: the current page of the PDF or the current page image, titled with the name.
    QString imageUID() const;
    kx::ImageBrowserItem browserItem() const;

private:
    QStringList m_imagePaths;
    QString m_path;
    bool m_isPDF = false;
    std::int64_t m_maxNumberPages = 1;
    std::int64_t m_currentPage = 0;
    QString m_name;
    quint64 m_version = 0;
};
