#pragma once

#include <QString>

#include "plan/plan_model.h"

// The plan's outcomes in the words the user reads.
namespace hibi {

// The operating system's reason in Japanese; an error without words of its
// own is named by its number.
QString systemErrorText(const SystemError& error);
// Why a ledger line does not read.
QString ledgerErrorText(LedgerErrorKind kind);

QString loadNoticeText(const LoadNotice& notice);
// Nothing for a recorded deposit or when nothing was due.
QString depositOutcomeText(const DepositOutcome& outcome);
// A deposit recorded without the day's copy of the ledger.
QString backupFailureText(const SystemError& error);
// Why no copy can be kept where the ledger is (a folder that takes no new file).
QString noBackupsHereText(const QString& fileName);
QString resetProblemText(const LedgerFileProblem& problem);
QString conversionProblemText(const LedgerFileProblem& problem);
QString restoreProblemText(const LedgerFileProblem& problem);
QString goalSaveProblemText(const GoalFile::SaveProblem& problem);

}  // namespace hibi
