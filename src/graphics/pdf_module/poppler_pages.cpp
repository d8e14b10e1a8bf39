// The module "kollage_pdf": PDF pages opened and drawn by poppler, for the rasterising in graphics/.
#include "graphics/pdf_pages.h"

#include <QDeadlineTimer>
#include <QVariant>

#include <poppler-qt6.h>

#include <cmath>
#include <memory>

namespace {

struct OpenPage {
    std::unique_ptr<Poppler::Document> document;
    std::unique_ptr<Poppler::Page> page;
};

void* openPageOf(std::unique_ptr<Poppler::Document> document, int index) {
    if (!document || document->isLocked() || index < 0 || index >= document->numPages())
        return nullptr;
    auto open = std::make_unique<OpenPage>();
    open->page = document->page(index);
    if (!open->page)
        return nullptr;
    open->document = std::move(document);
    return open.release();
}

void* openPageOfFile(const QString& path, int index) {
    return openPageOf(Poppler::Document::load(path), index);
}

void* openFirstPageOfData(const QByteArray& data) {
    return openPageOf(Poppler::Document::loadFromData(data), 0);
}

int pageCountOfFile(const QString& path) {
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    return document && !document->isLocked() ? document->numPages() : 0;
}

QSizeF pageSize(void* page) {
    return static_cast<OpenPage*>(page)->page->pageSizeF();
}

bool deadlinePassed(const QVariant& deadline) {
    return QDeadlineTimer(deadline.toLongLong()).hasExpired();
}

QImage renderPage(void* page, double xres, double yres, qint64 deadline) {
    auto* open = static_cast<OpenPage*>(page);
    open->document->setPaperColor(Qt::transparent);
    open->document->setRenderHint(Poppler::Document::Antialiasing, true);
    open->document->setRenderHint(Poppler::Document::TextAntialiasing, true);
    open->document->setRenderHint(Poppler::Document::IgnorePaperColor, true);
    return open->page->renderToImage(xres, yres, -1, -1, -1, -1, Poppler::Page::Rotate0, nullptr, nullptr,
                                     deadlinePassed, QVariant(deadline));
}

void closePage(void* page) {
    delete static_cast<OpenPage*>(page);
}

constexpr KXPdfPages kPages{KXPdfPages::kVersion, openPageOfFile, openFirstPageOfData, pageCountOfFile, pageSize,
                            renderPage, closePage};

}  // namespace

extern "C" __attribute__((visibility("default"))) const KXPdfPages* kxPdfPages() {
    return &kPages;
}
