#include "model/graph.h"

#include "graphics/color_utilities.h"
#include "graphics/geometry_utilities.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/shadow.h"
#include "model/stroke.h"
#include "model/tracker.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/gfx/path.h"

#include <cmath>

namespace {
const QString kOpacityKey = QStringLiteral("opacity");
const QString kRelativeRectKey = QStringLiteral("relativeRect");
const QString kAngleKey = QStringLiteral("angle");
const QString kLockedKey = QStringLiteral("locked");
const QString kFlipXKey = QStringLiteral("flipX");
const QString kFlipYKey = QStringLiteral("flipY");
const QString kFillEnabledKey = QStringLiteral("fillEnabled");
const QString kStrokeEnabledKey = QStringLiteral("strokeEnabled");
const QString kShadowEnabledKey = QStringLiteral("shadowEnabled");
const QString kContactShadowEnabledKey = QStringLiteral("contactShadowEnabled");
const QString kReflectionEnabledKey = QStringLiteral("reflectionEnabled");
const QString kReflectionAlphaKey = QStringLiteral("reflectionAlpha");
const QString kTextWrapEnabledKey = QStringLiteral("textWrapEnabled");
const QString kSelectedKey = QStringLiteral("selected");
const QString kAspectRatioKey = QStringLiteral("aspectRatio");
const QString kWrapTypeKey = QStringLiteral("wrapType");
const QString kTextWrapSpaceKey = QStringLiteral("textWrapSpace");
const QString kStrokeWidthKey = QStringLiteral("width");

bool isFiniteRect(const kx::Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}
}  // namespace

KXGraph::KXGraph() : m_tracker(std::make_unique<KXTracker>()) {
    const kx::Color color1 = createSRGBColor(55 / 255.0, 159 / 255.0, 216 / 255.0, 1);
    const kx::Color color2 = createSRGBColor(31 / 255.0, 108 / 255.0, 139 / 255.0, 1);
    auto fill = std::make_shared<KXBackground>();
    fill->setColor1(color1);
    fill->setColor2(color2);
    fill->setFillAngle(90);
    fill->setAdGradientColorArray({color1, color2});
    setFillEnabled(false);
    setBackground(std::move(fill));
    setStrokeEnabled(false);
    setStroke(std::make_shared<KXStroke>());
    setShadowEnabled(false);
    setShadow(std::make_shared<KXShadow>());
    kx::Observable::addObserver(this, kTextWrapSpaceKey);
}

KXGraph::~KXGraph() {
    kx::Observable::removeObserver(this, kTextWrapSpaceKey);
    m_render = nullptr;
    m_canvas = nullptr;
    if (m_stroke)
        m_stroke->removeObserver(this);
}

// ---- observation ----

QStringList KXGraph::announcedKeys() const {
    return {kOpacityKey,       kRelativeRectKey,         kAngleKey,
            kLockedKey,        kFlipXKey,                kFlipYKey,
            kFillEnabledKey,   kStrokeEnabledKey,        kShadowEnabledKey,
            kContactShadowEnabledKey, kReflectionEnabledKey, kReflectionAlphaKey,
            kTextWrapEnabledKey};
}

void KXGraph::addObserver(kx::KeyObserver* observer) {
    for (const QString& key : {kOpacityKey, kRelativeRectKey, kAngleKey, kLockedKey, kFlipXKey, kFlipYKey,
                               kFillEnabledKey})
        kx::Observable::addObserver(observer, key);
    if (m_background)
        m_background->addObserver(observer);
    kx::Observable::addObserver(observer, kStrokeEnabledKey);
    if (m_stroke)
        m_stroke->addObserver(observer);
    kx::Observable::addObserver(observer, kShadowEnabledKey);
    if (m_shadow)
        m_shadow->addObserver(observer);
    for (const QString& key : {kContactShadowEnabledKey, kReflectionEnabledKey, kReflectionAlphaKey,
                               kTextWrapEnabledKey})
        kx::Observable::addObserver(observer, key);
}

void KXGraph::removeObserver(kx::KeyObserver* observer) {
    for (const QString& key : {kOpacityKey, kRelativeRectKey, kAngleKey, kLockedKey, kFlipXKey, kFlipYKey,
                               kFillEnabledKey})
        kx::Observable::removeObserver(observer, key);
    if (m_background)
        m_background->removeObserver(observer);
    kx::Observable::removeObserver(observer, kStrokeEnabledKey);
    if (m_stroke)
        m_stroke->removeObserver(observer);
    kx::Observable::removeObserver(observer, kShadowEnabledKey);
    if (m_shadow)
        m_shadow->removeObserver(observer);
    for (const QString& key : {kContactShadowEnabledKey, kReflectionEnabledKey, kReflectionAlphaKey,
                               kTextWrapEnabledKey})
        kx::Observable::removeObserver(observer, key);
}

const kx::PropertyTable& KXGraph::propertyTable() const {
    static const kx::PropertyTable table = [] {
        kx::PropertyTable t;
        t.add(kOpacityKey, &KXGraph::opacity, &KXGraph::setOpacity);
        t.add<KXGraph>(
            kRelativeRectKey, [](const KXGraph& g) { return kx::Value(g.relativeRect()); },
            [](KXGraph& g, const kx::Value& v) { g.setRelativeRect(v.toRect()); });
        t.add(kAngleKey, &KXGraph::angle, &KXGraph::setAngle);
        t.add(kLockedKey, &KXGraph::isLocked, &KXGraph::setLocked);
        t.add(kFlipXKey, &KXGraph::flipX, &KXGraph::setFlipX);
        t.add(kFlipYKey, &KXGraph::flipY, &KXGraph::setFlipY);
        t.add(kFillEnabledKey, &KXGraph::isFillEnabled, &KXGraph::setFillEnabled);
        t.add(kStrokeEnabledKey, &KXGraph::isStrokeEnabled, &KXGraph::setStrokeEnabled);
        t.add(kShadowEnabledKey, &KXGraph::isShadowEnabled, &KXGraph::setShadowEnabled);
        t.add(kContactShadowEnabledKey, &KXGraph::isContactShadowEnabled, &KXGraph::setContactShadowEnabled);
        t.add(kReflectionEnabledKey, &KXGraph::isReflectionEnabled, &KXGraph::setReflectionEnabled);
        t.add(kReflectionAlphaKey, &KXGraph::reflectionAlpha, &KXGraph::setReflectionAlpha);
        t.add(kTextWrapEnabledKey, &KXGraph::isTextWrapEnabled, &KXGraph::setTextWrapEnabled);
        t.add(kSelectedKey, &KXGraph::isSelected, &KXGraph::setSelected);
        t.add(kAspectRatioKey, &KXGraph::aspectRatio, &KXGraph::setAspectRatio);
        t.add(kWrapTypeKey, &KXGraph::wrapType, &KXGraph::setWrapType);
        t.add(kTextWrapSpaceKey, &KXGraph::textWrapSpace, &KXGraph::setTextWrapSpace);
        return t;
    }();
    return table;
}

void KXGraph::observeValue(const QString& key, kx::Observable* object, const kx::Value&, const kx::Value&) {
    if ((object == m_stroke.get() && key == kStrokeWidthKey) || key == kTextWrapSpaceKey)
        textWrapRectChanged();
}

// ---- kind ----

std::vector<KXGraph*> KXGraph::rootOfGraphs() {
    return {this};
}

void KXGraph::graphTypeDidChange() {
    if (m_canvas)
        m_canvas->graphTypeDidChange(this);
}

const std::vector<std::shared_ptr<KXGraph>>& KXGraph::graphs() const {
    static const std::vector<std::shared_ptr<KXGraph>> none;
    return none;
}

bool KXGraph::incloudWrapGraphs(const std::vector<KXGraph*>&) const {
    return false;
}

bool KXGraph::pathContainsInRect(const kx::Rect&) const {
    return true;
}

// ---- rectangles ----

kx::Rect KXGraph::frameRect() const {
    if (m_group) {
        const kx::Rect g = m_group->frameRect();
        return {m_relativeRect.origin.x * g.size.width + g.origin.x,
                m_relativeRect.origin.y * g.size.height + g.origin.y, m_relativeRect.size.width * g.size.width,
                m_relativeRect.size.height * g.size.height};
    }
    const kx::Size preview = m_canvas ? m_canvas->previewSize() : kx::Size();
    return {m_relativeRect.origin.x * preview.width, m_relativeRect.origin.y * preview.height,
            m_relativeRect.size.width * preview.width, m_relativeRect.size.height * preview.height};
}

kx::Rect KXGraph::actualRect() const {
    if (m_group) {
        const kx::Rect g = m_group->actualRect();
        return {m_relativeRect.origin.x * g.size.width + g.origin.x,
                m_relativeRect.origin.y * g.size.height + g.origin.y, m_relativeRect.size.width * g.size.width,
                m_relativeRect.size.height * g.size.height};
    }
    const kx::Size pixels = m_canvas ? m_canvas->pixelSize() : kx::Size();
    return {m_relativeRect.origin.x * pixels.width, m_relativeRect.origin.y * pixels.height,
            m_relativeRect.size.width * pixels.width, m_relativeRect.size.height * pixels.height};
}

double KXGraph::strokeWidthOnPage() const {
    if (!m_stroke)
        return 0;
    const double zoom = m_canvas ? m_canvas->zoomValue() : 1.0;
    if (m_stroke->type() != KXStrokeWidthAbsolute) {
        const kx::Size preview = m_canvas ? m_canvas->previewSize() : kx::Size();
        return m_stroke->borderWidthWithReference(std::min(preview.width, preview.height), 1);
    }
    return m_stroke->width() * zoom;
}

kx::Rect KXGraph::graphRect() const {
    const kx::Rect frame = frameRect();
    if (m_canvas && m_canvas->layoutType() == KXLayoutTypeFixed && m_strokeEnabled) {
        const double half = strokeWidthOnPage() / 2;
        return frame.insetBy(-half, -half);
    }
    return frame;
}

kx::Rect KXGraph::drawRectForFrame(const kx::Rect& frame, double) const {
    if (!m_strokeEnabled)
        return frame;
    const double half = strokeWidthOnPage() / 2;
    return frame.insetBy(half, half);
}

// ---- attribute objects ----

void KXGraph::setBackground(std::shared_ptr<KXBackground> background) {
    if (background && m_background) {
        if (background != m_background)
            m_background->setBackground(background.get());
        return;
    }
    m_background = std::move(background);
}

void KXGraph::setStroke(std::shared_ptr<KXStroke> stroke) {
    if (stroke && m_stroke) {
        if (stroke != m_stroke)
            m_stroke->setStroke(stroke.get());
        return;
    }
    if (m_stroke)
        m_stroke->removeObserver(this);
    m_stroke = std::move(stroke);
    if (m_stroke)
        m_stroke->addObserver(this);
}

void KXGraph::setShadow(std::shared_ptr<KXShadow> shadow) {
    if (shadow && m_shadow) {
        if (shadow != m_shadow)
            m_shadow->setShadow(shadow.get());
        return;
    }
    m_shadow = std::move(shadow);
}

// ---- display ----

void KXGraph::setNeedsDisplay() {
    if (!m_displayLocked && m_render)
        m_render->setNeedsDisplayGraph(this);
}

// ---- properties ----

void KXGraph::setRelativeRect(const kx::Rect& rect) {
    if (!isFiniteRect(rect))
        return;
    if (rect != m_relativeRect) {
        const kx::Rect old = m_relativeRect;
        m_aspectRatioBeforeRectChange = m_aspectRatio;
        m_relativeRect = rect;
        const std::int32_t type = graphType();
        if (type != KXGraphTypePhoto && type != KXGraphTypeGroup && m_canvas) {
            // A frame without height has no aspect ratio; the last good one stays.
            const kx::Rect frame = frameRect();
            const double ratio = frame.size.width / frame.size.height;
            if (frame.size.height != 0 && std::isfinite(ratio))
                m_aspectRatio = ratio;
        }
        didChangeValue(kRelativeRectKey, kx::Value(old), kx::Value(m_relativeRect));
    }
    textWrapRectChanged();
}

namespace {
// The open paint-opacity scopes of this thread, innermost last.
thread_local std::vector<std::pair<const KXGraph*, double>> t_paintOpacities;
}  // namespace

KXGraph::PaintOpacity::PaintOpacity(const KXGraph* graph, double opacity) {
    t_paintOpacities.emplace_back(graph, opacity);
}

KXGraph::PaintOpacity::~PaintOpacity() {
    t_paintOpacities.pop_back();
}

double KXGraph::opacity() const {
    for (auto it = t_paintOpacities.rbegin(); it != t_paintOpacities.rend(); ++it) {
        if (it->first == this)
            return it->second;
    }
    return m_opacity;
}

void KXGraph::setOpacity(double opacity) {
    setProperty(kOpacityKey, m_opacity, opacity);
}

void KXGraph::setAngle(double angle) {
    setProperty(kAngleKey, m_angle, angle);
}

void KXGraph::setAspectRatio(double ratio) {
    setProperty(kAspectRatioKey, m_aspectRatio, ratio);
}

void KXGraph::setFlipX(std::int32_t flip) {
    setProperty(kFlipXKey, m_flipX, flip);
}

void KXGraph::setFlipY(std::int32_t flip) {
    setProperty(kFlipYKey, m_flipY, flip);
}

void KXGraph::setLocked(bool locked) {
    setProperty(kLockedKey, m_locked, locked);
}

void KXGraph::setFillEnabled(bool enabled) {
    setProperty(kFillEnabledKey, m_fillEnabled, enabled);
}

void KXGraph::setStrokeEnabled(bool enabled) {
    setProperty(kStrokeEnabledKey, m_strokeEnabled, enabled);
    textWrapRectChanged();
}

void KXGraph::setShadowEnabled(bool enabled) {
    setProperty(kShadowEnabledKey, m_shadowEnabled, enabled);
}

void KXGraph::setReflectionEnabled(bool enabled) {
    setProperty(kReflectionEnabledKey, m_reflectionEnabled, enabled);
}

void KXGraph::setReflectionAlpha(double alpha) {
    setProperty(kReflectionAlphaKey, m_reflectionAlpha, alpha);
}

void KXGraph::setContactShadowEnabled(bool enabled) {
    setProperty(kContactShadowEnabledKey, m_contactShadowEnabled, enabled);
}

void KXGraph::setTextWrapEnabled(bool enabled) {
    const bool changed = enabled != m_textWrapEnabled;
    setProperty(kTextWrapEnabledKey, m_textWrapEnabled, enabled);
    if (changed && m_canvas)
        m_canvas->updateTextsWrapUnderGraph(this);
}

void KXGraph::setTextWrapSpace(std::int64_t space) {
    setProperty(kTextWrapSpaceKey, m_textWrapSpace, space);
}

void KXGraph::setWrapType(std::int32_t type) {
    if (type == m_wrapType)
        return;
    setProperty(kWrapTypeKey, m_wrapType, type);
    textWrapRectChanged();
}

void KXGraph::setSelected(bool selected) {
    if (selected == m_selected)
        return;
    setProperty(kSelectedKey, m_selected, selected);
    if (m_render)
        m_render->drawGraphSelection(this);
}

void KXGraph::textWrapRectChanged() {
    if ((m_textWrapEnabled || graphType() == KXGraphTypeGroup) && m_canvas)
        m_canvas->updateTextsWrapUnderGraph(this);
}

// ---- hit tests ----

kx::Point KXGraph::convertPointToRenderSpace(const kx::Point& point) const {
    return transformPointAboutCenter(point, frameRect().center(), -m_angle, 1, 1);
}

bool KXGraph::containsPoint(const kx::Point& point) const {
    return frameRect().contains(convertPointToRenderSpace(point));
}

bool KXGraph::intersectsRect(const kx::Rect& rect) const {
    const kx::Point p1 = convertPointToRenderSpace({rect.minX(), rect.minY()});
    const kx::Point p2 = convertPointToRenderSpace({rect.minX(), rect.maxY()});
    const kx::Point p3 = convertPointToRenderSpace({rect.maxX(), rect.maxY()});
    const kx::Point p4 = convertPointToRenderSpace({rect.maxX(), rect.minY()});
    const kx::Rect g = roundRectComponents(graphRect());
    return g.contains(p1) || g.contains(p2) || g.contains(p3) || g.contains(p4) ||
           intersectsLineWithPoint1(p1, p2) || intersectsLineWithPoint1(p2, p3) ||
           intersectsLineWithPoint1(p3, p4) || intersectsLineWithPoint1(p4, p1) ||
           intersectsBoundWithPoint1(p1, p2, p3, p4);
}

bool KXGraph::intersectsBoundWithPoint1(const kx::Point& p1, const kx::Point& p2, const kx::Point& p3,
                                        const kx::Point& p4) const {
    kx::Path bound;
    bound.moveTo(p1);
    bound.lineTo(p2);
    bound.lineTo(p3);
    bound.lineTo(p4);
    bound.closeSubpath();
    const kx::Rect g = graphRect();
    for (const kx::Point& corner : {kx::Point{g.minX(), g.minY()}, kx::Point{g.minX(), g.maxY()},
                                    kx::Point{g.maxX(), g.maxY()}, kx::Point{g.maxX(), g.minY()}}) {
        if (bound.contains(corner, kx::FillRule::EvenOdd))
            return true;
    }
    return false;
}

bool KXGraph::intersectsLineWithPoint1(const kx::Point& p1, const kx::Point& p2) const {
    const kx::Rect g = graphRect();
    const kx::Point a{g.minX(), g.minY()}, b{g.minX(), g.maxY()}, c{g.maxX(), g.maxY()}, d{g.maxX(), g.minY()};
    return lineIntersectionWithLine1Point1(p1, p2, a, b) || lineIntersectionWithLine1Point1(p1, p2, b, c) ||
           lineIntersectionWithLine1Point1(p1, p2, c, d) || lineIntersectionWithLine1Point1(p1, p2, d, a);
}

bool KXGraph::lineIntersectionWithLine1Point1(const kx::Point& a, const kx::Point& b, const kx::Point& c,
                                              const kx::Point& d) {
    if (a == b || c == d)
        return false;
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    const kx::Point u{(b.x - a.x) / length, (b.y - a.y) / length};
    const double s1 = u.x * (c.y - a.y) - u.y * (c.x - a.x);
    const double s2 = u.x * (d.y - a.y) - u.y * (d.x - a.x);
    if ((s1 < 0 && s2 < 0) || (s1 > 0 && s2 > 0))
        return false;
    // Both ends on the line: where they cross is undefined, and the segments count as meeting.
    if (s1 == s2)
        return true;
    const double t1 = u.x * (c.x - a.x) + u.y * (c.y - a.y);
    const double t2 = u.x * (d.x - a.x) + u.y * (d.y - a.y);
    const double t = t2 + (t1 - t2) * s2 / (s2 - s1);
    return t >= 0 && t <= length;
}

// ---- drawing ----

void KXGraph::drawInContext(kx::BitmapContext&, const kx::Rect&) {}

void KXGraph::drawBackgroundInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    if (!m_fillEnabled || !m_background)
        return;
    context.saveGState();
    context.clipToRect(rect);
    m_background->drawInContext(context, rect, m_canvas ? m_canvas->zoomValue() : 1.0);
    context.restoreGState();
}

void KXGraph::drawStrokeInContext(kx::BitmapContext& context, const kx::Rect& rect, bool expand) {
    if (!m_strokeEnabled || !m_stroke)
        return;
    context.saveGState();
    kx::Path outline;
    outline.addRect(rect);
    if (!expand) {
        context.beginPath();
        context.addPath(outline);
        context.clip();
    }
    m_stroke->drawInContext(context, outline, m_canvas ? m_canvas->zoomValue() : 1.0);
    context.restoreGState();
}

kx::Image KXGraph::graphImageWithZoom(double) {
    return {};
}
