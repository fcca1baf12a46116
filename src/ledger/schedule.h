#pragma once

#include <QDate>
#include <QList>

#include "ledger/checked.h"
#include "ledger/ledger_codec.h"

namespace hibi {

// The plan as the history and today's date make it. Day index 0 is the date
// of the first record; day number N asks for N yen.
struct Schedule {
    bool hasRecords = false;
    QList<Amount> runningTotals;  // after each record, in order
    Amount curRuikei;             // total of every record
    QDate dtKaishi;               // first record's date (null without records)
    QDate dtZenkai;               // last record's date (null without records)
    Integer intKeika;             // today's day index; 0 when the last record is today's
    Integer intKeikaHyouji;       // today's true day index, for the day label
    Amount curKingaku;            // today's planned deposit, intKeika + 1
    Amount curTainouKei;          // arrears summed while loading
    Amount curTainou;             // arrears: planned amounts of the missed days

    // The last record is dated today: today's deposit is made.
    bool depositedToday() const { return hasRecords && curKingaku == Amount::fromYen(1); }
    // The last record is dated after today: the computer's clock is behind.
    bool clockBehind(const QDate& today) const { return hasRecords && dtZenkai > today; }
    // What one press of the deposit button hands over.
    Amount amountDue() const { return curKingaku + curTainou; }
    // The day number shown to the user.
    Integer dayNumber() const { return intKeikaHyouji + Integer::of(1); }
};

// Computes the schedule from the records and today. The first and last date
// texts must name dates (the ledger reader sees to that). Throws
// OverflowError when a day index, the day number or a sum leaves its range,
// and std::invalid_argument for records that break the reader's guarantees.
Schedule computeSchedule(const QList<LedgerRecord>& records, const QDate& today);

// Whole days from one date to another, as a day counter (checked).
Integer daysFromTo(const QDate& from, const QDate& to);

}  // namespace hibi
