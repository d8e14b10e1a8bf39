#include "platform/layers/layer.h"

#include <gtest/gtest.h>

#include <string>

using namespace kx;

namespace {

// A layer that writes down every sublayer entering and leaving it, by the sublayer's name.
class Recorder : public Layer {
public:
    std::string log;

protected:
    void didInsertSublayer(Layer& layer) override { log += "+" + nameOf(layer); }
    void didRemoveSublayer(Layer& layer) override {
        // Called after the layer left: it must no longer be listed nor point here.
        EXPECT_EQ(indexOfSublayer(&layer), -1);
        EXPECT_EQ(layer.superlayer(), nullptr);
        log += "-" + nameOf(layer);
    }

private:
    static std::string nameOf(const Layer& layer);
};

class Named : public Layer {
public:
    explicit Named(std::string n) : name(std::move(n)) {}
    std::string name;
};

std::string Recorder::nameOf(const Layer& layer) {
    if (auto* named = dynamic_cast<const Named*>(&layer))
        return named->name;
    return "?";
}

}  // namespace

TEST(LayerSublayerHooks, EveryWayInAndOutIsReported) {
    auto root = std::make_shared<Recorder>();
    auto other = std::make_shared<Recorder>();
    auto a = std::make_shared<Named>("a"), b = std::make_shared<Named>("b"), c = std::make_shared<Named>("c");

    root->addSublayer(a);
    root->insertSublayer(b, 0);
    root->insertSublayerBelow(c, a.get());
    EXPECT_EQ(root->log, "+a+b+c");
    root->log.clear();

    // Moving within the layer leaves and enters again.
    root->insertSublayerAbove(b, a.get());
    EXPECT_EQ(root->log, "-b+b");
    root->log.clear();

    // Moving to another layer leaves here and enters there.
    other->addSublayer(c);
    EXPECT_EQ(root->log, "-c");
    EXPECT_EQ(other->log, "+c");
    root->log.clear();

    a->removeFromSuperlayer();
    a->removeFromSuperlayer();  // no longer a sublayer: nothing to report
    EXPECT_EQ(root->log, "-a");

    // Refused insertions (a cycle, a null layer) report nothing.
    root->log.clear();
    b->addSublayer(root);
    root->addSublayer(nullptr);
    EXPECT_EQ(root->log, "");
    ASSERT_EQ(root->sublayers().size(), 1u);
    EXPECT_EQ(root->indexOfSublayer(b.get()), 0);
}
