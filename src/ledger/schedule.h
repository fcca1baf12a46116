#pragma once

#include <QDate>
#include <QList>
#include <QtGlobal>
#include <optional>

#include "ledger/checked.h"
#include "ledger/ledger_codec.h"

namespace hibi {

// The plan as the history and today's date make it. Day index 0 is the date
// of the first record; day number N asks for N yen.
struct Schedule {
    bool hasRecords = false;
    Amount curRuikei;        // total of every record
    QDate dtKaishi;          // first record's date (null without records)
    QDate dtZenkai;          // last record's date (null without records)
    Integer intKeika;        // today's day index; 0 when the last record is today's
    Integer intKeikaHyouji;  // today's true day index, for the day label
    Amount curKingaku;       // today's planned deposit, intKeika + 1
    Amount curTainouKei;     // arrears summed while loading
    Amount curTainou;        // arrears: planned amounts of the missed days
    Amount amountDue;        // curKingaku + curTainou: what one press hands over
    Integer dayNumber;       // intKeikaHyouji + 1, the day label's number
};

// 1 + 2 + ... + n yen, what the plan asks for over its first n days: 0 for n
// of 0 or less, nothing when the sum does not fit 64 bits.
std::optional<qint64> planTotalYen(qint64 n);

// The running total after each record. It stops at the first record whose
// total no longer fits an amount, so it may be shorter than the records.
QList<Amount> runningTotals(const QList<LedgerRecord>& records);

// Why no schedule could be computed.
enum class ScheduleError {
    DaysOutOfRange,   // a day index, the day number or the arrears leave their range
    TotalOutOfRange,  // the total of the records does not fit an amount
    NoDate,           // the first or last record's date text names no date
};

struct ScheduleResult {
    Schedule schedule;  // all zero, today's amount 1, when error is set
    std::optional<ScheduleError> error;
    // The record whose date or amount puts a figure out of range (its index
    // in the records; -1 with no error or with NoDate).
    qsizetype recordAtFault = -1;
};

// The schedule for the records, whose running totals are given, on today.
ScheduleResult computeSchedule(const QList<LedgerRecord>& records, const QList<Amount>& totals,
                               const QDate& today);

}  // namespace hibi
