// The style inspector as a panel: the object inspectors it hosts per object type with their heights, the
// width it needs in the settings panel, the window's height it follows, and the notifications it posts and
// answers.
#include "controls/color_well.h"
#include "controls/notification_recorder.h"
#include "inspectors/graph_view_controller.h"
#include "inspectors/inspector_support.h"
#include "inspectors/property_view_controller.h"
#include "styled_shape_page.h"
#include "model/calendar.h"
#include "model/shadow.h"
#include "model/stroke.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// A stand-in object inspector: a plain view of a chosen height that records every object it is shown.
class RecordingInspector : public KXObjectInspector {
public:
    explicit RecordingInspector(int height) : m_height(height) {}
    void updateUIWithGraph(const std::shared_ptr<KXGraph>& graph) override { shown.push_back(graph); }
    // The view grows, as an inspector opening a sub-section does, and says so.
    void grow(int by) {
        view()->resize(view()->width(), view()->height() + by);
        postNeedToUpdateContentView();
    }
    std::vector<std::shared_ptr<KXGraph>> shown;

protected:
    QWidget* loadView() override {
        auto* view = new QWidget;
        view->resize(300, m_height);
        return view;
    }

private:
    int m_height;
};

class GraphViewHostTest : public ::testing::Test, public kxtest::StyledShapePage {
protected:
    void SetUp() override {
        text = std::make_shared<KXShape>();
        text->setPhoto(nullptr);
        calendar = std::make_shared<KXCalendar>();
        ASSERT_EQ(text->graphType(), KXGraphTypeText);
        auto textOwned = std::make_unique<RecordingInspector>(120);
        auto calendarOwned = std::make_unique<RecordingInspector>(80);
        textInspector = textOwned.get();
        calendarInspector = calendarOwned.get();
        ASSERT_TRUE(inspector.installObjectInspector(KXGraphTypeText, std::move(textOwned)));
        ASSERT_TRUE(inspector.installObjectInspector(KXGraphTypeCalendar, std::move(calendarOwned)));
    }
    // Lets the window's layout and the panel's queued layout passes run.
    static void settleLayout() {
        for (int i = 0; i < 3; ++i)
            settle();
    }
    int styleBottom() const {
        return inspector.findChild<QWidget*>(QStringLiteral("styleView"))->geometry().bottom() + 1;
    }

    KXGraphViewController inspector;
    std::shared_ptr<KXShape> text;
    std::shared_ptr<KXCalendar> calendar;
    RecordingInspector* textInspector = nullptr;
    RecordingInspector* calendarInspector = nullptr;
};

TEST_F(GraphViewHostTest, OnlyTypesWithAnObjectSectionTakeAnInspector) {
    for (std::int32_t type : {std::int32_t(KXGraphTypeShape), std::int32_t(KXGraphTypeGroup),
                              std::int32_t(KXGraphTypeLine), std::int32_t(99)}) {
        EXPECT_FALSE(inspector.installObjectInspector(type, std::make_unique<RecordingInspector>(10))) << type;
        EXPECT_EQ(inspector.objectInspector(type), nullptr) << type;
    }
    EXPECT_FALSE(inspector.installObjectInspector(KXGraphTypePhoto, nullptr));
    EXPECT_EQ(inspector.objectInspector(KXGraphTypeText), textInspector);
    EXPECT_EQ(inspector.objectInspector(KXGraphTypePhoto), nullptr);
}

TEST_F(GraphViewHostTest, TheInspectorOfTheShownTypeIsShownTheObjectUnderTheStyleSection) {
    inspector.updateUIWithGraph(text);
    ASSERT_FALSE(textInspector->shown.empty());
    EXPECT_EQ(textInspector->shown.back(), text);
    EXPECT_EQ(calendarInspector->shown.back(), nullptr);
    QWidget* section = inspector.objectView();
    EXPECT_FALSE(section->isHidden());
    EXPECT_EQ(section->y(), styleBottom());
    EXPECT_EQ(section->height(), 120 + 27);
    EXPECT_EQ(textInspector->view()->parentWidget(), section);
    EXPECT_EQ(textInspector->view()->geometry(), QRect(0, 32, inspector.sizeHint().width(), 120));
    EXPECT_FALSE(textInspector->view()->isHidden());
    EXPECT_TRUE(calendarInspector->view()->isHidden());
    EXPECT_EQ(inspector.btObject()->text(), QStringLiteral(" Text"));
    EXPECT_EQ(inspector.sizeHint().height(), section->y() + section->height());

    inspector.updateUIWithGraph(calendar);
    EXPECT_EQ(calendarInspector->shown.back(), calendar);
    EXPECT_EQ(textInspector->shown.back(), nullptr);
    EXPECT_EQ(section->height(), 80 + 27);
    EXPECT_TRUE(textInspector->view()->isHidden());
    EXPECT_FALSE(calendarInspector->view()->isHidden());

    // Collapsed, the section is its header alone; the object section follows a collapsed style section.
    inspector.setObjectExpanded(false);
    EXPECT_EQ(section->height(), 32);
    EXPECT_TRUE(calendarInspector->view()->isHidden());
    inspector.setStyleExpanded(false);
    EXPECT_EQ(section->y(), 32);
    EXPECT_EQ(inspector.sizeHint().height(), 64);
    inspector.setObjectExpanded(true);
    inspector.setStyleExpanded(true);

    // A plain shape has no object section; nothing shown lets every hosted inspector go of its object.
    inspector.updateUIWithGraph(shape);
    EXPECT_TRUE(section->isHidden());
    EXPECT_EQ(calendarInspector->shown.back(), nullptr);
    inspector.updateUIWithGraph(calendar);
    inspector.updateUIWithGraph(nullptr);
    EXPECT_EQ(calendarInspector->shown.back(), nullptr);
    EXPECT_EQ(textInspector->shown.back(), nullptr);
}

TEST_F(GraphViewHostTest, AHostedInspectorThatGrowsHasThePanelLaidOutAgain) {
    inspector.updateUIWithGraph(text);
    const int before = inspector.sizeHint().height();
    textInspector->grow(40);
    EXPECT_EQ(inspector.objectView()->height(), 160 + 27);
    EXPECT_EQ(inspector.sizeHint().height(), before + 40);

    // The same notification from anyone else is not the hosted inspector's: nothing is laid out.
    textInspector->view()->resize(textInspector->view()->width(), 10);
    kx::NotificationCenter::defaultCenter().post(KXNeedToUpdateContentView, &inspector);
    kx::NotificationCenter::defaultCenter().post(KXNeedToUpdateContentView);
    EXPECT_EQ(inspector.objectView()->height(), 160 + 27);
}

TEST_F(GraphViewHostTest, AnInspectorInstalledWhileItsTypeIsShownIsShownTheObject) {
    inspector.updateUIWithGraph(text);
    auto replacement = std::make_unique<RecordingInspector>(50);
    RecordingInspector* installed = replacement.get();
    ASSERT_TRUE(inspector.installObjectInspector(KXGraphTypeText, std::move(replacement)));
    ASSERT_FALSE(installed->shown.empty());
    EXPECT_EQ(installed->shown.back(), text);
    EXPECT_EQ(inspector.objectView()->height(), 50 + 27);
}

// The property tab as the window shows it: 220 points wide, with whatever height the window leaves.
struct SidePanel {
    SidePanel() {
        frame.setFixedWidth(220);
        auto* column = new QVBoxLayout(&frame);
        column->setContentsMargins(0, 0, 0, 0);
        column->addWidget(tab.view());
    }
    QScrollArea* scrollArea() { return tab.view()->findChild<QScrollArea*>(); }
    KXPropertyViewController tab;
    QWidget frame;
};

TEST_F(GraphViewHostTest, EveryFillKindFitsTheSettingsPanelsWidth) {
    shape->setStrokeEnabled(true);
    shape->setShadowEnabled(true);
    SidePanel panel;
    panel.frame.resize(220, 400);
    panel.frame.show();
    panel.tab.updateUIWithSelectedGraphs({shape});
    settleLayout();
    KXGraphViewController* hosted = panel.tab.graphVC();
    QScrollArea* scroll = panel.scrollArea();
    ASSERT_NE(scroll, nullptr);
    const struct {
        int fillType, colorType;
    } kinds[] = {{KXFillTypeColor, KXColorTypeSolid},    {KXFillTypeColor, KXColorTypeGradient},
                 {KXFillTypeColor, KXColorTypeAdvancedGradient}, {KXFillTypeCustomImage, 0},
                 {KXFillTypeImage, 0}};
    for (const auto& kind : kinds) {
        shape->background()->setFillType(kind.fillType);
        shape->background()->setColorType(kind.colorType);
        panel.tab.updateUIWithSelectedGraphs({shape});
        settleLayout();
        const std::string which = std::to_string(kind.fillType) + "/" + std::to_string(kind.colorType);
        // The panel is taller than the window leaves it, so the vertical scroll bar shows, and beside it
        // the inspector still needs no horizontal one.
        EXPECT_TRUE(scroll->verticalScrollBar()->isVisible()) << which;
        EXPECT_LE(hosted->sizeHint().width(), scroll->viewport()->width()) << which;
        EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible()) << which;
        EXPECT_EQ(hosted->width(), hosted->sizeHint().width()) << which;
        for (QWidget* widget : hosted->findChildren<QWidget*>()) {
            if (widget->isWindow() || widget->window() != hosted->window())
                continue;
            const QPoint left = widget->mapTo(hosted, QPoint(0, 0));
            EXPECT_GE(left.x(), 0) << which << " " << widget->metaObject()->className();
            EXPECT_LE(left.x() + widget->width(), hosted->sizeHint().width())
                << which << " " << widget->metaObject()->className() << " "
                << widget->objectName().toStdString();
        }
        // Labels and choices show their whole texts.
        for (QLabel* label : hosted->findChildren<QLabel*>()) {
            if (!label->text().isEmpty())
                EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
        }
        for (QRadioButton* choice : hosted->findChildren<QRadioButton*>())
            EXPECT_LE(choice->sizeHint().width(), choice->width()) << choice->text().toStdString();
    }
}

TEST_F(GraphViewHostTest, ThePanelFollowsTheHeightOfItsWindow) {
    SidePanel panel;
    panel.frame.resize(220, 300);
    panel.frame.show();
    panel.tab.updateUIWithSelectedGraphs({shape});
    KXGraphViewController* hosted = panel.tab.graphVC();
    hosted->setStyleExpanded(false);
    settleLayout();
    QWidget* viewport = panel.scrollArea()->viewport();
    EXPECT_EQ(hosted->height(), viewport->height());
    EXPECT_LT(hosted->sizeHint().height(), viewport->height());

    panel.frame.resize(220, 700);
    settleLayout();
    EXPECT_GT(viewport->height(), 600);
    EXPECT_EQ(hosted->height(), viewport->height());
    panel.frame.resize(220, 250);
    settleLayout();
    EXPECT_EQ(hosted->height(), viewport->height());
}

TEST_F(GraphViewHostTest, TheStrokeMenuPicturesTheFourLineStyles) {
    // Along the middle of each picture: one dark run for the solid line, then fewer and longer dashes.
    std::vector<int> runs;
    for (int item = 1; item <= 4; ++item) {
        const QIcon icon = inspector.pubStrokeStyle()->itemIcon(item);
        ASSERT_FALSE(icon.isNull()) << item;
        const QImage picture = icon.pixmap(inspector.pubStrokeStyle()->iconSize()).toImage();
        ASSERT_GE(picture.width(), 40) << item;
        int count = 0;
        bool on = false;
        for (int x = 0; x < picture.width(); ++x) {
            const bool dark = picture.pixelColor(x, picture.height() / 2).alpha() > 128;
            count += dark && !on;
            on = dark;
        }
        runs.push_back(count);
    }
    EXPECT_EQ(runs[0], 1);
    EXPECT_GT(runs[1], runs[2]);
    EXPECT_GT(runs[2], runs[3]);
    EXPECT_GT(runs[3], 1);
}

TEST_F(GraphViewHostTest, EditsThatLeaveTheCanvasModesAreAnnounced) {
    inspector.updateUIWithGraph(shape);
    settle();
    kxtest::NotificationRecorder recorder({KXExitObjectMode});
    const auto type = [](QLineEdit* field, const QString& value) {
        field->setText(value);
        emit field->textEdited(value);
    };
    // Filling the controls, and sliders, announce nothing.
    inspector.updateUIWithGraph(shape);
    inspector.opacity().slider->setValue(40);
    inspector.shadowBlur().slider->setValue(7);
    EXPECT_TRUE(recorder.posted.empty());

    const struct {
        const char* edit;
        std::function<void()> make;
    } edits[] = {
        {"typed width", [&] { type(inspector.lineWidth().field, QStringLiteral("30")); }},
        {"typed opacity", [&] { type(inspector.opacity().field, QStringLiteral("70")); }},
        {"typed shadow angle", [&] { type(inspector.shadowAngle().field, QStringLiteral("45")); }},
        {"stroke colour", [&] { inspector.cwStrokeColor()->setColor(QColor(10, 20, 30)); }},
        {"shadow colour", [&] { inspector.cwShadowColor()->setColor(QColor(30, 20, 10)); }},
        {"fill colour", [&] { inspector.fillView()->cwFillColor1()->setColor(QColor(200, 0, 0)); }},
        {"typed fill angle", [&] { type(inspector.fillView()->angle().field, QStringLiteral("33")); }},
    };
    for (const auto& edit : edits) {
        recorder.posted.clear();
        edit.make();
        EXPECT_EQ(recorder.posted.size(), 1u) << edit.edit;
    }
    // A typed width that is ignored announces nothing.
    recorder.posted.clear();
    type(inspector.lineWidth().field, QStringLiteral("0.5"));
    EXPECT_TRUE(recorder.posted.empty());
}

}  // namespace
