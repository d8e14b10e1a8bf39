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
    static constexpr int kVersion = 2;
    int version;
    // The page numbered `index` (from 0) of a file, or the first page of data in memory: null when it cannot
    // be read, is locked or has no such page. The handle is given back with closePage.
    void* (*openPageOfFile)(const QString& path, int index);
    void* (*openFirstPageOfData)(const QByteArray& data);
    // The number of pages of a file; 0 when it cannot be read or is locked.
    int (*pageCountOfFile)(const QString& path);
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
