// Text set inside an outline: a text of N words laid out from scratch in one column whose lines are
// clipped to an oval by the pixel scan of the outline (one small bitmap per proposed line), as a text
// box's drawing does once per drawing; and the whole word-art rendering of a text box (bitmap, outline
// and glow passes) at zoom 1.
#include "model/canvas.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape.h"
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

}  // namespace
