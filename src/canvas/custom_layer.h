// The pen-tool layer: shows the path being drawn with the pen tool, with a node on every element's end and
// the handles of curved nodes, and keeps that path. The canvas view creates it at the first click with a path
// that starts there, puts it on top of the page layer, feeds it segments and drags, and removes it when the
// path is finished or abandoned.
//
// The path is the layer's own list of elements (a bezier path value), independent of any shape class. Its
// changes are announced under the key "customPath" by an observable object that the layer owns: the page
// registers there, so that setting the path is undoable, and undo sets the path back through that object
// by key.
#pragma once

#include "platform/foundation/observable.h"
#include "platform/gfx/bezier_path.h"
#include "platform/layers/layer.h"

#include <memory>
#include <optional>

class KXCustomLayer;

// The observable side of the pen-tool layer: one key, "customPath", whose value is a kx::CodableBezierPath
// holding a copy of the path (nil while there is none).
class KXCustomPathObservable : public kx::Observable {
public:
    explicit KXCustomPathObservable(KXCustomLayer* layer) : m_layer(layer) {}
    QString className() const override { return QStringLiteral("KXCustomPathObservable"); }
    QStringList announcedKeys() const override;
    const kx::PropertyTable& propertyTable() const override;
    void announce(const kx::Value& oldValue, const kx::Value& newValue) {
        didChangeValue(QStringLiteral("customPath"), oldValue, newValue);
    }
    KXCustomLayer* layer() const { return m_layer; }
    void detach() { m_layer = nullptr; }

private:
    KXCustomLayer* m_layer;
};

class KXCustomLayer : public kx::Layer {
public:
    explicit KXCustomLayer(std::optional<kx::BezierPath> path = std::nullopt);
    ~KXCustomLayer() override;

    const std::optional<kx::BezierPath>& customPath() const { return m_customPath; }
    // Keeps a copy of the path (none clears it), tells the observers of "customPath" and redraws.
    void setCustomPath(std::optional<kx::BezierPath> path);

    // KXKeyObserver: registers or removes an observer of "customPath" (with the old value).
    void addObserver(kx::KeyObserver* observer);
    void removeObserver(kx::KeyObserver* observer);
    // The object that announces "customPath"; undo sets the key on it.
    kx::Observable& observable() { return *m_observable; }

    // Appends a cubic segment to the path in place (no announcement) and redraws.
    void curveToPoint(const kx::Point& end, const kx::Point& control1, const kx::Point& control2);
    // Drag after placing a node: from 10 points away on, the last segment becomes a curve whose incoming
    // handle is the drag point mirrored through the node.
    void mouseDraggingWithPoint(const kx::Point& point);

    void setContents(const kx::Image& contents) override;
    // The path stroked in black, a node on each element's end, the handle lines and knobs of curved nodes.
    void drawInContext(kx::BitmapContext& context) override;

    // The value under "customPath" for a path.
    static kx::Value pathValue(const std::optional<kx::BezierPath>& path);

private:
    std::optional<kx::BezierPath> m_customPath;
    std::shared_ptr<KXCustomPathObservable> m_observable;
};
