#include "ledger/schedule.h"

#include <stdexcept>

namespace hibi {

Integer daysFromTo(const QDate& from, const QDate& to) {
    return Integer::of(from.daysTo(to));
}

Schedule computeSchedule(const QList<LedgerRecord>& records, const QDate& today) {
    if (records.size() > kMaxLedgerRecords) {
        throw OverflowError("too many ledger records");
    }
    Schedule s;
    s.runningTotals.reserve(records.size());
    for (const LedgerRecord& record : records) {
        s.curRuikei += record.amount;
        s.runningTotals.append(s.curRuikei);
    }
    if (!records.isEmpty()) {
        const auto first = dateFromText(records.first().dateText());
        const auto last = dateFromText(records.last().dateText());
        if (!first || !last) {
            throw std::invalid_argument("first or last ledger date is not a date");
        }
        s.hasRecords = true;
        s.dtKaishi = *first;
        s.dtZenkai = *last;
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
            const long long count = static_cast<long long>(to.value()) - from.value() + 1;
            const long long sum = (static_cast<long long>(from.value()) + to.value()) * count / 2;
            s.curTainouKei = Amount::fromYen(sum);
        }
        // The day label adds one to the true day index; make sure it can.
        (void)s.dayNumber();
    }
    s.curKingaku = Amount::fromInteger(s.intKeika + Integer::of(1));
    s.curTainou = s.curTainouKei;
    return s;
}

}  // namespace hibi
