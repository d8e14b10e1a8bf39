// Typing into a laid-out text: one character inserted (and, on the next iteration, deleted again) in the
// middle of a text of N words set in two columns that flow around three rectangular objects, followed by
// the relayout that the next drawing needs. The columns grow with the text so that all of it is laid
// out. Texts come in paragraphs of 50 words, or as one paragraph (the worst case: the whole paragraph is
// set again). "full" lays the whole text out from scratch, for comparison.
#include "platform/text/text_layout_manager.h"


#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

// A column with rectangular holes; a line meeting a hole ends where the hole begins, and the rest of the
// line right of the hole is offered as the remaining rectangle.
class FlowAroundContainer : public kx::TextContainer {
public:
    using TextContainer::TextContainer;
    std::vector<kx::Rect> holes;

    kx::Rect lineFragmentRect(const kx::Rect& proposed, kx::Rect* remaining) const override {
        kx::Rect f = TextContainer::lineFragmentRect(proposed, remaining);
        if (f.size.height <= 0)
            return f;
        for (const kx::Rect& h : holes) {
            if (f.maxY() <= h.minY() || f.minY() >= h.maxY() || f.maxX() <= h.minX() || f.minX() >= h.maxX())
                continue;
            if (h.minX() <= f.minX()) {
                const double end = f.maxX();
                f.origin.x = h.maxX();
                f.size.width = std::max(0.0, end - h.maxX());
            } else {
                if (remaining && f.maxX() > h.maxX())
                    *remaining = kx::Rect(h.maxX(), f.minY(), f.maxX() - h.maxX(), f.height());
                f.size.width = h.minX() - f.minX();
            }
        }
        return f;
    }
};

const char* const kWords[] = {"lorem",  "ipsum", "dolor",  "sit",     "amet",   "consectetur", "adipiscing",
                              "elit",   "sed",   "do",     "eiusmod", "tempor", "incididunt",  "ut",
                              "labore", "et",    "dolore", "magna",   "aliqua", "enim"};

struct Document {
    std::shared_ptr<kx::TextStorage> storage;
    kx::TextLayoutManager manager;

    Document(int words, bool paragraphs) {
        QString text;
        for (int i = 0; i < words; ++i) {
            text += QString::fromLatin1(kWords[(i * 7) % 20]);
            text += paragraphs && i % 50 == 49 ? QStringLiteral("\n") : QStringLiteral(" ");
        }
        kx::TextAttributes attributes;
        attributes.font = kx::Font::withFamily(QStringLiteral("DejaVu Serif"), QStringLiteral("Book"), 11);
        storage = std::make_shared<kx::TextStorage>(kx::AttributedString(text, attributes));
        manager.setTextStorage(storage);
        // Two columns of 240 points, each tall enough for half the text, with three objects between them.
        const double height = 1.2 * words + 60;
        for (int column = 0; column < 2; ++column) {
            auto c = std::make_shared<FlowAroundContainer>(kx::Size(240, height));
            if (column == 0) {
                c->holes = {kx::Rect(80, height * 0.1, 90, 60), kx::Rect(-10, height * 0.6, 100, 80)};
            } else {
                c->holes = {kx::Rect(150, height * 0.3, 120, 100)};
            }
            manager.addTextContainer(c);
        }
        manager.lineFragments();
    }
};

void BM_TypeOneCharacter(benchmark::State& state) {
    Document doc(int(state.range(0)), state.range(1) != 0);
    const qsizetype at = doc.storage->length() / 2;
    bool inserted = false;
    for (auto _ : state) {
        if (inserted)
            doc.storage->replaceCharacters({at, 1}, QString());
        else
            doc.storage->replaceCharacters({at, 0}, QStringLiteral("x"));
        inserted = !inserted;
        benchmark::DoNotOptimize(doc.manager.lineFragments().size());
    }
    if (doc.manager.firstUnlaidCharacterIndex() != doc.storage->length())
        state.SkipWithError("the text does not fit the columns");
    state.counters["fragments"] = double(doc.manager.lineFragments().size());
}

void BM_FullLayout(benchmark::State& state) {
    Document doc(int(state.range(0)), state.range(1) != 0);
    for (auto _ : state) {
        doc.manager.invalidateLayout();
        benchmark::DoNotOptimize(doc.manager.lineFragments().size());
    }
}

}  // namespace

BENCHMARK(BM_TypeOneCharacter)
    ->ArgNames({"words", "paragraphs"})
    ->ArgsProduct({{500, 5000}, {1, 0}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullLayout)
    ->ArgNames({"words", "paragraphs"})
    ->ArgsProduct({{500, 5000}, {1, 0}})
    ->Unit(benchmark::kMillisecond);
