#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <cstdint>
#include <vector>

#include "ledger/checked.h"
#include "ledger/ledger_codec.h"

namespace hibi {

// What became of one day of the plan.
enum class DayKind : std::uint8_t {
    Outside,    // before the start, or after today
    Deposited,  // a record of its own
    PaidLate,   // missed, and paid later with a deposit's arrears
    Unpaid,     // missed, and not paid since
    DueToday,   // today, with no record yet
};

// One day as the calendar tells it.
struct DayInfo {
    QDate date;
    DayKind kind = DayKind::Outside;
    qint64 dayNumber = 0;  // 1 on the start, 0 or less before it
    Amount recorded;       // Deposited: the day's records together
    QDate paidOn;          // PaidLate: the day of the deposit that paid it
};

struct DayCounts {
    qint64 deposited = 0;
    qint64 paidLate = 0;
    qint64 unpaid = 0;
};

// Every day from the plan's start to today, each with its kind.
//
// A deposit after missed days pays for them when it holds more than its own
// day's amount: the surplus pays the missed days oldest first, each one whole,
// as far as it goes (the program's own deposits always pay them all). The
// days still missing since the last record are unpaid, and today is due
// until it has a record.
class PlanDays {
  public:
    PlanDays() = default;
    // recordDays: each record's Julian day, 0 for one whose date text names
    // no date. Records outside start..today are left out. No days are kept
    // when today lies before the start or more than maxDays after it.
    PlanDays(const std::vector<qint64>& recordDays, const QList<LedgerRecord>& records,
             const QDate& start, const QDate& today, qint64 maxDays);

    QDate start() const { return start_; }
    QDate today() const { return today_; }
    qint64 size() const { return static_cast<qint64>(kinds_.size()); }
    bool isEmpty() const { return kinds_.empty(); }

    // The kind of the day index days after the start (Outside out of range).
    DayKind kindAt(qint64 index) const {
        return index >= 0 && index < size() ? kinds_[static_cast<size_t>(index)] : DayKind::Outside;
    }
    DayInfo info(const QDate& date) const;
    // The days of each kind from..to, both included.
    DayCounts counts(const QDate& from, const QDate& to) const;

  private:
    QDate start_;
    QDate today_;
    std::vector<DayKind> kinds_;
    std::vector<std::int64_t> recordedUnits_;  // per day, the records' amounts together
    std::vector<qint64> depositIndexes_;       // sorted day indexes that have a record
};

// The day as a person reads it, one fact a line: the date with its weekday,
// the day number and the amount recorded, paid later or due.
QString dayDescription(const DayInfo& day, const QDate& today);

// "月" for a Monday.
QString weekdayText(const QDate& date);

}  // namespace hibi
