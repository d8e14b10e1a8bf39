// Not a benchmark: a check that a change of the rendering code leaves every built-in template page drawn the
// same. It renders each page of each template in resources/Templates through the canvas view (at "fit page"
// in a 1200 x 900 view, backdrop and shadows included), again after moving the view's contents by a scroll
// step and back, and through the page layer alone at 1.5 times its size; it writes one PNG per picture into
// the output folder. Given a reference folder as well, it compares pixel by pixel with the pictures there and
// reports every picture that differs, with the largest difference of a channel.
//
//   bench_template_pages <output folder> [<reference folder>]
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "document/xml_conversion.h"
#include "model/canvas.h"
#include "model/model_classes.h"
#include "platform/foundation/bundle.h"
#include "platform/layers/layer_renderer.h"
#include "view_events.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QThreadPool>

#include <cstdio>
#include <cstdlib>

namespace {

QStringList templateFolders(const QString& resources) {
    QStringList folders;
    const QDir root(resources + QStringLiteral("/Templates"));
    for (const QString& category : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        for (const QString& name : QDir(root.filePath(category)).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            folders << root.filePath(category) + u'/' + name;
    return folders;
}

// Lets images that load on other threads arrive and be drawn.
void settle() {
    for (int i = 0; i < 4; ++i) {
        QThreadPool::globalInstance()->waitForDone();
        QApplication::processEvents();
    }
}

struct Comparison {
    int pictures = 0;
    int differing = 0;
    int missing = 0;
};

void compare(const QString& name, const QImage& image, const QString& referenceFolder, Comparison& result) {
    ++result.pictures;
    QImage reference(QDir(referenceFolder).filePath(name));
    if (reference.isNull()) {
        ++result.missing;
        std::printf("%s: no reference\n", qPrintable(name));
        return;
    }
    const QImage a = image.convertToFormat(QImage::Format_RGBA8888);
    const QImage b = reference.convertToFormat(QImage::Format_RGBA8888);
    if (a.size() != b.size()) {
        ++result.differing;
        std::printf("%s: size %dx%d against %dx%d\n", qPrintable(name), a.width(), a.height(), b.width(), b.height());
        return;
    }
    long pixels = 0;
    int largest = 0;
    QRect where;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* p = a.constScanLine(y);
        const uchar* q = b.constScanLine(y);
        for (int x = 0; x < a.width(); ++x) {
            int d = 0;
            for (int c = 0; c < 4; ++c)
                d = std::max(d, std::abs(int(p[4 * x + c]) - int(q[4 * x + c])));
            pixels += d > 0;
            largest = std::max(largest, d);
            if (d > 0)
                where |= QRect(x, y, 1, 1);
        }
    }
    if (pixels > 0) {
        ++result.differing;
        std::printf("%s: %ld pixels differ, by %d at most, within (%d, %d) to (%d, %d)\n", qPrintable(name), pixels,
                    largest, where.left(), where.top(), where.right(), where.bottom());
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    registerModelClasses();
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder> [<reference folder>]\n", argv[0]);
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    const QString reference = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QDir().mkpath(output);
    const QString resources = QStringLiteral(KX_SOURCE_DIR "/resources");
    kx::Bundle::setMainResourcePath(resources);

    Comparison comparison;
    kxtest::ViewRig rig({1200, 900});
    const auto keep = [&](const QString& name, const QImage& image) {
        image.save(QDir(output).filePath(name));
        if (!reference.isEmpty())
            compare(name, image, reference, comparison);
    };
    for (const QString& folder : templateFolders(resources)) {
        KXXMLConversion conversion;
        QString error;
        if (!loadXMLTemplateWithPath(xmlTemplateFileInFolder(folder), &conversion, &error)) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(folder), qPrintable(error));
            return 1;
        }
        const QString stem = QFileInfo(QFileInfo(folder).path()).fileName() + u'-' + QFileInfo(folder).fileName();
        for (std::size_t i = 0; i < conversion.pages.size(); ++i) {
            const QString page = stem + QStringLiteral("-%1").arg(i + 1, 2, 10, QLatin1Char('0'));
            auto layer = KXCanvasLayer::create(conversion.pages[i]);
            rig.view->switchToCanvasLayer(layer);
            rig.choose(KXZoomEntryFitPage);
            settle();
            keep(page + QStringLiteral("-view.png"), rig.view->grab().toImage());
            // Painted again from what the first paint left cached.
            rig.view->update();
            settle();
            keep(page + QStringLiteral("-view-again.png"), rig.view->grab().toImage());
            rig.view->switchToCanvasLayer(nullptr);
            settle();
            keep(page + QStringLiteral("-layer.png"), kx::renderLayerTree(*layer, 1.5).qimage());
        }
    }
    if (!reference.isEmpty()) {
        std::printf("%d pictures compared: %d differ, %d without reference\n", comparison.pictures,
                    comparison.differing, comparison.missing);
        return comparison.differing + comparison.missing > 0 ? 1 : 0;
    }
    std::printf("pictures written to %s\n", qPrintable(output));
    return 0;
}
