// A page shown by its page layer: edits made through a graph's fill, stroke and shadow reach the graph's
// layer as well as the page's undo, also after the graph left the page and came back by undo.
#include "canvas/canvas_layer.h"
#include "canvas/graph_layer.h"
#include "model/background.h"
#include "model/shadow.h"
#include "model/stroke.h"
#include "platform/layers/layer_renderer.h"

#include "model/page_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

struct LayerEdit {
    const char* name;
    std::function<void(KXGraph&)> apply;
};

const std::vector<LayerEdit>& layerEdits() {
    static const std::vector<LayerEdit> edits = {
        {"stroke width", [](KXGraph& g) { g.stroke()->setWidth(g.stroke()->width() + 2); }},
        {"stroke colour", [](KXGraph& g) { g.stroke()->setColor(kx::Color::srgb(0, 0, 1, 1)); }},
        {"stroke style", [](KXGraph& g) { g.stroke()->setStyle(KXStrokeStyleDash); }},
        {"fill colour", [](KXGraph& g) { g.background()->setColor1(kx::Color::srgb(0, 1, 0, 1)); }},
    };
    return edits;
}

class PageLayerIntegrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        kxtest::registerPageClasses();
        layer = KXCanvasLayer::create();
        layer->setFrame({0, 0, 800, 600});
        graph = std::make_shared<kxtest::SolidGraph>();
        page()->addGraph(graph);
        graph->setRelativeRect({{0.1, 0.1}, {0.3, 0.3}});
        graph->setStrokeEnabled(true);
        graph->setShadowEnabled(true);
        kxtest::endEvent();
        page()->undoManager().removeAllActions();
    }
    KXCanvas* page() { return layer->canvas(); }
    KXGraphLayer* graphLayer() { return dynamic_cast<KXGraphLayer*>(graph->render()); }

    // Every edit marks the graph's layer for redrawing and leaves one undo step.
    void expectEditsRedrawAndUndo() {
        for (const LayerEdit& edit : layerEdits()) {
            SCOPED_TRACE(edit.name);
            KXGraphLayer* shown = graphLayer();
            ASSERT_NE(shown, nullptr);
            kx::renderLayerTree(*layer);
            ASSERT_FALSE(shown->needsDisplay());
            edit.apply(*graph);
            EXPECT_TRUE(shown->needsDisplay());
            kxtest::endEvent();
            ASSERT_TRUE(page()->undoManager().canUndo());
            page()->undoManager().undo();
            EXPECT_FALSE(page()->undoManager().canUndo());
            page()->undoManager().removeAllActions();
        }
        // The shadow is the layer's own: its blur follows the graph's.
        graph->shadow()->setBlur(17);
        EXPECT_EQ(graphLayer()->shadowRadius(), 17 * std::sqrt(page()->zoomValue()));
    }

    std::shared_ptr<KXCanvasLayer> layer;
    std::shared_ptr<kxtest::SolidGraph> graph;
};

TEST_F(PageLayerIntegrationTest, AttributeEditsReachTheGraphLayer) {
    expectEditsRedrawAndUndo();
}

TEST_F(PageLayerIntegrationTest, GraphPutBackByUndoGetsOneObservingLayer) {
    page()->removeGraph(graph.get());
    kxtest::endEvent();
    EXPECT_EQ(graph->render(), nullptr);
    EXPECT_EQ(graph->stroke()->observationCount(page(), QStringLiteral("width")), 0);
    page()->undoManager().undo();
    ASSERT_NE(graphLayer(), nullptr);
    int graphLayers = 0;
    for (const auto& sublayer : layer->sublayers())
        graphLayers += dynamic_cast<KXGraphLayer*>(sublayer.get()) ? 1 : 0;
    EXPECT_EQ(graphLayers, 1);
    for (kx::Observable* object :
         std::initializer_list<kx::Observable*>{graph->stroke(), graph->shadow(), graph->background()}) {
        for (const QString& key : object->announcedKeys()) {
            EXPECT_EQ(object->observationCount(graphLayer(), key), 1) << key.toStdString();
            EXPECT_EQ(object->observationCount(page(), key), 1) << key.toStdString();
        }
    }
    page()->undoManager().removeAllActions();
    expectEditsRedrawAndUndo();
}

TEST_F(PageLayerIntegrationTest, TakingOverAShadowUpdatesTheLayersShadow) {
    graph->setShadow(KXShadow::shadowWithColor(kx::Color::srgb(0, 0, 0, 1), 19, 90, 5));
    EXPECT_EQ(graph->shadow()->blur(), 19);
    EXPECT_EQ(graphLayer()->shadowRadius(), 19 * std::sqrt(page()->zoomValue()));
}

}  // namespace
