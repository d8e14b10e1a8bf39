#include "document/xml_records.h"

#include <QDate>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLocale>

namespace {

// The family of the interface font at 12 points; empty when no GUI application runs (there is no
// font system to ask then).
QString systemFontFamily() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {};
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(12);
    return font.family();
}

}  // namespace

VRTCalendarObject::VRTCalendarObject() : VRTSceneObject(VRTObjectTypeCalendar) {
    const QLocale locale;
    // Qt numbers the days 1 (Monday) to 7 (Sunday); here Sunday is 0 and Saturday 6.
    firstWeekday = int(locale.firstDayOfWeek()) % 7;
    for (int day = 0; day < 7; ++day)
        weekdays << locale.dayName(day == 0 ? 7 : day, QLocale::NarrowFormat);
    for (int month = 1; month <= 12; ++month)
        months << locale.monthName(month, QLocale::ShortFormat);
    fontName = systemFontFamily();
    year = QDate::currentDate().year();
}
