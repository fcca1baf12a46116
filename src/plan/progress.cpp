#include "plan/progress.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "goal/goal_rules.h"
#include "ledger/code_page.h"
#include "ledger/text_formats.h"
#include "plan/plan_model.h"

namespace hibi {

namespace {

// The plan's total over n days as an amount, or false when it does not fit.
bool planTotal(qint64 n, Amount& sum) {
    const std::optional<qint64> yen = planTotalYen(n);
    qint64 units = 0;
    if (!yen || __builtin_mul_overflow(*yen, Amount::kScale, &units)) {
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

// A date text as the program writes it, "YYYY年MM月DD日" in code page 932,
// read straight from its bytes; nothing for any other form, which is decoded
// instead. Decoding every date of a full ledger would take most of the
// window's opening time.
std::optional<QDate> canonicalDate(QByteArrayView bytes) {
    static constexpr char kPattern[] =
        "0000\x94\x4e"
        "00\x8c\x8e"
        "00\x93\xfa";
    if (bytes.size() != 16) {
        return std::nullopt;
    }
    int number[3] = {};
    int field = 0;
    for (qsizetype i = 0; i < 16; ++i) {
        const char expected = kPattern[i];
        if (expected == '0') {
            if (bytes[i] < '0' || bytes[i] > '9') {
                return std::nullopt;
            }
            number[field] = number[field] * 10 + (bytes[i] - '0');
        } else if (bytes[i] != expected) {
            return std::nullopt;
        } else if (i == 5 || i == 9) {
            ++field;
        }
    }
    const QDate date(number[0], number[1], number[2]);
    return date.isValid() && number[0] != 0 ? std::optional<QDate>(date) : std::nullopt;
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

// The per-day series from start to today (the plan's through its first week).
void fillSeries(const QList<LedgerRecord>& records, const QList<Amount>& totals,
                const std::vector<qint64>& recordDays, ProgressFigures& f) {
    const qint64 first = f.start.toJulianDay();
    const auto length = static_cast<size_t>(f.dayNumber);
    f.planSeries.resize(std::max<size_t>(length, kFirstWeek));
    for (size_t k = 0; k < f.planSeries.size(); ++k) {
        f.planSeries[k] = *planTotalYen(static_cast<qint64>(k) + 1);
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

// The last milestone day before day; 0 when there is none.
qint64 milestoneBefore(qint64 day) {
    if (day <= 100) {
        return 0;
    }
    return std::max({qint64{100}, (day - 1) / 365 * 365, (day - 1) / 1000 * 1000});
}

// The first day number whose plan total exceeds yen.
qint64 firstDayAbove(std::int64_t yen) {
    if (yen < 1) {
        return 1;
    }
    // Every amount is below 10^15 yen, so n stays below 10^8 and n(n + 1) fits.
    auto n = static_cast<qint64>((std::sqrt(8.0 * static_cast<double>(yen) + 1.0) - 1.0) / 2.0);
    auto total = [](qint64 m) { return m * (m + 1) / 2; };
    while (n > 0 && total(n) > yen) {
        --n;
    }
    while (total(n) <= yen) {
        ++n;
    }
    return n;
}

std::optional<Milestone> milestoneOn(qint64 day, const ProgressFigures& f) {
    Milestone m;
    m.day = day;
    m.date = f.start.addDays(day - 1);
    if (!planTotal(day, m.amount)) {
        return std::nullopt;
    }
    return m;
}

Milestones milestonesOf(const ProgressFigures& f) {
    Milestones out;
    const qint64 next = milestoneAfter(firstDayAbove(f.saved.units() / Amount::kScale) - 1);
    out.next = milestoneOn(next, f);
    if (const qint64 before = milestoneBefore(next); before > 0) {
        out.reached = milestoneOn(before, f);
    }
    if (out.reached) {
        const std::int64_t yen = out.reached->amount.units() / Amount::kScale;
        const auto at = std::find_if(f.savedSeries.begin(), f.savedSeries.end(),
                                     [yen](std::int64_t saved) { return saved >= yen; });
        if (at != f.savedSeries.end()) {
            out.reached->reachedOn = f.start.addDays(at - f.savedSeries.begin());
        }
    }
    return out;
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
        auto date = canonicalDate(records[i].dateBytes());
        if (!date) {
            date = dateFromText(codePage.decode(records[i].dateBytes()).value_or(QString()));
        }
        if (date) {
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
    if (!std::is_sorted(distinct.begin(), distinct.end())) {
        std::sort(distinct.begin(), distinct.end());
    }
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());

    const qint64 first = f.start.toJulianDay();
    const qint64 now = today.toJulianDay();
    f.dayNumber = now - first + 1;
    f.saved = totals.isEmpty() ? Amount() : totals.last();
    f.plannedInRange = planTotal(f.dayNumber, f.planned);
    qint64 shortfall = 0;
    f.shortfallInRange =
        f.plannedInRange && !__builtin_sub_overflow(f.planned.units(), f.saved.units(), &shortfall);
    f.shortfall = Amount::fromUnits(shortfall);

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

    f.days = PlanDays(recordDays, records, f.start, today, kMaxChartDays);
    if (f.dayNumber > kMaxChartDays) {
        f.chartTooLong = true;
    } else if (f.dayNumber >= 1) {
        fillSeries(records, totals, recordDays, f);
    }
    f.milestones = milestonesOf(f);
    return f;
}

qint64 milestoneAfter(qint64 day) {
    const qint64 from = std::max<qint64>(day, 0);
    const qint64 year = (from / 365 + 1) * 365;
    const qint64 thousand = (from / 1000 + 1) * 1000;
    return std::min({from < 100 ? qint64{100} : year, year, thousand});
}

AxisScale axisScale(std::int64_t smallest, std::int64_t largest) {
    smallest = std::min<std::int64_t>(smallest, 0);
    largest = std::max<std::int64_t>(largest, 0);
    // Two to five steps over the values, then one more above the largest.
    const double raw =
        std::max((static_cast<double>(largest) - static_cast<double>(smallest)) / 5.0, 1.0);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    AxisScale scale;
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        scale.step = std::llround(factor * power);
        if (static_cast<double>(scale.step) >= raw) {
            break;
        }
    }
    scale.high = (largest / scale.step + 1) * scale.step;
    scale.low = smallest < 0 ? -((-smallest + scale.step - 1) / scale.step) * scale.step : 0;
    return scale;
}

ProgressFigures progressFigures(const PlanModel& plan, const QDate& today) {
    return progressFigures(plan.records(), plan.runningTotals(), plan.goalDays(), today);
}

namespace {

// Whole yen of any size: the differences of two totals may lie outside an
// Amount's range.
QString yen(std::int64_t value) {
    return moneyTextOfYen(value);
}

QString gapText(std::int64_t shortfall) {
    if (shortfall == 0) {
        return QStringLiteral("差なし");
    }
    // Ahead of the plan: the magnitude, without the minus sign.
    return shortfall > 0 ? moneyTextOfYen(shortfall) + QStringLiteral(" 不足")
                         : moneyTextOfYen(shortfall).mid(1) + QStringLiteral(" 先行");
}

}  // namespace

QString gapText(Amount shortfall) {
    if (shortfall == Amount()) {
        return QStringLiteral("差なし");
    }
    return shortfall > Amount()
               ? moneyText(shortfall) + QStringLiteral(" 不足")
               : moneyText(Amount::fromUnits(-shortfall.units())) + QStringLiteral(" 先行");
}

QString chartSpanText(const ProgressFigures& f, qint64 from, qint64 to) {
    const auto total = static_cast<qint64>(f.planSeries.size());
    if (total == 0) {
        return QString();
    }
    from = std::clamp<qint64>(from, 0, total - 1);
    to = std::clamp<qint64>(to, from + 1, total);
    const qint64 last = to - 1;
    QString text = to - from == 1 ? dayDescription(f.days.info(f.start.addDays(from)), f.today)
                                  : dateText(f.start.addDays(from)) + QStringLiteral("〜") +
                                        dateText(f.start.addDays(last));
    text += QStringLiteral("\n計画の累計 ") + yen(f.planSeries[static_cast<size_t>(last)]);
    if (last < static_cast<qint64>(f.savedSeries.size())) {
        const std::int64_t saved = f.savedSeries[static_cast<size_t>(last)];
        text += QStringLiteral("、貯金の累計 ") + yen(saved) + QStringLiteral("（") +
                gapText(f.planSeries[static_cast<size_t>(last)] - saved) + QStringLiteral("）");
    }
    if (to - from == 1) {
        return text;
    }
    constexpr int kListed = 6;
    QStringList missed;
    qint64 count = 0;
    for (qint64 k = from; k < to; ++k) {
        const DayKind kind = f.days.kindAt(k);
        if (kind != DayKind::PaidLate && kind != DayKind::Unpaid) {
            continue;
        }
        if (++count <= kListed) {
            const DayInfo day = f.days.info(f.start.addDays(k));
            missed << QStringLiteral("・") + dateText(day.date) + QStringLiteral("（") +
                          weekdayText(day.date) + QStringLiteral("） ") +
                          (kind == DayKind::Unpaid
                               ? QStringLiteral("未入金")
                               : dateText(day.paidOn) + QStringLiteral("に入金"));
        }
    }
    if (count > 0) {
        text += QStringLiteral("\n入金しなかった日 %1日\n").arg(count) + missed.join(u'\n');
        if (count > kListed) {
            text += QStringLiteral("\n・ほか %1日").arg(count - kListed);
        }
    }
    return text;
}

QString chartSummary(const ProgressFigures& f) {
    if (f.planSeries.empty()) {
        return QStringLiteral("グラフに描ける日がありません。");
    }
    const auto days = static_cast<qint64>(f.planSeries.size());
    QString text = QStringLiteral("%1から%2まで、%3日間。")
                       .arg(dateText(f.start), dateText(f.start.addDays(days - 1)))
                       .arg(days);
    if (f.savedSeries.empty()) {
        return text + QStringLiteral("入金の記録はまだありません。計画の累計は%1日目に %2 です。")
                          .arg(days)
                          .arg(yen(f.planSeries.back()));
    }
    const DayCounts counts = f.days.counts(f.start, f.today);
    return text + QStringLiteral(
                      "今日の計画の累計 %1、貯金の累計 %2（%3）。"
                      "入金しなかった日 %4日、うち未入金 %5日。")
                      .arg(yen(f.planSeries[f.savedSeries.size() - 1]), yen(f.savedSeries.back()),
                           gapText(f.planSeries[f.savedSeries.size() - 1] - f.savedSeries.back()))
                      .arg(counts.paidLate + counts.unpaid)
                      .arg(counts.unpaid);
}

}  // namespace hibi
