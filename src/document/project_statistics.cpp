#include "document/project_statistics.h"

#include "app_services/ga_object.h"
#include "document/project.h"
#include "graphics/string_arrays.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/graph.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shape.h"
#include "text/text.h"

namespace {

const QString nilLabel = QStringLiteral("nil");

// The name of the folder that holds the file: the category of a mask, frame or clip-art image. Empty when
// the path names no folder.
QString categoryOfPath(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0)
        return {};
    const QString folder = path.left(slash);
    return folder.mid(folder.lastIndexOf(QLatin1Char('/')) + 1);
}

// Adds a name once (letter case aside); an empty name adds nothing.
void addOnce(QStringList& list, const QString& name) {
    if (!name.isEmpty() && !containsString(list, name))
        list.append(name);
}

// ",a,b": every entry with a comma before it.
QString listLabel(const QStringList& list) {
    QString label;
    for (const QString& entry : list)
        label += QLatin1Char(',') + entry;
    return label;
}

QString pageSizeLabel(const KXSize* size) {
    if (!size)
        return QString::asprintf("%.0f x %.0f px", 0.0, 0.0);
    const kx::Size s = size->sizeWithUnit(size->unit());
    switch (size->unit()) {
    case KXSizeUnitPixel:
        return QString::asprintf("%.0f x %.0f px", s.width, s.height);
    case KXSizeUnitMillimeter:
        return QString::asprintf("%.1f x %.1f mm", s.width, s.height);
    case KXSizeUnitInch:
        return QString::asprintf("%.2f x %.2f inch", s.width, s.height);
    default:
        return {};
    }
}

class EventList {
public:
    void add(const QString& category, const QString& action, const QString& label) {
        events.push_back({category, action, label, 1});
    }
    std::vector<KXTrackedEvent> events;
};

void addBackgroundEvent(EventList& out, const KXBackground* fill) {
    if (!fill)
        return;
    const QString category = QStringLiteral("Background info");
    const std::int32_t imageType = fill->imageType();
    switch (fill->fillType()) {
    case KXFillTypeColor:
        out.add(category, QStringLiteral("Color background"), QString());
        break;
    case KXFillTypeImage:
        out.add(category, QStringLiteral("Image background"),
                imageType == KXImageTypeTile      ? QStringLiteral("Tile")
                : imageType == KXImageTypeStretch ? QStringLiteral("Stretch")
                                                  : QString());
        break;
    case KXFillTypeCustomImage:
        out.add(category, QStringLiteral("Custom Image background"),
                imageType == KXImageTypeTile           ? QStringLiteral("Tile")
                : imageType == KXImageTypeStretch      ? QStringLiteral("Stretch")
                : imageType == KXImageTypeStretchCrop ? QStringLiteral("StretchCrop")
                                                       : QString());
        break;
    default:
        break;
    }
}

void addPhotoEvents(EventList& out, const KXCanvas::GraphList& photos) {
    if (photos.empty())
        return;
    out.add(QStringLiteral("Export Object"), QStringLiteral("Image"), QString::asprintf("%lu", photos.size()));
    QStringList masks, frames, effects;
    for (const auto& graph : photos) {
        const auto* shape = dynamic_cast<const KXShape*>(graph.get());
        const KXPhoto* photo = shape ? shape->photo() : nullptr;
        if (!photo)
            continue;
        if (photo->isMaskEnabled()) {
            addOnce(masks, categoryOfPath(photo->maskName()));
        } else if (photo->isFrameEnabled()) {
            if (photo->frame())
                addOnce(frames, categoryOfPath(photo->frame()->name()));
        } else if (shape->isStrokeEnabled() && photo->roundCornerRadius() > 0) {
            out.add(QStringLiteral("Image Type"), QStringLiteral("Used Conner"), nilLabel);
        }
        if (!photo->effectName().isEmpty() && photo->effectName() != QLatin1String("Original"))
            addOnce(effects, photo->effectName());
        if (photo->isClipart())
            out.add(QStringLiteral("Image Type"), QStringLiteral("Used Clipart"), categoryOfPath(photo->imagePath()));
    }
    if (!effects.isEmpty())
        out.add(QStringLiteral("Image effect info"), QStringLiteral("Used effect"), listLabel(effects));
    if (!masks.isEmpty())
        out.add(QStringLiteral("Image Type"), QStringLiteral("Used Mask"), listLabel(masks));
    if (!frames.isEmpty())
        out.add(QStringLiteral("Image Type"), QStringLiteral("Used Frame"), listLabel(frames));
}

void addTextEvents(EventList& out, const KXCanvas::GraphList& texts) {
    if (texts.empty())
        return;
    out.add(QStringLiteral("Export Object"), QStringLiteral("Text"), QString::asprintf("%lu", texts.size()));
    bool outline = false, glow = false, fill = false;
    for (const auto& graph : texts) {
        if (outline && glow && fill)
            break;
        const auto* shape = dynamic_cast<const KXShape*>(graph.get());
        if (const auto* text = shape ? dynamic_cast<const KXText*>(shape->text()) : nullptr) {
            outline = outline || text->isOutlineEnabled();
            glow = glow || text->isGlowEnabled();
        }
        fill = fill || graph->isFillEnabled();
    }
    if (!outline && !glow && !fill)
        return;
    QString label;
    if (outline)
        label += QStringLiteral("stroke,");
    if (glow)
        label += QStringLiteral("glow,");
    if (fill)
        label += QStringLiteral("background");
    out.add(QStringLiteral("Text effect info"), QStringLiteral("Used effect"), label);
}

}  // namespace

std::vector<KXTrackedEvent> projectStatisticsEvents(const KXProject& project) {
    EventList out;
    const std::int64_t count = project.canvasCount();
    out.add(QStringLiteral("Page info"), QStringLiteral("Page count"), QString::asprintf("%ld", long(count)));
    const KXCanvas* first = project.canvasAtIndex(0);
    out.add(QStringLiteral("Page info"), QStringLiteral("Page size"), pageSizeLabel(first ? first->pageSize() : nullptr));
    for (std::int64_t i = 0; i < count; ++i) {
        const KXCanvas* page = project.canvasAtIndex(i);
        out.add(QStringLiteral("Export Object"), QStringLiteral("Export Totality"), nilLabel);
        out.add(QStringLiteral("Image type"), QStringLiteral("Export Totality"), nilLabel);
        if (!page)
            continue;
        addBackgroundEvent(out, page->background());
        addPhotoEvents(out, page->graphsWithType(KXGraphTypePhoto));
        addTextEvents(out, page->graphsWithType(KXGraphTypeText));
        const KXCanvas::GraphList calendars = page->graphsWithType(KXGraphTypeCalendar);
        if (!calendars.empty())
            out.add(QStringLiteral("Export Object"), QStringLiteral("Calendar"),
                    QString::asprintf("%lu", calendars.size()));
    }
    return std::move(out.events);
}

void trackProject(const KXProject& project, GAObject& client) {
    for (const KXTrackedEvent& event : projectStatisticsEvents(project))
        client.trackEventType(event.category, event.action, event.label, event.value);
    client.postEvent();
}

void trackProject(const KXProject& project) {
    if (GAObject* client = GAObject::defaultObject())
        trackProject(project, *client);
}
