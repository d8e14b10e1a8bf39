// A PDF document of rendered pages, written with cairo. Each page gets the media box of its own page size in
// points and carries its picture as a JPEG stream stored as it is (never re-encoded losslessly). The document
// information holds a title, author, subject and keywords. The bytes collect in memory and reach the disk in
// one atomic write, so a failed or cancelled run never leaves a partial file under the final name.
#pragma once

#include "platform/foundation/geometry.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <memory>

// The document information of a PDF export.
struct KXPdfInfo {
    QString title;
    QString author;
    QString subject;
    QString keywords;
};

// The information of a PDF written without the PDF sheet: the file name without its extension as title, the
// application's name as author, "None" as subject and keywords.
KXPdfInfo defaultPdfInfo(const QString& path, const QString& applicationName);

// The JPEG factor of the page pictures.
inline constexpr int KXPdfJpegQuality = 70;

// A page's media box in whole points: its pixel size at its resolution (pixels / dpi * 72, rounded).
kx::Size pdfPageSize(const kx::Size& pixelSize, int dotsPerInch);

class KXPdfWriter {
public:
    explicit KXPdfWriter(const KXPdfInfo& info);
    ~KXPdfWriter();
    KXPdfWriter(const KXPdfWriter&) = delete;
    KXPdfWriter& operator=(const KXPdfWriter&) = delete;

    // Adds a page of the size in points showing the picture over its whole area. False (with *error) when
    // the picture is empty or cairo refuses.
    bool addPage(const QImage& picture, const kx::Size& pointSize, QString* error = nullptr);
    int pageCount() const { return m_pages; }
    // Closes the document and writes it atomically at the path. False (with *error) when nothing was added,
    // cairo failed or the file cannot be written.
    bool finish(const QString& path, QString* error = nullptr);
    // The closed document's bytes (finish() without a file); empty on failure.
    QByteArray finishedData(QString* error = nullptr);

private:
    struct Document;
    std::unique_ptr<Document> m_doc;
    KXPdfInfo m_info;
    int m_pages = 0;
};
