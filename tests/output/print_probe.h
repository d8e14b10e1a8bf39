// Pages to print and the outside programs that look at the PDF files the printer writes: pdfinfo for the
// sheets, pdftoppm for their pixels, pdfimages for the pictures placed on them.
#pragma once

#include "model/background.h"
#include "model/canvas.h"
#include "model/page_size.h"
#include "support/run_program.h"

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QRegularExpression>
#include <QStringList>

#include <memory>

namespace printtest {

// A page of the pixel size at the dpi, filled with one colour, or with a red-to-blue gradient along the angle
// (degrees) when `gradientAngle` is given.
inline std::shared_ptr<KXCanvas> makePage(double width, double height, std::int64_t dpi = 72,
                                          const kx::Color& colour = kx::Color::srgb(0, 0, 1, 1),
                                          double gradientAngle = -1) {
    auto page = std::make_shared<KXCanvas>();
    const KXSize size(width, height, KXSizeUnitPixel, dpi);
    page->setPageSize(&size);
    page->zoomToFitSize({std::min(width, 400.0), std::min(height, 400.0)});
    auto fill = std::make_shared<KXBackground>();
    fill->setColor1(colour);
    if (gradientAngle >= 0) {
        fill->setColorType(KXColorTypeGradient);
        fill->setColor1(kx::Color::srgb(1, 0, 0, 1));
        fill->setColor2(kx::Color::srgb(0, 0, 1, 1));
        fill->setFillAngle(gradientAngle);
    }
    page->setBackground(fill);
    return page;
}

// A printer that writes a PDF file on paper of the size in points (portrait), with zero margins.
inline void printToPdf(QPrinter& printer, const QString& file, double width, double height) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageSize(QPageSize(QSizeF(width, height), QPageSize::Point, QStringLiteral("Sheet"), QPageSize::ExactMatch));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

struct PdfSheets {
    int pages = 0;
    QSizeF pageSize;  // points, of the first page
};

inline PdfSheets pdfSheets(const QString& file) {
    const QString info = QString::fromUtf8(kxtest::runProgram("pdfinfo", {file}).standardOutput);
    PdfSheets sheets;
    const auto pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    if (pages.hasMatch())
        sheets.pages = pages.captured(1).toInt();
    const auto size = QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts")).match(info);
    if (size.hasMatch())
        sheets.pageSize = QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble());
    return sheets;
}

// The sheet (1-based) rendered at 72 dpi: one pixel per point, row 0 at the top of the sheet.
inline QImage pdfSheetImage(const QString& file, int sheet, const QString& prefix) {
    const QString n = QString::number(sheet);
    kxtest::runProgram("pdftoppm", {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-f"), n,
                                    QStringLiteral("-l"), n, QStringLiteral("-singlefile"), QStringLiteral("-png"),
                                    file, prefix});
    return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

// The pixel sizes of the pictures placed in the PDF, in order.
inline QList<QSize> pdfImageSizes(const QString& file) {
    const QString list = QString::fromUtf8(kxtest::runProgram("pdfimages", {QStringLiteral("-list"), file}).standardOutput);
    QList<QSize> sizes;
    const QStringList lines = list.split(u'\n');
    // Two heading lines; then "page num type width height ...". Soft masks come as type "smask".
    for (int i = 2; i < lines.size(); ++i) {
        const QStringList fields = lines[i].simplified().split(u' ');
        if (fields.size() > 4 && fields[2] == QLatin1String("image"))
            sizes.append(QSize(fields[3].toInt(), fields[4].toInt()));
    }
    return sizes;
}

// Whether the pixel is the page's blue (not the white of the paper).
inline bool isBlue(const QImage& image, int x, int y) {
    const QColor c = image.pixelColor(x, y);
    return c.blue() > 200 && c.red() < 60 && c.green() < 60;
}

inline bool isWhite(const QImage& image, int x, int y) {
    const QColor c = image.pixelColor(x, y);
    return c.red() > 245 && c.green() > 245 && c.blue() > 245;
}

}  // namespace printtest
