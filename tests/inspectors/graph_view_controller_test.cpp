// The style inspector: how its controls stand for the model's values, that filling it from an object never
// writes the object, that each edit made through its widgets is one undo step restoring the object's archive,
// the sections it shows per object type, and what the page shows after an edit.
#include "controls/color_well.h"
#include "controls/stepper.h"
#include "inspectors/graph_view_controller.h"
#include "inspectors/property_view_controller.h"
#include "inspectors/style_values.h"
#include "styled_shape_page.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/group.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/undo_manager.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSlider>
#include <gtest/gtest.h>

namespace {

using namespace kx::inspectors;

TEST(StyleValues, StrokeWidthTyped) {
    struct Case {
        double typed;
        std::optional<double> control;
    };
    const Case cases[] = {{0.5, std::nullopt}, {0, std::nullopt}, {-3, std::nullopt}, {1, 1.0},
                          {37, 37.0},          {100, 100.0},      {250, 100.0}};
    for (const Case& c : cases)
        EXPECT_EQ(typedStrokeWidthControl(c.typed), c.control) << c.typed;
    EXPECT_DOUBLE_EQ(strokeWidthFromControl(100), 10);
    EXPECT_DOUBLE_EQ(strokeWidthControl(0.5), 5);
}

TEST(StyleValues, ShadowAngle) {
    struct Case {
        int control;
        double angle;
    };
    const Case cases[] = {{360, -90}, {-1, 269}, {0, -90}, {90, 0}, {120, 30}, {359, 269}};
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(shadowAngleFromControl(c.control), c.angle) << c.control;
    EXPECT_EQ(wrappedShadowAngleControl(360), 0);
    EXPECT_EQ(wrappedShadowAngleControl(-1), 359);
    EXPECT_EQ(shadowAngleControl(30.9), 120);
    EXPECT_EQ(shadowAngleControl(-90), 0);
    // Stored angles beyond one turn show within the control's range.
    EXPECT_EQ(shadowAngleControl(315), 45);
    EXPECT_EQ(shadowAngleControl(270), 0);
    EXPECT_EQ(shadowAngleControl(-100.5), 350);
    EXPECT_EQ(shadowAngleControl(-460), 350);
}

TEST(StyleValues, MenusAndPercentages) {
    EXPECT_EQ(strokeMenuIndex(false, 3), 0);
    EXPECT_EQ(strokeMenuIndex(true, 0), 1);
    EXPECT_EQ(strokeMenuIndex(true, 4), 5);
    EXPECT_EQ(shadowAlphaControl(0.335), 34);
    EXPECT_EQ(shadowAlphaControlTruncated(0.335), 33);
    EXPECT_EQ(clampedControlValue(400, 0, 360), 360);
    EXPECT_EQ(clampedControlValue(-5, 0, 100), 0);
    EXPECT_DOUBLE_EQ(opacityFromControl(50), 0.5);
}

TEST(StyleValues, FillMenuFromTheModel) {
    struct Case {
        bool enabled;
        int fillType, colorType, index;
    };
    const Case cases[] = {{false, 0, 1, FillNone},    {true, 0, 0, FillSolid},   {true, 0, 1, FillGradient},
                          {true, 0, 2, FillAdvancedGradient}, {true, 0, 7, FillNone}, {true, 2, 0, FillImage},
                          {true, 1, 2, FillPattern},  {true, 9, 0, FillPattern}, {false, 2, 0, FillNone}};
    for (const Case& c : cases)
        EXPECT_EQ(fillMenuIndex(c.enabled, c.fillType, c.colorType), c.index) << c.fillType << "," << c.colorType;
}

TEST(StyleValues, FillAngles) {
    struct Case {
        int angle, slider;
    };
    const Case cases[] = {{0, 90}, {270, 0}, {360, 90}, {359, 89}, {90, 180}};
    for (const Case& c : cases)
        EXPECT_EQ(fillAngleSlider(c.angle), c.slider) << c.angle;
    EXPECT_EQ(fillAngleFromSlider(0), 270);
    EXPECT_EQ(fillAngleFromSlider(90), 0);
    EXPECT_EQ(fillAngleFromStepper(-1), 359);
    EXPECT_EQ(fillAngleFromStepper(360), 0);
    EXPECT_EQ(typedFillAngle(360), 360);
    EXPECT_EQ(typedFillAngle(400), 360);
    EXPECT_EQ(typedFillAngle(-4), 0);
    EXPECT_EQ(fillAngleControl(360), 0);
    EXPECT_EQ(fillAngleControl(725.6), 5);
    EXPECT_EQ(fillAngleControl(45.9), 45);
}

class GraphInspectorTest : public ::testing::Test, public kxtest::StyledShapePage {
protected:
    void SetUp() override {
        inspector.resize(240, 600);
        inspector.updateUIWithGraph(shape);
        settle();
    }
    static void choose(QComboBox* menu, int index) {
        menu->setCurrentIndex(index);
        emit menu->activated(index);
    }
    static void type(QLineEdit* field, const QString& text) {
        field->setText(text);
        emit field->textEdited(text);
    }

    KXGraphViewController inspector;
};

TEST_F(GraphInspectorTest, FillingTheControlsNeverWritesTheObject) {
    const QByteArray before = archive();
    shape->setShadowEnabled(true);
    shape->shadow()->setColor(kx::Color::srgb(1, 0, 0, 0.4));
    settle();
    page->undoManager().removeAllActions();
    const QByteArray withShadow = archive();
    inspector.updateUIWithGraph(shape);
    settle();
    EXPECT_FALSE(page->undoManager().canUndo());
    EXPECT_EQ(archive(), withShadow);
    EXPECT_EQ(inspector.shadowAlpha().field->text(), QStringLiteral("40"));
    EXPECT_EQ(inspector.pubShadow()->currentIndex(), 1);
    EXPECT_NE(before, withShadow);
}

TEST_F(GraphInspectorTest, StrokeMenuWidthAndColourAreOneStepEach) {
    QByteArray before = archive();
    choose(inspector.pubStrokeStyle(), 2);
    EXPECT_TRUE(shape->isStrokeEnabled());
    EXPECT_EQ(shape->stroke()->style(), 1u);
    EXPECT_FALSE(inspector.strokeSettingView()->isHidden());
    expectOneStepRestoring(before);

    inspector.updateUIWithGraph(shape);
    before = archive();
    type(inspector.lineWidth().field, QStringLiteral("250"));
    EXPECT_EQ(inspector.lineWidth().field->text(), QStringLiteral("100"));
    EXPECT_EQ(inspector.lineWidth().slider->value(), 100);
    EXPECT_DOUBLE_EQ(shape->stroke()->width(), 10);
    expectOneStepRestoring(before);

    before = archive();
    type(inspector.lineWidth().field, QStringLiteral("0.5"));
    settle();
    EXPECT_FALSE(page->undoManager().canUndo());
    EXPECT_EQ(archive(), before);

    inspector.cwStrokeColor()->setColor(QColor(255, 0, 0));
    EXPECT_NEAR(shape->stroke()->color().red(), 1, 1e-6);
    expectOneStepRestoring(before);
}

TEST_F(GraphInspectorTest, ShadowControlsMapTheirValues) {
    shape->setShadowEnabled(true);
    settle();
    page->undoManager().removeAllActions();
    inspector.updateUIWithGraph(shape);

    QByteArray before = archive();
    type(inspector.shadowAngle().field, QStringLiteral("400"));
    EXPECT_EQ(inspector.shadowAngle().slider->value(), 0);
    EXPECT_DOUBLE_EQ(shape->shadow()->angle(), -90);
    expectOneStepRestoring(before);

    inspector.updateUIWithGraph(shape);
    before = archive();
    inspector.shadowAngle().slider->setValue(90);
    EXPECT_DOUBLE_EQ(shape->shadow()->angle(), 0);
    EXPECT_EQ(inspector.shadowAngle().field->text(), QStringLiteral("90"));
    expectOneStepRestoring(before);

    inspector.updateUIWithGraph(shape);
    before = archive();
    inspector.shadowAlpha().slider->setValue(25);
    EXPECT_NEAR(shape->shadow()->color().alpha(), 0.25, 1.0 / 255);  // stored in 8 bits
    EXPECT_EQ(inspector.cwShadowColor()->color().alpha(), 64);
    expectOneStepRestoring(before);
}

TEST_F(GraphInspectorTest, OpacityIsOneStep) {
    const QByteArray before = archive();
    type(inspector.opacity().field, QStringLiteral("40"));
    EXPECT_DOUBLE_EQ(shape->opacity(), 0.4);
    EXPECT_EQ(inspector.opacity().slider->value(), 40);
    EXPECT_DOUBLE_EQ(inspector.opacity().stepper->value(), 40);
    expectOneStepRestoring(before);
}

TEST_F(GraphInspectorTest, ThePageShowsStrokeShadowAndOpacityEdits) {
    const QColor inside = pixel(100, 100);
    EXPECT_EQ(inside, QColor(0, 0, 255));
    // Stroke: a red border of 10 points along the frame.
    choose(inspector.pubStrokeStyle(), 1);
    inspector.cwStrokeColor()->setColor(QColor(255, 0, 0));
    type(inspector.lineWidth().field, QStringLiteral("100"));
    settle();
    const QColor border = pixel(52, 100);
    EXPECT_GT(border.red(), 200);
    EXPECT_LT(border.blue(), 60);
    // Opacity: the fill over the white page turns light blue.
    inspector.opacity().slider->setValue(50);
    settle();
    const QColor faded = pixel(100, 100);
    EXPECT_NEAR(faded.red(), 128, 10);
    EXPECT_NEAR(faded.blue(), 255, 10);
    // Shadow: opaque black, no blur, 20 pixels (the whole distance: a tenth of the page's shorter side)
    // straight down: pixels under the object darken, those above it stay white.
    inspector.opacity().slider->setValue(100);
    const QColor belowBefore = pixel(100, 40);
    choose(inspector.pubShadow(), 1);
    inspector.cwShadowColor()->setColor(QColor(0, 0, 0));
    inspector.shadowBlur().slider->setValue(0);
    inspector.shadowOffset().slider->setValue(100);
    inspector.shadowAngle().slider->setValue(180);
    settle();
    EXPECT_EQ(belowBefore, QColor(Qt::white));
    EXPECT_LT(pixel(100, 40).lightness(), 60);
    EXPECT_EQ(pixel(100, 160), QColor(Qt::white));
}

TEST_F(GraphInspectorTest, SectionsPerTypeAndCollapsing) {
    EXPECT_FALSE(inspector.strokeView()->isHidden());
    EXPECT_FALSE(inspector.shadowView()->isHidden());
    EXPECT_FALSE(inspector.opacityView()->isHidden());
    EXPECT_EQ(inspector.strokeView()->height(), 45);
    choose(inspector.pubShadow(), 1);
    EXPECT_EQ(inspector.shadowView()->height(), inspector.shadowSettingView()->height() + 33);
    EXPECT_EQ(inspector.opacityView()->y(), inspector.shadowView()->y() + inspector.shadowView()->height());
    inspector.setStyleExpanded(false);
    EXPECT_TRUE(inspector.strokeView()->isHidden());
    EXPECT_TRUE(inspector.shadowView()->isHidden());
    EXPECT_TRUE(inspector.opacityView()->isHidden());
    EXPECT_EQ(KXGraphViewController::titleOfGraph(shape.get()), QStringLiteral(" Shape"));
}

TEST_F(GraphInspectorTest, ThePropertyTabShowsItForOneUnlockedObjectOnly) {
    KXPropertyViewController tab;
    tab.view()->resize(240, 500);
    tab.updateUIWithSelectedGraphs({shape});
    KXGraphViewController* hosted = tab.graphVC();
    ASSERT_NE(hosted, nullptr);
    EXPECT_FALSE(hosted->isHidden());
    EXPECT_EQ(hosted->graph(), shape);

    auto second = std::make_shared<KXShape>();
    tab.updateUIWithSelectedGraphs({shape, second});
    EXPECT_TRUE(hosted->isHidden());
    shape->setLocked(true);
    tab.updateUIWithSelectedGraphs({shape});
    EXPECT_TRUE(hosted->isHidden());
    shape->setLocked(false);
    tab.updateUIWithSelectedGraphs({std::make_shared<KXGroup>()});
    EXPECT_TRUE(hosted->isHidden());
}

}  // namespace
