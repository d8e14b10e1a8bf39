#include "platform/layers/layer.h"

#include <gtest/gtest.h>

#include <string>

using namespace kx;

namespace {

// A layer that knows its name, to read stacking orders back.
class NamedLayer : public Layer {
public:
    explicit NamedLayer(std::string n) : name(std::move(n)) {}
    std::string name;
};

std::shared_ptr<NamedLayer> named(const char* name) {
    return std::make_shared<NamedLayer>(name);
}

std::string order(const Layer& layer) {
    std::string result;
    for (const std::shared_ptr<Layer>& sublayer : layer.sublayers()) {
        if (!result.empty())
            result += ",";
        result += static_cast<const NamedLayer&>(*sublayer).name;
    }
    return result;
}

}  // namespace

TEST(LayerTree, InsertionsPlaceSublayersInOrder) {
    auto root = named("root");
    auto a = named("a"), b = named("b"), c = named("c"), d = named("d"), e = named("e");
    root->addSublayer(a);
    root->addSublayer(b);
    EXPECT_EQ(order(*root), "a,b");
    root->insertSublayer(c, 0);
    EXPECT_EQ(order(*root), "c,a,b");
    root->insertSublayerBelow(d, b.get());
    EXPECT_EQ(order(*root), "c,a,d,b");
    root->insertSublayerAbove(e, c.get());
    EXPECT_EQ(order(*root), "c,e,a,d,b");
    EXPECT_EQ(a->superlayer(), root.get());
    EXPECT_EQ(root->indexOfSublayer(d.get()), 3);
    EXPECT_EQ(root->indexOfSublayer(root.get()), -1);
}

TEST(LayerTree, IndexPastTheEndAppends) {
    auto root = named("root");
    root->addSublayer(named("a"));
    root->insertSublayer(named("b"), 99);
    EXPECT_EQ(order(*root), "a,b");
}

TEST(LayerTree, MissingSiblingAppends) {
    auto root = named("root");
    auto stranger = named("x");
    root->addSublayer(named("a"));
    root->insertSublayerBelow(named("b"), stranger.get());
    root->insertSublayerAbove(named("c"), nullptr);
    EXPECT_EQ(order(*root), "a,b,c");
}

TEST(LayerTree, MovingWithinTheSameSuperlayer) {
    auto root = named("root");
    auto a = named("a"), b = named("b"), c = named("c");
    root->addSublayer(a);
    root->addSublayer(b);
    root->addSublayer(c);
    root->addSublayer(a);  // to the top
    EXPECT_EQ(order(*root), "b,c,a");
    root->insertSublayer(a, 0);
    EXPECT_EQ(order(*root), "a,b,c");
    root->insertSublayerAbove(a, c.get());
    EXPECT_EQ(order(*root), "b,c,a");
    root->insertSublayerBelow(c, b.get());
    EXPECT_EQ(order(*root), "c,b,a");
    // The index counts the sublayers left once the layer is taken out.
    root->insertSublayer(c, 1);
    EXPECT_EQ(order(*root), "b,c,a");
    root->insertSublayer(a, 1);
    EXPECT_EQ(order(*root), "b,a,c");
}

TEST(LayerTree, InsertingTakesTheLayerFromItsPreviousSuperlayer) {
    auto first = named("first"), second = named("second");
    auto a = named("a");
    first->addSublayer(a);
    second->addSublayer(a);
    EXPECT_TRUE(first->sublayers().empty());
    EXPECT_EQ(order(*second), "a");
    EXPECT_EQ(a->superlayer(), second.get());
}

TEST(LayerTree, CyclesAreRefused) {
    auto root = named("root");
    auto child = named("child");
    auto grandchild = named("grandchild");
    root->addSublayer(child);
    child->addSublayer(grandchild);
    grandchild->addSublayer(root);
    child->addSublayer(child);
    grandchild->insertSublayer(child, 0);
    root->addSublayer(nullptr);
    EXPECT_EQ(root->superlayer(), nullptr);
    EXPECT_EQ(order(*root), "child");
    EXPECT_EQ(order(*child), "grandchild");
    EXPECT_TRUE(grandchild->sublayers().empty());
    EXPECT_EQ(grandchild->rootLayer(), root.get());
    EXPECT_TRUE(root->isAncestorOf(grandchild.get()));
    EXPECT_FALSE(grandchild->isAncestorOf(root.get()));
}

TEST(LayerTree, RemovingReleasesALayerOnlyTheSuperlayerHeld) {
    auto root = named("root");
    std::weak_ptr<Layer> weak;
    Layer* raw = nullptr;
    {
        auto a = named("a");
        weak = a;
        raw = a.get();
        root->addSublayer(a);
    }
    ASSERT_FALSE(weak.expired());
    raw->removeFromSuperlayer();  // the layer goes away inside its own call
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(root->sublayers().empty());
}

TEST(LayerTree, DestroyingASuperlayerDetachesSublayersHeldElsewhere) {
    auto kept = named("kept");
    {
        auto root = named("root");
        root->addSublayer(kept);
    }
    EXPECT_EQ(kept->superlayer(), nullptr);
    EXPECT_EQ(kept->rootLayer(), kept.get());
    kept->removeFromSuperlayer();  // nothing to do
}

TEST(LayerTree, LayoutRunsWhereMarkedAndAfterSizeChanges) {
    struct CountingLayout : Layer {
        int layouts = 0;
        void layoutSublayers() override { ++layouts; }
    };
    auto root = std::make_shared<CountingLayout>();
    auto child = std::make_shared<CountingLayout>();
    root->addSublayer(child);
    root->layoutIfNeeded();
    EXPECT_EQ(root->layouts + child->layouts, 0);
    child->setBounds(Rect(0, 0, 10, 10));
    root->layoutIfNeeded();
    EXPECT_EQ(root->layouts, 0);
    EXPECT_EQ(child->layouts, 1);
    child->setPosition(Point(5, 5));  // a move needs no layout
    root->setNeedsLayout();
    root->layoutIfNeeded();
    EXPECT_EQ(root->layouts, 1);
    EXPECT_EQ(child->layouts, 1);
}
