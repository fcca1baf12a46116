#include "plan/plan_model.h"

// Taking back today's deposit: the last line of the ledger goes again.

namespace hibi {

std::optional<LedgerRecord> PlanModel::todaysDeposit() const {
    if (block_ != DepositBlock::None || records_.isEmpty() || schedule_.dtZenkai != loadedOn_) {
        return std::nullopt;
    }
    return records_.last();
}

TakeBackOutcome PlanModel::takeBackToday(const QDateTime& now) {
    TakeBackOutcome outcome;
    const std::optional<LedgerRecord> record = todaysDeposit();
    if (!record) {
        outcome.kind = TakeBackOutcome::Kind::NothingToTakeBack;
        return outcome;
    }
    if (now.date() != loadedOn_) {
        outcome.kind = TakeBackOutcome::Kind::NewDay;
        outcome.notices = load(now.date());
        return outcome;
    }
    // The record's line is the text's last that is not empty (a record made
    // in this run points into bytes of its own, not into the ledger's): it
    // goes with its line end; empty lines and an end-of-file mark after it
    // stay.
    const QByteArray& loaded = loadedContent_;
    const qsizetype textEnd = loaded.size() - (loaded.endsWith(kEndOfFileMark) ? 1 : 0);
    qsizetype contentEnd = textEnd;
    while (contentEnd > 0 && (loaded[contentEnd - 1] == '\n' || loaded[contentEnd - 1] == '\r')) {
        --contentEnd;
    }
    const qsizetype lineStart = loaded.lastIndexOf('\n', contentEnd - 1) + 1;
    const qsizetype lineEnd = loaded.indexOf('\n', contentEnd);
    const qsizetype cutEnd = lineEnd < 0 || lineEnd >= textEnd ? textEnd : lineEnd + 1;
    const QByteArray content = loaded.first(lineStart) + loaded.sliced(cutEnd);
    const LedgerCheck rest = checkLedger(content);
    if (rest.error || rest.recordCount != records_.size() - 1) {
        outcome.kind = TakeBackOutcome::Kind::NothingToTakeBack;
        return outcome;
    }

    // Decided under the ledger's lock: the file must still be the one loaded.
    const Backups copies = backups();
    outcome.problem =
        LedgerFile(directory())
            .replace(
                content,
                [&](const QByteArray& old, QFileDevice::Permissions permissions) {
                    return copies.keep(old, permissions, now, BackupReason::BeforeTakeBack).error;
                },
                &loaded);
    if (outcome.problem && outcome.problem->kind == LedgerFileProblem::Kind::ChangedOnDisk) {
        outcome.kind = TakeBackOutcome::Kind::ChangedOnDisk;
        outcome.problem.reset();
        outcome.notices = load(loadedOn_);
        return outcome;
    }
    if (outcome.problem) {
        outcome.kind = TakeBackOutcome::Kind::Failed;
        return outcome;
    }
    outcome.kind = TakeBackOutcome::Kind::TakenBack;
    outcome.record = *record;
    outcome.notices = load(now.date());
    return outcome;
}

}  // namespace hibi
