#pragma once

#include <QDate>
#include <QList>
#include <cstdint>
#include <optional>
#include <vector>

#include "ledger/checked.h"
#include "ledger/ledger_codec.h"
#include "plan/progress_days.h"

namespace hibi {

class PlanModel;

// A day the plan celebrates: 100日, 365日 and each further year, 1,000日 and
// each further thousand.
struct Milestone {
    qint64 day = 0;   // the day number
    QDate date;       // its date in the plan
    Amount amount;    // the plan's total by then: 1 + 2 + ... + day
    QDate reachedOn;  // the first day the savings held the amount (null when not yet)
};

struct Milestones {
    std::optional<Milestone> reached;  // the last one the savings have reached
    std::optional<Milestone> next;     // the first they have not (none past the range)
};

// The first milestone day after day.
qint64 milestoneAfter(qint64 day);

// A chart's vertical scale: round steps (1, 2 or 5 times a power of ten)
// from low, at or below the smallest value, up to high, the first step above
// the largest.
struct AxisScale {
    std::int64_t low = 0;
    std::int64_t high = 1;
    std::int64_t step = 1;
};
AxisScale axisScale(std::int64_t smallest, std::int64_t largest);

// How the plan stands against the ledger on a given day: the figures and the
// day-by-day series the progress window shows.
struct ProgressFigures {
    bool hasRecords = false;
    // The first record's date (the first one that names a date); today when
    // there is none, so that today is day 1.
    QDate start;
    QDate today;
    // Today's day number, start being day 1 (0 or less when the start lies
    // after today).
    qint64 dayNumber = 1;
    Amount saved;    // the last running total
    Amount planned;  // 1 + 2 + ... + dayNumber
    bool plannedInRange = true;
    Amount shortfall;  // planned - saved (below 0 when ahead of the plan)
    bool shortfallInRange = true;

    qint64 daysWithDeposit = 0;     // distinct record dates
    qint64 daysWithoutDeposit = 0;  // days from start to yesterday without a record of their own
    qint64 currentRun = 0;          // consecutive recorded days ending today or yesterday
    qint64 longestRun = 0;

    Integer goalDays;
    Amount goalAmount;
    Amount toGo;  // never below 0; the largest amount when it cannot be held
    bool goalReached = false;
    QDate goalDate;  // the goal day's date; null for a goal below 1 day

    Milestones milestones;

    // Each day from start to today with what became of it.
    PlanDays days;

    // In whole yen, one entry a day from start: the plan's cumulative amount
    // up to today or through the plan's first week, whichever is later; the
    // saved running total at the end of each day up to today (carried over
    // days without a record; empty without records). Both empty when the
    // span is longer than kMaxChartDays or today lies before the start.
    std::vector<std::int64_t> planSeries;
    std::vector<std::int64_t> savedSeries;
    bool chartTooLong = false;
};

// Longer spans are given no series and no days (only a ledger edited by
// hand spans them).
inline constexpr qint64 kMaxChartDays = 100000;
// The chart shows at least the plan's first week.
inline constexpr qint64 kFirstWeek = 7;

// The savings against the plan: "¥12 不足", "¥3 先行" or "差なし".
QString gapText(Amount shortfall);

// The chart's days from..to - 1 (indexes from the start) in words: one day
// as the calendar tells it, a longer span by its dates and the missed days
// in it; then the plan's and the savings' totals at its end.
QString chartSpanText(const ProgressFigures& f, qint64 from, qint64 to);

// The chart in a few sentences, for those who cannot see it.
QString chartSummary(const ProgressFigures& f);

// Never throws. totals are the running totals of the records (possibly
// shorter, where a total left the range).
ProgressFigures progressFigures(const QList<LedgerRecord>& records, const QList<Amount>& totals,
                                Integer goalDays, const QDate& today);
ProgressFigures progressFigures(const PlanModel& plan, const QDate& today);

}  // namespace hibi
