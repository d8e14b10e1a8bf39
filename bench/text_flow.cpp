// Text set inside an outline: a text of N words laid out from scratch in one column whose lines are
// clipped to an oval by the pixel scan of the outline (one small bitmap per proposed line); the whole
// word-art rendering of a text box (bitmap, outline and glow passes) at zoom 1; and a text box holding
// one long paragraph: laid out from scratch, laid out and drawn (the reference), and drawn again after no
// change, which reuses the layout and costs the glyph drawing alone.
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/text/text_layout_manager.h"
#include "text/advanced_text.h"
#include "text/text_container.h"


#include <benchmark/benchmark.h>

namespace {

kx::TextAttributes attributes(double size) {
    kx::TextAttributes a = KXText::defaultAttributes();
    a.font = kx::Font::withFamily(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), size);
    return a;
}

QString words(int count) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("word%1 ").arg(i % 97);
    return text;
}

void BM_FlowInsideOval(benchmark::State& state) {
    const double side = 40 * std::sqrt(double(state.range(0)));
    auto container = KXTextContainer::initWithContainerSize({side, side});
    container->setPath(kx::BezierPath::withOvalInRect({0, 0, side, side}));
    container->setSingleFontWidth(float(kx::measureString(QStringLiteral("M"), attributes(12)).width));
    auto storage = std::make_shared<kx::TextStorage>(kx::AttributedString(words(int(state.range(0))), attributes(12)));
    kx::TextLayoutManager manager(storage);
    manager.addTextContainer(container);
    for (auto _ : state) {
        manager.textContainerChangedGeometry(container.get());
        benchmark::DoNotOptimize(manager.lineFragments().size());
    }
}
BENCHMARK(BM_FlowInsideOval)->ArgName("words")->Arg(50)->Arg(400)->Unit(benchmark::kMillisecond);

void BM_WordArtImage(benchmark::State& state) {
    registerModelClasses();
    auto page = std::make_shared<KXCanvas>();
    const KXSize size(800, 600, KXSizeUnitPixel, 72);
    page->setPageSize(&size);
    page->zoomToFitSize(page->pixelSize());
    auto shape = std::make_shared<KXShape>();
    shape->setPhoto(nullptr);
    page->addGraph(shape);
    shape->setRelativeRect({0.1, 0.1, 0.5, 0.3});
    auto* text = static_cast<KXAdvancedText*>(shape->text());
    text->textStorage().setAttributedString(kx::AttributedString(QStringLiteral("Word art"), attributes(60)));
    text->setOutlineEnabled(state.range(0) != 0);
    text->setGlowEnabled(state.range(0) != 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(text->image().width());
}
BENCHMARK(BM_WordArtImage)->ArgName("glowAndOutline")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A text box on a page holding one paragraph of `bytes` characters.
struct LongParagraphBox {
    std::shared_ptr<KXCanvas> page = std::make_shared<KXCanvas>();
    std::shared_ptr<KXShape> shape = std::make_shared<KXShape>();
    kx::BitmapContext context{600, 400};

    explicit LongParagraphBox(qsizetype bytes) {
        registerModelClasses();
        const KXSize size(600, 400, KXSizeUnitPixel, 72);
        page->setPageSize(&size);
        page->zoomToFitSize(page->pixelSize());
        shape->setPhoto(nullptr);
        shape->setText(KXText::initWithOwner(shape.get()));
        page->addGraph(shape);
        shape->setRelativeRect({0.05, 0.05, 0.6, 0.7});
        QString paragraph = words(int(bytes / 6) + 1);
        paragraph.truncate(bytes);
        text().textStorage().setAttributedString(kx::AttributedString(paragraph, attributes(12)));
    }
    KXText& text() { return *static_cast<KXText*>(shape->text()); }
    void draw() { text().drawInContext(context, {0, 0, 360, 280}); }
};

void BM_LongParagraphLayout(benchmark::State& state) {
    LongParagraphBox box(state.range(0));
    box.draw();
    kx::TextLayoutManager& manager = *box.text().layoutManter();
    for (auto _ : state) {
        manager.invalidateLayout();
        benchmark::DoNotOptimize(manager.lineFragments().size());
    }
}
BENCHMARK(BM_LongParagraphLayout)->ArgName("bytes")->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// The reference for the redrawing below: a drawing that lays the paragraph out again first.
void BM_LongParagraphRelayoutAndDraw(benchmark::State& state) {
    LongParagraphBox box(state.range(0));
    box.draw();
    for (auto _ : state) {
        box.text().layoutManter()->invalidateLayout();
        box.draw();
    }
}
BENCHMARK(BM_LongParagraphRelayoutAndDraw)
    ->ArgName("bytes")
    ->Arg(10'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);

void BM_LongParagraphRedraw(benchmark::State& state) {
    LongParagraphBox box(state.range(0));
    box.draw();
    const std::uint64_t layouts = box.text().layoutManter()->paragraphLayoutCount();
    for (auto _ : state)
        box.draw();
    if (box.text().layoutManter()->paragraphLayoutCount() != layouts)
        state.SkipWithError("a drawing after no change laid the paragraph out again");
}
BENCHMARK(BM_LongParagraphRedraw)->ArgName("bytes")->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

}  // namespace
