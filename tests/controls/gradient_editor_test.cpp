// The multi-stop gradient editor: its geometry, loading without an announcement, adding stops (never a
// ninth, never changing the look), dragging sideways and out, recolouring through the shared dialog, and
// one queued announcement per edit.
#include "controls/color_panel.h"
#include "controls/gradient_editor.h"

#include "notification_recorder.h"
#include "signal_log.h"

#include <QApplication>
#include <QColorDialog>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace kx::controls {
namespace {

void send(QWidget* widget, QEvent::Type type, QPointF local, Qt::MouseButtons held) {
    QMouseEvent event(type, local, widget->mapToGlobal(local),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Presses a stop, moves the pointer to `to` (editor coordinates) and releases it there.
void dragStop(KXAdGradientColorWell* stop, KXAdGradientView& view, QPoint to) {
    const QPointF start(8, 10);
    send(stop, QEvent::MouseButtonPress, start, Qt::LeftButton);
    send(stop, QEvent::MouseMove, start + QPointF(0, 1), Qt::LeftButton);
    const QPointF end = stop->mapFrom(&view, to);
    send(stop, QEvent::MouseMove, end, Qt::LeftButton);
    send(stop, QEvent::MouseButtonRelease, end, Qt::NoButton);
    QApplication::processEvents();
}

void clickView(KXAdGradientView& view, QPoint at) {
    send(&view, QEvent::MouseButtonPress, at, Qt::LeftButton);
    send(&view, QEvent::MouseButtonRelease, at, Qt::NoButton);
}

class GradientEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(200, 60);  // bar (20, 10, 160, 20); stops 26 high from y 24
        view.updateGradientManager({Qt::red, Qt::blue}, {0.0, 1.0});
    }
    void TearDown() override { KXColorPanel::shared().close(); }
    int belowBar() const { return 50; }

    KXAdGradientView view;
};

TEST(GradientEditorGeometry, BarAndStops) {
    struct Case {
        QSize size;
        QRect bar;
        int stopTop, stopHeight;
    };
    const Case cases[] = {
        {{200, 60}, {20, 10, 160, 20}, 24, 26},
        {{300, 90}, {30, 15, 240, 30}, 39, 36},
        {{190, 45}, {19, 7, 152, 15}, 16, 21},  // halves round up
    };
    for (const Case& c : cases) {
        const AdGradientGeometry g = adGradientGeometry(c.size);
        EXPECT_EQ(g.bar, c.bar) << c.size.width();
        EXPECT_EQ(g.stopTop, c.stopTop) << c.size.width();
        EXPECT_EQ(g.stopHeight, c.stopHeight) << c.size.width();
    }
    const AdGradientGeometry g = adGradientGeometry({200, 60});
    EXPECT_EQ(g.stopLeftForLocation(0), 12);
    EXPECT_EQ(g.stopLeftForLocation(0.5), 92);
    EXPECT_EQ(g.stopLeftForLocation(1), 172);
    EXPECT_DOUBLE_EQ(g.locationForStopLeft(92), 0.5);
}

TEST(GradientEditorGeometry, StopsAreHandedToDrawingSorted) {
    const auto stops =
        sortedGradientStops({Qt::red, Qt::green, Qt::blue, Qt::black}, {0.8, 0.2, 0.8, 1.5});
    ASSERT_EQ(stops.size(), 4u);
    EXPECT_EQ(stops[0], std::make_pair(0.2, QColor(Qt::green)));
    EXPECT_EQ(stops[1], std::make_pair(0.8, QColor(Qt::red)));  // equal locations keep the list order
    EXPECT_EQ(stops[2], std::make_pair(0.8, QColor(Qt::blue)));
    EXPECT_EQ(stops[3], std::make_pair(1.0, QColor(Qt::black)));
}

TEST_F(GradientEditorTest, LoadingTakesTheFirstEightAndAnnouncesNothing) {
    kxtest::NotificationRecorder recorder({QString::fromLatin1(kAdGradientDidChanged)});
    std::vector<QColor> colors(10, Qt::green);
    std::vector<double> locations;
    for (int i = 0; i < 10; ++i)
        locations.push_back(i / 9.0);
    view.updateGradientManager(colors, locations);
    QApplication::processEvents();
    EXPECT_EQ(view.colorWellList().size(), 8u);
    EXPECT_EQ(view.colorLocations(), std::vector<double>(locations.begin(), locations.begin() + 8));
    EXPECT_TRUE(recorder.posted.empty());
    EXPECT_FALSE(view.gradientChanged());
}

TEST_F(GradientEditorTest, AnEditIsAnnouncedOnceQueuedWithoutPainting) {
    kxtest::NotificationRecorder recorder({QString::fromLatin1(kAdGradientDidChanged)});
    kxtest::SignalLog changed(&view, &KXAdGradientView::gradientDidChange);
    view.colorWellList()[0]->setColor(Qt::yellow);
    view.colorWellList()[1]->setColor(Qt::cyan);
    EXPECT_TRUE(recorder.posted.empty());  // queued from the edit
    QApplication::processEvents();
    ASSERT_EQ(recorder.posted.size(), 1u);
    EXPECT_EQ(recorder.posted[0].sender, &view);
    EXPECT_EQ(changed.count(), 1);
    // A load between an edit and its announcement is not echoed back.
    view.colorWellList()[0]->setColor(Qt::magenta);
    view.updateGradientManager({Qt::red, Qt::blue}, {0.0, 1.0});
    QApplication::processEvents();
    EXPECT_EQ(recorder.posted.size(), 1u);
}

TEST_F(GradientEditorTest, ClicksBelowTheBarAddStopsAtTheBarsEnds) {
    struct Case {
        int x;
        double location;
    };
    const Case cases[] = {{2, 0.0}, {198, 1.0}, {100, 0.5}, {60, 0.25}};
    for (const Case& c : cases) {
        view.updateGradientManager({Qt::red, Qt::blue}, {0.0, 1.0});
        clickView(view, {c.x, belowBar()});
        ASSERT_EQ(view.colorWellList().size(), 3u) << c.x;
        EXPECT_DOUBLE_EQ(view.colorLocations()[2], c.location) << c.x;
    }
    clickView(view, {100, 20});  // the upper half adds nothing
    EXPECT_EQ(view.colorWellList().size(), 3u);
}

TEST_F(GradientEditorTest, EightStopsRefuseANinth) {
    for (int i = 0; i < 6; ++i)
        clickView(view, {30 + 20 * i, belowBar()});
    ASSERT_EQ(view.colorWellList().size(), 8u);
    clickView(view, {100, belowBar()});
    EXPECT_EQ(view.colorWellList().size(), 8u);
    EXPECT_EQ(view.addColorWellToPoint(100), nullptr);
}

TEST_F(GradientEditorTest, ANewStopLeavesTheLookUnchanged) {
    const AdGradientGeometry g = view.geometryForSize();
    const int probes[] = {g.bar.left() + 1, g.bar.left() + g.bar.width() / 2, g.bar.left() + g.bar.width() - 2};
    std::vector<QColor> before;
    for (int x : probes)
        before.push_back(view.barColorAt(x));
    const QColor shown = view.barColorAt(g.bar.left() + 48);
    KXAdGradientColorWell* stop = view.addColorWellToPoint(g.bar.left() + 48);
    ASSERT_NE(stop, nullptr);
    EXPECT_EQ(stop->color(), shown);
    EXPECT_GT(shown.red(), 100);
    EXPECT_GT(shown.blue(), 30);
    for (std::size_t i = 0; i < before.size(); ++i) {
        const QColor after = view.barColorAt(probes[i]);
        EXPECT_NEAR(after.red(), before[i].red(), 2) << i;
        EXPECT_NEAR(after.green(), before[i].green(), 2) << i;
        EXPECT_NEAR(after.blue(), before[i].blue(), 2) << i;
    }
}

TEST_F(GradientEditorTest, DraggingOutRemovesAStopOnlyWhileThreeOrMoreExist) {
    kxtest::NotificationRecorder recorder({QString::fromLatin1(kColorWellWillBeDrag), QString::fromLatin1(kColorWellDidDrag)});
    KXAdGradientColorWell* first = view.colorWellList()[0];
    dragStop(first, view, {30, 90});
    ASSERT_EQ(view.colorWellList().size(), 2u);
    EXPECT_FALSE(first->isHidden());
    EXPECT_DOUBLE_EQ(first->location(), 0.0);

    view.addColorWellToPoint(100);
    QApplication::processEvents();
    KXAdGradientColorWell* middle = view.colorWellList()[2];
    dragStop(middle, view, {100, 90});
    EXPECT_EQ(view.colorWellList().size(), 2u);
    EXPECT_EQ(view.colorArray(), (std::vector<QColor>{Qt::red, Qt::blue}));
    EXPECT_EQ(recorder.names(), QStringList({kColorWellWillBeDrag, kColorWellDidDrag, kColorWellWillBeDrag,
                                             kColorWellDidDrag}));
}

TEST_F(GradientEditorTest, DraggingSidewaysStopsAtTheEndsAndKeepsTheListOrder) {
    KXAdGradientColorWell* first = view.colorWellList()[0];
    dragStop(first, view, {500, 40});
    EXPECT_DOUBLE_EQ(first->location(), 1.0);
    KXAdGradientColorWell* second = view.colorWellList()[1];
    dragStop(second, view, {-50, 40});
    EXPECT_DOUBLE_EQ(second->location(), 0.0);
    EXPECT_EQ(view.colorWellList()[0], first);  // creation order, locations now run backwards
    EXPECT_EQ(view.colorLocations(), (std::vector<double>{1.0, 0.0}));
}

TEST_F(GradientEditorTest, AClickRecoloursTheStopThroughTheDialog) {
    KXAdGradientColorWell* stop = view.colorWellList()[1];
    send(stop, QEvent::MouseButtonPress, {8, 10}, Qt::LeftButton);
    send(stop, QEvent::MouseButtonRelease, {8, 10}, Qt::NoButton);
    EXPECT_TRUE(stop->isSelected());
    EXPECT_FALSE(view.colorWellList()[0]->isSelected());
    KXColorPanel& panel = KXColorPanel::shared();
    EXPECT_EQ(panel.target(), stop);
    EXPECT_EQ(panel.color(), QColor(Qt::blue));
    panel.dialog()->setCurrentColor(QColor(1, 2, 3));
    EXPECT_EQ(stop->color(), QColor(1, 2, 3));
    EXPECT_TRUE(view.gradientChanged());
    panel.close();
    EXPECT_FALSE(stop->isSelected());
}

TEST_F(GradientEditorTest, ADisabledEditorIgnoresTheMouse) {
    view.setEnable(false);
    clickView(view, {100, belowBar()});
    EXPECT_EQ(view.colorWellList().size(), 2u);
}

}  // namespace
}  // namespace kx::controls
