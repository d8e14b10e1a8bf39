// The calendar inspector: its controls against the calendar they write, the corrections of typed values,
// the undo steps, the wells' enabling, and the page's pixels after a colour change made through a well.
#include "inspectors/calendar_view_controller.h"

#include "controls/color_well.h"
#include "controls/segmented_control.h"
#include "controls/stepper.h"
#include "model/calendar.h"
#include "model/graph_render.h"
#include "styled_shape_page.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <gtest/gtest.h>

namespace {

using Inspector = KXCalendarViewController;

class CalendarInspectorTest : public ::testing::Test, public kxtest::StyledShapePage {
protected:
    void SetUp() override {
        page->removeGraph(shape.get());
        calendar = KXCalendar::calendarWithRelativeRect({0.02, 0.02, 0.96, 0.96});
        page->addGraph(calendar);
        calendar->setYear(2020);
        calendar->setFirstMonth(3);
        calendar->setMonthCount(4);
        calendar->setHasWeekday(true);
        settle();
        page->undoManager().removeAllActions();
        ASSERT_NE(inspector.view(), nullptr);
        inspector.updateUIWithGraph(calendar);
    }
    QByteArray calendarArchive() const {
        return kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(std::static_pointer_cast<KXGraph>(calendar)));
    }
    static void type(QLineEdit* field, const QString& text) {
        field->setText(text);
        emit field->textEdited(text);
    }
    static void endEditing(QLineEdit* field) { emit field->editingFinished(); }
    static void step(kx::controls::KXStepper* stepper, int value) {
        stepper->setValue(value);
        emit stepper->activated();
    }
    void expectOneStepBack(const QByteArray& before) {
        settle();
        kx::UndoManager& undo = page->undoManager();
        ASSERT_TRUE(undo.canUndo());
        EXPECT_NE(calendarArchive(), before);
        undo.undo();
        settle();
        EXPECT_EQ(calendarArchive(), before);
        EXPECT_FALSE(undo.canUndo());
    }

    std::shared_ptr<KXCalendar> calendar;
    Inspector inspector;
};

TEST_F(CalendarInspectorTest, YearsOutsideTheRangeWaitForTheEndOfEditing) {
    struct Case {
        const char* typed;
        int whileTyping;
        const char* shownAfter;
        int yearAfter;
    };
    const Case cases[] = {
        {"2050", 2020, "2038", 2038},
        {"1800", 2038, "1969", 1969},
        {"2001", 2001, "2001", 2001},
    };
    for (const Case& c : cases) {
        type(inspector.tfCalendarYear(), QString::fromLatin1(c.typed));
        EXPECT_EQ(calendar->year(), c.whileTyping) << c.typed;
        endEditing(inspector.tfCalendarYear());
        EXPECT_EQ(inspector.tfCalendarYear()->text(), c.shownAfter) << c.typed;
        EXPECT_EQ(calendar->year(), c.yearAfter) << c.typed;
        EXPECT_EQ(inspector.stCalendarYear()->value(), c.yearAfter) << c.typed;
    }
    step(inspector.stCalendarYear(), 2030);
    EXPECT_EQ(calendar->year(), 2030);
    EXPECT_EQ(inspector.tfCalendarYear()->text(), "2030");
}

TEST_F(CalendarInspectorTest, TheFirstMonthNeverPassesTheLast) {
    EXPECT_EQ(inspector.tfCalendarFirstMonth()->text(), "3");
    EXPECT_EQ(inspector.tfCalendarEndMonth()->text(), "6");
    const QByteArray before = calendarArchive();
    step(inspector.stCalendarFirstMonth(), 7);
    EXPECT_EQ(calendar->firstMonth(), 6);
    EXPECT_EQ(calendar->monthCount(), 1);
    EXPECT_EQ(inspector.tfCalendarFirstMonth()->text(), "6");
    // Both keys come back with one undo.
    expectOneStepBack(before);
    inspector.updateUIWithGraph(calendar);

    // Typed after the last month: corrected in the fields as well as in the calendar.
    type(inspector.tfCalendarFirstMonth(), QStringLiteral("9"));
    EXPECT_EQ(calendar->firstMonth(), 6);
    EXPECT_EQ(calendar->monthCount(), 1);
    EXPECT_EQ(inspector.tfCalendarFirstMonth()->text(), "6");
    EXPECT_EQ(inspector.stCalendarFirstMonth()->value(), 6);
    expectOneStepBack(before);
    inspector.updateUIWithGraph(calendar);

    // Within range: the months between the two.
    type(inspector.tfCalendarFirstMonth(), QStringLiteral("4"));
    EXPECT_EQ(calendar->firstMonth(), 4);
    EXPECT_EQ(calendar->monthCount(), 3);
    // A last month before the first leaves one month.
    type(inspector.tfCalendarEndMonth(), QStringLiteral("2"));
    EXPECT_EQ(calendar->firstMonth(), 4);
    EXPECT_EQ(calendar->monthCount(), 1);
    EXPECT_EQ(inspector.tfCalendarEndMonth()->text(), "4");
    step(inspector.stCalendarEndMonth(), 12);
    EXPECT_EQ(calendar->monthCount(), 9);
    type(inspector.tfCalendarEndMonth(), QStringLiteral("40"));
    EXPECT_EQ(calendar->monthCount(), 9);
    endEditing(inspector.tfCalendarEndMonth());
    EXPECT_EQ(inspector.tfCalendarEndMonth()->text(), "12");
}

// Counts the redraws a graph asks of the layer that shows it.
class CountingRender : public KXGraphRender {
public:
    void setNeedsDisplayGraph(KXGraph*) override { ++redraws; }
    void drawGraphSelection(KXGraph*) override {}
    kx::Layer* graphLayer() override { return nullptr; }
    kx::Layer* canvasLayer() override { return nullptr; }
    void setAngle(double) override {}
    int redraws = 0;
};

TEST_F(CalendarInspectorTest, ATypedFirstMonthAfterTheLastIsDrawnCorrected) {
    CountingRender render;
    calendar->setRender(&render);
    type(inspector.tfCalendarFirstMonth(), QStringLiteral("11"));
    EXPECT_EQ(calendar->firstMonth(), 6);
    EXPECT_EQ(calendar->monthCount(), 1);
    EXPECT_GE(render.redraws, 1);
    // A last month typed before the first is drawn corrected too.
    render.redraws = 0;
    type(inspector.tfCalendarEndMonth(), QStringLiteral("1"));
    EXPECT_EQ(inspector.tfCalendarEndMonth()->text(), "6");
    EXPECT_GE(render.redraws, 1);
    calendar->setRender(nullptr);
}

TEST_F(CalendarInspectorTest, GapsTakeTypedValuesWithinRange) {
    inspector.monthSpace().slider->setValue(30);
    EXPECT_EQ(calendar->monthGap(), 30);
    EXPECT_EQ(inspector.monthSpace().field->text(), "30");
    type(inspector.daySpace().field, QStringLiteral("150"));
    EXPECT_EQ(calendar->dayGap(), 100);
    EXPECT_EQ(inspector.daySpace().field->text(), "150");
    EXPECT_EQ(inspector.daySpace().slider->value(), 100);
    endEditing(inspector.daySpace().field);
    EXPECT_EQ(inspector.daySpace().field->text(), "100");
    step(inspector.daySpace().stepper, 12);
    EXPECT_EQ(calendar->dayGap(), 12);
}

TEST_F(CalendarInspectorTest, SwitchesEnableTheirWells) {
    using W = Inspector;
    struct Case {
        QCheckBox* box;
        W::Well wells[2];
        bool (KXCalendar::*read)() const;
    };
    const Case cases[] = {
        {inspector.btCalendarWeekday(), {W::WeekdayColor, W::WeekdayBKColor}, &KXCalendar::hasWeekday},
        {inspector.btCalendarAdjDay(), {W::AdjDayColor, W::AdjDayBKColor}, &KXCalendar::hasAdjacentDay},
    };
    for (const Case& c : cases) {
        for (bool on : {false, true, false}) {
            if (c.box->isChecked() != on)
                c.box->click();
            EXPECT_EQ((calendar.get()->*c.read)(), on);
            for (W::Well well : c.wells)
                EXPECT_EQ(inspector.colorWell(well)->isWellEnabled(), on) << well;
        }
    }
    inspector.btShowYear()->setChecked(true);
    EXPECT_TRUE(calendar->isShowYear());
    EXPECT_TRUE(inspector.scCalendarYearAlignment()->isEnabled());
    inspector.btShowYear()->setChecked(false);
    EXPECT_FALSE(inspector.colorWell(W::YearColor)->isWellEnabled());

    // Another calendar without the weekday row shows both wells disabled.
    auto other = KXCalendar::calendarWithRelativeRect({0, 0, 1, 1});
    other->setHasWeekday(false);
    inspector.btCalendarWeekday()->click();
    ASSERT_TRUE(inspector.colorWell(W::WeekdayColor)->isWellEnabled());
    inspector.updateUIWithGraph(other);
    EXPECT_FALSE(inspector.colorWell(W::WeekdayColor)->isWellEnabled());
    EXPECT_FALSE(inspector.colorWell(W::WeekdayBKColor)->isWellEnabled());
}

TEST_F(CalendarInspectorTest, AlignmentsAndFont) {
    inspector.scCalendarYearAlignment()->setSelectedSegment(2);
    emit inspector.scCalendarYearAlignment()->activated(2);
    EXPECT_EQ(calendar->yearAlignment(), 2);
    emit inspector.scCalendarMonthAlignment()->activated(1);
    EXPECT_EQ(calendar->monthAlignment(), 1);
    QComboBox* fonts = inspector.pubCalendarFont();
    ASSERT_GT(fonts->count(), 0);
    const int index = fonts->findText(QStringLiteral("DejaVu Sans"));
    ASSERT_GE(index, 0);
    fonts->setCurrentIndex(index);
    emit fonts->activated(index);
    EXPECT_EQ(calendar->fontName(), "DejaVu Sans");
    // The open list shows each family in its own face.
    EXPECT_EQ(fonts->itemData(index, Qt::FontRole).value<QFont>().family(), "DejaVu Sans");
    fonts->setCurrentIndex(0);
    inspector.updateUIWithGraph(calendar);
    EXPECT_EQ(fonts->currentText(), "DejaVu Sans");
}

TEST_F(CalendarInspectorTest, TheFontButtonShowsTheFamilyInItsOwnFace) {
    QComboBox* fonts = inspector.pubCalendarFont();
    const int families = fonts->count();
    ASSERT_GT(families, 0);
    // The calendar's text, drawn dark on the page, whatever face it was given.
    auto darkPixels = [this] {
        const QImage image = page->renderOutputImage(page->pixelSize()).qimage().convertToFormat(QImage::Format_RGB32);
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += qGray(image.pixel(x, y)) < 100;
        return count;
    };
    struct Case {
        const char* family;
        bool installed;
    };
    const Case cases[] = {{"DejaVu Serif", true}, {"No Such Family 7", false}, {"DejaVu Sans Mono", true},
                          {"No Such Family 7", false}};
    for (const Case& c : cases) {
        const QString family = QString::fromLatin1(c.family);
        calendar->setFontName(family);
        settle();
        page->undoManager().removeAllActions();
        const QByteArray before = calendarArchive();
        inspector.updateUIWithGraph(calendar);
        settle();
        EXPECT_EQ(fonts->currentText(), family);
        EXPECT_EQ(fonts->font().family(), c.installed ? family : QApplication::font().family()) << c.family;
        EXPECT_EQ(fonts->count(), families + (c.installed ? 0 : 1)) << c.family;
        EXPECT_EQ(calendarArchive(), before) << c.family;
        EXPECT_FALSE(page->undoManager().canUndo()) << c.family;
        EXPECT_GT(darkPixels(), 100) << c.family;
    }

    // Choosing an installed family for a calendar whose family is missing: one step, and the stand-in item
    // goes away.
    const QByteArray before = calendarArchive();
    const int sans = fonts->findText(QStringLiteral("DejaVu Sans"));
    ASSERT_GT(sans, 0);
    fonts->setCurrentIndex(sans);
    emit fonts->activated(sans);
    EXPECT_EQ(calendar->fontName(), "DejaVu Sans");
    EXPECT_EQ(fonts->count(), families);
    EXPECT_EQ(fonts->currentText(), "DejaVu Sans");
    EXPECT_EQ(fonts->font().family(), "DejaVu Sans");
    expectOneStepBack(before);
    inspector.updateUIWithGraph(calendar);
    EXPECT_EQ(fonts->currentText(), "No Such Family 7");
    // Choosing the missing family again is no edit.
    emit fonts->activated(0);
    settle();
    EXPECT_FALSE(page->undoManager().canUndo());
    EXPECT_EQ(calendar->fontName(), "No Such Family 7");
}

TEST_F(CalendarInspectorTest, AColourChangeIsOneStepAndShowsOnThePage) {
    auto greenPixels = [this] {
        const QImage image = page->renderOutputImage(page->pixelSize()).qimage().convertToFormat(QImage::Format_RGB32);
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                count += c.green() > 200 && c.red() < 40 && c.blue() < 40;
            }
        }
        return count;
    };
    ASSERT_EQ(greenPixels(), 0);
    const QByteArray before = calendarArchive();
    inspector.colorWell(Inspector::DayBKColor)->setColor(QColor(0, 255, 0));
    EXPECT_EQ(calendar->dayBKColor().toQColor().green(), 255);
    EXPECT_GT(greenPixels(), 200);
    expectOneStepBack(before);
    EXPECT_EQ(greenPixels(), 0);
}

TEST_F(CalendarInspectorTest, ShowingACalendarWritesNothing) {
    auto other = KXCalendar::calendarWithRelativeRect({0.1, 0.1, 0.5, 0.5});
    page->addGraph(other);
    other->setYear(1999);
    other->setFirstMonth(5);
    other->setMonthCount(2);
    other->setMonthGap(44);
    other->setDayGap(7);
    other->setIsShowYear(true);
    other->setYearAlignment(1);
    other->setHasAdjacentDay(true);
    other->setAdjDayColor(kx::Color::srgb(0.2, 0.3, 0.4));
    settle();
    page->undoManager().removeAllActions();
    const QByteArray otherBefore = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(std::static_pointer_cast<KXGraph>(other)));
    const QByteArray before = calendarArchive();
    inspector.updateUIWithGraph(other);
    inspector.updateUIWithGraph(calendar);
    inspector.updateUIWithGraph(other);
    settle();
    EXPECT_FALSE(page->undoManager().canUndo());
    EXPECT_EQ(calendarArchive(), before);
    EXPECT_EQ(kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(std::static_pointer_cast<KXGraph>(other))),
              otherBefore);
    EXPECT_EQ(inspector.tfCalendarYear()->text(), "1999");
    EXPECT_EQ(inspector.tfCalendarEndMonth()->text(), "6");
    EXPECT_EQ(inspector.monthSpace().field->text(), "44");
    EXPECT_EQ(inspector.scCalendarYearAlignment()->selectedSegment(), 1);
    EXPECT_TRUE(inspector.colorWell(Inspector::AdjDayColor)->isWellEnabled());
}

TEST_F(CalendarInspectorTest, IsHostedByTheStyleInspector) {
    KXGraphViewController host;
    auto owned = std::make_unique<Inspector>();
    Inspector* hosted = owned.get();
    ASSERT_TRUE(host.installObjectInspector(KXGraphTypeCalendar, std::move(owned)));
    host.updateUIWithGraph(calendar);
    EXPECT_EQ(hosted->calendar(), calendar.get());
    EXPECT_EQ(hosted->tfCalendarYear()->text(), "2020");
    host.updateUIWithGraph(shape);
    EXPECT_EQ(hosted->calendar(), nullptr);
}

}  // namespace
