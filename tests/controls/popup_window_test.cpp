// The popover window: its kind of window, hiding when it loses the focus (and when it is asked to stay),
// toggling, and placement inside the screen of its anchor.
#include "controls/popup_view.h"
#include "controls/popup_window.h"

#include "support/event_wait.h"
#include "signal_log.h"
#include "mouse_events.h"
#include "widget_events.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <gtest/gtest.h>

namespace kx::controls {
namespace {

class PopupWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto* content = new KXPopupView;
        content->setFixedSize(200, 120);
        popup.setContentView(content);
        other.resize(100, 100);
    }
    QRect screenArea() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
    void showAndActivate() {
        popup.popupAt(QRect(screenArea().center(), QSize()));
        ASSERT_TRUE(kxtest::processEventsUntil([&] { return popup.isActiveWindow(); }));
    }
    void focusElsewhere() {
        other.show();
        other.activateWindow();
        kxtest::processEventsUntil([&] { return other.isActiveWindow(); });
    }

    KXPopupWindow popup;
    QWidget other;
};

TEST_F(PopupWindowTest, IsAFramelessTranslucentToolWindowAboveOthers) {
    const Qt::WindowFlags flags = popup.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);  // kept out of the task bar and window lists
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(popup.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(popup.size(), QSize(200, 120));
}

TEST_F(PopupWindowTest, HidesWhenItLosesTheFocus) {
    kxtest::SignalLog resigned(&popup, &KXPopupWindow::resignedKey);
    showAndActivate();
    focusElsewhere();
    EXPECT_TRUE(kxtest::processEventsUntil([&] { return !popup.isVisible(); }));
    EXPECT_EQ(resigned.count(), 1);
}

TEST_F(PopupWindowTest, StaysWhenAskedToOrWhenHidingIsOff) {
    bool balloonOpen = true;
    popup.setKeepOpenWhenResigning([&] { return balloonOpen; });
    kxtest::SignalLog resigned(&popup, &KXPopupWindow::resignedKey);
    showAndActivate();
    focusElsewhere();
    ASSERT_TRUE(kxtest::processEventsUntil([&] { return resigned.count() == 1; }));
    EXPECT_TRUE(popup.isVisible());

    balloonOpen = false;
    popup.setHidesOnResignKey(false);
    showAndActivate();
    focusElsewhere();
    ASSERT_TRUE(kxtest::processEventsUntil([&] { return resigned.count() == 2; }));
    EXPECT_TRUE(popup.isVisible());
}

TEST_F(PopupWindowTest, ToggleShowsThenHides) {
    const QRect anchor(screenArea().center(), QSize());
    EXPECT_TRUE(popup.toggleAt(anchor));
    EXPECT_TRUE(popup.isVisible());
    EXPECT_FALSE(popup.toggleAt(anchor));
    EXPECT_FALSE(popup.isVisible());
    EXPECT_TRUE(popup.toggleAt(anchor));
    EXPECT_TRUE(popup.isVisible());
}

TEST_F(PopupWindowTest, AClickOnTheAnchorThatTookTheFocusAwayLeavesItClosed) {
    QPushButton anchorButton("Background", &other);
    anchorButton.resize(80, 24);
    int shown = 0;
    QObject::connect(&anchorButton, &QPushButton::clicked, [&] {
        if (popup.toggleAt(QRect(anchorButton.mapToGlobal(QPoint(0, 0)), anchorButton.size())))
            ++shown;
    });
    other.show();
    showAndActivate();
    // The press on the anchor takes the focus (the window hides), then its click asks for the toggle.
    kxtest::sendMouse(&anchorButton, QEvent::MouseButtonPress, QPointF(10, 10));
    focusElsewhere();
    ASSERT_TRUE(kxtest::processEventsUntil([&] { return !popup.isVisible(); }));
    kxtest::sendMouse(&anchorButton, QEvent::MouseButtonRelease, QPointF(10, 10));
    EXPECT_FALSE(popup.isVisible());
    EXPECT_EQ(shown, 0);
    // The next click opens it again.
    kxtest::click(&anchorButton, QPointF(10, 10));
    EXPECT_TRUE(popup.isVisible());
    EXPECT_EQ(shown, 1);
}

TEST_F(PopupWindowTest, AfterLosingTheFocusWithoutAClickTheNextToggleOpensIt) {
    showAndActivate();
    focusElsewhere();
    ASSERT_TRUE(kxtest::processEventsUntil([&] { return !popup.isVisible(); }));
    EXPECT_TRUE(popup.toggleAt(QRect(screenArea().center(), QSize())));
}

TEST_F(PopupWindowTest, EscapeHides) {
    showAndActivate();
    kxtest::pressKey(&popup, Qt::Key_Escape);
    EXPECT_FALSE(popup.isVisible());
}

TEST_F(PopupWindowTest, NearTheScreensCornersItStaysOnTheScreenAndItsArrowPointsAtTheAnchor) {
    const QRect area = screenArea();
    struct Case {
        const char* name;
        QPoint anchor;
        PopoverEdge preferred;
        PopoverEdge edge;
    };
    const Case cases[] = {
        {"top left", area.topLeft() + QPoint(5, 5), PopoverEdge::Below, PopoverEdge::Below},
        {"top right", area.topRight() + QPoint(-5, 5), PopoverEdge::Above, PopoverEdge::Below},
        {"bottom left", area.bottomLeft() + QPoint(5, -5), PopoverEdge::Below, PopoverEdge::Above},
        {"bottom right", area.bottomRight() + QPoint(-5, -5), PopoverEdge::Below, PopoverEdge::Above},
    };
    auto* balloon = qobject_cast<KXPopupView*>(popup.contentView());
    ASSERT_NE(balloon, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PopoverPlacement placement = popup.popupAt(QRect(c.anchor, QSize()), c.preferred);
        EXPECT_EQ(placement.edge, c.edge);
        EXPECT_TRUE(area.contains(popup.frameGeometry())) << popup.x() << "," << popup.y();
        EXPECT_EQ(popup.pos(), placement.origin);
        EXPECT_EQ(balloon->arrowEdge(),
                  c.edge == PopoverEdge::Below ? KXPopupView::ArrowEdge::Top : KXPopupView::ArrowEdge::Bottom);
        EXPECT_EQ(balloon->arrowTipX(), placement.arrowX);
        // The balloon's shape (the window's shape on X11) holds the arrow, not the corners beside it.
        const QRegion shape = balloon->outlineRegion();
        const bool below = c.edge == PopoverEdge::Below;
        EXPECT_TRUE(shape.contains(QPoint(placement.arrowX, below ? 10 : 110)));
        EXPECT_FALSE(shape.contains(QPoint(0, below ? 0 : 119)));
        EXPECT_FALSE(shape.contains(QPoint(placement.arrowX + 20, below ? 10 : 110)));
        EXPECT_TRUE(shape.contains(QPoint(100, 60)));
        popup.hide();
    }
}

TEST_F(PopupWindowTest, MovesWithADragOnItsBackground) {
    showAndActivate();
    const QPoint start = popup.pos();
    kxtest::sendMouse(&popup, QEvent::MouseButtonPress, QPointF(50, 60));
    QMouseEvent move(QEvent::MouseMove, QPointF(80, 70), popup.mapToGlobal(QPointF(80, 70)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&popup, &move);
    kxtest::sendMouse(&popup, QEvent::MouseButtonRelease, QPointF(80, 70));
    EXPECT_EQ(popup.pos(), start + QPoint(30, 10));

    popup.setMovableByBackground(false);
    const QPoint kept = popup.pos();
    kxtest::sendMouse(&popup, QEvent::MouseButtonPress, QPointF(50, 60));
    QApplication::sendEvent(&popup, &move);
    EXPECT_EQ(popup.pos(), kept);
}

}  // namespace
}  // namespace kx::controls
