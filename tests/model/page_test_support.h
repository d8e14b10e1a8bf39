// Pieces the page-model tests share: concrete graphs (the base graph draws nothing), an owner that records
// what the page tells it, and helpers for archives and event-grouped undo.
#pragma once

#include "model/background.h"
#include "model/canvas.h"
#include "model/canvas_owner.h"
#include "model/graph.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/gfx/bitmap_context.h"
#include "platform/gfx/color.h"

#include <QCoreApplication>

#include <algorithm>
#include <memory>
#include <vector>

namespace kxtest {

// A graph that paints its rectangle with one colour.
class SolidGraph : public KXGraph {
public:
    QString className() const override { return QStringLiteral("SolidGraph"); }
    void drawInContext(kx::BitmapContext& context, const kx::Rect& rect) override {
        context.setFillColor(color);
        context.fillRect(rect);
    }
    kx::Color color = kx::Color::srgb(1, 0, 0, 1);
};

// A graph that answers another graph type (a text box, a photo, a group, a line) for the page's queries.
class TypedGraph : public KXGraph {
public:
    explicit TypedGraph(std::int32_t type = KXGraphTypeShape) : type(type) {}
    QString className() const override { return QStringLiteral("TypedGraph"); }
    std::int32_t graphType() const override { return type; }
    bool incloudWrapGraph() const override { return wrapsAround; }
    bool incloudWrapGraphs(const std::vector<KXGraph*>& graphs) const override {
        for (KXGraph* g : graphs) {
            if (std::find(wrappedGraphs.begin(), wrappedGraphs.end(), g) != wrappedGraphs.end())
                return true;
        }
        return false;
    }
    void updateTextContainerGeometry() override { ++geometryUpdates; }
    std::int32_t type;
    std::vector<KXGraph*> wrappedGraphs;
    bool wrapsAround = false;
    int geometryUpdates = 0;
};

inline void registerPageClasses() {
    registerModelClasses();
    registerPageSizeClasses();
    kx::ClassRegistry& registry = kx::ClassRegistry::shared();
    registry.registerClass<KXGraph>(QStringLiteral("KXGraph"));
    registry.registerClass<KXCanvas>(QStringLiteral("KXCanvas"));
    registry.registerClass<SolidGraph>(QStringLiteral("SolidGraph"), QStringLiteral("KXGraph"));
}

// Records the owner calls of a page.
class RecordingOwner : public KXCanvasOwner {
public:
    struct Insert {
        KXGraph* graph;
        unsigned index;
    };
    void insertGraph(KXGraph* graph, unsigned index) override { inserts.push_back({graph, index}); }
    void removeGraph(KXGraph* graph) override {
        removes.push_back(graph);
        graph->setRender(nullptr);
        graph->setCanvas(nullptr);
        graph->setSelected(false);
    }
    void setNeedsDisplay() override { ++redraws; }
    void layoutGraphs() override { ++layouts; }
    void moveGraph(KXGraph* graph, unsigned index) override { moves.push_back({graph, index}); }
    std::vector<Insert> inserts;
    std::vector<Insert> moves;
    std::vector<KXGraph*> removes;
    int redraws = 0;
    int layouts = 0;
};

// A graph at a relative rectangle.
template <class G = SolidGraph>
std::shared_ptr<G> graphAt(const kx::Rect& relative) {
    auto graph = std::make_shared<G>();
    graph->setRelativeRect(relative);
    return graph;
}

// A page fitted to its pixel size (zoom 1), so preview points are page pixels.
inline std::shared_ptr<KXCanvas> fittedPage(RecordingOwner* owner = nullptr) {
    auto page = std::make_shared<KXCanvas>();
    if (owner)
        page->setOwner(owner);
    page->zoomToFitSize(page->pixelSize());
    return page;
}

// Lets the event loop run once, which closes the undo group that grouping by event opened.
inline void endEvent() {
    QCoreApplication::processEvents();
}

inline QByteArray archived(const kx::Object& object) {
    kx::KeyedArchiver archiver;
    archiver.encodeObject(object, QStringLiteral("root"));
    return archiver.encodedData();
}

}  // namespace kxtest
