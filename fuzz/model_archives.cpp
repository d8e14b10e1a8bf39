// Feeds arbitrary bytes to the unarchiver with the page model's classes registered, then uses what it
// read: fills, borders, shadows, bezier paths, calendars, shapes, photos and picture frames from a damaged or
// hostile project must load with sane values or not at all, and then draw without crashing or running away.
#include "model/background.h"
#include "model/calendar.h"
#include "model/frame.h"
#include "model/group.h"
#include "model/model_classes.h"
#include "model/photo.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/bezier_path_coding.h"
#include "shapes/shape_path_builders.h"

#include <QGuiApplication>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (qInstallMessageHandler(quiet), startGuiApplication(), registerModelClasses(), true);
    (void)ready;
    const auto root = kx::KeyedUnarchiver::unarchiveObjectWithData(
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!root)
        return 0;

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
    return 0;
}
