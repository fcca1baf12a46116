#include "plan/plan_model.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <cstdio>
#include <utility>

#include "goal/goal_rules.h"
#include "ledger/code_page.h"

namespace hibi {

namespace {

LoadNotice notice(LoadNotice::Kind kind, const QString& fileName = QString()) {
    LoadNotice n;
    n.kind = kind;
    n.fileName = fileName;
    return n;
}

}  // namespace

bool codecAvailable(const QByteArray& encoding) {
    return CodePageText(encoding).isValid();
}

PlanModel::PlanModel(QString directory, QByteArray encoding)
    : directory_(std::move(directory)), encoding_(std::move(encoding)) {}

QString PlanModel::directory() const {
    return directory_.isEmpty() ? QDir::currentPath() : directory_;
}

void PlanModel::clear() {
    records_.clear();
    totals_.clear();
    schedule_ = Schedule();
    schedule_ = computeSchedule({}, {}, QDate()).schedule;
    block_ = DepositBlock::None;
    loadedContent_.clear();
    utf8AsShiftJis_.clear();
}

QList<LoadNotice> PlanModel::load(const QDate& today) {
    clear();
    loadedOn_ = today;
    ledgerFileName_ = LedgerFile::canonicalName();
    QList<LoadNotice> notices;
    if (!codecAvailable(encoding_)) {
        // Without the converter every date would be written as "": read
        // nothing, write nothing.
        block_ = DepositBlock::CodecMissing;
        notices.append(notice(LoadNotice::Kind::CodecMissing));
        return notices;
    }

    const LedgerFile ledger(directory());
    LedgerSnapshot snapshot = ledger.load();
    ledgerFileName_ = snapshot.fileName;
    if (snapshot.existed && !toldNoBackups_ && ledger.writesInPlace()) {
        toldNoBackups_ = true;
        notices.append(notice(LoadNotice::Kind::NoBackupsHere, ledgerFileName_));
    }
    if (!snapshot.existed && !snapshot.problem) {
        if (auto problem = ledger.createIfMissing()) {
            LoadNotice created = notice(LoadNotice::Kind::CreateFailed, problem->fileName);
            created.error = problem->error;
            notices.append(created);
        }
    }
    if (snapshot.problem) {
        block_ = DepositBlock::LedgerUnreadable;
        const bool ambiguous = snapshot.problem->kind == LedgerFileProblem::Kind::AmbiguousName;
        LoadNotice unread =
            notice(ambiguous ? LoadNotice::Kind::AmbiguousName : LoadNotice::Kind::ReadFailed,
                   snapshot.problem->fileName);
        unread.error = snapshot.problem->error;
        unread.names = snapshot.problem->names;
        notices.append(unread);
    } else if (snapshot.parsed.error || snapshot.content.startsWith("\xEF\xBB\xBF")) {
        block_ = DepositBlock::LedgerUnreadable;
        // Saved as UTF-8: shown as it reads in Shift-JIS, and offered for
        // conversion when every character has a place there (a bad line
        // then stays to be mended after the conversion).
        Utf8Ledger utf8 = readUtf8Ledger(snapshot.content, encoding_.constData());
        utf8AsShiftJis_ = utf8.asShiftJis;
        if (utf8.isUtf8 && (!utf8.asShiftJis.isNull() || utf8.parsed.error)) {
            snapshot.parsed = std::move(utf8.parsed);
        }
        LoadNotice bad = notice(
            utf8AsShiftJis_.isNull() ? LoadNotice::Kind::BadLine : LoadNotice::Kind::Utf8Ledger,
            snapshot.fileName);
        bad.badLine = snapshot.parsed.error;
        bad.recordsRead = snapshot.parsed.records.size();
        notices.append(bad);
    }
    loadedContent_ = std::move(snapshot.content);
    records_ = std::move(snapshot.parsed.records);
    totals_ = hibi::runningTotals(records_);

    const ScheduleResult result = computeSchedule(records_, totals_, today);
    schedule_ = result.schedule;
    // A reading that stopped at a bad line may end on a record without a
    // date to count to; that ledger is already reported.
    const bool daysOut = result.error == ScheduleError::DaysOutOfRange;
    if ((daysOut || result.error == ScheduleError::TotalOutOfRange) &&
        block_ == DepositBlock::None) {
        block_ = DepositBlock::OutOfRange;
        const LedgerRecord& culprit = records_[result.recordAtFault];
        LoadNotice range =
            notice(daysOut ? LoadNotice::Kind::DaysOutOfRange : LoadNotice::Kind::TotalOutOfRange,
                   ledgerFileName_);
        range.line = culprit.lineInLedger();
        range.date = dateFromText(culprit.dateText()).value_or(QDate());
        range.today = today;
        notices.append(range);
    }
    if (!result.error && block_ == DepositBlock::None && schedule_.hasRecords) {
        checkDates(today, notices);
    }
    if (!result.error && block_ == DepositBlock::None && schedule_.hasRecords &&
        schedule_.dtZenkai > today) {
        block_ = DepositBlock::ClockBehind;
        LoadNotice behind = notice(LoadNotice::Kind::ClockBehind, ledgerFileName_);
        behind.today = today;
        behind.lastDate = schedule_.dtZenkai;
        notices.append(behind);
    }
    if (block_ == DepositBlock::None && records_.size() >= kMaxLedgerRecords) {
        // Told however the day stands, so that a full ledger never comes as
        // a surprise at the next press; due or not, nothing more can go in.
        notices.append(notice(LoadNotice::Kind::LedgerFull, ledgerFileName_));
        if (status() != PlanStatus::DepositedToday) {
            block_ = DepositBlock::LedgerFull;
        }
    }
    return notices;
}

void PlanModel::checkDates(const QDate& today, QList<LoadNotice>& notices) {
    // A plan cannot start in the future, nor end before it started: the day
    // number and the arrears would come out negative.
    const Schedule& s = schedule_;
    const bool ahead = s.dtKaishi > today;
    if (!ahead && s.dtKaishi <= s.dtZenkai) {
        return;
    }
    const LedgerRecord& offending = ahead ? records_.first() : records_.last();
    LoadNotice odd =
        notice(ahead ? LoadNotice::Kind::FirstDateAhead : LoadNotice::Kind::DatesBackwards,
               ledgerFileName_);
    odd.today = today;
    odd.firstDate = s.dtKaishi;
    odd.lastDate = s.dtZenkai;
    odd.line = offending.lineInLedger();
    notices.append(odd);
    block_ = DepositBlock::OddDates;
}

std::optional<Integer> PlanModel::shownDayNumber() const {
    if (block_ != DepositBlock::None) {
        return std::nullopt;
    }
    return schedule_.dayNumber;
}

std::optional<Amount> PlanModel::shownTotal() const {
    if (totals_.size() < records_.size()) {
        return std::nullopt;
    }
    return totals_.isEmpty() ? Amount() : totals_.constLast();
}

PlanStatus PlanModel::status() const {
    const Schedule& s = schedule_;
    if (block_ != DepositBlock::None) {
        return PlanStatus::Blocked;
    }
    if (s.curKingaku == Amount::fromYen(1)) {
        // Today's amount of 1 yen: the first day of a plan, or, with a
        // history, the sign that today's deposit is recorded.
        if (s.hasRecords) {
            return PlanStatus::DepositedToday;
        }
        return PlanStatus::FirstDay;
    }
    const Amount zero;
    if (s.curTainou == zero && s.curKingaku > zero) {
        return PlanStatus::Due;
    }
    if (s.curTainou != zero && s.curKingaku != zero && s.amountDue > zero) {
        return PlanStatus::DueWithArrears;
    }
    return PlanStatus::Blocked;
}

DepositOutcome PlanModel::deposit(const QDateTime& now) {
    DepositOutcome outcome;
    const PlanStatus current = status();
    if (current == PlanStatus::Blocked || current == PlanStatus::DepositedToday) {
        outcome.kind = DepositOutcome::Kind::NothingDue;
        return outcome;
    }
    if (now.date() != loadedOn_) {
        // The amount due belongs to the day of the load: work it out anew.
        outcome.kind = DepositOutcome::Kind::NewDay;
        outcome.notices = load(now.date());
        outcome.statusAfter = status();
        return outcome;
    }
    const Amount amount = schedule_.amountDue;
    // The new total must fit before anything is written: a deposit the
    // history could not add up would be on disk but never shown.
    const std::optional<Amount> newTotal = schedule_.curRuikei.plus(amount);
    if (!newTotal) {
        outcome.kind = DepositOutcome::Kind::OutOfRange;
        return outcome;
    }
    const LedgerRecord record(now.date(), now.time(), amount);
    const std::optional<SystemError> backupError = keepDailyCopy(now);
    QByteArray written;
    outcome.problem = LedgerFile(directory()).append(record, loadedContent_, &written);
    if (outcome.problem) {
        // Whatever went wrong, the window shows what the file holds now.
        outcome.kind = outcome.problem->kind == LedgerFileProblem::Kind::ChangedOnDisk
                           ? DepositOutcome::Kind::ChangedOnDisk
                           : DepositOutcome::Kind::Failed;
        outcome.notices = load(loadedOn_);
        outcome.statusAfter = status();
        return outcome;
    }
    if (backupError && toldBackupFailureOn_ != loadedOn_) {
        toldBackupFailureOn_ = loadedOn_;
        outcome.backupError = backupError;
    }
    loadedContent_ = std::move(written);
    records_.append(record);
    totals_.append(*newTotal);
    // The plan as a load would now find it: today's deposit is recorded.
    schedule_ = computeSchedule(records_, totals_, loadedOn_).schedule;
    outcome.kind = DepositOutcome::Kind::Recorded;
    outcome.record = record;
    return outcome;
}

bool PlanModel::writesInPlace() const {
    return LedgerFile(directory()).writesInPlace();
}

std::optional<SystemError> PlanModel::keepDailyCopy(const QDateTime& now) const {
    // The ledger as it was before the day's first deposit. A folder that
    // takes no new file keeps no copy (told at start-up), and a failed copy
    // holds up no deposit.
    if (loadedContent_.isEmpty() || writesInPlace() || backups().hasDailyCopyOn(now.date())) {
        return std::nullopt;
    }
    const QString ledgerPath = QDir(directory()).filePath(ledgerFileName_);
    const Backups::Kept kept =
        backups().keep(loadedContent_, QFile::permissions(ledgerPath), now, BackupReason::Daily);
    if (kept.error) {
        std::fprintf(stderr, "hibinobori: no daily copy of the ledger was kept: error %d\n",
                     kept.error->code);
        return kept.error;
    }
    backups().pruneDaily(kDailyCopies, kept.fileName);
    return std::nullopt;
}

ResetOutcome PlanModel::replaceLedger(const QByteArray& content, const QDateTime& now,
                                      BackupReason why, const QByteArray* onlyIfStill) {
    ResetOutcome outcome;
    const Backups copies = backups();
    outcome.problem = LedgerFile(directory())
                          .replace(
                              content,
                              [&](const QByteArray& old, QFileDevice::Permissions permissions) {
                                  return copies.keep(old, permissions, now, why).error;
                              },
                              onlyIfStill);
    outcome.done = !outcome.problem;
    // Done or not, the window shows what the file holds now.
    outcome.reloaded = true;
    outcome.notices = load(now.date());
    return outcome;
}

ResetOutcome PlanModel::reset(const QDateTime& now) {
    if (!canReset()) {
        return {};
    }
    return replaceLedger(QByteArray(), now, BackupReason::BeforeReset);
}

ResetOutcome PlanModel::convertFromUtf8(const QDateTime& now) {
    if (utf8AsShiftJis_.isNull()) {
        return {};
    }
    // Only the file that was read and offered for conversion is replaced.
    const QByteArray loaded = loadedContent_;
    return replaceLedger(QByteArray(utf8AsShiftJis_), now, BackupReason::BeforeConversion, &loaded);
}

ResetOutcome PlanModel::restore(const QString& fileName, const QDateTime& now) {
    const FileBytes copy = readWholeFile(QDir(backups().folderPath()).filePath(fileName));
    if (!canReset() || copy.error || parseLedger(copy.content).error) {
        ResetOutcome refused;
        refused.problem = LedgerFileProblem{LedgerFileProblem::Kind::NotReadable,
                                            fileName,
                                            copy.error.value_or(SystemError{}),
                                            std::nullopt,
                                            {}};
        return refused;
    }
    return replaceLedger(copy.content, now, BackupReason::BeforeRestore);
}

Integer PlanModel::loadGoal() {
    goalDays_ = GoalFile(directory()).load();
    return goalDays_;
}

std::optional<GoalFile::SaveProblem> PlanModel::saveGoal(double value) {
    // The goal the progress figures measure by is the one just saved; a
    // goal that could not be saved leaves the saved one in force.
    auto problem = GoalFile(directory()).save(value);
    if (!problem) {
        goalDays_ = roundToGoalDays(value).value_or(goalDays_);
    }
    return problem;
}

}  // namespace hibi
