#include "ledger/schedule.h"

namespace hibi {

namespace {

Integer daysFromTo(const QDate& from, const QDate& to) {
    return Integer::of(from.daysTo(to));
}

// Throws OverflowError when a value leaves its range; the caller turns that
// into a result.
Schedule compute(const QList<LedgerRecord>& records, const QList<Amount>& totals,
                 const QDate& today) {
    if (records.size() > kMaxLedgerRecords || totals.size() != records.size()) {
        throw OverflowError("ledger records or their total out of range");
    }
    Schedule s;
    s.curRuikei = totals.isEmpty() ? Amount() : totals.last();
    if (!records.isEmpty()) {
        s.hasRecords = true;
        s.dtKaishi = *dateFromText(records.first().dateText());
        s.dtZenkai = *dateFromText(records.last().dateText());
        s.intKeika = daysFromTo(s.dtKaishi, today);
        s.intKeikaHyouji = s.intKeika;
        const Integer gap = daysFromTo(s.dtZenkai, today);
        if (gap == Integer::of(0)) {
            s.intKeika = Integer::of(0);
        }
        if (gap > Integer::of(1)) {
            // The missed days lie strictly between the last record and
            // today; their day numbers run from intKeika - gap + 2 to intKeika.
            const Integer from = (s.intKeika + Integer::of(1)) - (gap - Integer::of(1));
            const Integer to = s.intKeika;
            // from + ... + to is the plan's total up to to less its total up
            // to from - 1, where, for a ledger whose dates run backwards,
            // n (n + 1) / 2 at a negative n is the total up to -n - 1.
            const auto upTo = [](long long n) { return *planTotalYen(n >= 0 ? n : -n - 1); };
            s.curTainouKei = Amount::fromYen(upTo(to.value()) - upTo(from.value() - 1));
        }
    }
    s.dayNumber = s.intKeikaHyouji + Integer::of(1);
    s.curKingaku = Amount::fromInteger(s.intKeika + Integer::of(1));
    s.curTainou = s.curTainouKei;
    (void)s.amountDue();  // a press must be able to hand it over
    return s;
}

}  // namespace

std::optional<qint64> planTotalYen(qint64 n) {
    if (n <= 0) {
        return 0;
    }
    // n or n + 1 is even: halve that one first, so no step exceeds the result.
    const qint64 a = n % 2 == 0 ? n / 2 : n;
    const qint64 b = n % 2 == 0 ? n + 1 : n / 2 + 1;
    qint64 sum = 0;
    if (__builtin_mul_overflow(a, b, &sum)) {
        return std::nullopt;
    }
    return sum;
}

QList<Amount> runningTotals(const QList<LedgerRecord>& records) {
    QList<Amount> totals;
    totals.reserve(records.size());
    Amount total;
    for (const LedgerRecord& record : records) {
        if (!tryAdd(total, record.amount, total)) {
            break;
        }
        totals.append(total);
    }
    return totals;
}

ScheduleResult computeSchedule(const QList<LedgerRecord>& records, const QList<Amount>& totals,
                               const QDate& today) {
    ScheduleResult result;
    result.schedule.curKingaku = Amount::fromInteger(Integer::of(1));
    result.schedule.dayNumber = Integer::of(1);
    if (!records.isEmpty() &&
        (!dateFromText(records.first().dateText()) || !dateFromText(records.last().dateText()))) {
        result.error = ScheduleError::NoDate;
        return result;
    }
    try {
        result.schedule = compute(records, totals, today);
    } catch (const OverflowError&) {
        result.error = ScheduleError::OutOfRange;
    }
    return result;
}

}  // namespace hibi
