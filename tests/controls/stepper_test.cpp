// The stepper and its field: stepping stops at the bounds (no wrapping), typing clamps into the range,
// and the end of editing corrects the field to the bound.
#include "controls/stepper.h"
#include "controls/stepper_field.h"

#include "signal_log.h"
#include "mouse_events.h"
#include "widget_events.h"

#include <QLineEdit>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace kx::controls {
namespace {

TEST(StepperValues, StepsStopAtTheBoundsWithoutWrapping) {
    struct Case {
        double value, increment;
        int steps;
        double minimum, maximum, expected;
    };
    const Case cases[] = {
        {5, 1, 1, 0, 10, 6},         {5, 1, -1, 0, 10, 4},      {10, 1, 1, 0, 10, 10},
        {0, 1, -1, 0, 10, 0},        {359, 1, 1, -1, 360, 360}, {9.5, 1, 1, 0, 10, 10},
        {0, 0.25, 3, 0, 1, 0.75},    {-4000, 10, -1, -4000, 4000, -4000},
        {3, 5, 2, 0, 100, 13},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(steppedValue(c.value, c.increment, c.steps, c.minimum, c.maximum), c.expected)
            << c.value << " + " << c.steps << " x " << c.increment;
    EXPECT_DOUBLE_EQ(clampToRange(std::nan(""), 1, 9), 1);
}

TEST(StepperValues, LeadingNumberReadsWhatAFieldHolds) {
    struct Case {
        const char* text;
        bool fraction;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {"42", false, 42},     {"  7px", false, 7},  {"-15", false, -15}, {"+3", false, 3},
        {"12.75", false, 12},  {"12.75", true, 12.75}, {".5", true, 0.5}, {"abc", false, std::nullopt},
        {"", false, std::nullopt}, {"-", false, std::nullopt}, {"1e9", false, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(leadingNumber(QString::fromUtf8(c.text), c.fraction), c.expected) << c.text;
}

TEST(Stepper, RangeAndValue) {
    KXStepper stepper;
    kxtest::SignalLog changes(&stepper, &KXStepper::valueChanged);
    stepper.setRange(1969, 2038);
    EXPECT_EQ(stepper.value(), 1969);  // the old value 0 is clamped into the new range
    stepper.setValue(2100);
    EXPECT_EQ(stepper.value(), 2038);
    stepper.setValue(2038);
    EXPECT_EQ(changes.count(), 2);
    stepper.setMaximum(2000);
    EXPECT_EQ(stepper.value(), 2000);
    stepper.setIncrement(0);  // refused: a stepper always moves
    EXPECT_EQ(stepper.increment(), 1);
}

TEST(Stepper, ArrowsStepAndStopAtTheBound) {
    KXStepper stepper;
    stepper.resize(13, 22);
    stepper.setRange(0, 3);
    stepper.setIncrement(2);
    stepper.setValue(0);
    kxtest::SignalLog activated(&stepper, &KXStepper::activated);
    kxtest::click(&stepper, QPointF(6, 3));   // upper arrow
    EXPECT_EQ(stepper.value(), 2);
    kxtest::click(&stepper, QPointF(6, 3));
    EXPECT_EQ(stepper.value(), 3);
    kxtest::click(&stepper, QPointF(6, 3));
    EXPECT_EQ(stepper.value(), 3);  // at the maximum: stays, no wrap to the minimum
    kxtest::click(&stepper, QPointF(6, 19));  // lower arrow
    EXPECT_EQ(stepper.value(), 1);
    kxtest::pressKey(&stepper, Qt::Key_Down);
    kxtest::pressKey(&stepper, Qt::Key_Down);
    EXPECT_EQ(stepper.value(), 0);
    // Every step asked for is an action, also the ones a bound stopped.
    EXPECT_EQ(activated.count(), 6);
}

class StepperFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        stepper.setRange(0, 4000);
        pair.setValue(120);
    }
    void type(const QString& text) {
        field.selectAll();
        kxtest::typeText(&field, text);
    }
    void endEditing() { kxtest::pressKey(&field, Qt::Key_Return); }

    QLineEdit field;
    KXStepper stepper;
    KXStepperField pair{&field, &stepper};
};

TEST_F(StepperFieldTest, SetValueShowsBothWithoutReporting) {
    kxtest::SignalLog typed(&pair, &KXStepperField::typed);
    kxtest::SignalLog ended(&pair, &KXStepperField::editingEnded);
    pair.setValue(5000);
    EXPECT_EQ(stepper.value(), 4000);
    EXPECT_EQ(field.text(), "4000");
    EXPECT_EQ(typed.count(), 0);
    EXPECT_EQ(ended.count(), 0);
}

TEST_F(StepperFieldTest, TypingClampsIntoTheStepperAndEndOfEditingCorrectsTheField) {
    struct Case {
        const char* typed;
        KXStepperField::TypingPolicy policy;
        double stepperWhileTyping;
        const char* fieldWhileTyping;
        const char* fieldAtEnd;
    };
    using P = KXStepperField::TypingPolicy;
    const Case cases[] = {
        {"5000", P::KeepTypedText, 4000, "5000", "4000"},
        {"5000", P::RewriteWhileTyping, 4000, "4000", "4000"},
        {"-5", P::KeepTypedText, 0, "-5", "0"},
        {"250", P::KeepTypedText, 250, "250", "250"},
        {"250", P::RewriteWhileTyping, 250, "250", "250"},
        {"77px", P::KeepTypedText, 77, "77px", "77"},
        // No number: the stepper keeps its value and the field shows it again at the end.
        {"abc", P::KeepTypedText, 120, "abc", "120"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        pair.setValue(120);
        pair.setTypingPolicy(c.policy);
        kxtest::SignalLog ended(&pair, &KXStepperField::editingEnded);
        type(QString::fromUtf8(c.typed));
        EXPECT_EQ(stepper.value(), c.stepperWhileTyping);
        EXPECT_EQ(field.text(), QString::fromUtf8(c.fieldWhileTyping));
        endEditing();
        EXPECT_EQ(field.text(), QString::fromUtf8(c.fieldAtEnd));
        EXPECT_EQ(stepper.value(), field.text().toDouble());
        ASSERT_EQ(ended.count(), 1);
        EXPECT_EQ(ended.at(0).at(0).toDouble(), stepper.value());
    }
}

TEST_F(StepperFieldTest, TypingReportsEachClampedValue) {
    kxtest::SignalLog typed(&pair, &KXStepperField::typed);
    type("45");
    ASSERT_EQ(typed.count(), 2);  // "4", then "45"
    EXPECT_EQ(typed.at(0).at(0).toDouble(), 4);
    EXPECT_EQ(typed.at(1).at(0).toDouble(), 45);
}

TEST_F(StepperFieldTest, StepWritesTheField) {
    kxtest::SignalLog stepped(&pair, &KXStepperField::stepped);
    stepper.stepBy(1);
    EXPECT_EQ(field.text(), "121");
    ASSERT_EQ(stepped.count(), 1);
    EXPECT_EQ(stepped.at(0).at(0).toDouble(), 121);
}

TEST(StepperFieldDecimals, FieldsShowTheirDecimalsAndKeepFractions) {
    QLineEdit field;
    KXStepper stepper;
    stepper.setRange(0, 100);
    stepper.setIncrement(0.5);
    KXStepperField pair(&field, &stepper, 2);
    pair.setValue(2);
    field.selectAll();
    kxtest::typeText(&field, "2.5");
    kxtest::pressKey(&field, Qt::Key_Return);
    EXPECT_EQ(field.text(), "2.50");
    EXPECT_DOUBLE_EQ(stepper.value(), 2.5);
    stepper.stepBy(-1);
    EXPECT_EQ(field.text(), "2.00");
}

}  // namespace
}  // namespace kx::controls
