#include "canvas/crop_layer.h"

#include "canvas/graph_placement.h"

#include "model/graph.h"
#include "model/photo.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/layers/layer_transaction.h"
#include "platform/layers/screen_scale.h"

namespace {
const QString kCropRectKey = QStringLiteral("cropRect");
// The shape's keys that move, turn or mirror the ghost with it.
const QString kOwnerKeys[] = {QStringLiteral("relativeRect"), QStringLiteral("angle"), QStringLiteral("flipX"),
                              QStringLiteral("flipY")};
}  // namespace

KXCropLayer::KXCropLayer(std::shared_ptr<KXPhoto> photo) : m_photo(std::move(photo)) {
    setNeedsDisplayOnBoundsChange(true);
    setNeedsDisplay();
    if (kx::mainScreenBackingScaleFactor() != 1.0)
        setContentsScale(2.0);
    if (!m_photo)
        return;
    m_photo->kx::Observable::addObserver(this, kCropRectKey);
    if (KXGraph* owner = m_photo->ownerGraph()) {
        m_owner = owner->weak_from_this();
        if (!m_owner.expired()) {
            for (const QString& key : kOwnerKeys)
                owner->kx::Observable::addObserver(this, key);
        }
    }
}

KXCropLayer::~KXCropLayer() {
    if (!m_photo)
        return;
    m_photo->kx::Observable::removeObserver(this, kCropRectKey);
    if (const std::shared_ptr<kx::Object> owner = m_owner.lock()) {
        auto* graph = dynamic_cast<KXGraph*>(owner.get());
        if (!graph)
            return;
        for (const QString& key : kOwnerKeys)
            graph->kx::Observable::removeObserver(this, key);
    }
}

void KXCropLayer::setContents(const kx::Image& contents) {
    kx::LayerTransaction transaction;
    kx::Layer::setContents(contents);
}

void KXCropLayer::observeValue(const QString&, kx::Observable*, const kx::Value&, const kx::Value&) {
    setNeedsDisplay();
}

void KXCropLayer::drawInContext(kx::BitmapContext& context) {
    const double scale = kx::mainScreenBackingScaleFactor();
    if (contentsScale() != scale)
        setContentsScale(scale);
    KXGraph* shape = m_photo && !m_owner.expired() ? m_photo->ownerGraph() : nullptr;
    if (!shape)
        return;
    const kx::Rect f = shape->frameRect();
    // Drawing stores nothing: the crop that drawing uses, not a newly chosen one.
    const kx::Rect image = m_photo->fullImageRectForDrawing(f).offsetBy(-f.origin.x, -f.origin.y);
    kx::Point anchor(0.5, 0.5);
    if (KXGraphRender* render = shape->render(); render && render->graphLayer())
        anchor = render->graphLayer()->anchorPoint();
    context.saveGState();
    placeGraphInContext(context, *shape, f, kx::Point(anchor.x * f.size.width, anchor.y * f.size.height));
    context.setAlpha(0.3);
    m_photo->drawCropRect(image, context);
    context.restoreGState();
}
