#pragma once

#include <QDate>
#include <QList>
#include <cstdint>
#include <vector>

#include "ledger/checked.h"
#include "ledger/ledger_codec.h"

namespace hibi {

class PlanModel;

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

    qint64 daysWithDeposit = 0;     // distinct record dates
    qint64 daysWithoutDeposit = 0;  // days from start to yesterday without a record of their own
    qint64 currentRun = 0;          // consecutive recorded days ending today or yesterday
    qint64 longestRun = 0;

    Integer goalDays;
    Amount goalAmount;
    Amount toGo;  // never below 0; the largest amount when it cannot be held
    bool goalReached = false;
    QDate goalDate;  // the goal day's date; null for a goal below 1 day

    // One entry per day from start to today, today included, in whole yen:
    // the plan's cumulative amount and the saved running total at the end of
    // the day (carried over days without a record; empty without records).
    // missed marks the days before today that have no record of their own.
    // All empty when the span is longer than kMaxChartDays or today lies
    // before the start.
    std::vector<std::int64_t> planSeries;
    std::vector<std::int64_t> savedSeries;
    std::vector<bool> missed;
    bool chartTooLong = false;
};

// Longer spans are given no series (only a ledger edited by hand spans them).
inline constexpr qint64 kMaxChartDays = 100000;

// Never throws. totals are the running totals of the records (possibly
// shorter, where a total left the range).
ProgressFigures progressFigures(const QList<LedgerRecord>& records, const QList<Amount>& totals,
                                Integer goalDays, const QDate& today);
ProgressFigures progressFigures(const PlanModel& plan, const QDate& today);

}  // namespace hibi
