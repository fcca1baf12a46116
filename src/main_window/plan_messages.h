#pragma once

#include <QString>

#include "plan/plan_model.h"

// The plan's outcomes in the words the user reads.
namespace hibi {

// The operating system's reason, in Japanese for the common cases, with
// the system's own text after it.
QString systemErrorText(const SystemError& error);
// Why a ledger line does not read.
QString ledgerErrorText(LedgerErrorKind kind);

QString loadNoticeText(const LoadNotice& notice);
// Nothing for a recorded deposit or when nothing was due.
QString depositOutcomeText(const DepositOutcome& outcome);
QString resetProblemText(const LedgerFileProblem& problem);
QString conversionProblemText(const LedgerFileProblem& problem);
QString restoreProblemText(const LedgerFileProblem& problem);
QString goalSaveProblemText(const GoalFile::SaveProblem& problem);

}  // namespace hibi
