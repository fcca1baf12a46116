#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

#include "goal/goal_file.h"
#include "ledger/backups.h"
#include "ledger/ledger_file.h"
#include "ledger/schedule.h"

namespace hibi {

// Why the plan takes no deposit at the moment.
enum class DepositBlock {
    None,
    CodecMissing,      // Shift-JIS cannot be converted: nothing is read or written
    LedgerUnreadable,  // the ledger could not be read whole
    ClockBehind,       // the last record is dated after today
    OutOfRange,        // a day number or amount leaves its range
    OddDates,          // the first record lies after today or after the last one
    LedgerFull,        // the ledger holds as many records as the history can show
};

// Something a load found that the user has to be told.
struct LoadNotice {
    enum class Kind {
        CodecMissing,
        CreateFailed,   // a missing ledger could not be created
        AmbiguousName,  // more than one spelling of the ledger's name
        ReadFailed,     // the file could not be read
        BadLine,        // a line does not read; the records before it are kept
        OutOfRange,
        ClockBehind,
        FirstDateAhead,  // the first record lies after today
        DatesBackwards,  // the last record lies before the first
        Utf8Ledger,      // saved as UTF-8 by another editor: may be converted
        LedgerFull,      // no room for another record
        NoBackupsHere,   // the folder takes no new file: deposits go in place, uncopied
    };
    Kind kind = Kind::ReadFailed;
    QString fileName;
    SystemError error;                   // CreateFailed, ReadFailed
    QStringList names;                   // AmbiguousName
    std::optional<LedgerError> badLine;  // BadLine
    qsizetype recordsRead = 0;           // BadLine
    QDate today;                         // ClockBehind, FirstDateAhead
    QDate lastDate;                      // ClockBehind, DatesBackwards
    QDate firstDate;                     // FirstDateAhead, DatesBackwards
    int line = 0;                        // FirstDateAhead, DatesBackwards: the line of the date
};

// What the status panel says today.
enum class PlanStatus {
    Blocked,         // nothing is due while the ledger or the clock cannot be trusted
    FirstDay,        // no record yet: day 1 of a new plan
    DepositedToday,  // today's deposit is recorded
    Due,             // today's amount, no arrears
    DueWithArrears,  // today's amount and the missed days'
};

struct DepositOutcome {
    enum class Kind {
        Recorded,
        NothingDue,     // blocked, or today's deposit is already recorded
        NewDay,         // the date changed since the load: the model has loaded again
        ChangedOnDisk,  // the ledger changed since the load: the model has loaded again
        OutOfRange,     // the amount or the new total does not fit
        Failed,         // the ledger could not be written; nothing changed
    };
    Kind kind = Kind::Failed;
    LedgerRecord record;                       // Recorded
    std::optional<LedgerFileProblem> problem;  // ChangedOnDisk, Failed
    // NewDay, ChangedOnDisk, Failed: the model has loaded the ledger again,
    // so that the window shows what the file holds now; what the load found,
    // and the status it gives.
    QList<LoadNotice> notices;
    PlanStatus statusAfter = PlanStatus::Blocked;
    // Recorded: the day's copy of the ledger could not be kept (told once a day).
    std::optional<SystemError> backupError;
};

struct ResetOutcome {
    bool done = false;
    std::optional<LedgerFileProblem> problem;  // not done: why (none when blocked)
    // Done, or a write that failed: the model has loaded the ledger again.
    bool reloaded = false;
    QList<LoadNotice> notices;  // what the new load found
};

// The savings plan: the loaded ledger, the schedule it gives today, the
// goal, and the operations that change them. Widget-free; every operation
// returns what happened and none throws. Today and now are the caller's.
class PlanModel {
  public:
    // directory: where the ledger and goal files live; empty means the
    // current working directory at the time of each operation. encoding:
    // the ledger's code page, as Qt's converters name it.
    explicit PlanModel(QString directory = QString(), QByteArray encoding = kLedgerEncoding);

    QString directory() const;

    // Reads the ledger as it is on disk and works out the plan for today;
    // a missing ledger is created empty. That no copy can be kept in this
    // folder is told by the first load only.
    QList<LoadNotice> load(const QDate& today);

    const QList<LedgerRecord>& records() const { return records_; }
    // The running total after each record; shorter than the records when a
    // total leaves the range.
    const QList<Amount>& runningTotals() const { return totals_; }
    const Schedule& schedule() const { return schedule_; }
    DepositBlock block() const { return block_; }
    PlanStatus status() const;
    QDate loadedOn() const { return loadedOn_; }
    QString ledgerFileName() const { return ledgerFileName_; }
    // A reset may empty the ledger (nothing can be written without the codec).
    bool canReset() const { return block_ != DepositBlock::CodecMissing; }
    // Whether deposits are written in place, with no copy kept (the folder
    // takes no new file).
    bool writesInPlace() const;

    // Records today's amount due as one deposit made at now. The ledger on
    // disk must still be what was loaded, and now must fall on the day of
    // the load; otherwise the model loads again and nothing is recorded.
    DepositOutcome deposit(const QDateTime& now);

    // Keeps a copy of the ledger, empties it and loads the new, empty plan.
    // Without the copy nothing changes.
    ResetOutcome reset(const QDateTime& now);

    // A ledger another editor saved as UTF-8, written again in Shift-JIS
    // after a copy of the original is kept; then loaded.
    ResetOutcome convertFromUtf8(const QDateTime& now);

    // Puts the kept copy fileName back as the ledger, after a copy of the
    // current ledger is kept ("_復元前"); then loads. A copy that does not
    // read whole is refused.
    ResetOutcome restore(const QString& fileName, const QDateTime& now);

    // The copies kept of the ledger.
    Backups backups() const { return Backups(directory()); }
    // How many daily copies are kept.
    static constexpr int kDailyCopies = 10;

    // The goal days from the goal file (365 when there is none).
    Integer loadGoal();
    Integer goalDays() const { return goalDays_; }
    std::optional<GoalFile::SaveProblem> saveGoal(double value);

  private:
    void clear();
    void checkDates(const QDate& today, QList<LoadNotice>& notices);
    std::optional<SystemError> keepDailyCopy(const QDateTime& now) const;
    // Replaces the ledger with content after keeping a copy of it (when
    // onlyIfStill is given, only while the file still holds those bytes);
    // then loads, and after a failed write too.
    ResetOutcome replaceLedger(const QByteArray& content, const QDateTime& now, BackupReason why,
                               const QByteArray* onlyIfStill = nullptr);

    QString directory_;
    QByteArray encoding_;
    QList<LedgerRecord> records_;
    QList<Amount> totals_;
    Schedule schedule_;
    DepositBlock block_ = DepositBlock::None;
    QByteArray loadedContent_;
    QDate loadedOn_;
    QString ledgerFileName_;
    QByteArray utf8AsShiftJis_;  // a UTF-8 ledger as it reads in Shift-JIS
    Integer goalDays_;
    bool toldNoBackups_ = false;
    QDate toldBackupFailureOn_;
};

// True when Qt can convert text to and from the named code page.
bool codecAvailable(const QByteArray& encoding);

}  // namespace hibi
