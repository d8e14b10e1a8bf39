#include "platform/layers/layer.h"
#include "platform/layers/layer_host.h"
#include "platform/layers/layer_transaction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

using namespace kx;

namespace {

class RecordingHost : public LayerHost {
public:
    void layerNeedsRepaint(const Rect& rect) override {
        rects.push_back(rect);
        if (onRepaint)
            onRepaint();
    }
    std::vector<Rect> rects;
    std::function<void()> onRepaint;
};

struct Tree {
    std::shared_ptr<Layer> root = std::make_shared<Layer>();
    std::shared_ptr<Layer> turned = std::make_shared<Layer>();
    std::shared_ptr<Layer> leaf = std::make_shared<Layer>();
    RecordingHost host;

    // root 200 x 200; `turned` a quarter turn about its bottom-left corner at (100, 100); `leaf` inside it.
    Tree() {
        root->setBounds(Rect(0, 0, 200, 200));
        root->setAnchorPoint(Point(0, 0));
        turned->setBounds(Rect(0, 0, 60, 20));
        turned->setAnchorPoint(Point(0, 0));
        turned->setPosition(Point(100, 100));
        turned->setAffineTransform(AffineTransform::makeRotation(std::numbers::pi / 2));
        leaf->setFrame(Rect(10, 5, 20, 10));
        turned->addSublayer(leaf);
        root->addSublayer(turned);
        root->setHost(&host);
    }
    ~Tree() { root->setHost(nullptr); }
};

::testing::AssertionResult rectNear(const Rect& actual, const Rect& expected) {
    auto near = [](double a, double b) { return std::fabs(a - b) < 1e-9; };
    if (near(actual.minX(), expected.minX()) && near(actual.minY(), expected.minY()) &&
        near(actual.width(), expected.width()) && near(actual.height(), expected.height()))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << stringFromRect(actual).toStdString() << " is not "
                                         << stringFromRect(expected).toStdString();
}

}  // namespace

TEST(LayerHost, RedisplayIsReportedInRootCoordinates) {
    Tree tree;
    tree.leaf->setNeedsDisplay();
    ASSERT_EQ(tree.host.rects.size(), 1u);
    // The leaf spans x 10...30, y 5...15 of `turned`; a quarter turn maps (x, y) to (100 - y, 100 + x).
    EXPECT_TRUE(rectNear(tree.host.rects[0], Rect(85, 110, 10, 20)));

    tree.host.rects.clear();
    tree.leaf->setNeedsDisplayInRect(Rect(0, 0, 5, 5));
    ASSERT_EQ(tree.host.rects.size(), 1u);
    EXPECT_TRUE(rectNear(tree.host.rects[0], Rect(90, 110, 5, 5)));
}

TEST(LayerHost, MovesReportTheOldAndTheNewPlace) {
    Tree tree;
    tree.leaf->setPosition(Point(50, 10));  // leaf centre moves from (20, 10) to (50, 10)
    ASSERT_EQ(tree.host.rects.size(), 2u);
    EXPECT_TRUE(rectNear(tree.host.rects[0], Rect(85, 110, 10, 20)));
    EXPECT_TRUE(rectNear(tree.host.rects[1], Rect(85, 140, 10, 20)));
}

TEST(LayerHost, EveryVisibleChangeIsReportedAndUnchangedValuesAreNot) {
    using Change = std::function<void(Layer&)>;
    const std::vector<std::pair<const char*, Change>> changes{
        {"opacity", [](Layer& l) { l.setOpacity(0.5); }},
        {"hidden", [](Layer& l) { l.setHidden(true); }},
        {"bounds", [](Layer& l) { l.setBounds(Rect(0, 0, 30, 30)); }},
        {"anchor", [](Layer& l) { l.setAnchorPoint(Point(0, 0)); }},
        {"transform", [](Layer& l) { l.setAffineTransform(AffineTransform::makeScale(2, 2)); }},
        {"background", [](Layer& l) { l.setBackgroundColor(Color::srgb(1, 0, 0)); }},
        {"contents", [](Layer& l) { l.setContents(Image(QImage(1, 1, QImage::Format_RGBA8888_Premultiplied))); }},
        {"mask", [](Layer& l) { l.setMasksToBounds(true); }},
        {"shadow", [](Layer& l) { l.setShadowOpacity(1); }},
        {"removal", [](Layer& l) { l.removeFromSuperlayer(); }},
        {"sublayer",
         [](Layer& l) {
             auto sublayer = std::make_shared<Layer>();
             sublayer->setFrame(Rect(0, 0, 5, 5));
             l.addSublayer(sublayer);
         }},
    };
    for (const auto& [name, change] : changes) {
        Tree tree;
        change(*tree.leaf);
        EXPECT_FALSE(tree.host.rects.empty()) << name;
    }
    Tree tree;
    tree.leaf->setOpacity(1);
    tree.leaf->setHidden(false);
    tree.leaf->setFrame(tree.leaf->frame());
    tree.leaf->setAffineTransform(AffineTransform());
    EXPECT_TRUE(tree.host.rects.empty());
}

TEST(LayerHost, ShadowsWidenTheReportedArea) {
    Tree tree;
    tree.leaf->setShadowOpacity(1);
    tree.leaf->setShadowRadius(0);
    tree.leaf->setShadowOffset(Size(0, -10));  // in `turned`'s space: towards the root's +x
    tree.host.rects.clear();
    tree.leaf->setNeedsDisplay();
    ASSERT_EQ(tree.host.rects.size(), 1u);
    const Rect reported = tree.host.rects[0];
    EXPECT_TRUE(reported.contains(Rect(85, 110, 10, 20)));
    EXPECT_TRUE(reported.contains(Rect(95, 110, 10, 20)));  // the shadow's place
}

TEST(LayerHost, NothingIsReportedUnderAHiddenLayerAndMasksClipTheArea) {
    Tree tree;
    tree.turned->setHidden(true);
    tree.host.rects.clear();
    tree.leaf->setNeedsDisplay();
    tree.leaf->setPosition(Point(0, 0));
    EXPECT_TRUE(tree.host.rects.empty());

    tree.turned->setHidden(false);
    tree.turned->setMasksToBounds(true);
    tree.host.rects.clear();
    tree.leaf->setFrame(Rect(50, 0, 40, 20));  // half of it past the end of `turned`
    ASSERT_FALSE(tree.host.rects.empty());
    EXPECT_TRUE(rectNear(tree.host.rects.back(), Rect(80, 150, 20, 10)));
}

TEST(LayerHost, ATransactionGathersReportsUntilTheOutermostEnds) {
    Tree tree;
    {
        LayerTransaction outer;
        EXPECT_TRUE(LayerTransaction::isOpen());
        {
            LayerTransaction inner;
            tree.leaf->setNeedsDisplay();
        }
        tree.turned->setPosition(Point(150, 100));
        tree.leaf->setOpacity(0.3);
        EXPECT_TRUE(tree.host.rects.empty());
    }
    EXPECT_FALSE(LayerTransaction::isOpen());
    ASSERT_EQ(tree.host.rects.size(), 1u);
    EXPECT_TRUE(tree.host.rects[0].contains(Rect(80, 100, 20, 60)));   // where `turned` was
    EXPECT_TRUE(tree.host.rects[0].contains(Rect(130, 100, 20, 60)));  // where it is
}

TEST(LayerHost, AHostDestroyedDuringATransactionIsNotCalled) {
    auto root = std::make_shared<Layer>();
    root->setBounds(Rect(0, 0, 10, 10));
    int calls = 0;
    {
        LayerTransaction transaction;
        {
            RecordingHost host;
            host.onRepaint = [&calls] { ++calls; };
            root->setHost(&host);
            root->setNeedsDisplay();
            root->setHost(nullptr);
        }
    }
    EXPECT_EQ(calls, 0);
}

TEST(LayerHost, AHostThatChangesLayersWhileToldHearsAgain) {
    Tree tree;
    bool moved = false;
    tree.host.onRepaint = [&] {
        if (!moved) {
            moved = true;
            LayerTransaction nested;
            tree.leaf->setPosition(Point(40, 10));
        }
    };
    {
        LayerTransaction transaction;
        tree.leaf->setNeedsDisplay();
    }
    EXPECT_EQ(tree.host.rects.size(), 2u);
}
