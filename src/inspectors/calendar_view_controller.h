// The calendar inspector, hosted in the style inspector's object section for calendars. It edits the
// calendar's font, year, first and last month, the gaps between months and between days, the year band
// (shown or not, its alignment and colour), the month titles' alignment and colour, the weekday row and the
// days of adjacent months with their switches, and the ten colours of the calendar's parts. Every edit is
// written straight into the calendar; the page turns each into an undo step, and a first-month change,
// which also writes the month count, is one group.
//
// Filling the controls from a calendar never writes it: the controls' own reports are ignored meanwhile.
#pragma once

#include "inspectors/graph_view_controller.h"
#include "inspectors/value_row.h"
#include "platform/foundation/value.h"

#include <array>
#include <memory>

class KXCalendar;
class QCheckBox;
class QComboBox;
class QLineEdit;

namespace kx::controls {
class KXColorWell;
class KXSegmentedControl;
class KXStepper;
}  // namespace kx::controls

class KXCalendarViewController : public KXObjectInspector {
public:
    // The ten colours, in the order of their wells.
    enum Well {
        YearColor,
        MonthColor,
        DayColor,
        DayBKColor,
        WeekendColor,
        WeekendBKColor,
        WeekdayColor,
        WeekdayBKColor,
        AdjDayColor,
        AdjDayBKColor,
        WellCount
    };
    static constexpr int kFirstYear = 1969;
    static constexpr int kLastYear = 2038;

    KXCalendarViewController();
    ~KXCalendarViewController() override;

    // Shows the calendar (null or another kind of object: lets go of the calendar it held).
    void updateUIWithGraph(const std::shared_ptr<KXGraph>& graph) override;
    KXCalendar* calendar() const { return m_calendar.get(); }

    // Sets one of the calendar's settings by key.
    static void changeCalendarKeyPath(const QString& key, const kx::Value& value, KXCalendar* calendar);

    QComboBox* pubCalendarFont() const { return m_pubFont; }
    QLineEdit* tfCalendarYear() const { return m_tfYear; }
    kx::controls::KXStepper* stCalendarYear() const { return m_stYear; }
    QCheckBox* btShowYear() const { return m_btShowYear; }
    kx::controls::KXSegmentedControl* scCalendarYearAlignment() const { return m_scYearAlignment; }
    QLineEdit* tfCalendarFirstMonth() const { return m_tfFirstMonth; }
    kx::controls::KXStepper* stCalendarFirstMonth() const { return m_stFirstMonth; }
    QLineEdit* tfCalendarEndMonth() const { return m_tfEndMonth; }
    kx::controls::KXStepper* stCalendarEndMonth() const { return m_stEndMonth; }
    const ValueRow& monthSpace() const { return m_monthSpace; }
    kx::controls::KXSegmentedControl* scCalendarMonthAlignment() const { return m_scMonthAlignment; }
    const ValueRow& daySpace() const { return m_daySpace; }
    QCheckBox* btCalendarWeekday() const { return m_btWeekday; }
    QCheckBox* btCalendarAdjDay() const { return m_btAdjDay; }
    kx::controls::KXColorWell* colorWell(Well well) const { return m_wells[well]; }

protected:
    QWidget* loadView() override;

private:
    enum class Field { Year, FirstMonth, EndMonth, MonthGap, DayGap };

    QLineEdit* makeNumberRow(QWidget* parent, int y, const char* label, int minimum, int maximum,
                             kx::controls::KXStepper** stepper, Field field);
    kx::controls::KXSegmentedControl* makeAlignment(QWidget* parent, int x, int y, const QString& key);
    void makeWell(QWidget* parent, int x, int y, int width, Well well);
    void makeWellPair(QWidget* parent, int y, const char* label, Well text, Well background, QCheckBox** toggle);

    // The actions of the steppers, sliders, switches, menus and segments; each ends with a redraw.
    void fontChanged(int index);
    // Selects the calendar's font family in the menu. A family that is not installed has no item of its
    // own: it gets one at the top, titled with its name in the default font, while a calendar uses it.
    void showFontName(const QString& family);
    void removeMissingFontItem();
    // The closed menu button shows the chosen family in its own face (the default font for one missing).
    void drawChosenFont();
    void showYearChanged(bool on);
    void yearStepped();
    void firstMonthStepped();
    void endMonthStepped();
    void gapChanged(Field which, double value);
    void weekdayChanged(bool on);
    void adjacentDayChanged(bool on);
    void alignmentChanged(const QString& key, int segment);
    void changeCalendarColorWithColorWell(Well well, const QColor& color);
    void textChanged(Field which, const QString& text);
    void editingEnded(Field which);
    // First month and month count together, in one undo group of the calendar's page.
    void setFirstMonthAndCount(int first, int count);
    void redraw();

    std::shared_ptr<KXCalendar> m_calendar;
    bool m_updatingUI = false;

    QComboBox* m_pubFont = nullptr;
    // Whether the menu's first item is the calendar's family that is not installed.
    bool m_hasMissingFontItem = false;
    QLineEdit* m_tfYear = nullptr;
    kx::controls::KXStepper* m_stYear = nullptr;
    QCheckBox* m_btShowYear = nullptr;
    kx::controls::KXSegmentedControl* m_scYearAlignment = nullptr;
    QLineEdit* m_tfFirstMonth = nullptr;
    kx::controls::KXStepper* m_stFirstMonth = nullptr;
    QLineEdit* m_tfEndMonth = nullptr;
    kx::controls::KXStepper* m_stEndMonth = nullptr;
    ValueRow m_monthSpace, m_daySpace;
    kx::controls::KXSegmentedControl* m_scMonthAlignment = nullptr;
    QCheckBox* m_btWeekday = nullptr;
    QCheckBox* m_btAdjDay = nullptr;
    std::array<kx::controls::KXColorWell*, WellCount> m_wells{};
};
