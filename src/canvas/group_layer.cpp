#include "canvas/group_layer.h"

#include "platform/foundation/notification_center.h"
#include "platform/layers/layer_transaction.h"

namespace {
const QString kRelativeRectKey = QStringLiteral("relativeRect");
const QString kFlipXKey = QStringLiteral("flipX");
const QString kFlipYKey = QStringLiteral("flipY");
}  // namespace

KXGroupLayer::KXGroupLayer(std::shared_ptr<KXGraph> graph) : KXGraphLayer(std::move(graph)) {}

void KXGroupLayer::initWithGraph() {
    KXGraphLayer::initWithGraph();
    KXGroup* group = groupGraph();
    if (!group)
        return;
    const kx::Rect frame = group->frameRect();
    setFrame(frame);
    for (const std::shared_ptr<KXGraph>& child : group->graphs()) {
        child->setCanvas(group->canvas());
        // A loose child (a group being formed) takes its rectangle in group units from its page frame.
        if (!child->group()) {
            const kx::Rect r = child->frameRect();
            child->setGroup(group);
            if (frame.size.width > 0 && frame.size.height > 0)
                child->setRelativeRect({(r.origin.x - frame.origin.x) / frame.size.width,
                                        (r.origin.y - frame.origin.y) / frame.size.height,
                                        r.size.width / frame.size.width, r.size.height / frame.size.height});
        }
        std::shared_ptr<KXGraphLayer> layer = makeGraphLayer(child);
        if (!layer)
            continue;
        addSublayer(layer);
        const kx::Rect r = child->frameRect();
        layer->setFrame({r.origin.x - frame.origin.x, r.origin.y - frame.origin.y, r.size.width, r.size.height});
        // A grouped graph's companions live in the group layer, directly beneath the child's layer.
        layer->updateReflectionLayer();
        layer->updateShadowLayer();
    }
    updateFlip();
}

void KXGroupLayer::setFrame(const kx::Rect& frame) {
    kx::LayerTransaction transaction;
    KXGraphLayer::setFrame(frame);
    const kx::Size size = bounds().size;
    if (size.width <= 0 || size.height <= 0)
        return;
    for (const std::shared_ptr<kx::Layer>& sublayer : sublayers()) {
        auto* child = dynamic_cast<KXGraphLayer*>(sublayer.get());
        if (!child || !child->graph())
            continue;
        const kx::Rect r = child->graph()->relativeRect();
        child->setFrame({r.origin.x * size.width, r.origin.y * size.height, r.size.width * size.width,
                         r.size.height * size.height});
    }
}

kx::AffineTransform KXGroupLayer::groupTransform(double angle) const {
    const KXGraph* group = graph();
    const double fx = group && group->flipX() == -1 ? -1 : 1;
    const double fy = group && group->flipY() == -1 ? -1 : 1;
    return kx::AffineTransform::concat(kx::AffineTransform::makeScale(fx, fy), kx::AffineTransform::makeRotation(angle));
}

void KXGroupLayer::setAngle(double angle) {
    {
        kx::LayerTransaction transaction;
        setAffineTransform(groupTransform(angle));
    }
    kx::NotificationCenter::defaultCenter().post(KXGraphLayerRotationCHanged, this);
}

void KXGroupLayer::updateFlip() {
    kx::LayerTransaction transaction;
    setAffineTransform(groupTransform(graph() ? graph()->angle() : 0));
}

void KXGroupLayer::updateOpaicty() {
    if (!graph())
        return;
    kx::LayerTransaction transaction;
    setOpacity(graph()->opacity());
}

void KXGroupLayer::observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                                const kx::Value& newValue) {
    KXGraph* group = graph();
    if (group && object == group && key == kRelativeRectKey) {
        setFrame(frameInSuperlayer());
        drawGraphSelection(group);
        kx::NotificationCenter::defaultCenter().post(KXGrapPropertyChanged, group);
        return;
    }
    if (group && object == group && (key == kFlipXKey || key == kFlipYKey)) {
        updateFlip();
        return;
    }
    KXGraphLayer::observeValue(key, object, oldValue, newValue);
}
