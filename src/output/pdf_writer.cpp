#include "output/pdf_writer.h"

#include "platform/foundation/atomic_file.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

#include <cairo-pdf.h>
#include <cairo.h>

#include <cmath>
#include <cstring>

namespace {

// Collects what cairo writes.
cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<QByteArray*>(closure)->append(reinterpret_cast<const char*>(data), qsizetype(length));
    return CAIRO_STATUS_SUCCESS;
}

void freeBytes(void* data) {
    delete static_cast<QByteArray*>(data);
}

QByteArray jpegBytes(const QImage& opaque) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(KXPdfJpegQuality);
    return writer.write(opaque) ? bytes : QByteArray();
}

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

}  // namespace

KXPdfInfo defaultPdfInfo(const QString& path, const QString& applicationName) {
    const QString none = QStringLiteral("None");
    return {QFileInfo(path).completeBaseName(), applicationName, none, none};
}

kx::Size pdfPageSize(const kx::Size& pixelSize, int dotsPerInch) {
    const double dpi = dotsPerInch > 0 ? dotsPerInch : 72;
    return {std::max(1.0, std::round(pixelSize.width / dpi * 72)), std::max(1.0, std::round(pixelSize.height / dpi * 72))};
}

struct KXPdfWriter::Document {
    QByteArray bytes;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;

    ~Document() {
        if (cr)
            cairo_destroy(cr);
        if (surface)
            cairo_surface_destroy(surface);
    }
};

KXPdfWriter::KXPdfWriter(const KXPdfInfo& info) : m_doc(std::make_unique<Document>()), m_info(info) {}

KXPdfWriter::~KXPdfWriter() = default;

bool KXPdfWriter::addPage(const QImage& picture, const kx::Size& pointSize, QString* error) {
    if (picture.isNull() || !(pointSize.width > 0) || !(pointSize.height > 0)) {
        setError(error, QStringLiteral("the page gave no picture"));
        return false;
    }
    Document& doc = *m_doc;
    if (!doc.surface) {
        doc.surface = cairo_pdf_surface_create_for_stream(appendBytes, &doc.bytes, pointSize.width, pointSize.height);
        const QByteArray fields[] = {m_info.title.toUtf8(), m_info.author.toUtf8(), m_info.subject.toUtf8(),
                                     m_info.keywords.toUtf8()};
        const cairo_pdf_metadata_t keys[] = {CAIRO_PDF_METADATA_TITLE, CAIRO_PDF_METADATA_AUTHOR,
                                             CAIRO_PDF_METADATA_SUBJECT, CAIRO_PDF_METADATA_KEYWORDS};
        for (int i = 0; i < 4; ++i)
            cairo_pdf_surface_set_metadata(doc.surface, keys[i], fields[i].constData());
        doc.cr = cairo_create(doc.surface);
    } else {
        cairo_pdf_surface_set_size(doc.surface, pointSize.width, pointSize.height);
    }
    const QImage opaque = picture.convertToFormat(QImage::Format_RGB32);
    // The page shows the JPEG stream as it is; the pixels below serve cairo only when the stream is missing.
    const QByteArray jpeg = jpegBytes(opaque);
    // cairo keeps the picture until the document closes, so it gets pixels of its own.
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, opaque.width(), opaque.height());
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        setError(error, QStringLiteral("the page picture is too large"));
        return false;
    }
    cairo_surface_flush(image);
    unsigned char* pixels = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int y = 0; y < opaque.height(); ++y)
        std::memcpy(pixels + qsizetype(y) * stride, opaque.constScanLine(y), size_t(opaque.width()) * 4);
    cairo_surface_mark_dirty(image);
    if (!jpeg.isEmpty()) {
        auto* kept = new QByteArray(jpeg);
        cairo_surface_set_mime_data(image, CAIRO_MIME_TYPE_JPEG, reinterpret_cast<const unsigned char*>(kept->constData()),
                                    static_cast<unsigned long>(kept->size()), freeBytes, kept);
    }
    cairo_save(doc.cr);
    cairo_scale(doc.cr, pointSize.width / opaque.width(), pointSize.height / opaque.height());
    cairo_set_source_surface(doc.cr, image, 0, 0);
    cairo_paint(doc.cr);
    cairo_restore(doc.cr);
    cairo_show_page(doc.cr);
    cairo_surface_destroy(image);
    const cairo_status_t status = cairo_status(doc.cr);
    if (status != CAIRO_STATUS_SUCCESS) {
        setError(error, QString::fromUtf8(cairo_status_to_string(status)));
        return false;
    }
    ++m_pages;
    return true;
}

QByteArray KXPdfWriter::finishedData(QString* error) {
    Document& doc = *m_doc;
    if (!doc.surface) {
        setError(error, QStringLiteral("the document has no pages"));
        return {};
    }
    cairo_destroy(doc.cr);
    doc.cr = nullptr;
    cairo_surface_finish(doc.surface);
    const cairo_status_t status = cairo_surface_status(doc.surface);
    cairo_surface_destroy(doc.surface);
    doc.surface = nullptr;
    if (status != CAIRO_STATUS_SUCCESS) {
        setError(error, QString::fromUtf8(cairo_status_to_string(status)));
        return {};
    }
    return std::move(doc.bytes);
}

bool KXPdfWriter::finish(const QString& path, QString* error) {
    const QByteArray data = finishedData(error);
    return !data.isEmpty() && kx::writeFileAtomically(path, data, error);
}
