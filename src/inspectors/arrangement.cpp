#include "inspectors/arrangement.h"

#include "inspectors/inspector_support.h"
#include "model/graph.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shape.h"
#include "platform/foundation/undo_manager.h"
#include "platform/foundation/user_defaults.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kx::inspectors {

namespace {

bool isUnlocked(const std::shared_ptr<KXGraph>& graph) {
    return graph && !graph->isLocked();
}

std::size_t unlockedCount(const GraphList& graphs) {
    return std::size_t(std::count_if(graphs.begin(), graphs.end(), isUnlocked));
}

bool isCropping(const KXGraph& graph) {
    const auto* shape = dynamic_cast<const KXShape*>(&graph);
    return shape && shape->photo() && shape->photo()->renderMode() != KXPhotoRenderModeNormal;
}

double conversionDpi(double dpi) {
    return dpi > 0 && std::isfinite(dpi) ? dpi : 72.0;
}

// The page's size in pixels and its unit and resolution; false for an object on no page or a page
// without a size.
struct PageUnits {
    kx::Size pixels;
    std::int64_t unit = KXSizeUnitPixel;
    double dpi = 72;
};
bool pageUnitsOf(const KXGraph& graph, PageUnits* units) {
    const KXCanvas* page = graph.canvas();
    if (!page || !page->pageSize())
        return false;
    units->pixels = page->pixelSize();
    units->unit = page->pageSize()->unit();
    units->dpi = conversionDpi(double(page->pageSize()->dpi()));
    return units->pixels.width > 0 && units->pixels.height > 0;
}

// The width over height the chain keeps: the stored ratio, else the frame's own.
double chainRatio(const KXGraph& graph) {
    const double stored = graph.aspectRatio();
    if (stored > 0 && std::isfinite(stored))
        return stored;
    const kx::Rect actual = graph.actualRect();
    const double ratio = actual.size.width / actual.size.height;
    return ratio > 0 && std::isfinite(ratio) ? ratio : 0;
}

}  // namespace

PageUndoGroup::PageUndoGroup(const KXGraph* graph) {
    KXCanvas* page = graph ? graph->canvas() : nullptr;
    if (page) {
        m_undo = &page->undoManager();
        m_undo->beginUndoGrouping();
    }
}

PageUndoGroup::~PageUndoGroup() {
    if (m_undo)
        m_undo->endUndoGrouping();
}

// ---- the multi-selection view and the arrange menu ----

void updateGraphAlignmentWithStyle(const GraphList& graphs, int style, int type) {
    if (graphs.empty() || !graphs.front())
        return;
    const kx::Rect r = graphs.front()->relativeRect();
    const PageUndoGroup step(graphs.empty() ? nullptr : graphs.front().get());
    for (const auto& graph : graphs) {
        if (!isUnlocked(graph))
            continue;
        if (style == KXAlignmentStyleSizes && graph->graphType() == KXGraphTypeGroup)
            continue;
        kx::Rect rect = graph->relativeRect();
        double& x = rect.origin.x;
        double& y = rect.origin.y;
        double& w = rect.size.width;
        double& h = rect.size.height;
        switch (style * 10 + type) {
        case KXAlignmentStyleEdges * 10 + 0: x = r.origin.x; break;
        case KXAlignmentStyleEdges * 10 + 1: x = r.origin.x + r.size.width - w; break;
        case KXAlignmentStyleEdges * 10 + 2: y = r.origin.y + r.size.height - h; break;
        case KXAlignmentStyleEdges * 10 + 3: y = r.origin.y; break;
        case KXAlignmentStyleCenters * 10 + 0: y = r.origin.y + r.size.height * 0.5 - h * 0.5; break;
        case KXAlignmentStyleCenters * 10 + 1: x = r.origin.x + r.size.width * 0.5 - w * 0.5; break;
        case KXAlignmentStyleSizes * 10 + 0: w = r.size.width; break;
        case KXAlignmentStyleSizes * 10 + 1: h = r.size.height; break;
        case KXAlignmentStyleSizes * 10 + 2:
            w = r.size.width;
            h = r.size.height;
            break;
        default: return;
        }
        if (style == KXAlignmentStyleSizes)
            graph->setUpdateAspectRatio(true);
        graph->setRelativeRect(rect);
    }
}

void updateGraphAlignmentForPageWith(const GraphList& graphs, int tag) {
    if (graphs.empty() || !graphs.front() || !graphs.front()->canvas())
        return;
    if (tag < KXAlignPageLeft || tag > KXAlignPageBottom)
        return;
    const KXCanvas& page = *graphs.front()->canvas();
    const double pw = page.previewSize().width;
    const double ph = page.previewSize().height;
    if (!(pw > 0 && ph > 0))
        return;
    const kx::Rect m = page.previewMarginRect();
    const bool noMargin = !(m.size.width > 0 && m.size.height > 0);
    const PageUndoGroup step(graphs.empty() ? nullptr : graphs.front().get());
    for (const auto& graph : graphs) {
        if (!isUnlocked(graph))
            continue;
        kx::Rect rect = graph->relativeRect();
        const double w = rect.size.width;
        const double h = rect.size.height;
        switch (tag) {
        case KXAlignPageLeft: rect.origin.x = noMargin ? 0 : m.origin.x / pw; break;
        case KXAlignPageHorizontalCenter: rect.origin.x = 0.5 - w * 0.5; break;
        case KXAlignPageRight: rect.origin.x = noMargin ? 1 - w : (m.origin.x + m.size.width) / pw - w; break;
        case KXAlignPageTop: rect.origin.y = noMargin ? 1 - h : (m.origin.y + m.size.height) / ph - h; break;
        case KXAlignPageVerticalCenter: rect.origin.y = 0.5 - h * 0.5; break;
        case KXAlignPageBottom: rect.origin.y = noMargin ? 0 : m.origin.y / ph; break;
        }
        graph->setRelativeRect(rect);
    }
}

std::shared_ptr<KXGraph> flipGraphs(const GraphList& graphs, int tag) {
    const PageUndoGroup step(graphs.empty() ? nullptr : graphs.front().get());
    for (const auto& graph : graphs) {
        if (!graph || graph->graphType() == KXGraphTypeLine)
            continue;
        if (isCropping(*graph))
            return graph;
        if (tag == KXFlipVertical)
            graph->setFlipY(-graph->flipY());
        else if (tag == KXFlipHorizontal)
            graph->setFlipX(-graph->flipX());
    }
    return nullptr;
}

void setGraphsLocked(const GraphList& graphs, bool locked) {
    const PageUndoGroup step(graphs.empty() ? nullptr : graphs.front().get());
    for (const auto& graph : graphs) {
        if (graph)
            graph->setLocked(locked);
    }
}

bool canGroupGraphs(const GraphList& graphs) {
    return unlockedCount(graphs) >= 2;
}

bool canUngroupGraphs(const GraphList& graphs) {
    return std::any_of(graphs.begin(), graphs.end(), [](const auto& graph) {
        return isUnlocked(graph) && graph->graphType() == KXGraphTypeGroup;
    });
}

bool canLockGraphs(const GraphList& graphs) {
    return unlockedCount(graphs) >= 1;
}

bool canUnlockGraphs(const GraphList& graphs) {
    return std::any_of(graphs.begin(), graphs.end(), [](const auto& graph) { return graph && graph->isLocked(); });
}

bool canFlipGraphs(const GraphList& graphs) {
    return std::any_of(graphs.begin(), graphs.end(), [](const auto& graph) {
        return isUnlocked(graph) && graph->graphType() != KXGraphTypeLine;
    });
}

bool validateArrangeMenuItem(const GraphList& graphs, int tag) {
    switch (tag) {
    case KXAlignPageLeft:
    case KXAlignPageHorizontalCenter:
    case KXAlignPageRight:
    case KXAlignPageTop:
    case KXAlignPageVerticalCenter:
    case KXAlignPageBottom:
    case KXArrangeMenuGroup: return canGroupGraphs(graphs);
    case KXArrangeMenuUngroup: return canUngroupGraphs(graphs);
    case KXArrangeMenuLock: return canLockGraphs(graphs);
    case KXArrangeMenuUnlock: return canUnlockGraphs(graphs);
    case KXFlipHorizontal:
    case KXFlipVertical: return canFlipGraphs(graphs);
    default: return true;
    }
}

// ---- the arrange inspector ----

double pixelsToUnit(double pixels, std::int64_t unit, double dpi) {
    const double d = conversionDpi(dpi);
    switch (unit) {
    case KXSizeUnitMillimeter: return pixels / d * 25.4;
    case KXSizeUnitInch: return pixels / d;
    case KXSizeUnitCentimeter: return pixels / d * 2.54;
    default: return pixels;
    }
}

double unitToPixels(double value, std::int64_t unit, double dpi) {
    const double d = conversionDpi(dpi);
    switch (unit) {
    case KXSizeUnitMillimeter: return value / 25.4 * d;
    case KXSizeUnitInch: return value * d;
    case KXSizeUnitCentimeter: return value / 2.54 * d;
    default: return value;
    }
}

QString lengthText(double value, std::int64_t unit) {
    switch (unit) {
    case KXSizeUnitMillimeter: return QString::asprintf("%.2f ", value) + localized("mm");
    case KXSizeUnitInch: return QString::asprintf("%.2f ", value) + localized("in");
    case KXSizeUnitCentimeter: return QString::asprintf("%.2f ", value) + localized("cm");
    default: return QString::asprintf("%.0f ", value) + localized("px");
    }
}

namespace {
double stepOfUnit(std::int64_t unit) {
    switch (unit) {
    case KXSizeUnitMillimeter: return 0.3;
    case KXSizeUnitInch: return 0.01;
    case KXSizeUnitCentimeter: return 0.03;
    default: return 1;
    }
}
}  // namespace

StepperLimits positionLimits(std::int64_t unit, double dpi) {
    return {pixelsToUnit(-kPositionLimitPixels, unit, dpi), pixelsToUnit(kPositionLimitPixels, unit, dpi),
            stepOfUnit(unit)};
}

StepperLimits sizeLimits(std::int64_t unit, double dpi) {
    return {pixelsToUnit(1, unit, dpi), pixelsToUnit(40000, unit, dpi), stepOfUnit(unit)};
}

int rotationControl(double angle) {
    if (!std::isfinite(angle))
        return 0;
    double shown = 360.0 - angle * 180.0 / std::numbers::pi;
    // Radians written from a whole degree come back a hair off it; they still mean that degree.
    const double nearest = std::round(shown);
    if (std::fabs(shown - nearest) < 1e-6)
        shown = nearest;
    const double reduced = std::fmod(std::trunc(shown), 360.0);
    return int(reduced < 0 ? reduced + 360.0 : reduced);
}

double angleFromRotationControl(int value) {
    return (360.0 - value) * std::numbers::pi / 180.0;
}

int wrappedRotationStepper(int value) {
    if (value >= 360)
        return 0;
    if (value < 0)
        return 359;
    return value;
}

int typedRotation(int typed) {
    const int held = std::clamp(typed, 0, 360);
    return held == 360 ? 0 : held;
}

bool isWidthHeightChained(const KXGraph& graph) {
    return graph.graphType() == KXGraphTypeGroup ||
           kx::UserDefaults::standard().boolValue(KXConnectWidthAndHeight);
}

kx::Rect rectWithPosition(const KXGraph& graph, double x, double y) {
    kx::Rect rect = graph.relativeRect();
    PageUnits page;
    if (!pageUnitsOf(graph, &page))
        return rect;
    const auto pixels = [&](double value) {
        return std::clamp(unitToPixels(value, page.unit, page.dpi), -kPositionLimitPixels, kPositionLimitPixels);
    };
    rect.origin = {pixels(x) / page.pixels.width, pixels(y) / page.pixels.height};
    return rect;
}

namespace {
// The rectangle with one side typed in the page's unit (the width, or else the height); with the chain the
// other side keeps the object's proportions.
kx::Rect rectWithSide(const KXGraph& graph, double value, bool width, bool chained) {
    kx::Rect rect = graph.relativeRect();
    PageUnits page;
    if (!pageUnitsOf(graph, &page))
        return rect;
    const double pageWidth = pixelsToUnit(page.pixels.width, page.unit, page.dpi);
    const double pageHeight = pixelsToUnit(page.pixels.height, page.unit, page.dpi);
    const double ratio = chained ? chainRatio(graph) : 0;
    if (width) {
        rect.size.width = value / pageWidth;
        if (ratio > 0)
            rect.size.height = value / ratio / pageHeight;
    } else {
        rect.size.height = value / pageHeight;
        if (ratio > 0)
            rect.size.width = ratio * value / pageWidth;
    }
    return rect;
}
}  // namespace

kx::Rect rectWithWidth(const KXGraph& graph, double width, bool chained) {
    return rectWithSide(graph, width, true, chained);
}

kx::Rect rectWithHeight(const KXGraph& graph, double height, bool chained) {
    return rectWithSide(graph, height, false, chained);
}

namespace {
template <class Apply>
void passOn(KXGraph& graph, const Apply& apply) {
    if (graph.graphType() == KXGraphTypeGroup) {
        for (const auto& member : graph.graphs()) {
            if (member)
                passOn(*member, apply);
        }
    } else if (graph.graphType() != KXGraphTypeLine) {
        apply(graph);
    }
}
}  // namespace

namespace {
// The page records the changes of the objects standing on it, not of those inside groups: a member's flag
// gets its own undo step here, so that undoing a group's wrap switch puts its members back as well.
void setWrapEnabled(KXGraph& graph, bool enabled) {
    if (graph.isTextWrapEnabled() == enabled)
        return;
    graph.setTextWrapEnabled(enabled);
    KXCanvas* page = graph.canvas();
    if (!page || !graph.group())
        return;
    std::shared_ptr<kx::Object> keep = graph.weak_from_this().lock();
    page->undoManager().registerUndo(page, [member = &graph, keep, enabled] { setWrapEnabled(*member, !enabled); });
}
}  // namespace

void updateTextWrapEnable(bool enabled, KXGraph& graph) {
    passOn(graph, [enabled](KXGraph& g) { setWrapEnabled(g, enabled); });
}

void updateTextWrapType(std::int32_t type, KXGraph& graph) {
    passOn(graph, [type](KXGraph& g) { g.setWrapType(type); });
}

void updateTextWrapSpaceValue(std::int64_t space, KXGraph& graph) {
    passOn(graph, [space](KXGraph& g) { g.setTextWrapSpace(space); });
}

}  // namespace kx::inspectors
