#include "plan/progress.h"

#include <algorithm>
#include <limits>

#include "goal/goal_rules.h"
#include "ledger/code_page.h"
#include "plan/plan_model.h"

namespace hibi {

namespace {

// 1 + 2 + ... + n as an amount, or false when it does not fit.
bool triangle(qint64 n, Amount& sum) {
    if (n <= 0) {
        sum = Amount();
        return true;
    }
    // n or n + 1 is even: halve that one first, so no step exceeds the result.
    const qint64 a = n % 2 == 0 ? n / 2 : n;
    const qint64 b = n % 2 == 0 ? n + 1 : (n + 1) / 2;
    qint64 yen = 0;
    qint64 units = 0;
    if (__builtin_mul_overflow(a, b, &yen) || __builtin_mul_overflow(yen, Amount::kScale, &units)) {
        return false;
    }
    sum = Amount::fromUnits(units);
    return true;
}

// goal - saved, never below 0; the largest amount when it does not fit.
Amount stillToGo(Amount goal, Amount saved) {
    qint64 units = 0;
    if (__builtin_sub_overflow(goal.units(), saved.units(), &units)) {
        return Amount::fromUnits(std::numeric_limits<qint64>::max());
    }
    return Amount::fromUnits(std::max<qint64>(units, 0));
}

// The runs of consecutive days in sorted, distinct Julian day numbers.
void countRuns(const std::vector<qint64>& days, qint64 today, ProgressFigures& f) {
    qint64 run = 0;
    for (size_t i = 0; i < days.size(); ++i) {
        run = (i > 0 && days[i - 1] + 1 == days[i]) ? run + 1 : 1;
        f.longestRun = std::max(f.longestRun, run);
        if (days[i] == today || days[i] == today - 1) {
            f.currentRun = run;  // a run ending today replaces one ending yesterday
        }
    }
}

// The per-day series from start to today.
void fillSeries(const QList<LedgerRecord>& records, const QList<Amount>& totals,
                const std::vector<qint64>& recordDays, const std::vector<qint64>& distinct,
                ProgressFigures& f) {
    const qint64 first = f.start.toJulianDay();
    const size_t length = static_cast<size_t>(f.dayNumber);
    f.planSeries.resize(length);
    for (size_t k = 0; k < length; ++k) {
        const auto n = static_cast<std::int64_t>(k) + 1;
        f.planSeries[k] = n * (n + 1) / 2;
    }
    f.missed.assign(length, false);
    for (size_t k = 0; k + 1 < length; ++k) {
        f.missed[k] =
            !std::binary_search(distinct.begin(), distinct.end(), first + static_cast<qint64>(k));
    }
    if (!f.hasRecords) {
        return;
    }
    // The running total of the last record (in ledger order) of each day,
    // then carried over the days that have none.
    std::vector<bool> set(length, false);
    f.savedSeries.assign(length, 0);
    const qsizetype counted = std::min(records.size(), totals.size());
    for (qsizetype i = 0; i < counted; ++i) {
        const qint64 k = recordDays[static_cast<size_t>(i)] - first;
        if (recordDays[static_cast<size_t>(i)] != 0 && k >= 0 && k < f.dayNumber) {
            f.savedSeries[static_cast<size_t>(k)] = totals[i].units() / Amount::kScale;
            set[static_cast<size_t>(k)] = true;
        }
    }
    for (size_t k = 1; k < length; ++k) {
        if (!set[k]) {
            f.savedSeries[k] = f.savedSeries[k - 1];
        }
    }
}

}  // namespace

ProgressFigures progressFigures(const QList<LedgerRecord>& records, const QList<Amount>& totals,
                                Integer goalDays, const QDate& today) {
    ProgressFigures f;
    f.today = today;
    if (!today.isValid()) {
        return f;
    }
    f.hasRecords = !records.isEmpty();
    // The Julian day of each record's date; 0 for a text that names none
    // (no four-digit year lies on Julian day 0).
    std::vector<qint64> recordDays(static_cast<size_t>(records.size()), 0);
    std::vector<qint64> distinct;
    distinct.reserve(recordDays.size());
    // One converter for every date: making one per record (as dateText()
    // does) makes the figures of a full ledger several times slower.
    CodePageText codePage;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const QString text = codePage.decode(records[i].dateBytes()).value_or(QString());
        if (const auto date = dateFromText(text)) {
            recordDays[static_cast<size_t>(i)] = date->toJulianDay();
            distinct.push_back(date->toJulianDay());
            if (!f.start.isValid()) {
                f.start = *date;
            }
        }
    }
    if (!f.start.isValid()) {
        f.start = today;
    }
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());

    const qint64 first = f.start.toJulianDay();
    const qint64 now = today.toJulianDay();
    f.dayNumber = now - first + 1;
    f.saved = totals.isEmpty() ? Amount() : totals.last();
    f.plannedInRange = triangle(f.dayNumber, f.planned);

    f.daysWithDeposit = static_cast<qint64>(distinct.size());
    if (f.dayNumber > 1) {
        const auto from = std::lower_bound(distinct.begin(), distinct.end(), first);
        const auto to = std::lower_bound(distinct.begin(), distinct.end(), now);
        f.daysWithoutDeposit = (f.dayNumber - 1) - (to - from);
    }
    countRuns(distinct, now, f);

    f.goalDays = goalDays;
    f.goalAmount = goalAmount(goalDays);
    f.goalReached = f.saved >= f.goalAmount;
    f.toGo = stillToGo(f.goalAmount, f.saved);
    if (goalDays.value() >= 1) {
        f.goalDate = f.start.addDays(goalDays.value() - 1);
    }

    if (f.dayNumber > kMaxChartDays) {
        f.chartTooLong = true;
    } else if (f.dayNumber >= 1) {
        fillSeries(records, totals, recordDays, distinct, f);
    }
    return f;
}

ProgressFigures progressFigures(const PlanModel& plan, const QDate& today) {
    return progressFigures(plan.records(), plan.runningTotals(), plan.goalDays(), today);
}

}  // namespace hibi
