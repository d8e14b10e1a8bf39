// Feeds arbitrary bytes to the unarchiver with the page model's classes registered, then uses what it
// read: fills, borders, shadows, bezier paths, calendars, shapes (with the handles and drags of parametric and
// line shapes, and node operations of pen shapes with indices from the input), photos and picture frames from a damaged or
// hostile project must load with sane values or not at all, and then draw without crashing or running away.
// Text fields and their column containers are laid out and drawn on a small page.
#include "model/background.h"
#include "model/calendar.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/group.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/bezier_path_coding.h"
#include "platform/foundation/undo_manager.h"
#include "shapes/shape_path_builders.h"
#include "text/advanced_text.h"
#include "model/canvas.h"
#include "model/page_size.h"
#include "shapes/custom_shape.h"
#include "shapes/parametric_shape.h"
#include "shapes/symbol_shape.h"

#include <QGuiApplication>
#include <QHash>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// Calendars draw text, which needs fonts, which need a graphical application (offscreen). It lives until the
// process ends: torn down among the exit handlers, it would leave Qt's font caches unreachable before the
// leak check runs.
void startGuiApplication() {
    static int argc = 1;
    static char name[] = "fuzz_model_archives";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

void useCalendar(KXCalendar& calendar, kx::BitmapContext& context) {
    if (calendar.firstWeekday() < 0 || calendar.firstWeekday() > 6 || calendar.firstMonth() < 1 ||
        calendar.firstMonth() > 12 || calendar.monthCount() < 1 || calendar.monthCount() > 12 ||
        calendar.weekdays().size() < 7 || calendar.months().size() < 12)
        std::abort();
    std::int32_t rows = 0, columns = 0;
    calendar.getRow(&rows, &columns, kx::Rect(0, 0, 64, 48));
    if (rows * columns < calendar.monthCount())
        std::abort();
    calendar.drawInContext(context, kx::Rect(0, 0, 32, 32));
    calendar.drawInContext(context, kx::Rect(-3, 2, 29.5, 17));
    calendar.graphImageWithZoom(1);
    calendar.copy();
}

// A text field from the archive, given a shape on a page: laid out, drawn, asked for links and copied.
void useText(const std::shared_ptr<KXText>& text, kx::BitmapContext& context) {
    text->isEmpty();
    text->selectedRange();
    text->currentAttributes();
    text->wrapGraphs();
    auto page = std::make_shared<KXCanvas>();
    const KXSize size(64, 48, KXSizeUnitPixel, 72);
    page->setPageSize(&size);
    page->zoomToFitSize(page->pixelSize());
    auto shape = std::make_shared<KXShape>();
    shape->setPhoto(nullptr);
    shape->setText(text);
    page->addGraph(shape);
    shape->setRelativeRect(kx::Rect(0.1, 0.1, 0.8, 0.8));
    text->relayoutText();
    text->drawInContext(context, kx::Rect(0, 0, 32, 24));
    text->linkStringAtPoint(kx::Point(5, 5));
    if (auto art = std::dynamic_pointer_cast<KXAdvancedText>(text)) {
        art->naturalSize();
        art->textSize();
        art->setOutlineEnabled(true);
        art->setGlowEnabled(true);
        art->image();
    }
    text->copy();
    page->removeGraph(shape.get());
    shape->setText(nullptr);
}

void useTextContainer(KXTextContainer& container) {
    kx::Rect remaining;
    container.lineFragmentRect(kx::Rect(0, 0, 1e7, 14), &remaining);
    container.lineFragmentRect(kx::Rect(3, 20, 40, 9.5), &remaining);
    const kx::Rect f = container.adjustFragmentRectForHoleRect(kx::Rect(0, 0, 50, 10), kx::Rect(5, 0, 5, 5), &remaining);
    if (f.size.height != 10)
        std::abort();  // a hole never changes a fragment's height
    container.copy();
}

// Numbers drawn from the input, so that every input edits its pen shape in its own way.
std::uint64_t g_seed = 0;

std::uint64_t nextRandom() {
    g_seed = g_seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return g_seed >> 33;
}

std::int32_t randomIndex(std::int32_t n) {
    switch (nextRandom() % 5) {
    case 0: return -1;
    case 1: return n;
    case 2: return nextRandom() % 2 ? std::numeric_limits<std::int32_t>::max() : std::numeric_limits<std::int32_t>::min();
    default: return n > 0 ? std::int32_t(nextRandom() % std::uint64_t(n)) : 0;
    }
}

// Node operations with indices from the input, all in the open undo group. Operations on a shape that a
// deletion took off the page are skipped: off a page nothing is recorded for undo.
void editPenShape(KXCustomShape& pen) {
    for (int step = 0; step < 16 && pen.canvas(); ++step) {
        const kx::BezierPath before = pen.path();
        const std::int32_t n = before.elementCount();
        const std::int32_t index = randomIndex(n);
        const float dx = float(std::int64_t(nextRandom() % 161) - 80) / 4, dy = float(std::int64_t(nextRandom() % 161) - 80) / 4;
        switch (nextRandom() % 7) {
        case 0:
            pen.setCustomPointElement(index);
            pen.removeCustomPathPoint();
            break;
        case 1:
            pen.setCustomPointElement(index);
            pen.changeLineType();
            break;
        case 2: pen.addPathNodeToIndex(index, KXCustomShape::segmentMidpoint(before, index)); break;
        case 3: pen.dragPathElement(index, dx, dy, std::int32_t(nextRandom() % 10), nextRandom() % 2); break;
        case 4: pen.nudgePathElement(index, std::int32_t(nextRandom() % 10), dx, dy); break;
        case 5: pen.updatePathFromPath(before); break;
        default: {
            const kx::BezierPath::Element e = before.elementAtIndex(index);
            const kx::Point p(e.points[nextRandom() % 3].x + dx / 16, e.points[0].y + dy / 16);
            pen.hitTestEditableAtPoint(p);
            pen.handlerInfoAtPoint(p);
            break;
        }
        }
        if (pen.path() != before && (!KXCustomShape::isPenOutline(pen.path()) ||
                                     pen.customPointsArray().size() != std::size_t(pen.path().elementCount())))
            std::abort();
        pen.isLineShape();
    }
}

// Parametric and line shapes on a page (their handles need a frame and a zoom): hit tests, every drag step
// and a turn, all in one undo group, which must give back exactly the parameters, points and rectangle.
void useEditableShape(const std::shared_ptr<KXShape>& shape) {
    auto page = std::make_shared<KXCanvas>();
    const KXSize size(400, 300, KXSizeUnitPixel, 72);
    page->setPageSize(&size);
    page->zoomToFitSize(page->pixelSize());
    page->undoManager().setGroupsByEvent(false);
    page->addGraph(shape);
    page->undoManager().removeAllActions();
    const kx::Rect rect = shape->relativeRect();
    const kx::Point points[] = {{0, 0}, {3, 4}, {25, 30}, {100, 50}, {200, 150}};
    for (const kx::Point& p : points) {
        shape->hitTestEditableAtPoint(p);
        shape->handlerInfoAtPoint(p);
    }
    shape->shapePathWithRect(kx::Rect(0, 0, 50, 40));
    shape->editingShapeWithRect(kx::Rect(0, 0, 3, 7));
    shape->editingRectInObjectRect(kx::Rect(0, 0, 50, 40));
    kx::UndoManager& undo = page->undoManager();
    undo.beginUndoGrouping();
    if (auto special = std::dynamic_pointer_cast<KXSpecialShape>(shape)) {
        const auto info = special->shapeInfo();
        for (int node = 0; node < 4; ++node) {
            special->dragCircularSpecialNode(node, 3, 0);
            special->dragSingleArrowSpecialNode(node, 5, -3);
            special->dragDoubleArrowSpecialNode(node, -4, 2);
            special->dragBubbleSpecialNode(node, 6, -5, {10, 10});
            special->dragBubbleSpecialNode(node, -40, 30, {300, 10});
            special->dragPolygonSpecialNode(node, {150, 250});
            special->dragStarSpecialNode(node, {260, 100});
        }
        undo.endUndoGrouping();
        undo.undo();
        // A shape read without a dictionary registers no undo for its first one.
        if (info && !(special->shapeInfo() == info))
            std::abort();
    } else if (auto line = std::dynamic_pointer_cast<KXSymbolShape>(shape)) {
        const KXPathPointArray before = line->pointsArray();
        line->pathContainsInRect(kx::Rect(-5, -5, 60, 40));
        line->pathContainsInRect(kx::Rect(1e6, -1e6, 3e6, 2.5e6));
        for (int node = 0; node < 4; ++node) {
            line->dragLineShapeNode(node, 4.5, -7);
            line->dragCurveShapeNode(node, -30, 12);
            line->dragMarkShapeNode(node, 8, 8);
        }
        line->setAngle(0.7);
        line->updatePathForStrokeWidthChanged();
        undo.endUndoGrouping();
        undo.undo();
        const KXPathPointArray& after = line->pointsArray();
        if (after.size() != before.size())
            std::abort();
        for (std::size_t i = 0; i < after.size(); ++i)
            if (after[i]->point1() != before[i]->point1() || after[i]->point2() != before[i]->point2() ||
                after[i]->point3() != before[i]->point3())
                std::abort();
    } else if (auto pen = std::dynamic_pointer_cast<KXCustomShape>(shape)) {
        const KXPathPointArray before = pen->customPointsArray();
        const kx::BezierPath path = pen->path();
        const kx::Rect penRect = pen->relativeRect();
        editPenShape(*pen);
        undo.endUndoGrouping();
        undo.undo();
        const KXPathPointArray& after = pen->customPointsArray();
        if (after.size() != before.size() || !(pen->path() == path) || !(pen->relativeRect() == penRect) ||
            pen->canvas() != page.get())
            std::abort();
        for (std::size_t i = 0; i < after.size(); ++i)
            if (after[i]->point1() != before[i]->point1() || after[i]->point2() != before[i]->point2() ||
                after[i]->point3() != before[i]->point3())
                std::abort();
    } else {
        undo.endUndoGrouping();
    }
    if (!(shape->relativeRect() == rect))
        std::abort();
    undo.removeAllActions();
    page->removeGraph(shape.get());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (qInstallMessageHandler(quiet), startGuiApplication(), registerModelClasses(), true);
    (void)ready;
    const auto root = kx::KeyedUnarchiver::unarchiveObjectWithData(
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!root)
        return 0;
    g_seed = qHash(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));

    kx::BitmapContext context(32, 32);
    if (const auto fill = root->objectAs<KXBackground>()) {
        if (fill->gradientColorArray().size() > kMaxGradientStops)
            std::abort();
        fill->drawInContext(context, kx::Rect(0, 0, 32, 32), 1);
        fill->drawInContext(context, kx::Rect(3, 4, 20, 10), 0.25);
        fill->copy();
    }
    if (const auto stroke = root->objectAs<KXStroke>()) {
        kx::Path path;
        path.moveTo(kx::Point(1, 1));
        path.lineTo(kx::Point(30, 20));
        stroke->drawInContext(context, path, 1);
        stroke->drawInContext(context, kx::Rect(2, 2, 20, 20), 0.5);
    }
    if (const auto shadow = root->objectAs<KXShadow>()) {
        shadow->offsetWithReference(100);
        shadow->offsetWithReference(100, 0.5);
    }
    if (const auto calendar = root->objectAs<KXCalendar>())
        useCalendar(*calendar, context);
    if (const auto holder = root->objectAs<kx::CodableBezierPath>()) {
        const kx::BezierPath& path = holder->path;
        path.bounds();
        path.containsPoint(kx::Point(5, 5));
        if (path.isEmpty() != !quartzPathWhileClose(path, true).has_value())
            std::abort();
        context.addPath(path.toPath());
        context.fillPath();
    }
    if (const auto shape = root->objectAs<KXShape>()) {
        shape->drawInContext(context, kx::Rect(1, 2, 28, 20));
        const kx::Rect box = shape->drawRectForFrame(kx::Rect(0, 0, 40, 30), 1);
        if (box.size.width < 0 || box.size.height < 0)
            std::abort();
        shape->createCGPath();
        shape->containsPoint(kx::Point(3, 4));
        shape->graphRect();
        shape->copy();
        useEditableShape(shape);
    }
    if (const auto photo = root->objectAs<KXPhoto>()) {
        const kx::Rect cropBefore = photo->cropRect();
        photo->drawInContext(context, kx::Rect(0, 0, 32, 20));
        photo->fullImageRectForDrawing(kx::Rect(0, 0, 32, 20));
        if (!(photo->cropRect() == cropBefore))
            std::abort();  // drawing never changes the photo
        photo->visisbleRect();
        photo->isClipart();
        photo->copy();
    }
    if (const auto frame = root->objectAs<KXFrame>()) {
        frame->drawInContext(context, kx::Rect(4, 4, 20, 20), 1);
        frame->copy();
    }
    if (const auto margin = root->objectAs<KXFrameMargin>())
        margin->copy();
    if (const auto group = root->objectAs<KXGroup>()) {
        for (const auto& child : group->graphs()) {
            if (child->group() != group.get())
                std::abort();  // every decoded child belongs to the group
        }
        group->rootOfGraphs();
        group->drawInContext(context, kx::Rect(2, 3, 25, 20));
        group->containsPoint(kx::Point(5, 5));
        group->graphImageWithZoom(0.05);
        group->copy();
    }
    if (const auto text = root->objectAs<KXText>())
        useText(text, context);
    if (const auto container = root->objectAs<KXTextContainer>())
        useTextContainer(*container);
    return 0;
}
