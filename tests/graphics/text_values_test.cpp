#include "graphics/text_values.h"

#include <QLineEdit>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

struct RealCase {
    const char* text;
    double value;
};

TEST(TextValues, RealsDropCommasAndReadTheLongestNumberPrefix) {
    const RealCase cases[] = {
        {"1,234.5", 1234.5},   {"12,5", 125},          {"letters", 0},       {"", 0},
        {"  \t\n42.25abc", 42.25}, {"-3.5", -3.5},     {"+7", 7},            {".5", 0.5},
        {"5.", 5},             {".", 0},               {"-", 0},             {"1e3", 1000},
        {"2.5E-1x", 0.25},     {"1e", 1},              {"1e+", 1},           {"3,,,", 3},
        {"1.2.3", 1.2},        {" - 4", 0},            {"0x1A", 0},          {"inf", 0},
        {"nan", 0},            {"1,000,000", 1000000}, {"12 34", 12},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_DOUBLE_EQ(doubleValueOfText(text), c.value) << c.text;
        EXPECT_FLOAT_EQ(floatValueOfText(text), float(c.value)) << c.text;
    }
}

TEST(TextValues, OutOfRangeRealsSaturateInsteadOfMisbehaving) {
    EXPECT_EQ(doubleValueOfText(QStringLiteral("1e999")), HUGE_VAL);
    EXPECT_EQ(doubleValueOfText(QStringLiteral("-1e999")), -HUGE_VAL);
    EXPECT_EQ(doubleValueOfText(QStringLiteral("1e-999")), 0.0);
    // Within double range but beyond float's: the float reader gives infinity, not a wrapped value.
    EXPECT_EQ(floatValueOfText(QStringLiteral("1e39")), HUGE_VALF);
    EXPECT_EQ(floatValueOfText(QStringLiteral("-1e39")), -HUGE_VALF);
}

struct IntCase {
    const char* text;
    int value;
};

TEST(TextValues, IntegersReadSignAndDigitsOnly) {
    const IntCase cases[] = {
        {"1,234", 1234}, {"12,5", 125},  {"12.9", 12},   {" -7x", -7}, {"+3", 3},
        {"abc", 0},      {"", 0},        {"1e3", 1},     {"-", 0},     {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},        {"99999999999999999999", INT_MAX}, {"-2147483649", INT_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(intValueOfText(QString::fromUtf8(c.text)), c.value) << c.text;
}

TEST(TextValues, StringReadersKeepCommasAsTheEndOfTheNumber) {
    const IntCase cases[] = {
        {"  12abc", 12}, {"1,234", 1}, {"\t-7,5", -7}, {"+0012", 12}, {"x12", 0}, {"", 0},
        {"99999999999999999999", INT_MAX}, {"-99999999999999999999", INT_MIN},
    };
    for (const auto& c : cases)
        EXPECT_EQ(intValueOfString(QString::fromUtf8(c.text)), c.value) << c.text;
    EXPECT_FLOAT_EQ(floatValueOfString(QStringLiteral(" 1,5")), 1.0f);
    EXPECT_DOUBLE_EQ(doubleValueOfString(QStringLiteral("2.5e1kg")), 25.0);
    EXPECT_EQ(longLongValueOfString(QStringLiteral("4294967295")), 4294967295LL);
    EXPECT_EQ(longLongValueOfString(QStringLiteral("9223372036854775807")), LLONG_MAX);
    EXPECT_EQ(longLongValueOfString(QStringLiteral("-9223372036854775808")), LLONG_MIN);
    EXPECT_EQ(longLongValueOfString(QStringLiteral("99999999999999999999")), LLONG_MAX);
    EXPECT_EQ(longLongValueOfString(QStringLiteral("-99999999999999999999")), LLONG_MIN);
}

struct BoolCase {
    const char* text;
    bool value;
};

TEST(TextValues, BooleansReadTheFirstSignificantCharacter) {
    const BoolCase cases[] = {
        {"YES", true}, {"yes", true}, {"True", true}, {"t", true},   {"1", true},    {" 9", true},
        {"-0005", true}, {"+1", true}, {"000", false}, {"0", false}, {"NO", false},  {"false", false},
        {"", false},   {"  ", false}, {"-", false},   {"x1", false}, {"0x1", false}, {"00y", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(boolValueOfString(QString::fromUtf8(c.text)), c.value) << c.text;
}

TEST(TextValues, LineEditIsReadThroughTheSameRules) {
    QLineEdit field;
    field.setText(QStringLiteral("1,234.5"));
    EXPECT_DOUBLE_EQ(doubleValue(field), 1234.5);
    EXPECT_FLOAT_EQ(floatValue(field), 1234.5f);
    EXPECT_EQ(intValue(field), 1234);
    field.setText(QStringLiteral("none"));
    EXPECT_EQ(doubleValue(field), 0.0);
    EXPECT_EQ(intValue(field), 0);
}

}  // namespace
