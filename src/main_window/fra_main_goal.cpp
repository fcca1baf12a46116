#include <QLineEdit>

#include "goal/goal_rules.h"
#include "ledger/text_formats.h"
#include "main_window/fra_main.h"
#include "main_window/plan_messages.h"
#include "ui_common/layout.h"

namespace hibi {

// The goal planner: the goal box, its amount, and the goal file behind them.

void fraMain::LoadNissuu() {
    savedGoalText_ = QString::number(plan_.loadGoal().value());
    txtSetNissuu_->setText(savedGoalText_);
}

void fraMain::CalcSetKingaku() {
    const auto days = hibi::goalDaysFromBoxText(txtSetNissuu_->text());
    if (!days) {
        return;  // beyond what the day counter can run up to: left as it was
    }
    hibi::setFittedText(lblSetKingaku_, hibi::moneyText(hibi::goalAmount(*days)));
}

void fraMain::txtSetNissuu_KeyPress(int& keyAscii) {
    if (keyAscii != 13) {
        return;
    }
    const auto entry = hibi::goalFromTypedText(txtSetNissuu_->text());
    if (!entry) {
        return;  // empty, not a number, or out of range: nothing changes
    }
    CalcSetKingaku();
    if (auto problem = plan_.saveGoal(entry->value)) {
        showError(hibi::goalSaveProblemText(*problem));
        revertGoalBox();
        return;
    }
    savedGoalText_ = txtSetNissuu_->text();
    refreshProgress();
}

void fraMain::revertGoalBox() {
    if (txtSetNissuu_->text() != savedGoalText_) {
        txtSetNissuu_->setText(savedGoalText_);
        CalcSetKingaku();
    }
}

}  // namespace hibi
