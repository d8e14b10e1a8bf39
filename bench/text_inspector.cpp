// A keystroke in the text inspector's words box, through the inspector to the page laid out again: a text
// object of 500 words set in two columns that flow around three objects on the page. One iteration types
// one character (the next one takes it away again, so the text keeps its length): the inspector hands the
// words to the text as one undoable edit, and the page lays the text's columns out again. A second
// benchmark also draws the text object on the page at zoom 1.
#include "inspectors/text_view_controller.h"
#include "model/canvas.h"
#include "model/column_info.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/text/text_layout_manager.h"
#include "text/advanced_text.h"

#include <QPlainTextEdit>
#include <QTextCursor>

#include <benchmark/benchmark.h>

namespace {

QString words(int count) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("word%1 ").arg(i % 97);
    return text;
}

struct FlowingText {
    std::shared_ptr<KXCanvas> page = std::make_shared<KXCanvas>();
    std::shared_ptr<KXShape> shape = std::make_shared<KXShape>();
    KXTextViewController inspector;
    kx::BitmapContext context{800, 1000};

    FlowingText() {
        registerModelClasses();
        const KXSize size(800, 1000, KXSizeUnitPixel, 72);
        page->setPageSize(&size);
        page->zoomToFitSize(page->pixelSize());
        shape->setPhoto(nullptr);
        shape->setText(KXAdvancedText::initWithOwner(shape.get()));
        page->addGraph(shape);
        shape->setRelativeRect({0.05, 0.05, 0.9, 0.9});
        // Three objects over the text that it flows around.
        for (const kx::Rect& r : {kx::Rect{0.15, 0.6, 0.2, 0.15}, kx::Rect{0.6, 0.4, 0.25, 0.2},
                                  kx::Rect{0.3, 0.15, 0.3, 0.12}}) {
            auto object = std::make_shared<KXShape>();
            page->addGraph(object);
            object->setRelativeRect(r);
            object->setTextWrapEnabled(true);
        }
        text().setColumnInfos({KXColumnInfo::columnInfoWithWidth(0.48, 0.04), KXColumnInfo::columnInfoWithWidth(0.48, 0)});
        text().setColumnCount(2);
        kx::TextAttributes attributes = KXText::defaultAttributes();
        attributes.font = kx::Font::withFamily(QStringLiteral("DejaVu Sans"), QStringLiteral("Book"), 11);
        text().textStorage().setAttributedString(kx::AttributedString(words(500), attributes));
        text().setFontScale(1);
        inspector.updateUIWithGraph(shape);
        text().relayoutText();
    }
    KXAdvancedText& text() { return *static_cast<KXAdvancedText*>(shape->text()); }

    // Types a character at the end of the words box, or takes the last one away.
    void keystroke(bool type) {
        QPlainTextEdit* box = inspector.textView();
        QTextCursor cursor = box->textCursor();
        cursor.movePosition(QTextCursor::End);
        if (type)
            cursor.insertText(QStringLiteral("x"));
        else
            cursor.deletePreviousChar();
    }
    std::size_t relaid() {
        text().relayoutText();
        return text().layoutManter()->lineFragments().size();
    }
};

void BM_WordsBoxKeystrokeToRelaidPage(benchmark::State& state) {
    FlowingText flowing;
    const std::size_t lines = flowing.relaid();
    bool type = true;
    for (auto _ : state) {
        flowing.keystroke(type);
        type = !type;
        benchmark::DoNotOptimize(flowing.relaid());
    }
    if (lines < 20 || flowing.text().textStorage().length() < 3000)
        state.SkipWithError("the text is not laid out in its columns");
    state.counters["lines"] = double(lines);
}
BENCHMARK(BM_WordsBoxKeystrokeToRelaidPage)->Unit(benchmark::kMillisecond);

void BM_WordsBoxKeystrokeToDrawnText(benchmark::State& state) {
    FlowingText flowing;
    bool type = true;
    const kx::Rect frame = flowing.shape->frameRect();
    for (auto _ : state) {
        flowing.keystroke(type);
        type = !type;
        flowing.relaid();
        flowing.shape->drawInContext(flowing.context, {0, 0, frame.size.width, frame.size.height});
    }
}
BENCHMARK(BM_WordsBoxKeystrokeToDrawnText)->Unit(benchmark::kMillisecond);

}  // namespace
