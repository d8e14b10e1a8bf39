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

void* openFirstPageOf(std::unique_ptr<Poppler::Document> document) {
    if (!document || document->isLocked() || document->numPages() < 1)
        return nullptr;
    auto open = std::make_unique<OpenPage>();
    open->page = document->page(0);
    if (!open->page)
        return nullptr;
    open->document = std::move(document);
    return open.release();
}

void* openFirstPageOfFile(const QString& path) {
    return openFirstPageOf(Poppler::Document::load(path));
}

void* openFirstPageOfData(const QByteArray& data) {
    return openFirstPageOf(Poppler::Document::loadFromData(data));
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

constexpr KXPdfPages kPages{KXPdfPages::kVersion, openFirstPageOfFile, openFirstPageOfData, pageSize, renderPage,
                            closePage};

}  // namespace

extern "C" __attribute__((visibility("default"))) const KXPdfPages* kxPdfPages() {
    return &kPages;
}
