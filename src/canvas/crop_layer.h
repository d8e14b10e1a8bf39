// The crop ghost: while a photo is cropped it shows the photo's whole image at 30 percent over the page, so
// the user sees what lies outside the crop window (the part inside is covered by the photo itself). The
// canvas view gives it the page layer's bounds as its frame and puts it directly beneath the cropped photo's
// layer. It redraws whenever the crop rectangle changes, and when the photo's shape moves, turns or flips.
#pragma once

#include "platform/foundation/observable.h"
#include "platform/layers/layer.h"

#include <memory>

class KXGraph;
class KXPhoto;

class KXCropLayer : public kx::Layer, public kx::KeyObserver {
public:
    explicit KXCropLayer(std::shared_ptr<KXPhoto> photo);
    ~KXCropLayer() override;

    const std::shared_ptr<KXPhoto>& photo() const { return m_photo; }

    void setContents(const kx::Image& contents) override;
    // The whole image of the photo for its frame, turned and mirrored with its shape, at alpha 0.3.
    void drawInContext(kx::BitmapContext& context) override;
    void observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                      const kx::Value& newValue) override;

private:
    std::shared_ptr<KXPhoto> m_photo;
    // The photo's shape, watched for moves while it lives.
    std::weak_ptr<kx::Object> m_owner;
};
