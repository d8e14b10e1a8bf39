// Exporting an A4 page at 300 dpi (2480 x 3508 pixels) as a JPEG: six photo shapes made from 4000 x 3000
// JPEGs, four with picture frames of the application's resources (two with a mask image, two with margins),
// two with grey masks, all with drop shadows, some turned, and one text field (a caption of two lines).
// The photos are camera-like JPEG files (noise and texture at every scale; see make_camera_photos.py), which
// decode as slowly as camera photos do. Measured in one run:
// - BM_ExportAgainstFloor: each iteration times, one after the other, the export and its floor, so that both
//   meet the same load of the shared machine:
//   - the export: the output copy of a page just opened (its photos shown on screen, so the image cache holds
//     the sources' preview images only), rendered at the page's pixel size and encoded as a JPEG;
//   - the floor: what no export can avoid: decoding the six photos at the size they take on the page, plus
//     encoding one A4 JPEG.
//   Counters: export_ms, floor_ms (medians over the iterations) and ratio (the median of the per-iteration
//   ratios export / floor).
// - BM_ExportRunAgainstFloor: the same comparison for the application's whole export road: the output copy
//   made, then the export run (render at the page's pixel size, JPEG encode with the page's resolution, file
//   written under a temporary name and renamed into place), against the same floor.
// - BM_PagePSDExport: the same page written as a layered PSD file in memory (the background and one full-page
//   layer per graph, each packed per channel, plus the merged image).
// The goal is an export of at most 1.5 times the floor. CPU times are the whole process's: the export decodes
// its photos on other threads, and Qt's image scaling and conversions use threads of their own (in the floor
// too).
#include "graphics/geometry_utilities.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "output/canvas_psd_export.h"
#include "output/export_run.h"
#include "platform/foundation/bundle.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/text/text_storage.h"
#include "text/text.h"
#include "camera_photos.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kPhotos = 6;
const kx::Size kPagePixels(2480, 3508);

struct Resources {
    QTemporaryDir dir;
    std::vector<QString> sources;

    Resources() {
        for (int i = 0; i < kPhotos; ++i)
            sources.push_back(cameraPhotos()[i % cameraPhotos().size()]);
        kx::Bundle::setMainResourcePath(QStringLiteral(KX_SOURCE_DIR "/resources"));
    }
};

Resources& resources() {
    static Resources r;
    return r;
}

// The photos' frames on the page in page pixels: two columns of three, 100 pixels apart.
kx::Rect photoFrame(int i) {
    const double w = 1090, h = 1000;
    return {100 + (i % 2) * (w + 100), 200 + (i / 2) * (h + 130), w, h};
}

// The page as the user has it open: shown at 620 points wide.
std::shared_ptr<KXCanvas> buildPage() {
    const Resources& r = resources();
    auto page = std::make_shared<KXCanvas>();
    const KXSize size(kPagePixels.width, kPagePixels.height, KXSizeUnitPixel, 300);
    page->setPageSize(&size);
    page->zoomToFitSize({620, 877});
    const QString res = QStringLiteral(KX_SOURCE_DIR "/resources");
    for (int i = 0; i < kPhotos; ++i) {
        auto shape = std::make_shared<KXShape>();
        shape->setText(nullptr);
        page->addGraph(shape);
        const kx::Rect f = photoFrame(i);
        shape->setRelativeRect({f.origin.x / kPagePixels.width, f.origin.y / kPagePixels.height,
                                f.size.width / kPagePixels.width, f.size.height / kPagePixels.height});
        shape->setAngle((i % 3 - 1) * 0.05);
        KXPhoto& photo = *shape->photo();
        photo.setImagePath(r.sources[std::size_t(i)]);
        switch (i) {
        case 0:
        case 1: photo.setFrame(KXFrame::frameWithName(res + QStringLiteral("/Frame/Classic/classic_001.png"))); break;
        case 2:
        case 3: photo.setFrame(KXFrame::frameWithName(res + QStringLiteral("/Frame/Classic/classic_002.png"))); break;
        default: photo.setMaskName(res + QStringLiteral("/Mask/Circle/circle_001.jpg")); break;
        }
        shape->shadow()->setColor(kx::Color::srgb(0, 0, 0, 0.5));
        shape->setShadowEnabled(true);
        shape->setSelected(false);
    }
    // The caption across the page's bottom margin.
    auto caption = std::make_shared<KXShape>();
    caption->setPhoto(nullptr);
    page->addGraph(caption);
    caption->setRelativeRect({100 / kPagePixels.width, 5 / kPagePixels.height, 2280 / kPagePixels.width,
                              125 / kPagePixels.height});
    auto* text = static_cast<KXText*>(caption->text());
    kx::TextAttributes attributes = KXText::defaultAttributes();
    attributes.font = kx::Font::withFamily(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), 40);
    text->textStorage().setAttributedString(kx::AttributedString(
        QStringLiteral("Summer by the lake: six days of sun, rain, boats and long evenings on the pier, "
                       "with the whole family together for the first time in years."),
        attributes));
    caption->setSelected(false);
    return page;
}

QByteArray encodeJpeg(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes;
}

void BM_PagePSDExport(benchmark::State& state) {
    resources();
    for (auto _ : state) {
        state.PauseTiming();
        std::shared_ptr<KXCanvas> page = buildPage();
        state.ResumeTiming();
        const QByteArray psd = psdDataOfCanvas(*page, kPagePixels);
        benchmark::DoNotOptimize(psd.data());
        if (psd.isEmpty())
            state.SkipWithError("no PSD data");
        state.counters["MB"] = double(psd.size()) / 1e6;
        state.PauseTiming();
        page.reset();
        state.ResumeTiming();
    }
}

// The floor: the six photos decoded at the size they take on the page, placed, and the page encoded.
void exportFloor(QImage& pageImage) {
    const Resources& r = resources();
    QPainter painter(&pageImage);
    for (int i = 0; i < kPhotos; ++i) {
        QImageReader reader(r.sources[std::size_t(i)]);
        const kx::Rect f = photoFrame(i);
        const kx::Size needed = aspectFillSize({4000, 3000}, f.size);
        reader.setScaledSize(QSize(int(needed.width), int(needed.height)));
        const QImage photo = reader.read();
        benchmark::DoNotOptimize(photo.constBits());
        // Placing the decoded photo keeps the encoded page realistic; it costs a copy only.
        painter.drawImage(QPointF(f.origin.x, f.origin.y), photo);
    }
    painter.end();
    const QByteArray jpeg = encodeJpeg(pageImage);
    benchmark::DoNotOptimize(jpeg.data());
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Times one export of a page just opened and then the floor, per iteration, and reports both medians and the
// median ratio. `exportPage` answers whether it produced the page.
void compareWithFloor(benchmark::State& state, const std::function<bool(const KXCanvas&)>& exportPage) {
    resources();
    QImage pageImage(int(kPagePixels.width), int(kPagePixels.height), QImage::Format_RGB32);
    pageImage.fill(Qt::white);
    std::vector<double> exports, floors, ratios;
    for (auto _ : state) {
        // Built and released outside the timed parts: every export starts from a page just opened, whose
        // cache entries hold preview images only.
        std::shared_ptr<KXCanvas> page = buildPage();
        QElapsedTimer timer;
        timer.start();
        if (!exportPage(*page))
            state.SkipWithError("no page exported");
        const double exportMs = double(timer.nsecsElapsed()) / 1e6;
        timer.restart();
        exportFloor(pageImage);
        const double floorMs = double(timer.nsecsElapsed()) / 1e6;
        exports.push_back(exportMs);
        floors.push_back(floorMs);
        ratios.push_back(exportMs / floorMs);
    }
    state.counters["export_ms"] = median(exports);
    state.counters["floor_ms"] = median(floors);
    state.counters["ratio"] = median(ratios);
}

void BM_ExportAgainstFloor(benchmark::State& state) {
    compareWithFloor(state, [](const KXCanvas& page) {
        const std::shared_ptr<KXCanvas> copy = page.outputCopy();
        const kx::Image image = copy->outputImageWithSize(kPagePixels);
        const QByteArray jpeg = encodeJpeg(image.qimage());
        benchmark::DoNotOptimize(jpeg.data());
        return image.width() == int(kPagePixels.width);
    });
}

void BM_ExportRunAgainstFloor(benchmark::State& state) {
    QTemporaryDir out;
    compareWithFloor(state, [&out](const KXCanvas& page) {
        KXExportJob job;
        job.pages = {page.outputCopy()};
        job.path = out.filePath(QStringLiteral("page.jpg"));
        job.format = QStringLiteral("jpg");
        job.quality = 90;
        return runExport(job).outcome == KXExportOutcome::Written;
    });
}

BENCHMARK(BM_ExportRunAgainstFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(7);
BENCHMARK(BM_ExportAgainstFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(7);
BENCHMARK(BM_PagePSDExport)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    registerModelClasses();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
