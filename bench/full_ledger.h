#pragma once

#include <QDate>
#include <algorithm>

#include "plan/plan_model.h"

// Loads a ledger of the largest size: the only notice it may bring is that
// the ledger takes no more records.
inline bool loadsAsFullLedger(hibi::PlanModel& plan, const QDate& today) {
    const QList<hibi::LoadNotice> notices = plan.load(today);
    const bool onlyFull = std::all_of(notices.begin(), notices.end(), [](const auto& notice) {
        return notice.kind == hibi::LoadNotice::Kind::LedgerFull;
    });
    return onlyFull && plan.records().size() == hibi::kMaxLedgerRecords;
}
