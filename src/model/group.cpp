#include "model/group.h"

#include "graphics/bitmap_contexts.h"
#include "graphics/geometry_utilities.h"
#include "model/canvas.h"
#include "model/shadow.h"
#include "model/stroke.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/bitmap_context.h"

#include <algorithm>
#include <unordered_set>

namespace {
const QString kGraphsKey = QStringLiteral("graphs");

// The frame of a graph turned by its angle about its centre, as a bounding box.
kx::Rect turnedFrame(const KXGraph& graph) {
    const kx::Rect frame = graph.frameRect();
    return transformRectAboutCenter(frame.center(), graph.angle(), 1, 1, frame);
}

// A child's rectangle inside a drawing rectangle of the given size.
kx::Rect childRect(const KXGraph& child, const kx::Size& size, const kx::Point& offset = {}) {
    const kx::Rect r = child.relativeRect();
    return {r.origin.x * size.width + offset.x, r.origin.y * size.height + offset.y, r.size.width * size.width,
            r.size.height * size.height};
}

void turnAboutCenter(kx::BitmapContext& context, const kx::Rect& rect, double angle) {
    const kx::Point c = rect.center();
    context.translate(c.x, c.y);
    context.rotate(angle);
    context.translate(-c.x, -c.y);
}
}  // namespace

KXGroup::KXGroup() = default;

KXGroup::~KXGroup() {
    for (const auto& child : m_graphs) {
        if (child && child->group() == this)
            child->setGroup(nullptr);
    }
}

std::shared_ptr<KXGroup> KXGroup::groupGraphWithGraphs(const GraphList& graphs) {
    if (graphs.empty() || !graphs.front())
        return nullptr;
    auto group = std::make_shared<KXGroup>();
    group->m_graphs = graphs;
    KXCanvas* page = graphs.front()->canvas();
    group->setCanvas(page);
    kx::Rect bounds = turnedFrame(*graphs.front());
    for (std::size_t i = 1; i < graphs.size(); ++i)
        bounds = bounds.united(turnedFrame(*graphs[i]));
    const kx::Size preview = page ? page->previewSize() : kx::Size();
    if (preview.width > 0 && preview.height > 0)
        group->setRelativeRect({bounds.origin.x / preview.width, bounds.origin.y / preview.height,
                                bounds.size.width / preview.width, bounds.size.height / preview.height});
    if (bounds.size.height > 0)
        group->setAspectRatio(bounds.size.width / bounds.size.height);
    return group;
}

std::vector<KXGraph*> KXGroup::rootOfGraphs() {
    std::vector<KXGraph*> leaves;
    for (const auto& child : m_graphs) {
        const std::vector<KXGraph*> under = child->rootOfGraphs();
        leaves.insert(leaves.end(), under.begin(), under.end());
    }
    return leaves;
}

void KXGroup::linkChildren() {
    const kx::Rect f = frameRect();
    for (const auto& child : m_graphs) {
        child->setCanvas(canvas());
        if (child->group())
            continue;
        const kx::Rect r = child->frameRect();
        child->setGroup(this);
        if (f.size.width > 0 && f.size.height > 0)
            child->setRelativeRect({(r.origin.x - f.origin.x) / f.size.width, (r.origin.y - f.origin.y) / f.size.height,
                                    r.size.width / f.size.width, r.size.height / f.size.height});
    }
}

bool KXGroup::containsPoint(const kx::Point& point) const {
    const kx::Rect frame = frameRect();
    const kx::Point q = transformPointAboutCenter(point, frame.center(), -angle(), 1, 1);
    // The children stand mirrored inside the frame: mirror the point back.
    const kx::Point local = transformPointAboutCenter(q, frame.center(), 0, flipX(), flipY());
    for (auto it = m_graphs.rbegin(); it != m_graphs.rend(); ++it) {
        if ((*it)->containsPoint(local))
            return true;
    }
    return false;
}

void KXGroup::drawInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    context.saveGState();
    context.setAlpha(opacity());
    context.translate(rect.origin.x, rect.origin.y);
    if (flipX() == -1)
        context.translate(rect.size.width, 0);
    if (flipY() == -1)
        context.translate(0, rect.size.height);
    context.scale(flipX(), flipY());
    for (const auto& child : m_graphs) {
        const kx::Rect rc = roundRectComponents(childRect(*child, rect.size));
        context.saveGState();
        turnAboutCenter(context, rc, child->angle());
        child->drawInContext(context, rc);
        context.restoreGState();
    }
    context.restoreGState();
}

kx::Image KXGroup::graphImageWithZoom(double zoom) {
    KXCanvas* page = canvas();
    kx::Size base;
    if (KXGraph* parent = group()) {
        const double pageZoom = page ? page->zoomValue() : 1.0;
        const kx::Size s = parent->frameRect().size;
        base = pageZoom != 0 ? kx::Size(s.width / pageZoom, s.height / pageZoom) : kx::Size();
    } else {
        base = page ? page->pixelSize() : kx::Size();
    }
    const kx::Size scaled(base.width * zoom, base.height * zoom);
    const double edge = (stroke() ? stroke()->width() : 0) * 3 * zoom;
    const kx::Size own(scaled.width * relativeRect().size.width, scaled.height * relativeRect().size.height);
    BitmapContextRef context = createBitmapContext(own.width + 2 * edge, own.height + 2 * edge);
    if (!context)
        return {};
    const double reference = double(float(std::min(scaled.width, scaled.height))) / 5;
    for (const auto& child : m_graphs) {
        const kx::Rect rc = childRect(*child, own, {edge, edge});
        context->saveGState();
        turnAboutCenter(*context, rc, child->angle());
        if (child->isShadowEnabled() && child->shadow()) {
            KXShadow* shadow = child->shadow();
            context->saveGState();
            const kx::Point offset = shadow->offsetWithReference(reference, -child->angle());
            context->setShadow({offset.x, offset.y}, shadow->blur() * zoom, shadow->color());
            const kx::Image image = child->graphImageWithZoom(zoom);
            if (!image.isNull()) {
                const kx::Point c = rc.center();
                const kx::Rect at(c.x - image.width() / 2.0, c.y - image.height() / 2.0, image.width(),
                                  image.height());
                context->drawImage(roundRectComponents(at), image);
            }
            context->restoreGState();
        } else {
            child->drawInContext(*context, rc);
        }
        context->restoreGState();
    }
    kx::Image image = context->makeImage();
    releaseBitmapContext(context);
    return image;
}

void KXGroup::encodeWithCoder(kx::KeyedArchiver& coder) const {
    KXGraph::encodeWithCoder(coder);
    kx::ValueArray children;
    children.reserve(m_graphs.size());
    for (const auto& child : m_graphs)
        children.emplace_back(child);
    coder.encodeObject(kx::Value(std::move(children)), kGraphsKey);
}

void KXGroup::initWithCoder(kx::KeyedUnarchiver& coder) {
    KXGraph::initWithCoder(coder);
    const kx::Value stored = coder.decodeObjectOfType(kGraphsKey, kx::Value::Type::Array);
    GraphList children;
    std::unordered_set<const KXGraph*> seen;
    for (const kx::Value& entry : stored.toArray()) {
        auto child = entry.objectAs<KXGraph>();
        if (!child) {
            coder.failWithError(QStringLiteral("a group's child list holds something that is not a graph"));
            return;
        }
        if (!seen.insert(child.get()).second) {
            coder.failWithError(QStringLiteral("a group's child list holds one graph twice"));
            return;
        }
        children.push_back(std::move(child));
    }
    m_graphs = std::move(children);
    for (const auto& child : m_graphs)
        child->setGroup(this);
}
