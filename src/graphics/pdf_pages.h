// The poppler side of PDF and AI rasterising, as a table of functions. Poppler and the libraries it pulls in
// (NSS, lcms, OpenJPEG, TIFF, ...) live in a module of their own, "kollage_pdf", that is loaded the first
// time a PDF is read, so that none of them is mapped, relocated or initialised while the application
// starts. The module and the code that loads it are built together and share this header: the table's
// version must match exactly.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>

struct KXPdfPages {
    static constexpr int kVersion = 1;
    int version;
    // The first page of a file, or of data in memory: null when it cannot be read, is locked or has no
    // page. The handle is given back with closePage.
    void* (*openFirstPageOfFile)(const QString& path);
    void* (*openFirstPageOfData)(const QByteArray& data);
    // The page's size in points, its rotation applied.
    QSizeF (*pageSize)(void* page);
    // The page drawn on a transparent background, antialiased, at the resolutions given (pixels per inch);
    // null when drawing fails or outlasts the deadline (a QDeadlineTimer deadline in milliseconds).
    QImage (*renderPage)(void* page, double xres, double yres, qint64 deadline);
    void (*closePage)(void* page);
};

// The symbol the module exports: its table.
inline constexpr char kPdfPagesSymbol[] = "kxPdfPages";
using KXPdfPagesEntry = const KXPdfPages* (*)();

// The table of the module, loaded on the first call (once per process; thread-safe); null when the module
// cannot be found or loaded, and PDF files then give no image.
const KXPdfPages* pdfPages();
