// The colour well: its palette and balloon geometry, choosing a swatch, the shared colour dialog bound to one
// well at a time, hover and the disabled state, and where the balloon opens on the screen.
#include "controls/color_palette.h"
#include "controls/color_panel.h"
#include "controls/color_well.h"

#include "mouse_events.h"
#include "notification_recorder.h"
#include "rendered_widget.h"
#include "signal_log.h"

#include <QColorDialog>
#include <QGuiApplication>
#include <QScreen>
#include <set>
#include <gtest/gtest.h>

namespace kx::controls {
namespace {

TEST(ColorPalette, HoldsTheFortyNineSwatchesRowByRow) {
    const char* rows[7][7] = {
        {"#00425a", "#005777", "#1f6c8b", "#257da0", "#369bc7", "#42b0e0", "#7ad0f5"},
        {"#526830", "#558e2e", "#4ba52f", "#5cbd3c", "#9fd872", "#b9e090", "#c7e3a0"},
        {"#9f7325", "#b28431", "#cc932e", "#ffb637", "#ffcb5e", "#ffde89", "#fce49d"},
        {"#ac4716", "#c56523", "#ed721f", "#ff8634", "#ffaa5e", "#ffc487", "#ffcf99"},
        {"#902a33", "#a51a35", "#c60b37", "#df033f", "#e94b6a", "#f199aa", "#eec4cb"},
        {"#3e0948", "#4d0f6c", "#500f77", "#5a0d88", "#864cad", "#a87dc5", "#be9dd4"},
        {"#000000", "#565a5d", "#6c6f70", "#90908f", "#a2a5a4", "#c9c9c9", "#ffffff"},
    };
    const auto& colors = defaultSwatchColors();
    ASSERT_EQ(colors.size(), 49u);
    for (int row = 0; row < 7; ++row) {
        for (int column = 0; column < 7; ++column) {
            const QColor& color = colors[std::size_t(row * 7 + column)];
            EXPECT_EQ(color.name(), QLatin1String(rows[row][column])) << row << "," << column;
            EXPECT_EQ(color.alpha(), 255);
        }
    }
}

TEST(ColorPalette, BalloonGeometry) {
    struct Case {
        int columns, rows;
        QSize swatch, matrix, view;
    };
    const Case cases[] = {
        {7, 7, {31, 20}, {223, 146}, {235, 188}},
        {1, 1, {10, 10}, {10, 10}, {22, 52}},
        {3, 2, {5, 8}, {17, 17}, {29, 59}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(swatchMatrixSize(c.columns, c.rows, c.swatch), c.matrix);
        EXPECT_EQ(colorPickerViewSize(c.columns, c.rows, c.swatch), c.view);
        EXPECT_EQ(swatchMatrixRect(c.columns, c.rows, c.swatch), QRect(QPoint(6, 21), c.matrix));
    }
}

TEST(ColorPalette, SwatchUnderAPoint) {
    struct Case {
        QPoint point;
        int colorCount, index;
    };
    const Case cases[] = {
        {{0, 0}, 49, 0},        {{30, 19}, 49, 0},      {{31, 5}, 49, -1},  // the gap after the first column
        {{32, 0}, 49, 1},       {{5, 20}, 49, -1},      {{5, 21}, 49, 7},   {{222, 145}, 49, 48},
        {{223, 10}, 49, -1},    {{10, 146}, 49, -1},    {{-1, 5}, 49, -1},  {{222, 145}, 45, -1},  // past the list
        {{96, 42}, 49, 17},
    };
    for (const Case& c : cases)
        EXPECT_EQ(swatchIndexAt(c.point, 7, 7, {31, 20}, c.colorCount), c.index) << c.point.x() << "," << c.point.y();
}

TEST(ColorPalette, FieldAndButtonOfTheWell) {
    EXPECT_EQ(colorWellFieldRect({60, 20}), QRect(0, 0, 40, 20));
    EXPECT_EQ(colorWellButtonRect({60, 20}), QRect(40, 0, 20, 20));
    EXPECT_EQ(colorWellFieldRect({44, 24}), QRect(0, 0, 20, 24));
    EXPECT_EQ(colorWellButtonRect({44, 24}), QRect(20, 0, 24, 24));
}

TEST(ColorPalette, BalloonArrowPointsBackAtTheWell) {
    // Tip x of the arrow for a balloon of 235 by 188: floor(w/2 - 15 - shift) + 15, the shift clamped to
    // half the width (probed half a point inside the balloon at the screen's edges).
    struct Case {
        double offset;
        bool up;
        double tipX;
    };
    const Case cases[] = {{0, true, 117}, {40, true, 77}, {-40, true, 157}, {500, true, 0.5}, {-500, false, 234.5},
                          {0, false, 117}};
    for (const Case& c : cases) {
        const QPainterPath path = colorBalloonPath({235, 188}, c.offset, c.up);
        const double tipY = c.up ? 2 : 186;
        EXPECT_TRUE(path.contains(QPointF(c.tipX, tipY))) << c.offset;
        EXPECT_FALSE(path.contains(QPointF(c.tipX + 10, tipY))) << c.offset;
        EXPECT_FALSE(path.contains(QPointF(c.tipX, c.up ? 186 : 2))) << "no arrow on the other edge";
        EXPECT_TRUE(path.contains(QPointF(117, 94)));
    }
}

class ColorWellTest : public ::testing::Test {
protected:
    void TearDown() override {
        KXColorPanel::shared().close();
        KXColorPanel::shared().setColorWellTarget(nullptr);
    }
    static void clickButton(KXColorWell& well) { kxtest::click(&well, QPointF(well.width() - 5, 5)); }
    static void clickField(KXColorWell& well) { kxtest::click(&well, QPointF(5, 5)); }
};

TEST_F(ColorWellTest, TheButtonShowsTheColourWheel) {
    KXColorWell well;
    well.resize(60, 20);
    well.setColor(Qt::black);
    const QImage image = kxtest::renderedWidget(well);
    const QRect button = colorWellButtonRect(well.size());
    // A wheel shows hues all the way round: saturated pixels of most of twelve 30-degree hue bands.
    std::set<int> bands;
    for (int y = button.top(); y <= button.bottom(); ++y) {
        for (int x = button.left(); x <= button.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y).toHsv();
            if (pixel.hsvSaturation() > 150 && pixel.value() > 150)
                bands.insert(pixel.hsvHue() / 30);
        }
    }
    EXPECT_GE(bands.size(), 8u);
}

TEST_F(ColorWellTest, ASwatchSetsTheColourWritesTheBindingOnceAndClosesTheBalloon) {
    KXColorWell well;
    well.resize(60, 20);
    well.show();
    QColor bound = Qt::white;
    int writes = 0;
    well.bindColor([&] { return bound; }, [&](const QColor& c) { bound = c, ++writes; });
    kxtest::SignalLog changed(&well, &KXColorWell::colorChanged);

    clickField(well);
    ASSERT_TRUE(well.popupWindowIsVisible());
    KXColorSwatchMatrix* matrix = well.colorPickerView()->matrix();
    kxtest::click(matrix, QPointF(3 * 32 + 5, 2 * 21 + 5));  // row 2, column 3
    EXPECT_EQ(well.color().name(), QLatin1String("#ffb637"));
    EXPECT_EQ(bound.name(), QLatin1String("#ffb637"));
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FALSE(well.popupWindowIsVisible());

    // The same swatch again changes nothing: no signal, no write through the binding.
    clickField(well);
    kxtest::click(matrix, QPointF(3 * 32 + 5, 2 * 21 + 5));
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(changed.count(), 1);
    // A click between swatches does nothing and leaves the balloon open.
    clickField(well);
    kxtest::click(matrix, QPointF(31, 5));
    EXPECT_TRUE(well.popupWindowIsVisible());
    EXPECT_EQ(writes, 1);
}

TEST_F(ColorWellTest, SecondClickOnTheFieldHidesTheBalloon) {
    KXColorWell well;
    well.resize(60, 20);
    well.show();
    clickField(well);
    EXPECT_TRUE(well.popupWindowIsVisible());
    clickField(well);
    EXPECT_FALSE(well.popupWindowIsVisible());
}

TEST_F(ColorWellTest, TheDialogServesOneWellAtATime) {
    KXColorWell a, b;
    a.resize(60, 20);
    b.resize(60, 20);
    a.setColor(Qt::red);
    b.setColor(Qt::blue);
    kxtest::NotificationRecorder recorder({QString::fromLatin1(kColorWellTargetChanged)});
    KXColorPanel& panel = KXColorPanel::shared();

    clickButton(a);
    EXPECT_TRUE(a.isBindingToColorPanel());
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.color(), QColor(Qt::red));
    EXPECT_TRUE(panel.dialog()->testOption(QColorDialog::NoButtons));
    EXPECT_TRUE(panel.dialog()->testOption(QColorDialog::ShowAlphaChannel));

    clickButton(b);
    EXPECT_FALSE(a.isBindingToColorPanel());
    EXPECT_TRUE(b.isBindingToColorPanel());
    EXPECT_EQ(panel.color(), QColor(Qt::blue));
    ASSERT_EQ(recorder.posted.size(), 2u);
    EXPECT_EQ(recorder.posted[1].sender, &b);

    // Every change in the dialog reaches the bound well only.
    panel.dialog()->setCurrentColor(QColor(10, 20, 30, 40));
    EXPECT_EQ(b.color(), QColor(10, 20, 30, 40));
    EXPECT_EQ(a.color(), QColor(Qt::red));
    // A colour set on the bound well moves the dialog's too.
    b.setColor(Qt::green);
    EXPECT_EQ(panel.color(), QColor(Qt::green));

    // The button again lets go.
    clickButton(b);
    EXPECT_FALSE(b.isBindingToColorPanel());
    panel.dialog()->setCurrentColor(Qt::yellow);
    EXPECT_EQ(b.color(), QColor(Qt::green));
}

TEST_F(ColorWellTest, ClosingTheDialogUnbinds) {
    KXColorWell well;
    well.resize(60, 20);
    clickButton(well);
    ASSERT_TRUE(well.isBindingToColorPanel());
    KXColorPanel::shared().close();
    EXPECT_FALSE(well.isBindingToColorPanel());
    KXColorPanel::shared().dialog()->setCurrentColor(Qt::cyan);
    EXPECT_NE(well.color(), QColor(Qt::cyan));
}

TEST_F(ColorWellTest, ADisabledWellIgnoresClicksButTracksHover) {
    KXColorWell well;
    well.resize(60, 20);
    well.show();
    well.setWellEnabled(false);
    clickButton(well);
    clickField(well);
    EXPECT_FALSE(well.isBindingToColorPanel());
    EXPECT_FALSE(well.popupWindowIsVisible());
    kxtest::sendMouse(&well, QEvent::MouseMove, {55, 5});
    EXPECT_TRUE(well.mouseInButton());
    EXPECT_FALSE(well.mouseInColor());
    kxtest::sendMouse(&well, QEvent::MouseMove, {5, 5});
    EXPECT_TRUE(well.mouseInColor());
    EXPECT_FALSE(well.mouseInButton());
}

TEST_F(ColorWellTest, DrawsTranslucentColoursOverWhiteAndBlack) {
    KXColorWell well;
    well.resize(60, 20);
    well.setColor(QColor(255, 0, 0, 128));
    const QImage image = kxtest::renderedWidget(well);
    const QColor upperLeft = image.pixelColor(6, 3);
    const QColor lowerRight = image.pixelColor(34, 17);
    EXPECT_GT(upperLeft.red(), 100);
    EXPECT_LT(upperLeft.green(), 20);  // over black
    EXPECT_GT(lowerRight.green(), 100);  // over white
    EXPECT_EQ(image.pixelColor(42, 2), QColor(Qt::white));  // the idle button, beside its picture
}

TEST_F(ColorWellTest, TheBalloonStaysOnTheScreenAndPointsAtTheWell) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        QPoint wellAt;
        bool up;
    };
    const Case cases[] = {
        {screen.topLeft() + QPoint(0, 100), true},
        {QPoint(screen.right() - 60, screen.top() + 100), true},
        {QPoint(screen.center().x(), screen.bottom() - 30), false},
    };
    for (const Case& c : cases) {
        KXColorWell well;
        well.setWindowFlag(Qt::FramelessWindowHint);
        well.setGeometry(QRect(c.wellAt, QSize(60, 20)));
        well.show();
        well.showColorPicker();
        KXPopupWindow* balloon = well.popupWindow();
        ASSERT_TRUE(balloon->isVisible());
        EXPECT_TRUE(screen.contains(balloon->geometry())) << c.wellAt.x();
        EXPECT_EQ(well.upArrow(), c.up);
        const double tipX = std::floor(235 / 2.0 - 15 - well.offset()) + 15 + balloon->x();
        EXPECT_NEAR(tipX, well.mapToGlobal(QPoint(30, 0)).x(), 1.0) << c.wellAt.x();
        well.hideColorPicker();
    }
}

}  // namespace
}  // namespace kx::controls
