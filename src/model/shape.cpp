#include "model/shape.h"

#include "graphics/geometry_utilities.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shape_text.h"
#include "model/stroke.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/gfx/bezier_path_coding.h"
#include "platform/gfx/bitmap_context.h"
#include "shapes/shape_path_builders.h"

#include <QMutex>
#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString kCropRectKey = QStringLiteral("cropRect");
const QString kFrameKey = QStringLiteral("frame");

bool isFiniteRect(const kx::Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

QMutex& factoryMutex() {
    static QMutex mutex;
    return mutex;
}

KXShapeTextFactory& textFactory() {
    static KXShapeTextFactory factory;
    return factory;
}

}  // namespace

void setShapeTextFactory(KXShapeTextFactory factory) {
    QMutexLocker lock(&factoryMutex());
    textFactory() = std::move(factory);
}

std::shared_ptr<KXShapeText> makeShapeText(KXShape* owner, const QString* string) {
    KXShapeTextFactory factory;
    {
        QMutexLocker lock(&factoryMutex());
        factory = textFactory();
    }
    return factory ? factory(owner, string) : nullptr;
}

// ---- life ----

KXShape::KXShape() {
    setPhoto(KXPhoto::photoWithOwner(this));
    setText(makeShapeText(this, nullptr));
}

KXShape::~KXShape() {
    // The fields may outlive the shape (an undo step can hold them): they lose their owner.
    if (m_photo) {
        m_photo->removeObserver(static_cast<kx::KeyObserver*>(this));
        if (m_photo->owner() == this)
            m_photo->setOwner(nullptr);
    }
    if (m_text && m_text->owner() == this)
        m_text->setOwner(nullptr);
}

std::shared_ptr<KXShape> KXShape::initTextShapeWithString(const QString& string, const kx::Rect& relativeRect) {
    auto shape = std::make_shared<KXShape>();
    // The fields of the default construction are replaced: the rectangle is set while the shape has none.
    shape->setPhoto(nullptr);
    shape->setText(nullptr);
    shape->setRelativeRect(relativeRect);
    shape->setPhoto(KXPhoto::photoWithOwner(shape.get()));
    shape->setText(makeShapeText(shape.get(), &string));
    return shape;
}

std::shared_ptr<KXShape> KXShape::initWithType(std::uint32_t shapeType, const kx::Rect& relativeRect) {
    auto shape = std::make_shared<KXShape>();
    shape->setRelativeRect(relativeRect);
    shape->setShapeType(shapeType);
    return shape;
}

std::int32_t KXShape::graphType() const {
    if (m_photo)
        return KXGraphTypePhoto;
    if (m_text)
        return KXGraphTypeText;
    return KXGraphTypeShape;
}

// ---- observation ----

void KXShape::addObserver(kx::KeyObserver* observer) {
    KXGraph::addObserver(observer);
    if (m_photo)
        m_photo->addObserver(observer);
    if (m_text)
        m_text->addObserver(observer);
}

void KXShape::removeObserver(kx::KeyObserver* observer) {
    if (m_photo)
        m_photo->removeObserver(observer);
    if (m_text)
        m_text->removeObserver(observer);
    KXGraph::removeObserver(observer);
}

void KXShape::observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                           const kx::Value& newValue) {
    if (m_photo && object == m_photo.get()) {
        if (key == kCropRectKey || key == kFrameKey)
            textWrapRectChanged();
        return;
    }
    KXGraph::observeValue(key, object, oldValue, newValue);
}

// ---- fields ----

void KXShape::setPhoto(std::shared_ptr<KXPhoto> photo) {
    if (photo == m_photo)
        return;
    const std::int32_t before = graphType();
    if (m_photo) {
        m_photo->removeObserver(static_cast<kx::KeyObserver*>(this));
        if (m_photo->owner() == this)
            m_photo->setOwner(nullptr);
    }
    m_photo = std::move(photo);
    if (m_photo) {
        m_photo->setOwner(this);
        m_photo->addObserver(static_cast<kx::KeyObserver*>(this));
    }
    if (graphType() != before)
        graphTypeDidChange();
}

void KXShape::setText(std::shared_ptr<KXShapeText> text) {
    if (text == m_text)
        return;
    const std::int32_t before = graphType();
    if (m_text && m_text->owner() == this)
        m_text->setOwner(nullptr);
    m_text = std::move(text);
    if (m_text)
        m_text->setOwner(this);
    if (graphType() != before)
        graphTypeDidChange();
}

// ---- geometry and outline ----

void KXShape::setRelativeRect(const kx::Rect& rect) {
    KXGraph::setRelativeRect(rect);
    const std::int32_t type = graphType();
    if (canvas() && type == KXGraphTypePhoto && updateAspectRatio()) {
        const kx::Rect frame = frameRect();
        const double ratio = frame.size.width / frame.size.height;
        const double before = aspectRatio();
        if (frame.size.height != 0 && std::isfinite(ratio) && ratio != before) {
            setAspectRatio(ratio);
            // Undoing the new rectangle gives the photo its old ratio back.
            canvas()->registerAspectRatioUndo(this, before);
        }
    }
    updatePath();
    if (type == KXGraphTypePhoto && (m_photo->renderMode() != KXPhotoRenderModeNormal || updateAspectRatio()))
        m_photo->updateCropRect();
    else if (type == KXGraphTypeText)
        m_text->updateWrapRect();
    setUpdateAspectRatio(false);
}

void KXShape::updatePath() {
    const kx::Rect frame = frameRect();
    if (frame.size.width == 0 || frame.size.height == 0 || !std::isfinite(frame.size.width) ||
        !std::isfinite(frame.size.height))
        return;
    kx::Rect r = roundRectComponents(frame);
    r.origin = {0, 0};
    if (std::abs(r.size.width) <= 2)
        r.size.width = 2;
    if (std::abs(r.size.height) <= 2)
        r.size.height = 2;
    m_path = shapePathWithRect(r);
}

kx::BezierPath KXShape::shapePathWithRect(const kx::Rect& rect) const {
    return m_shapeType == KXShapeTypeRectangle ? kx::BezierPath::withRect(rect) : kx::BezierPath();
}

kx::BezierPath KXShape::editingShapeWithRect(const kx::Rect& rect) const {
    return shapePathWithRect(rect);
}

kx::Rect KXShape::editingRectInObjectRect(const kx::Rect& rect) const {
    return {0, 0, rect.size.width, rect.size.height};
}

std::optional<kx::Path> KXShape::createCGPath() {
    const bool close = graphType() != KXGraphTypeLine;
    std::optional<kx::Path> path = quartzPathWhileClose(drawingPath(), close);
    if (!path && !m_renderPath) {
        updatePath();
        path = quartzPathWhileClose(m_path, close);
    }
    return path;
}

double KXShape::relativeStrokeWidth() const {
    if (!stroke())
        return 0;
    const kx::Size preview = canvas() ? canvas()->previewSize() : kx::Size();
    return stroke()->borderWidthWithReference(std::min(preview.width, preview.height), 1);
}

std::optional<double> KXShape::framedPhotoOutset() const {
    if (graphType() != KXGraphTypePhoto || !m_photo->frame() || !canvas() ||
        canvas()->layoutType() != KXLayoutTypeFixed)
        return std::nullopt;
    const double s = isStrokeEnabled() ? strokeWidthOnPage() / 2 : 0;
    const KXFrame& frame = *m_photo->frame();
    const double f = frame.name().isEmpty() ? 0 : frame.scale() * frame.expansion() * canvas()->zoomValue();
    return std::max(s, f);
}

kx::Rect KXShape::graphRect() const {
    if (const std::optional<double> outset = framedPhotoOutset())
        return frameRect().insetBy(-*outset, -*outset);
    return KXGraph::graphRect();
}

kx::Rect KXShape::graphRectWithRotationInGroup() const {
    if (const std::optional<double> outset = framedPhotoOutset())
        return frameRectWithRotationInGroup().insetBy(-*outset, -*outset);
    return KXGraph::graphRectWithRotationInGroup();
}

// The rectangle for the text. Closed outlines other than the rectangle are rasterised: the inside of the
// outline is filled faintly, a band of width m inside the outline solidly, and the box spans the first
// columns and rows from each side that hold only the faint fill. Every scan stays inside the bitmap and
// the box never has a negative size.
kx::Rect KXShape::drawRectForFrame(const kx::Rect& frame, double zoom) const {
    const float s = isStrokeEnabled() ? float(relativeStrokeWidth()) : 0.0f;
    float g = s;
    if (m_text && m_text->isTextMarginEnabled())
        g = float(s + m_text->textMargin());
    if (frame.size.width <= 1 || frame.size.height <= 1)
        return frame;
    double m = double(g) * zoom * 0.5;
    if (!std::isfinite(m))
        m = 0;
    if (m_shapeType == 1 || m_shapeType == 10 || m_shapeType == 11) {
        kx::Rect inset = frame.insetBy(m, m);
        inset.size.width = std::max(0.0, inset.size.width);
        inset.size.height = std::max(0.0, inset.size.height);
        return inset;
    }
    if (m_shapeType == 8)
        return frame;

    const double wide = std::floor(frame.size.width);
    const double high = std::floor(frame.size.height);
    if (!(wide * high <= double(kx::Image::maximumPixelCount)))
        return frame;
    const int W = int(wide), H = int(high);
    kx::BitmapContext bitmap(W, H, kx::BitmapContext::Kind::AlphaOnly);
    if (!bitmap.isValid())
        return frame;
    const std::optional<kx::Path> outline =
        quartzPathWhileClose(shapePathWithRect({0, 0, frame.size.width, frame.size.height}), true);
    bitmap.translate(0, H);
    bitmap.scale(1, -1);
    bitmap.setShouldAntialias(false);
    if (outline) {
        bitmap.setFillColor(kx::Color::srgb(0, 0, 0, 0.2));
        bitmap.beginPath();
        bitmap.addPath(*outline);
        bitmap.fillPath();
        bitmap.saveGState();
        bitmap.beginPath();
        bitmap.addPath(*outline);
        bitmap.clip();
        bitmap.setStrokeColor(kx::Color::srgb(0, 0, 0, 1));
        bitmap.setLineWidth(2 * m);
        bitmap.beginPath();
        bitmap.addPath(*outline);
        bitmap.strokePath();
        bitmap.restoreGState();
    }
    const uchar* pixels = bitmap.constData();
    const int stride = bitmap.bytesPerRow();
    // The faint fill alone: inside the outline and at least m away from it.
    auto isInside = [&](int x, int row) {
        const uchar v = pixels[row * stride + x];
        return v > 0 && v < 255;
    };
    auto clampIndex = [](double v, int count) {
        if (!std::isfinite(v))
            return 0;
        return int(std::clamp(std::floor(v), 0.0, double(count - 1)));
    };
    const float mf = float(m);
    const int leftStart = clampIndex(mf, W);
    const int rightStart = clampIndex(float(W - 1 - mf), W);
    const int topStart = clampIndex(mf, H);
    const int bottomStart = clampIndex(float(H - 1 - mf), H);
    auto columnHolds = [&](int x) {
        for (int row = 0; row < H; ++row)
            if (isInside(x, row))
                return true;
        return false;
    };
    auto rowHolds = [&](int row) {
        for (int x = 0; x < W; ++x)
            if (isInside(x, row))
                return true;
        return false;
    };
    // The first index from `start` in `step` direction whose line holds the inside; `start` when none does.
    auto scan = [](int start, int step, int count, const auto& holds) {
        for (int i = start; i >= 0 && i < count; i += step)
            if (holds(i))
                return i;
        return start;
    };
    const int left = scan(leftStart, 1, W, columnHolds);
    const int right = scan(rightStart, -1, W, columnHolds);
    const int top = scan(topStart, 1, H, rowHolds);
    const int bottom = scan(bottomStart, -1, H, rowHolds);
    return {frame.origin.x + left, frame.origin.y + top, double(std::max(0, right - left)),
            double(std::max(0, bottom - top))};
}

kx::Size KXShape::canvasSizeOfGraph(const KXGraph* graph) {
    if (!graph)
        return {};
    if (const KXGraph* group = graph->group()) {
        const kx::Size outer = canvasSizeOfGraph(group);
        const kx::Rect g = group->relativeRect();
        return {outer.width * g.size.width, outer.height * g.size.height};
    }
    return graph->canvas() ? graph->canvas()->pixelSize() : kx::Size();
}

kx::Rect KXShape::actualFrame() const {
    const kx::Size size = canvasSizeOfGraph(this);
    const kx::Rect r = relativeRect();
    return {r.origin.x * size.width, r.origin.y * size.height, r.size.width * size.width,
            r.size.height * size.height};
}

kx::Rect KXShape::actualDrawRect() const {
    return drawRectForFrame(actualFrame(), 1);
}

kx::Rect KXShape::groupFrameOfGraph(const KXGraph* graph, const kx::Rect& groupFrame) {
    if (!graph || !graph->group())
        return groupFrame;
    const KXGraph* group = graph->group();
    const kx::Size s = canvasSizeOfGraph(group);
    const kx::Rect g = group->relativeRect();
    const kx::Rect r{g.origin.x * s.width + groupFrame.origin.x, g.origin.y * s.height + groupFrame.origin.y,
                     g.size.width * s.width, g.size.height * s.height};
    return groupFrameOfGraph(group, r);
}

kx::Rect KXShape::actualDrawRectInGroup() const {
    const kx::Rect r = actualDrawRect();
    const kx::Point o = groupFrameOfGraph(this, kx::Rect()).origin;
    return r.offsetBy(o.x, o.y);
}

// ---- hit tests ----

bool KXShape::containsPoint(const kx::Point& point) const {
    const kx::Point q = convertPointToRenderSpace(point);
    // Without a layer (a page with no view, an output copy) the frame is what the shape covers.
    if (!render())
        return frameRect().contains(q);
    if (render()->renderContainsPoint(q))
        return true;
    if (!isSelected() || graphType() == KXGraphTypeLine)
        return false;
    const kx::Rect frame = frameRect();
    const kx::Point local{q.x - frame.origin.x, q.y - frame.origin.y};
    const kx::Rect bounds{0, 0, frame.size.width, frame.size.height};
    if (m_photo && m_photo->renderMode() != KXPhotoRenderModeNormal) {
        kx::Rect full = m_photo->fullImageRectForDrawing(bounds);
        if (flipX() == -1)
            full.origin.x = bounds.size.width - full.origin.x - full.size.width;
        if (flipY() == -1)
            full.origin.y = bounds.size.height - full.origin.y - full.size.height;
        return full.contains(local);
    }
    return bounds.contains(local);
}

// ---- text wrap ----

bool KXShape::incloudWrapGraph() const {
    return m_text && !m_text->wrapGraphs().empty();
}

bool KXShape::incloudWrapGraphs(const std::vector<KXGraph*>& graphs) const {
    if (!m_text)
        return false;
    const std::vector<KXGraph*> wrapped = m_text->wrapGraphs();
    for (KXGraph* g : graphs)
        if (std::find(wrapped.begin(), wrapped.end(), g) != wrapped.end())
            return true;
    return false;
}

void KXShape::updateTextContainerGeometry() {
    if (m_text)
        m_text->updateTextContainerGeometry();
}

// ---- drawing ----

void KXShape::drawInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    if (rect.isEmpty() || !isFiniteRect(rect))
        return;
    const kx::Rect r = roundRectComponents(rect);
    context.saveGState();
    context.setInterpolationQuality(kx::InterpolationQuality::High);
    context.setAlpha(opacity());
    context.translate(r.origin.x, r.origin.y);
    const kx::Rect local{0, 0, r.size.width, r.size.height};
    if (flipX() == -1)
        context.translate(local.size.width, 0);
    if (flipY() == -1)
        context.translate(0, local.size.height);
    context.scale(flipX(), flipY());
    switch (graphType()) {
    case KXGraphTypeShape:
        drawBackgroundInContext(context, local);
        drawStrokeInContext(context, local, true);
        break;
    case KXGraphTypePhoto:
        m_photo->drawInContext(context, local);
        break;
    case KXGraphTypeText:
        drawBackgroundInContext(context, local);
        m_text->drawInContext(context, local);
        drawStrokeInContext(context, local, true);
        break;
    default:
        break;
    }
    context.restoreGState();
}

void KXShape::drawBackgroundInContext(kx::BitmapContext& context, const kx::Rect& rect) {
    if (!isFillEnabled() || !background())
        return;
    const std::optional<kx::Path> outline = createCGPath();
    context.saveGState();
    if (outline) {
        context.beginPath();
        context.addPath(*outline);
        context.clip();
    }
    double zoom = canvas() ? canvas()->zoomValue() : 1.0;
    if (canvas() && canvas()->pageSize() && canvas()->pageSize()->unit() != KXSizeUnitPixel)
        zoom *= double(canvas()->pageSize()->dpi()) / 72;
    background()->drawInContext(context, rect, zoom);
    context.restoreGState();
}

void KXShape::drawStrokeInContext(kx::BitmapContext& context, const kx::Rect& rect, bool) {
    if (!isStrokeEnabled() || !stroke())
        return;
    context.saveGState();
    const double w = relativeStrokeWidth();
    context.setLineWidth(w);
    context.setStrokeColor(stroke()->color());
    switch (stroke()->style()) {
    case KXStrokeStyleDash:
        context.setLineDash(0, {w, w});
        break;
    case KXStrokeStyleLongDash:
        context.setLineDash(0, {2 * w, 2 * w});
        break;
    case KXStrokeStyleLongerDash:
        context.setLineDash(0, {3 * w, 3 * w});
        break;
    case KXStrokeStyleDot:
        context.setLineCap(kx::LineCap::Round);
        context.setLineDash(0, {0, 3 * w});
        break;
    default:
        break;
    }
    const std::int32_t type = graphType();
    if (type == KXGraphTypePhoto || type == KXGraphTypeText) {
        context.clipToRect(rect);
        context.strokeRect(rect);
    } else if (const std::optional<kx::Path> outline = createCGPath()) {
        if (type != KXGraphTypeLine) {
            context.setLineWidth(w / 2);
            context.beginPath();
            context.addPath(*outline);
            context.clip();
        }
        context.beginPath();
        context.addPath(*outline);
        context.strokePath();
    }
    context.restoreGState();
}

kx::Size KXShape::graphImageContentSize(double zoom) const {
    const KXCanvas* page = canvas();
    if (!page || !(zoom > 0) || !std::isfinite(zoom))
        return {};
    const double pageZoom = page->zoomValue();
    kx::Size base = page->pixelSize();
    if (group() && pageZoom != 0) {
        const kx::Size g = group()->frameRect().size;
        base = {g.width / pageZoom, g.height / pageZoom};
    }
    return {std::round(base.width * zoom * relativeRect().size.width),
            std::round(base.height * zoom * relativeRect().size.height)};
}

kx::Image KXShape::graphImageWithZoom(double zoom) {
    const KXCanvas* page = canvas();
    if (!page || !(zoom > 0) || !std::isfinite(zoom))
        return {};
    const double pageZoom = page->zoomValue();
    double p = 0;
    if (isStrokeEnabled() && stroke() && stroke()->type() == KXStrokeWidthAbsolute)
        p = std::round(stroke()->width() * pageZoom * 3 * pageZoom);
    if (graphType() == KXGraphTypePhoto && m_photo->frame() && m_photo->frame()->style() == KXFrameStyleExpandable)
        p = std::max(p, std::round(m_photo->frame()->expansion() * zoom));
    const kx::Size content = graphImageContentSize(zoom);
    const double W = content.width;
    const double H = content.height;
    if (!std::isfinite(p) || p < 0)
        p = 0;
    // A shape of no width or height (or of a size no bitmap can have) gives no image.
    if (!(W >= 1) || !(H >= 1) || !((W + 2 * p) * (H + 2 * p) <= double(kx::Image::maximumPixelCount)))
        return {};
    kx::BitmapContext bitmap(int(W + 2 * p), int(H + 2 * p));
    if (!bitmap.isValid())
        return {};
    // The outline at the image's size serves this drawing only; the stored path stays as it is.
    m_renderPath = shapePathWithRect({0, 0, W, H});
    drawInContext(bitmap, {p, p, W, H});
    m_renderPath.reset();
    return bitmap.makeImage();
}

// ---- archive ----

void KXShape::encodeWithCoder(kx::KeyedArchiver& coder) const {
    KXGraph::encodeWithCoder(coder);
    coder.encodeInteger(m_shapeType, QStringLiteral("shapeType"));
    kx::encodeBezierPath(coder, m_path, QStringLiteral("path"));
    coder.encodeObject(m_text ? kx::Value(m_text) : kx::Value(), QStringLiteral("textLayer"));
    coder.encodeObject(m_photo ? kx::Value(m_photo) : kx::Value(), QStringLiteral("photoLayer"));
}

void KXShape::initWithCoder(kx::KeyedUnarchiver& coder) {
    KXGraph::initWithCoder(coder);
    const std::int64_t type = coder.decodeInteger(QStringLiteral("shapeType"));
    m_shapeType = type >= 0 && type <= std::numeric_limits<std::uint32_t>::max() ? std::uint32_t(type)
                                                                                  : KXShapeTypeRectangle;
    if (std::optional<kx::BezierPath> path = kx::decodeBezierPath(coder, QStringLiteral("path")))
        m_path = std::move(*path);
    setText(coder.decodeObjectOfClass<KXShapeText>(QStringLiteral("textLayer")));
    setPhoto(coder.decodeObjectOfClass<KXPhoto>(QStringLiteral("photoLayer")));
}
