#include "inspectors/calendar_view_controller.h"

#include "controls/color_well.h"
#include "controls/segmented_control.h"
#include "controls/stepper.h"
#include "graphics/system_services.h"
#include "inspectors/inspector_support.h"
#include "model/calendar.h"
#include "model/canvas.h"
#include "platform/foundation/undo_manager.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>

#include <algorithm>
#include <cmath>

using namespace kx::inspectors;
using kx::controls::KXColorWell;
using kx::controls::KXSegmentedControl;
using kx::controls::KXStepper;

namespace {
constexpr int kWidth = kSectionWidth;
constexpr int kRow = kValueRowHeight;
constexpr int kInitialGap = 10;
// The wells of a pair, text and background, start further right than the value rows' controls: their
// labels are longer.
constexpr int kFirstWellX = 72;
constexpr int kSecondWellX = kFirstWellX + 62;

struct ColorAccess {
    const kx::Color& (KXCalendar::*get)() const;
    void (KXCalendar::*set)(const kx::Color&);
};
constexpr ColorAccess kColors[KXCalendarViewController::WellCount] = {
    {&KXCalendar::yearColor, &KXCalendar::setYearColor},
    {&KXCalendar::monthColor, &KXCalendar::setMonthColor},
    {&KXCalendar::dayColor, &KXCalendar::setDayColor},
    {&KXCalendar::dayBKColor, &KXCalendar::setDayBKColor},
    {&KXCalendar::weekendColor, &KXCalendar::setWeekendColor},
    {&KXCalendar::weekendBKColor, &KXCalendar::setWeekendBKColor},
    {&KXCalendar::weekdayColor, &KXCalendar::setWeekdayColor},
    {&KXCalendar::weekdayBKColor, &KXCalendar::setWeekdayBKColor},
    {&KXCalendar::adjDayColor, &KXCalendar::setAdjDayColor},
    {&KXCalendar::adjDayBKColor, &KXCalendar::setAdjDayBKColor},
};

const QString kYearAlignmentKey = QStringLiteral("yearAlignment");
const QString kMonthAlignmentKey = QStringLiteral("monthAlignment");

void showNumber(QLineEdit* field, KXStepper* stepper, int value) {
    quietly(field, [value](QLineEdit* f) { f->setText(QString::asprintf("%d", value)); });
    quietly(stepper, [value](KXStepper* s) { s->setValue(value); });
}

QLabel* makeLabel(QWidget* parent, int y, const char* key) {
    auto* label = new QLabel(localized(key), parent);
    label->setGeometry(kValueRowLabelX, y, kValueRowControlX - kValueRowLabelX - 2, kRow - 4);
    return label;
}
}  // namespace

KXCalendarViewController::KXCalendarViewController() = default;
KXCalendarViewController::~KXCalendarViewController() = default;

void KXCalendarViewController::changeCalendarKeyPath(const QString& key, const kx::Value& value,
                                                     KXCalendar* calendar) {
    if (calendar)
        calendar->setValueForKey(key, value);
}

QLineEdit* KXCalendarViewController::makeNumberRow(QWidget* parent, int y, const char* label, int minimum,
                                                   int maximum, KXStepper** stepper, Field field) {
    makeLabel(parent, y, label);
    auto* text = new QLineEdit(parent);
    text->setGeometry(kValueRowControlX, y, 50, kRow - 4);
    auto* step = new KXStepper(parent);
    step->setRange(minimum, maximum);
    step->setGeometry(kValueRowControlX + 52, y, 16, kRow - 4);
    *stepper = step;
    connect(text, &QLineEdit::textEdited, this, [this, field](const QString& typed) { textChanged(field, typed); });
    connect(text, &QLineEdit::editingFinished, this, [this, field] { editingEnded(field); });
    connect(step, &KXStepper::activated, this, [this, field] {
        if (m_updatingUI)
            return;
        if (field == Field::Year)
            yearStepped();
        else if (field == Field::FirstMonth)
            firstMonthStepped();
        else
            endMonthStepped();
    });
    return text;
}

KXSegmentedControl* KXCalendarViewController::makeAlignment(QWidget* parent, int x, int y, const QString& key) {
    auto* control = new KXSegmentedControl(parent);
    control->setSegmentCount(3);
    const char* const labels[] = {"Left", "Center", "Right"};
    for (int i = 0; i < 3; ++i)
        control->setLabel(i, localized(labels[i]));
    control->setGeometry(x, y, kWidth - 8 - x, kRow - 4);
    connect(control, &KXSegmentedControl::activated, this, [this, key](int segment) {
        if (!m_updatingUI)
            alignmentChanged(key, segment);
    });
    return control;
}

void KXCalendarViewController::makeWellPair(QWidget* parent, int y, const char* label, Well text, Well background,
                                            QCheckBox** toggle) {
    if (toggle) {
        *toggle = new QCheckBox(localized(label), parent);
        (*toggle)->setGeometry(kValueRowLabelX, y - kRow + 2, kWidth - 12, kRow - 4);
    } else {
        auto* title = new QLabel(localized(label), parent);
        title->setGeometry(kValueRowLabelX, y, kFirstWellX - kValueRowLabelX - 2, kRow - 4);
    }
    const Well wells[] = {text, background};
    for (int i = 0; i < 2; ++i)
        makeWell(parent, i == 0 ? kFirstWellX : kSecondWellX, y, 58, wells[i]);
}

void KXCalendarViewController::makeWell(QWidget* parent, int x, int y, int width, Well well) {
    m_wells[well] = new KXColorWell(parent);
    m_wells[well]->setGeometry(x, y, width, kRow - 6);
    connect(m_wells[well], &KXColorWell::colorChanged, this, [this, well](const QColor& color) {
        if (!m_updatingUI)
            changeCalendarColorWithColorWell(well, color);
    });
}

QWidget* KXCalendarViewController::loadView() {
    m_updatingUI = true;
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("CalendarView"));
    int y = 4;

    makeLabel(view, y, "Font");
    m_pubFont = new QComboBox(view);
    m_pubFont->setObjectName(QStringLiteral("pubCalendarFont"));
    m_pubFont->setGeometry(kValueRowControlX, y, kWidth - 8 - kValueRowControlX, kRow - 4);
    // The open list shows each family in its own face, and so does the closed button for the chosen one.
    if (std::unique_ptr<QMenu> families = fontFamilyMenu()) {
        for (QAction* action : families->actions()) {
            m_pubFont->addItem(action->text());
            m_pubFont->setItemData(m_pubFont->count() - 1, action->font(), Qt::FontRole);
        }
    }
    connect(m_pubFont, &QComboBox::activated, this, [this](int index) {
        if (!m_updatingUI)
            fontChanged(index);
    });
    connect(m_pubFont, &QComboBox::currentIndexChanged, this, [this] { drawChosenFont(); });
    drawChosenFont();
    y += kRow;

    m_tfYear = makeNumberRow(view, y, "Year", kFirstYear, kLastYear, &m_stYear, Field::Year);
    showNumber(m_tfYear, m_stYear, std::clamp(QDate::currentDate().year(), kFirstYear, kLastYear));
    y += kRow + 4;

    m_btShowYear = new QCheckBox(localized("Show Year"), view);
    m_btShowYear->setGeometry(kValueRowLabelX, y, kWidth - 12, kRow - 4);
    connect(m_btShowYear, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_updatingUI)
            showYearChanged(on);
    });
    y += kRow;
    // The alignments take the panel's width, so that their segments show whole titles.
    m_scYearAlignment = makeAlignment(view, 8, y, kYearAlignmentKey);
    y += kRow;
    makeLabel(view, y, "Color");
    makeWell(view, kValueRowControlX, y, 60, YearColor);
    y += kRow + 4;

    m_tfFirstMonth = makeNumberRow(view, y, "From", 1, 12, &m_stFirstMonth, Field::FirstMonth);
    showNumber(m_tfFirstMonth, m_stFirstMonth, 1);
    y += kRow;
    m_tfEndMonth = makeNumberRow(view, y, "To", 1, 12, &m_stEndMonth, Field::EndMonth);
    showNumber(m_tfEndMonth, m_stEndMonth, 12);
    y += kRow;

    struct GapSetup {
        ValueRow* row;
        const char* label;
        Field field;
    };
    auto* spacing = new QLabel(localized("Spacing"), view);
    spacing->setGeometry(kValueRowLabelX, y, kWidth - 12, kRow - 4);
    y += kRow;
    for (const GapSetup& gap : {GapSetup{&m_monthSpace, "Months", Field::MonthGap},
                                GapSetup{&m_daySpace, "Days", Field::DayGap}}) {
        *gap.row = makeValueRow(view, y, localized(gap.label), 0, 100);
        gap.row->show(kInitialGap);
        connect(gap.row->slider, &QSlider::valueChanged, this, [this, field = gap.field](int value) {
            if (!m_updatingUI)
                gapChanged(field, value);
        });
        connect(gap.row->stepper, &KXStepper::activated, this, [this, field = gap.field, row = gap.row] {
            if (!m_updatingUI)
                gapChanged(field, row->stepper->value());
        });
        connect(gap.row->field, &QLineEdit::textEdited, this,
                [this, field = gap.field](const QString& typed) { textChanged(field, typed); });
        connect(gap.row->field, &QLineEdit::editingFinished, this, [this, field = gap.field] { editingEnded(field); });
        y += kRow;
        if (gap.field == Field::MonthGap) {
            auto* titles = new QLabel(localized("Month Titles"), view);
            titles->setGeometry(kValueRowLabelX, y, kWidth - 12, kRow - 4);
            y += kRow;
            m_scMonthAlignment = makeAlignment(view, 8, y, kMonthAlignmentKey);
            y += kRow;
            makeLabel(view, y, "Color");
            makeWell(view, kValueRowControlX, y, 60, MonthColor);
            y += kRow + 4;
        }
    }

    makeWellPair(view, y, "Days", DayColor, DayBKColor, nullptr);
    y += kRow;
    makeWellPair(view, y, "Weekend", WeekendColor, WeekendBKColor, nullptr);
    y += 2 * kRow;
    makeWellPair(view, y, "Weekdays", WeekdayColor, WeekdayBKColor, &m_btWeekday);
    connect(m_btWeekday, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_updatingUI)
            weekdayChanged(on);
    });
    y += 2 * kRow;
    makeWellPair(view, y, "Adjacent Days", AdjDayColor, AdjDayBKColor, &m_btAdjDay);
    connect(m_btAdjDay, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_updatingUI)
            adjacentDayChanged(on);
    });
    y += kRow + 4;
    view->resize(kWidth, y);
    m_updatingUI = false;
    return view;
}

void KXCalendarViewController::updateUIWithGraph(const std::shared_ptr<KXGraph>& graph) {
    m_calendar = std::dynamic_pointer_cast<KXCalendar>(graph);
    if (!m_calendar || !view())
        return;
    m_updatingUI = true;
    KXCalendar& c = *m_calendar;
    showFontName(c.fontName());
    showNumber(m_tfYear, m_stYear, c.year());
    showNumber(m_tfFirstMonth, m_stFirstMonth, c.firstMonth());
    showNumber(m_tfEndMonth, m_stEndMonth, c.firstMonth() + c.monthCount() - 1);

    m_btShowYear->setChecked(c.isShowYear());
    m_scYearAlignment->setEnabled(c.isShowYear());
    m_wells[YearColor]->setWellEnabled(c.isShowYear());
    m_scYearAlignment->setSelectedSegment(c.yearAlignment());
    m_monthSpace.show(c.monthGap());
    m_scMonthAlignment->setSelectedSegment(c.monthAlignment());
    m_daySpace.show(c.dayGap());
    m_btWeekday->setChecked(c.hasWeekday());
    m_btAdjDay->setChecked(c.hasAdjacentDay());
    for (Well well : {WeekdayColor, WeekdayBKColor})
        m_wells[well]->setWellEnabled(c.hasWeekday());
    for (Well well : {AdjDayColor, AdjDayBKColor})
        m_wells[well]->setWellEnabled(c.hasAdjacentDay());
    for (int well = 0; well < WellCount; ++well) {
        const kx::Color& color = (c.*kColors[well].get)();
        if (!color.isNull())
            m_wells[well]->setColor(color.toQColor());
    }
    m_updatingUI = false;
}

void KXCalendarViewController::redraw() {
    if (m_calendar)
        m_calendar->setNeedsDisplay();
}

void KXCalendarViewController::fontChanged(int index) {
    if (index >= 0 && m_calendar) {
        const QString family = m_pubFont->itemText(index);
        // Choosing the family the calendar has (the missing one included) is no edit.
        if (family != m_calendar->fontName())
            changeCalendarKeyPath(QStringLiteral("fontName"), family, m_calendar.get());
        if (m_hasMissingFontItem && index != 0)
            removeMissingFontItem();
    }
    redraw();
}

void KXCalendarViewController::showFontName(const QString& family) {
    int index = m_pubFont->findText(family, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (m_hasMissingFontItem && index != 0) {
        removeMissingFontItem();
        index = m_pubFont->findText(family, Qt::MatchExactly | Qt::MatchCaseSensitive);
    }
    if (index < 0 && !family.isEmpty()) {
        quietly(m_pubFont, [&family](QComboBox* box) {
            box->insertItem(0, family);
            box->setItemData(0, box->parentWidget() ? box->parentWidget()->font() : QApplication::font(), Qt::FontRole);
        });
        m_hasMissingFontItem = true;
        index = 0;
    }
    if (index >= 0)
        m_pubFont->setCurrentIndex(index);
    drawChosenFont();
}

void KXCalendarViewController::removeMissingFontItem() {
    quietly(m_pubFont, [](QComboBox* box) { box->removeItem(0); });
    m_hasMissingFontItem = false;
    drawChosenFont();
}

void KXCalendarViewController::drawChosenFont() {
    // The panel's font, with the chosen family in place of its own.
    QFont font = m_pubFont->parentWidget() ? m_pubFont->parentWidget()->font() : QApplication::font();
    const int index = m_pubFont->currentIndex();
    if (index >= 0 && !(m_hasMissingFontItem && index == 0)) {
        const QFont face = m_pubFont->itemData(index, Qt::FontRole).value<QFont>();
        font.setFamilies({face.family()});
    }
    m_pubFont->setFont(font);
}

void KXCalendarViewController::showYearChanged(bool on) {
    m_scYearAlignment->setEnabled(on);
    m_wells[YearColor]->setWellEnabled(on);
    changeCalendarKeyPath(QStringLiteral("isShowYear"), on, m_calendar.get());
    redraw();
}

void KXCalendarViewController::yearStepped() {
    const int year = int(std::lround(m_stYear->value()));
    quietly(m_tfYear, [year](QLineEdit* f) { f->setText(QString::asprintf("%d", year)); });
    changeCalendarKeyPath(QStringLiteral("year"), year, m_calendar.get());
    redraw();
}

void KXCalendarViewController::setFirstMonthAndCount(int first, int count) {
    if (!m_calendar)
        return;
    KXCanvas* page = m_calendar->canvas();
    if (page)
        page->undoManager().beginUndoGrouping();
    changeCalendarKeyPath(QStringLiteral("monthCount"), count, m_calendar.get());
    changeCalendarKeyPath(QStringLiteral("firstMonth"), first, m_calendar.get());
    if (page)
        page->undoManager().endUndoGrouping();
}

void KXCalendarViewController::firstMonthStepped() {
    const int last = int(std::lround(m_stEndMonth->value()));
    const int first = std::min(int(std::lround(m_stFirstMonth->value())), last);
    showNumber(m_tfFirstMonth, m_stFirstMonth, first);
    setFirstMonthAndCount(first, last - first + 1);
    redraw();
}

void KXCalendarViewController::endMonthStepped() {
    const int first = int(std::lround(m_stFirstMonth->value()));
    const int last = std::max(int(std::lround(m_stEndMonth->value())), first);
    showNumber(m_tfEndMonth, m_stEndMonth, last);
    changeCalendarKeyPath(QStringLiteral("monthCount"), last - first + 1, m_calendar.get());
    redraw();
}

void KXCalendarViewController::gapChanged(Field which, double value) {
    const ValueRow& row = which == Field::MonthGap ? m_monthSpace : m_daySpace;
    row.show(value);
    changeCalendarKeyPath(which == Field::MonthGap ? QStringLiteral("monthGap") : QStringLiteral("dayGap"),
                          int(std::lround(value)), m_calendar.get());
    redraw();
}

void KXCalendarViewController::weekdayChanged(bool on) {
    for (Well well : {WeekdayColor, WeekdayBKColor})
        m_wells[well]->setWellEnabled(on);
    changeCalendarKeyPath(QStringLiteral("hasWeekday"), on, m_calendar.get());
    redraw();
}

void KXCalendarViewController::adjacentDayChanged(bool on) {
    for (Well well : {AdjDayColor, AdjDayBKColor})
        m_wells[well]->setWellEnabled(on);
    changeCalendarKeyPath(QStringLiteral("hasAdjacentDay"), on, m_calendar.get());
    redraw();
}

void KXCalendarViewController::alignmentChanged(const QString& key, int segment) {
    changeCalendarKeyPath(key, segment, m_calendar.get());
    redraw();
}

void KXCalendarViewController::changeCalendarColorWithColorWell(Well well, const QColor& color) {
    if (!m_calendar || well < 0 || well >= WellCount)
        return;
    (m_calendar.get()->*kColors[well].set)(srgbColor(color));
}

void KXCalendarViewController::textChanged(Field which, const QString& text) {
    if (m_updatingUI)
        return;
    const int typed = text.trimmed().toInt();
    const int first = int(std::lround(m_stFirstMonth->value()));
    const int last = int(std::lround(m_stEndMonth->value()));
    switch (which) {
    case Field::Year:
        // Years outside the range wait for the end of the editing.
        if (typed < kFirstYear || typed > kLastYear)
            return;
        quietly(m_stYear, [typed](KXStepper* s) { s->setValue(typed); });
        yearStepped();
        return;
    case Field::FirstMonth:
        if (typed > last) {
            // After the last month: the calendar shows the last month alone, and is drawn so.
            showNumber(m_tfFirstMonth, m_stFirstMonth, last);
            setFirstMonthAndCount(last, 1);
            showNumber(m_tfEndMonth, m_stEndMonth, last);
            redraw();
            return;
        }
        quietly(m_stFirstMonth, [typed](KXStepper* s) { s->setValue(std::clamp(typed, 1, 12)); });
        firstMonthStepped();
        return;
    case Field::EndMonth:
        if (typed < first) {
            showNumber(m_tfEndMonth, m_stEndMonth, first);
            changeCalendarKeyPath(QStringLiteral("monthCount"), 1, m_calendar.get());
            redraw();
            return;
        }
        quietly(m_stEndMonth, [typed](KXStepper* s) { s->setValue(std::clamp(typed, 1, 12)); });
        endMonthStepped();
        return;
    case Field::MonthGap:
    case Field::DayGap: {
        // The field keeps what was typed; the slider, the stepper and the calendar take it within range.
        const ValueRow& row = which == Field::MonthGap ? m_monthSpace : m_daySpace;
        const int clamped = std::clamp(typed, 0, 100);
        quietly(row.slider, [clamped](QSlider* s) { s->setValue(clamped); });
        quietly(row.stepper, [clamped](KXStepper* s) { s->setValue(clamped); });
        changeCalendarKeyPath(which == Field::MonthGap ? QStringLiteral("monthGap") : QStringLiteral("dayGap"),
                              clamped, m_calendar.get());
        redraw();
        return;
    }
    }
}

void KXCalendarViewController::editingEnded(Field which) {
    if (m_updatingUI)
        return;
    auto rewrite = [](QLineEdit* field, int minimum, int maximum) {
        const int value = std::clamp(field->text().trimmed().toInt(), minimum, maximum);
        quietly(field, [value](QLineEdit* f) { f->setText(QString::asprintf("%d", value)); });
        return value;
    };
    switch (which) {
    case Field::Year: {
        const int year = rewrite(m_tfYear, kFirstYear, kLastYear);
        quietly(m_stYear, [year](KXStepper* s) { s->setValue(year); });
        yearStepped();
        return;
    }
    case Field::FirstMonth: rewrite(m_tfFirstMonth, 1, 12); return;
    case Field::EndMonth: rewrite(m_tfEndMonth, 1, 12); return;
    case Field::MonthGap: rewrite(m_monthSpace.field, 0, 100); return;
    case Field::DayGap: rewrite(m_daySpace.field, 0, 100); return;
    }
}
