// Drawing a calendar: one month, and twelve months with the year, weekday row and adjacent days, at the
// size of a page preview. Every text of the calendar (up to 42 numbers, 7 weekday names and a title per
// month) is laid out as its own line; items are months drawn.
#include "model/calendar.h"
#include "platform/gfx/bitmap_context.h"


#include <benchmark/benchmark.h>

namespace {

void drawCalendar(benchmark::State& state, std::int32_t months, bool adjacent) {
    KXCalendar calendar;
    calendar.setFontName(QStringLiteral("DejaVu Sans"));
    calendar.setYear(2024);
    calendar.setMonthCount(months);
    calendar.setHasAdjacentDay(adjacent);
    kx::BitmapContext context(1200, 900);
    for (auto _ : state) {
        calendar.drawInContext(context, {0, 0, 1200, 900});
        benchmark::DoNotOptimize(context.data());
    }
    state.SetItemsProcessed(state.iterations() * months);
}

void BM_CalendarOneMonth(benchmark::State& state) {
    drawCalendar(state, 1, false);
}

void BM_CalendarTwelveMonthsWithAdjacentDays(benchmark::State& state) {
    drawCalendar(state, 12, true);
}

BENCHMARK(BM_CalendarOneMonth)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_CalendarTwelveMonthsWithAdjacentDays)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace
