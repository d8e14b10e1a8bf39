#include "canvas/content_layer.h"

#include "canvas/graph_layer.h"
#include "canvas/shape_layer.h"
#include "platform/layers/layer_transaction.h"
#include "platform/layers/screen_scale.h"

#include <cmath>

KXContentLayer::KXContentLayer(KXGraphLayer* owner) : m_owner(owner) {
    if (kx::mainScreenBackingScaleFactor() != 1.0)
        setContentsScale(2.0);
}

KXContentLayer::~KXContentLayer() {
    m_owner = nullptr;
}

void KXContentLayer::setFrame(const kx::Rect& frame) {
    kx::Layer::setFrame({std::round(frame.origin.x), std::round(frame.origin.y), std::round(frame.size.width),
                         std::round(frame.size.height)});
}

void KXContentLayer::setOpacity(double opacity) {
    kx::LayerTransaction transaction;
    kx::Layer::setOpacity(opacity);
}

kx::Rect KXContentLayer::ownerRect() const {
    const kx::Size own = bounds().size;
    const kx::Size owner = m_owner->bounds().size;
    return {bounds().origin.x + (own.width - owner.width) / 2, bounds().origin.y + (own.height - owner.height) / 2,
            owner.width, owner.height};
}

void KXContentLayer::drawInContext(kx::BitmapContext& context) {
    if (!m_owner)
        return;
    kx::LayerTransaction transaction;
    m_owner->drawInContext(context, ownerRect());
}

kx::Rect KXContentLayer::displayArea() const {
    const auto* shapeLayer = dynamic_cast<const KXShapeLayer*>(m_owner);
    const std::optional<double> reach = shapeLayer ? shapeLayer->drawingReach() : std::nullopt;
    if (!reach)
        return bounds();
    return ownerRect().insetBy(-*reach, -*reach);
}
