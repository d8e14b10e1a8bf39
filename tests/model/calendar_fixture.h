// A calendar reduced to its day cells, for tests that probe where cells land: the DejaVu font, no border,
// no year band, no weekday row, no gaps between months, weeks starting on Sunday. Each month's title takes
// the top fifth of its rectangle and six rows of days share the rest.
#pragma once

#include "model/calendar.h"

#include <memory>

namespace kxtest {

inline std::shared_ptr<KXCalendar> dayCellCalendar() {
    auto calendar = std::make_shared<KXCalendar>();
    calendar->setFontName(QStringLiteral("DejaVu Sans"));
    calendar->setStrokeEnabled(false);
    calendar->setIsShowYear(false);
    calendar->setHasWeekday(false);
    calendar->setMonthGap(0);
    calendar->setFirstWeekday(0);
    return calendar;
}

}  // namespace kxtest
