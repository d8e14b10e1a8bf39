// The buttons: the two looks of the on/off button and how a button that is not selectable keeps its
// look, the pop-pane button's hover flag, the pop-up button's item titles, the dark grey titles of form
// controls, and the clickable image view.
#include "controls/control_style.h"
#include "controls/on_off_button.h"
#include "controls/pop_pane_button.h"
#include "controls/popup_button.h"
#include "controls/popup_image_view.h"

#include "platform/foundation/notification_center.h"
#include "support/pixel_probe.h"
#include "rendered_widget.h"
#include "signal_log.h"
#include "mouse_events.h"
#include "widget_events.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEnterEvent>
#include <QImage>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace kx::controls {
namespace {

kxtest::Rgba rgba(const QColor& c) {
    return {c.red(), c.green(), c.blue(), c.alpha()};
}

TEST(OnOffButton, LoadingSetsEveryFlagAndBothTitles) {
    KXOnOffButton button;
    button.setText("Page");
    button.setHasBackground(false);
    button.setCanMouseDown(false);
    button.awakeFromInterfaceFile();
    EXPECT_TRUE(button.isSelectable());
    EXPECT_TRUE(button.hasBackground());
    EXPECT_TRUE(button.canMouseDown());
    EXPECT_EQ(button.offTitle(), (ButtonTitle{"Page", QColor(72, 72, 69)}));
    EXPECT_EQ(button.onTitle(), (ButtonTitle{"Page", QColor(Qt::white)}));
    EXPECT_FALSE(button.state());
    EXPECT_EQ(button.currentTitle(), button.offTitle());
}

TEST(OnOffButton, NewTitleIsWhiteWhenOnOnlyWithABackground) {
    KXOnOffButton button;
    button.setTitle("Text");
    EXPECT_EQ(button.onTitle().color, QColor(Qt::white));
    button.setHasBackground(false);
    button.setTitle("Photo");
    EXPECT_EQ(button.onTitle(), button.offTitle());
    EXPECT_EQ(button.offTitle(), (ButtonTitle{"Photo", QColor(72, 72, 69)}));
}

TEST(OnOffButton, NotSelectableFollowsItsBackgroundWhateverIsSet) {
    struct Case {
        bool hasBackground;
        bool setFromOutside;
        bool expectedState;
        bool showsOn;
    };
    const Case cases[] = {{true, false, true, true}, {true, true, true, true},
                          {false, true, false, false}, {false, false, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "background " << c.hasBackground << " set " << c.setFromOutside);
        KXOnOffButton button;
        button.resize(80, 24);
        button.setTitle("Tab");
        button.setHasBackground(c.hasBackground);
        button.setSelectable(false);
        button.setState(c.setFromOutside);
        (void)kxtest::renderedWidget(button);  // drawing applies the rule too
        button.setState(!c.expectedState);
        EXPECT_EQ(button.state(), c.expectedState);
        EXPECT_EQ(button.showsOnLook(), c.showsOn);
        // A click does not switch it either.
        kxtest::click(&button, QPointF(40, 12));
        EXPECT_EQ(button.state(), c.expectedState);
    }
}

TEST(OnOffButton, SelectableSwitchesOnClickAndSetState) {
    KXOnOffButton button;
    button.resize(80, 24);
    kxtest::SignalLog clicked(&button, &QAbstractButton::clicked);
    kxtest::click(&button, QPointF(40, 12));
    EXPECT_TRUE(button.state());
    EXPECT_TRUE(button.showsOnLook());
    button.setState(false);
    EXPECT_FALSE(button.state());
    EXPECT_EQ(clicked.count(), 1);
}

TEST(OnOffButton, WithoutMouseDownClicksDoNothing) {
    KXOnOffButton button;
    button.resize(80, 24);
    button.setCanMouseDown(false);
    kxtest::SignalLog clicked(&button, &QAbstractButton::clicked);
    kxtest::click(&button, QPointF(40, 12));
    EXPECT_FALSE(button.state());
    EXPECT_EQ(clicked.count(), 0);
}

TEST(OnOffButton, OnLookIsAnUpwardBlueGradientOffLookLightGreyBothWithAnEdgeLine) {
    KXOnOffButton button;
    button.resize(80, 40);
    button.setState(true);
    QImage on = kxtest::renderedWidget(button);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(on, 40, 38), rgba(QColor(101, 155, 223)), 3);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(on, 40, 0), rgba(QColor(86, 138, 203)), 3);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(on, 0, 20), rgba(QColor(51, 51, 51)), 1);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(on, 40, 39), rgba(QColor(51, 51, 51)), 1);
    button.setState(false);
    QImage off = kxtest::renderedWidget(button);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(off, 40, 20), rgba(QColor(237, 237, 237)), 0);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(off, 0, 20), rgba(QColor(51, 51, 51)), 1);
}

TEST(PopPaneButton, HoverFlagFollowsThePointer) {
    KXPopPaneButton button;
    button.resize(40, 40);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.mouseIn());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.mouseIn());
}

TEST(PopPaneButton, HoverArrowAndPressedVeil) {
    KXPopPaneButton button;
    button.resize(40, 40);
    QPixmap image(32, 32);
    image.fill(Qt::white);
    button.setImage(image);
    const QImage plain = kxtest::renderedWidget(button);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(plain, 20, 20), rgba(Qt::white), 0);
    // The arrow (11 x 11, 3 points in from the right and bottom edges of the image fitted into the
    // bounds, so at 26 to 37) is a dark disc around a white triangle.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    const QImage hovered = kxtest::renderedWidget(button);
    EXPECT_LT(kxtest::pixelAt(hovered, 31, 28).r, 120);
    EXPECT_GT(kxtest::pixelAt(hovered, 31, 31).r, 200);
    EXPECT_COLOR_NEAR(kxtest::pixelAt(hovered, 10, 10), rgba(Qt::white), 0);
    // Pressed: grey 100 at 30 % over white.
    button.setDown(true);
    const QImage pressed = kxtest::renderedWidget(button);
    const int veiled = int(std::lround(255 * 0.7 + 100 * 0.3));
    EXPECT_COLOR_NEAR(kxtest::pixelAt(pressed, 10, 10), (kxtest::Rgba{veiled, veiled, veiled, 255}), 2);
}

TEST(PopUpButton, ItemsAddedInCodeGetDarkGreyTwelvePointTitles) {
    KXPopUpButton button;
    button.addItemsWithTitles({"Tile", "Stretch"});
    ASSERT_EQ(button.count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(button.itemData(i, Qt::FontRole).value<QFont>().pointSizeF(), 12);
        EXPECT_EQ(button.itemData(i, Qt::ForegroundRole).value<QBrush>().color(), QColor(56, 56, 56));
        EXPECT_FALSE(button.itemData(i).isValid());  // no data of its own
    }
    EXPECT_EQ(button.palette().color(QPalette::ButtonText), QColor(56, 56, 56));
    button.setMenuTitles({"A"});
    EXPECT_EQ(button.count(), 1);
    EXPECT_EQ(button.itemData(0, Qt::FontRole).value<QFont>().pointSizeF(), 12);
}

TEST(PopUpButton, LoadingRetitlesTheFormsItems) {
    KXPopUpButton button;
    button.addItem("Pixels");
    EXPECT_FALSE(button.itemData(0, Qt::FontRole).isValid());
    button.awakeFromInterfaceFile();
    EXPECT_EQ(button.itemData(0, Qt::ForegroundRole).value<QBrush>().color(), QColor(56, 56, 56));
}

TEST(FormControls, CheckboxesRadiosAndPopUpsOfAFormTakeTheDarkGreyTitle) {
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    auto* check = new QCheckBox("Clip");
    auto* radio = new QRadioButton("Portrait");
    auto* combo = new QComboBox;
    auto* push = new QPushButton("OK");
    auto* ownPopUp = new KXPopUpButton;
    for (QWidget* w : std::initializer_list<QWidget*>{check, radio, combo, push, ownPopUp})
        layout->addWidget(w);
    const QColor pushColour = push->palette().color(QPalette::ButtonText);
    restyleFormControls(&form);
    for (QWidget* w : std::initializer_list<QWidget*>{check, radio, combo}) {
        EXPECT_EQ(w->font().pointSizeF(), 12) << w->metaObject()->className();
        EXPECT_EQ(w->palette().color(QPalette::WindowText), QColor(56, 56, 56)) << w->metaObject()->className();
        EXPECT_EQ(w->palette().color(QPalette::ButtonText), QColor(56, 56, 56)) << w->metaObject()->className();
    }
    EXPECT_EQ(push->palette().color(QPalette::ButtonText), pushColour);
    EXPECT_FALSE(ownPopUp->property(kDarkGreyTitleProperty).toBool());
}

TEST(FormControls, AComboBoxMadeInCodeKeepsThePlatformTitleStyle) {
    QComboBox combo;
    combo.addItem("One");
    EXPECT_NE(combo.palette().color(QPalette::ButtonText), QColor(56, 56, 56));
    EXPECT_FALSE(combo.itemData(0, Qt::ForegroundRole).isValid());
}

TEST(FormControls, TheApplicationStyleKeepsTheLookWhenAControlIsPolishedAgain) {
    KXApplicationStyle style;
    QCheckBox check("Wrap");
    applyDarkGreyTitle(&check);
    check.setPalette(QPalette());
    check.setFont(QFont());
    style.polish(&check);
    EXPECT_EQ(check.palette().color(QPalette::WindowText), QColor(56, 56, 56));
    EXPECT_EQ(check.font().pointSizeF(), 12);

    QCheckBox plain("Other");
    const QColor before = plain.palette().color(QPalette::WindowText);
    style.polish(&plain);
    EXPECT_EQ(plain.palette().color(QPalette::WindowText), before);
}

TEST(PopupImageView, MouseUpPostsTheClickWithTheViewOnlyWhenEnabled) {
    KXPopupImageView view;
    view.resize(50, 50);
    int posts = 0;
    const void* sender = nullptr;
    auto token = kx::NotificationCenter::defaultCenter().addObserver(
        KXPopupImageViewClicked, nullptr, [&](const kx::Notification& n) {
            ++posts;
            sender = n.sender;
        });
    kxtest::SignalLog clicked(&view, &KXPopupImageView::clicked);
    kxtest::click(&view, QPointF(10, 10));
    EXPECT_EQ(posts, 1);
    EXPECT_EQ(sender, &view);
    EXPECT_EQ(clicked.count(), 1);
    view.setEnabled(false);
    kxtest::click(&view, QPointF(10, 10));
    EXPECT_EQ(posts, 1);
}

}  // namespace
}  // namespace kx::controls
