#include "ledger/schedule.h"

namespace hibi {

namespace {

constexpr Integer kZero = Integer::constant(0);
constexpr Integer kOne = Integer::constant(1);

// Which record puts a figure out of range.
enum class Culprit { First, Last };

struct Computed {
    Schedule schedule;
    std::optional<Culprit> dayCountOutOfRange;
};

std::optional<Integer> daysFromTo(const QDate& from, const QDate& to) {
    return Integer::of(from.daysTo(to));
}

// The day figures and the arrears; the record to blame when one leaves its
// range. The dates are those of the first and last records.
Computed compute(const QDate& first, const QDate& last, const QDate& today) {
    Computed c;
    Schedule& s = c.schedule;
    s.hasRecords = true;
    s.dtKaishi = first;
    s.dtZenkai = last;
    const auto keika = daysFromTo(first, today);
    const auto dayNumber = keika ? keika->plus(kOne) : std::nullopt;
    if (!dayNumber) {
        c.dayCountOutOfRange = Culprit::First;
        return c;
    }
    const auto gap = daysFromTo(last, today);
    if (!gap) {
        c.dayCountOutOfRange = Culprit::Last;
        return c;
    }
    s.intKeika = *keika;
    s.intKeikaHyouji = *keika;
    s.dayNumber = *dayNumber;
    if (*gap == kZero) {
        s.intKeika = kZero;
    }
    if (*gap > kOne) {
        // The missed days lie strictly between the last record and today;
        // their day numbers run from intKeika - gap + 2 to intKeika. Only a
        // last record long before the first can push the start out of range.
        const auto from =
            s.intKeika.plus(kOne).value_or(kZero).minus(gap->minus(kOne).value_or(kZero));
        if (!from) {
            c.dayCountOutOfRange = Culprit::Last;
            return c;
        }
        const long long to = s.intKeika.value();
        const long long count = to - from->value() + 1;
        // A run of 16-bit numbers adds up to at most 32,767 * 32,768 / 2 in
        // size: far within 32 bits of yen.
        s.curTainouKei =
            Amount::fromYen(static_cast<std::int32_t>((from->value() + to) * count / 2));
    }
    // Day index and arrears are far within the amount's range: these sums fit.
    s.curKingaku = Amount::fromInteger(s.intKeika).plus(Amount::fromYen(1)).value_or(Amount());
    s.curTainou = s.curTainouKei;
    s.amountDue = s.curKingaku.plus(s.curTainou).value_or(Amount());
    return c;
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
        const auto next = total.plus(record.amount);
        if (!next) {
            break;
        }
        total = *next;
        totals.append(total);
    }
    return totals;
}

ScheduleResult computeSchedule(const QList<LedgerRecord>& records, const QList<Amount>& totals,
                               const QDate& today) {
    ScheduleResult result;
    Schedule& s = result.schedule;
    s.curKingaku = Amount::fromYen(1);
    s.amountDue = s.curKingaku;
    s.dayNumber = kOne;
    if (records.isEmpty()) {
        return result;
    }
    const auto first = dateFromText(records.first().dateText());
    const auto last = dateFromText(records.last().dateText());
    if (!first || !last) {
        result.error = ScheduleError::NoDate;
        return result;
    }
    if (totals.size() < records.size()) {
        result.error = ScheduleError::TotalOutOfRange;
        result.recordAtFault = totals.size();
        return result;
    }
    const Computed computed = compute(*first, *last, today);
    if (computed.dayCountOutOfRange) {
        result.error = ScheduleError::DaysOutOfRange;
        result.recordAtFault =
            *computed.dayCountOutOfRange == Culprit::First ? 0 : records.size() - 1;
        return result;
    }
    s = computed.schedule;
    s.curRuikei = totals[records.size() - 1];
    return result;
}

}  // namespace hibi
