#include "platform/layers/layer.h"

#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer_host.h"
#include "platform/layers/layer_render_cache.h"
#include "platform/layers/layer_transaction.h"

#include <algorithm>
#include <cmath>

namespace kx {

namespace {

double clampUnit(double value) {
    if (!(value > 0))  // also NaN
        return 0;
    return value > 1 ? 1 : value;
}

// The transform from `layer`'s coordinates into those of `ancestor` (the root's own space when null or when
// `ancestor` is not above `layer`).
AffineTransform transformUpTo(const Layer* layer, const Layer* ancestor) {
    AffineTransform result;
    for (const Layer* l = layer; l && l != ancestor && l->superlayer(); l = l->superlayer())
        result = AffineTransform::concat(result, l->transformToSuperlayer());
    return result;
}

const Layer* commonAncestor(const Layer* a, const Layer* b) {
    for (const Layer* x = a; x; x = x->superlayer()) {
        for (const Layer* y = b; y; y = y->superlayer()) {
            if (x == y)
                return x;
        }
    }
    return nullptr;
}

// The transform that takes points of `from` into `to`.
AffineTransform transformBetween(const Layer* from, const Layer* to) {
    const Layer* common = commonAncestor(from, to);
    AffineTransform up = transformUpTo(from, common);
    AffineTransform down = transformUpTo(to, common).inverted();
    return AffineTransform::concat(up, down);
}

// How far past its source a blurred shadow can show: a blur of radius r spreads visibly by less than 2r.
double shadowReach(double radius) {
    return 2 * radius + 1;
}

}  // namespace

Layer::Layer() = default;

Layer::~Layer() {
    for (const std::shared_ptr<Layer>& sublayer : m_sublayers)
        sublayer->m_superlayer = nullptr;
}

// --- Geometry ---

void Layer::setBounds(const Rect& bounds) {
    Rect standard = bounds.standardized();
    if (standard == m_bounds)
        return;
    reportVisualChange();
    bool sizeChanged = standard.size != m_bounds.size;
    m_bounds = standard;
    if (sizeChanged) {
        m_needsLayout = true;
        if (m_needsDisplayOnBoundsChange)
            setNeedsDisplay();
    }
    reportVisualChange();
}

void Layer::setPosition(const Point& position) {
    if (position == m_position)
        return;
    reportVisualChange();
    m_position = position;
    reportVisualChange();
}

void Layer::setAnchorPoint(const Point& anchorPoint) {
    if (anchorPoint == m_anchorPoint)
        return;
    reportVisualChange();
    m_anchorPoint = anchorPoint;
    reportVisualChange();
}

void Layer::setAffineTransform(const AffineTransform& transform) {
    if (transform == m_transform)
        return;
    reportVisualChange();
    m_transform = transform;
    reportVisualChange();
}

AffineTransform Layer::transformToSuperlayer() const {
    Point anchor(m_bounds.origin.x + m_anchorPoint.x * m_bounds.size.width,
                 m_bounds.origin.y + m_anchorPoint.y * m_bounds.size.height);
    AffineTransform toAnchor = AffineTransform::makeTranslation(-anchor.x, -anchor.y);
    AffineTransform toPosition = AffineTransform::makeTranslation(m_position.x, m_position.y);
    return AffineTransform::concat(AffineTransform::concat(toAnchor, m_transform), toPosition);
}

Rect Layer::frame() const {
    return transformToSuperlayer().apply(m_bounds);
}

void Layer::setFrame(const Rect& frame) {
    Rect standard = frame.standardized();
    Point position(standard.origin.x + m_anchorPoint.x * standard.size.width,
                   standard.origin.y + m_anchorPoint.y * standard.size.height);
    setBounds(Rect(m_bounds.origin, standard.size));
    setPosition(position);
}

Point Layer::convertPointFromLayer(const Point& point, const Layer* layer) const {
    const Layer* from = layer ? layer : rootLayer();
    return transformBetween(from, this).apply(point);
}

Point Layer::convertPointToLayer(const Point& point, const Layer* layer) const {
    const Layer* to = layer ? layer : rootLayer();
    return transformBetween(this, to).apply(point);
}

Rect Layer::convertRectFromLayer(const Rect& rect, const Layer* layer) const {
    const Layer* from = layer ? layer : rootLayer();
    return transformBetween(from, this).apply(rect);
}

Rect Layer::convertRectToLayer(const Rect& rect, const Layer* layer) const {
    const Layer* to = layer ? layer : rootLayer();
    return transformBetween(this, to).apply(rect);
}

bool Layer::containsPoint(const Point& point) const {
    return m_bounds.contains(point);
}

// --- Appearance ---

void Layer::setOpacity(double opacity) {
    opacity = clampUnit(opacity);
    if (opacity == m_opacity)
        return;
    m_opacity = opacity;
    reportVisualChange();
}

void Layer::setHidden(bool hidden) {
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    reportVisualChange();
}

void Layer::setMasksToBounds(bool masks) {
    if (masks == m_masksToBounds)
        return;
    reportVisualChange();  // the larger, unmasked extent
    m_masksToBounds = masks;
    reportVisualChange();
}

void Layer::setBackgroundColor(const Color& color) {
    if (color == m_backgroundColor)
        return;
    m_backgroundColor = color;
    reportRepaint(shadowExtentFor(m_bounds));
}

void Layer::setContents(const Image& contents) {
    m_contents = contents;
    m_contentsFromDisplay = false;
    reportRepaint(shadowExtentFor(m_bounds));
}

void Layer::setContentsScale(double scale) {
    if (scale > 0 && std::isfinite(scale))
        m_contentsScale = scale;
}

void Layer::setShadowColor(const Color& color) {
    if (color == m_shadowColor)
        return;
    m_shadowColor = color;
    reportVisualChange();
}

void Layer::setShadowOpacity(double opacity) {
    opacity = clampUnit(opacity);
    if (opacity == m_shadowOpacity)
        return;
    reportVisualChange();
    m_shadowOpacity = opacity;
    reportVisualChange();
}

void Layer::setShadowOffset(const Size& offset) {
    if (offset == m_shadowOffset)
        return;
    reportVisualChange();
    m_shadowOffset = offset;
    reportVisualChange();
}

void Layer::setShadowRadius(double radius) {
    radius = radius > 0 && std::isfinite(radius) ? radius : 0;
    if (radius == m_shadowRadius)
        return;
    reportVisualChange();
    m_shadowRadius = radius;
    reportVisualChange();
}

void Layer::setShadowPath(std::optional<Path> path) {
    if (path == m_shadowPath)
        return;
    reportVisualChange();
    m_shadowPath = std::move(path);
    reportVisualChange();
}

bool Layer::hasVisibleShadow() const {
    return m_shadowOpacity > 0 && !m_shadowColor.isNull() && m_shadowColor.alpha() > 0;
}

Rect Layer::shadowExtentFor(const Rect& area) const {
    if (!hasVisibleShadow() || area.isNull())
        return area;
    Rect source = m_shadowPath ? m_shadowPath->boundingBox() : area;
    if (source.isNull())
        return area;
    double reach = shadowReach(m_shadowRadius);
    Rect shadow = source.offsetBy(m_shadowOffset.width, m_shadowOffset.height).insetBy(-reach, -reach);
    if (m_masksToBounds)
        shadow = shadow.intersected(m_bounds);
    return area.united(shadow);
}

Rect Layer::visualExtent() const {
    // Displayed contents without a background show only where they painted something.
    const bool paintedOnly = m_contentsFromDisplay && !m_contents.isNull() &&
                             (m_backgroundColor.isNull() || m_backgroundColor.alpha() <= 0);
    Rect extent = paintedOnly ? paintedArea() : m_bounds;
    for (const std::shared_ptr<Layer>& sublayer : m_sublayers) {
        if (sublayer->m_hidden)
            continue;
        Rect sub = sublayer->visualExtent();
        if (!sub.isNull())
            extent = extent.united(sublayer->transformToSuperlayer().apply(sub));
    }
    if (m_masksToBounds)
        extent = extent.intersected(m_bounds);
    return shadowExtentFor(extent);
}

// --- Tree ---

Layer* Layer::rootLayer() {
    Layer* layer = this;
    while (layer->m_superlayer)
        layer = layer->m_superlayer;
    return layer;
}

const Layer* Layer::rootLayer() const {
    const Layer* layer = this;
    while (layer->m_superlayer)
        layer = layer->m_superlayer;
    return layer;
}

bool Layer::isAncestorOf(const Layer* layer) const {
    for (const Layer* l = layer; l; l = l->m_superlayer) {
        if (l == this)
            return true;
    }
    return false;
}

int Layer::indexOfSublayer(const Layer* layer) const {
    // From the top: the layers added last are the ones most often taken out again. A layer is a sublayer at
    // most once, so the direction does not change the answer.
    for (std::size_t i = m_sublayers.size(); i-- > 0;) {
        if (m_sublayers[i].get() == layer)
            return int(i);
    }
    return -1;
}

bool Layer::canAdopt(const Layer* layer) const {
    return layer && !layer->isAncestorOf(this);
}

void Layer::insertSublayerAt(std::shared_ptr<Layer> layer, std::size_t index) {
    index = std::min(index, m_sublayers.size());
    m_sublayers.insert(m_sublayers.begin() + std::ptrdiff_t(index), layer);
    layer->m_superlayer = this;
    if (!layer->m_hidden)
        layer->reportVisualChange();
    didInsertSublayer(*layer);
}

void Layer::addSublayer(std::shared_ptr<Layer> layer) {
    if (!canAdopt(layer.get()))
        return;
    layer->removeFromSuperlayer();
    insertSublayerAt(std::move(layer), m_sublayers.size());
}

void Layer::insertSublayer(std::shared_ptr<Layer> layer, unsigned index) {
    if (!canAdopt(layer.get()))
        return;
    layer->removeFromSuperlayer();
    insertSublayerAt(std::move(layer), index);
}

void Layer::insertSublayerBelow(std::shared_ptr<Layer> layer, const Layer* sibling) {
    if (!canAdopt(layer.get()))
        return;
    layer->removeFromSuperlayer();
    int index = sibling ? indexOfSublayer(sibling) : -1;
    insertSublayerAt(std::move(layer), index < 0 ? m_sublayers.size() : std::size_t(index));
}

void Layer::insertSublayerAbove(std::shared_ptr<Layer> layer, const Layer* sibling) {
    if (!canAdopt(layer.get()))
        return;
    layer->removeFromSuperlayer();
    int index = sibling ? indexOfSublayer(sibling) : -1;
    insertSublayerAt(std::move(layer), index < 0 ? m_sublayers.size() : std::size_t(index) + 1);
}

void Layer::removeFromSuperlayer() {
    Layer* superlayer = m_superlayer;
    if (!superlayer)
        return;
    int index = superlayer->indexOfSublayer(this);
    if (index < 0)
        return;
    if (!m_hidden)
        reportVisualChange();
    // The superlayer may hold the only reference: keep this layer alive until the list is updated.
    std::shared_ptr<Layer> keepAlive = superlayer->m_sublayers[std::size_t(index)];
    superlayer->m_sublayers.erase(superlayer->m_sublayers.begin() + index);
    m_superlayer = nullptr;
    superlayer->didRemoveSublayer(*this);
}

void Layer::didInsertSublayer(Layer&) {}

void Layer::didRemoveSublayer(Layer&) {}

// --- Display ---

void Layer::setNeedsDisplay() {
    m_needsDisplay = true;
    m_dirtyRect = Rect::null();
    reportRepaint(shadowExtentFor(m_bounds));
}

void Layer::setNeedsDisplayInRect(const Rect& rect) {
    Rect area = rect.standardized().intersected(m_bounds);
    if (area.isEmpty())
        return;
    if (!m_needsDisplay)
        m_dirtyRect = area;
    else if (!m_dirtyRect.isNull())
        m_dirtyRect = m_dirtyRect.united(area);
    m_needsDisplay = true;
    reportRepaint(shadowExtentFor(area));
}

void Layer::display() {
    Rect dirty = m_dirtyRect;
    m_needsDisplay = false;
    m_dirtyRect = Rect::null();

    double scale = m_contentsScale;
    const Rect area = displayArea().intersected(m_bounds);
    double pixelWidth = area.isNull() ? 0 : std::ceil(area.size.width * scale);
    double pixelHeight = area.isNull() ? 0 : std::ceil(area.size.height * scale);
    const Point offset(area.origin.x - m_bounds.origin.x, area.origin.y - m_bounds.origin.y);
    // Sizes the context cannot hold give no contents rather than a crash; the context refuses what is too big.
    if (!(pixelWidth >= 1 && pixelHeight >= 1 && pixelWidth <= 1e9 && pixelHeight <= 1e9)) {
        dropDisplayedContents();
        return;
    }
    BitmapContext context{int(pixelWidth), int(pixelHeight)};
    if (!context.isValid()) {
        dropDisplayedContents();
        return;
    }
    bool partial = !dirty.isNull() && m_contentsFromDisplay && m_contents.width() == context.width() &&
                   m_contents.height() == context.height() && m_displayedOffset == offset;
    if (partial)
        context.drawImage(Rect(0, 0, pixelWidth, pixelHeight), m_contents);
    context.scale(scale, scale);
    context.translate(-area.origin.x, -area.origin.y);
    if (partial) {
        context.clearRect(dirty);
        context.clipToRect(dirty);
    }
    drawInContext(context);
    m_contents = context.makeImage();
    m_contentsFromDisplay = true;
    m_displayedPointSize = Size(pixelWidth / scale, pixelHeight / scale);
    m_displayedOffset = offset;
    cropPaintedContents(scale);
}

void Layer::dropDisplayedContents() {
    m_contents = Image();
    m_contentsFromDisplay = false;
    m_paintedContents = Image();
    m_paintedArea = Rect::null();
}

void Layer::cropPaintedContents(double scale) {
    // The rows and columns that hold a pixel with any alpha (memory row 0 is the top).
    const QImage& image = m_contents.qimage();
    const int width = image.width(), height = image.height();
    int top = height, bottom = -1, left = width, right = -1;
    for (int row = 0; row < height; ++row) {
        const uchar* line = image.constScanLine(row);
        int first = -1, last = -1;
        for (int x = 0; x < width; ++x) {
            if (line[4 * x + 3]) {
                first = x;
                break;
            }
        }
        if (first < 0)
            continue;
        for (int x = width - 1; x >= first; --x) {
            if (line[4 * x + 3]) {
                last = x;
                break;
            }
        }
        top = std::min(top, row);
        bottom = row;
        left = std::min(left, first);
        right = std::max(right, last);
    }
    if (bottom < 0) {
        m_paintedContents = Image();
        m_paintedArea = Rect::null();
        return;
    }
    const QRect crop(left, top, right - left + 1, bottom - top + 1);
    m_paintedContents = crop == image.rect() ? m_contents : Image(image.copy(crop));
    m_paintedArea = Rect(m_displayedOffset.x + left / scale, m_displayedOffset.y + (height - 1 - bottom) / scale,
                         crop.width() / scale, crop.height() / scale);
}

Rect Layer::paintedArea() const {
    return m_paintedArea.isNull() ? m_paintedArea : m_paintedArea.offsetBy(m_bounds.origin.x, m_bounds.origin.y);
}

void Layer::displayIfNeeded() {
    if (m_needsDisplay)
        display();
}

void Layer::drawInContext(BitmapContext&) {}

// --- Layout ---

void Layer::layoutIfNeeded() {
    if (m_needsLayout) {
        m_needsLayout = false;
        layoutSublayers();
    }
    // A layout may add or remove sublayers: walk a copy.
    std::vector<std::shared_ptr<Layer>> sublayers = m_sublayers;
    for (const std::shared_ptr<Layer>& sublayer : sublayers) {
        if (sublayer->m_superlayer == this)
            sublayer->layoutIfNeeded();
    }
}

void Layer::layoutSublayers() {}

void Layer::prepareForRendering() {
    if (m_hidden)
        return;
    layoutIfNeeded();
    displayIfNeeded();
    // Drawing code may change the tree: walk a copy.
    std::vector<std::shared_ptr<Layer>> sublayers = m_sublayers;
    for (const std::shared_ptr<Layer>& sublayer : sublayers) {
        if (sublayer->m_superlayer == this)
            sublayer->prepareForRendering();
    }
}

// --- Host ---

void Layer::setHost(LayerHost* host) {
    m_host = host;
}

bool Layer::hasHostAbove() const {
    for (const Layer* l = this; l; l = l->m_superlayer) {
        if (l->m_host)
            return true;
    }
    return false;
}

void Layer::reportVisualChange() const {
    if (!hasHostAbove())
        return;
    // The change shows in the superlayer's space; a root layer's own geometry shows nowhere.
    if (m_superlayer)
        m_superlayer->reportRepaint(transformToSuperlayer().apply(visualExtent()));
    else if (m_host)  // a root's own visibility changes count too
        LayerTransaction::reportRepaint(m_host, visualExtent());
}

void Layer::reportRepaint(const Rect& rect) const {
    if (rect.isEmpty() || !hasHostAbove())
        return;
    Rect area = rect;
    for (const Layer* l = this; l; l = l->m_superlayer) {
        if (l->m_hidden)
            return;  // nothing in a hidden layer shows
        if (l->m_masksToBounds)
            area = area.intersected(l->m_bounds);
        if (area.isEmpty())
            return;
        if (l->m_host)
            LayerTransaction::reportRepaint(l->m_host, area);
        if (l->m_superlayer)
            area = l->transformToSuperlayer().apply(area);
    }
}

}  // namespace kx
