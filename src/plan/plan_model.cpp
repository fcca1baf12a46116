#include "plan/plan_model.h"

#include <QDir>
#include <QStringDecoder>
#include <QStringEncoder>
#include <utility>

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
    return QStringEncoder(encoding.constData()).isValid() &&
           QStringDecoder(encoding.constData()).isValid();
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
    schedule_.curKingaku = Amount::fromInteger(Integer::of(1));
    schedule_.dayNumber = Integer::of(1);
    block_ = DepositBlock::None;
    loadedContent_.clear();
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
    } else if (snapshot.parsed.error) {
        block_ = DepositBlock::LedgerUnreadable;
        LoadNotice bad = notice(LoadNotice::Kind::BadLine, snapshot.fileName);
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
    if (result.error == ScheduleError::OutOfRange && block_ == DepositBlock::None) {
        block_ = DepositBlock::OutOfRange;
        notices.append(notice(LoadNotice::Kind::OutOfRange, ledgerFileName_));
    }
    if (!result.error && block_ == DepositBlock::None && schedule_.hasRecords &&
        schedule_.dtZenkai > today) {
        block_ = DepositBlock::ClockBehind;
        LoadNotice behind = notice(LoadNotice::Kind::ClockBehind, ledgerFileName_);
        behind.today = today;
        behind.lastDate = schedule_.dtZenkai;
        notices.append(behind);
    }
    return notices;
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
    if (s.curTainou != zero && s.curKingaku != zero) {
        return PlanStatus::DueWithArrears;
    }
    return PlanStatus::Blocked;
}

DepositOutcome PlanModel::deposit(const QDateTime& now) {
    DepositOutcome outcome;
    if (block_ != DepositBlock::None || status() == PlanStatus::DepositedToday) {
        outcome.kind = DepositOutcome::Kind::NothingDue;
        return outcome;
    }
    if (now.date() != loadedOn_) {
        // The amount due belongs to the day of the load: work it out anew.
        outcome.kind = DepositOutcome::Kind::NewDay;
        outcome.notices = load(now.date());
        return outcome;
    }
    const Amount amount = schedule_.amountDue();
    // The new total must fit before anything is written: a deposit the
    // history could not add up would be on disk but never shown.
    Amount newTotal;
    if (!tryAdd(schedule_.curRuikei, amount, newTotal)) {
        outcome.kind = DepositOutcome::Kind::OutOfRange;
        return outcome;
    }
    const LedgerRecord record(now.date(), now.time(), amount);
    QByteArray written;
    outcome.problem = LedgerFile(directory()).append(record, loadedContent_, &written);
    if (outcome.problem) {
        if (outcome.problem->kind == LedgerFileProblem::Kind::ChangedOnDisk) {
            outcome.kind = DepositOutcome::Kind::ChangedOnDisk;
            outcome.notices = load(loadedOn_);
        } else {
            outcome.kind = DepositOutcome::Kind::Failed;
        }
        return outcome;
    }
    loadedContent_ = std::move(written);
    records_.append(record);
    totals_.append(newTotal);
    // The plan as a load would now find it: today's deposit is recorded.
    schedule_ = computeSchedule(records_, totals_, loadedOn_).schedule;
    outcome.kind = DepositOutcome::Kind::Recorded;
    outcome.record = record;
    return outcome;
}

ResetOutcome PlanModel::reset(const QDate& today) {
    ResetOutcome outcome;
    if (!canReset()) {
        return outcome;
    }
    outcome.problem = LedgerFile(directory()).empty();
    if (outcome.problem) {
        return outcome;
    }
    outcome.done = true;
    outcome.notices = load(today);
    return outcome;
}

Integer PlanModel::loadGoal() {
    goalDays_ = GoalFile(directory()).load();
    return goalDays_;
}

std::optional<GoalFile::SaveProblem> PlanModel::saveGoal(double value) {
    return GoalFile(directory()).save(value);
}

}  // namespace hibi
