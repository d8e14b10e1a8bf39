// The texts of the built-in templates break into the same lines, and lay out the same characters, at every
// zoom of the view and in the page output: line breaking belongs to the page, not to the scale it is shown at.
#include "reader_support.h"

#include "document/xml_conversion.h"
#include "model/canvas.h"
#include "model/shape.h"
#include "platform/gfx/bitmap_context.h"
#include "support/drawn_lines.h"
#include "text/text.h"

#include <map>

namespace {

const double kZooms[] = {0.25, 0.5, 0.75, 0.93, 1, 1.5, 2, 4};
constexpr double kPreviewSide = 600;

using Lines = std::vector<KXText::DrawnLine>;

// The text fields of a page with something to draw, in stacking order (members of groups after their group).
void collectTexts(const KXGraph& graph, std::vector<KXShape*>& shapes) {
    auto* shape = dynamic_cast<KXShape*>(const_cast<KXGraph*>(&graph));
    auto* text = shape ? dynamic_cast<KXText*>(shape->text()) : nullptr;
    if (text && !text->isEmpty() && shape->graphType() == KXGraphTypeText)
        shapes.push_back(shape);
    for (const auto& member : graph.graphs())
        if (member)
            collectTexts(*member, shapes);
}

std::vector<KXShape*> textShapes(const KXCanvas& page) {
    std::vector<KXShape*> shapes;
    for (const auto& graph : page.graphs())
        collectTexts(*graph, shapes);
    return shapes;
}

Lines drawnLines(KXShape& shape) {
    return static_cast<KXText*>(shape.text())->drawnLines();
}

// Draws each text shape as its layer does at the page's current zoom (the target bitmap only has to exist:
// the lines are what the drawing laid out).
std::vector<Lines> linesOnScreen(KXCanvas& page, double zoom) {
    page.zoomToFitSize({page.pixelSize().width * zoom, page.pixelSize().height * zoom});
    std::vector<Lines> result;
    for (KXShape* shape : textShapes(page)) {
        kx::BitmapContext target(1, 1);
        const kx::Size frame = shape->frameRect().size;
        shape->drawInContext(target, {0, 0, frame.width, frame.height});
        result.push_back(drawnLines(*shape));
    }
    return result;
}

// Renders the detached copy the page output draws, at the size given, and reads the lines of its texts.
std::vector<Lines> linesInOutput(const KXCanvas& page, const kx::Size& size) {
    const std::shared_ptr<KXCanvas> copy = page.outputCopy();
    EXPECT_TRUE(copy);
    if (!copy)
        return {};
    EXPECT_FALSE(copy->outputImageWithSize(size).isNull());
    std::vector<Lines> result;
    for (KXShape* shape : textShapes(*copy))
        result.push_back(drawnLines(*shape));
    return result;
}

qsizetype laidOutCharacters(const Lines& lines) {
    qsizetype count = 0;
    for (const KXText::DrawnLine& line : lines)
        count += line.characters.length;
    return count;
}

using TemplateTextZoom = BuiltInTemplatesTest;

TEST_F(TemplateTextZoom, EveryTextBreaksAlikeAtEveryZoomAndInOutput) {
    int texts = 0;
    for (const QString& folder : templateFolders()) {
        const QString file = xmlTemplateFileInFolder(folder);
        KXXMLConversion result;
        QString error;
        ASSERT_TRUE(loadXMLTemplateWithPath(file, &result, &error)) << error.toStdString();
        const std::string name = QFileInfo(file).completeBaseName().toStdString();
        for (std::size_t p = 0; p < result.pages.size(); ++p) {
            KXCanvas& page = *result.pages[p];
            const std::vector<KXShape*> shapes = textShapes(page);
            if (shapes.empty())
                continue;
            texts += int(shapes.size());
            const std::vector<Lines> reference = linesOnScreen(page, 1);
            ASSERT_EQ(reference.size(), shapes.size());
            for (std::size_t i = 0; i < shapes.size(); ++i) {
                const QString string = static_cast<KXText*>(shapes[i]->text())->textStorage().string();
                EXPECT_EQ(laidOutCharacters(reference[i]), string.size())
                    << name << " page " << p << " text " << i << " loses characters at 100%: "
                    << kxtest::describeLines(reference[i], string);
            }

            std::map<std::string, std::vector<Lines>> roads;
            for (double zoom : kZooms)
                roads["zoom " + std::to_string(zoom)] = linesOnScreen(page, zoom);
            page.zoomToFitSize(page.pixelSize());
            roads["output at page size"] = linesInOutput(page, page.pixelSize());
            roads["output preview"] = linesInOutput(page, {kPreviewSide, kPreviewSide});

            for (const auto& [road, lines] : roads) {
                ASSERT_EQ(lines.size(), shapes.size()) << name << ' ' << road;
                for (std::size_t i = 0; i < shapes.size(); ++i) {
                    const QString string = static_cast<KXText*>(shapes[i]->text())->textStorage().string();
                    EXPECT_EQ(lines[i], reference[i]) << name << " page " << p << " text " << i << " at " << road
                                                      << ": " << kxtest::describeLines(lines[i], string)
                                                      << " instead of " << kxtest::describeLines(reference[i], string);
                }
            }
        }
    }
    EXPECT_GE(texts, 10) << "the templates hold titles and captions";
}

}  // namespace
