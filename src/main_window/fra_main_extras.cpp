#include <QCoreApplication>

#include "ledger/text_formats.h"
#include "main_window/fra_main.h"
#include "main_window/plan_messages.h"
#include "reminder/reminder_platform.h"
#include "reminder_window/frm_reminder.h"
#include "ui_common/clock.h"
#include "ui_common/message_box.h"

namespace hibi {

// Menu items that keep the habit: the daily reminder, and taking back
// today's deposit.

void fraMain::mnuReminder_Click() {
    const QString program = QCoreApplication::applicationFilePath();
    const QString folder = plan_.directory();
    const hibi::reminder::Setup setup = hibi::reminder::current(program, folder);
    frmReminder dialog(setup, folder, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    std::optional<QString> problem;
    if (dialog.turnedOn()) {
        problem = hibi::reminder::turnOn(dialog.time(), program, folder);
    } else if (setup.on) {
        problem = hibi::reminder::turnOff();
    }
    if (problem) {
        showError(QStringLiteral("毎日のお知らせを設定できませんでした。\n%1").arg(*problem));
    }
}

namespace {

QString takeBackProblemText(const hibi::LedgerFileProblem& problem) {
    QString reason;
    switch (problem.kind) {
        case hibi::LedgerFileProblem::Kind::Busy:
            reason = QStringLiteral("ほかのヌピカ貯めよう！が台帳を使っています");
            break;
        case hibi::LedgerFileProblem::Kind::FolderReadOnly:
            reason = QStringLiteral(
                "台帳のフォルダーに新しいファイルを作れないため、"
                "取り消す前のバックアップを残せません");
            break;
        case hibi::LedgerFileProblem::Kind::NoBackup:
            reason = QStringLiteral("取り消す前のバックアップを残せませんでした（%1）")
                         .arg(hibi::systemErrorText(problem.error));
            break;
        default:
            reason = hibi::systemErrorText(problem.error);
            break;
    }
    return QStringLiteral(
               "今日の入金を取り消せませんでした。\n理由: %1\n\n台帳は変更していません。")
        .arg(reason);
}

}  // namespace

// Takes back today's deposit after asking, Cancel being the default.
void fraMain::mnuTakeBack_Click() {
    const std::optional<hibi::LedgerRecord> record = plan_.todaysDeposit();
    if (!record) {
        return;
    }
    const QString question =
        QStringLiteral(
            "今日 %1 の入金 %2 を取り消しますか？\n\n"
            "台帳からこの記録を消し、今日の分はまた入金できるようになります。"
            "取り消す前の台帳は、フォルダー「%3」に残します。")
            .arg(record->timeText(), hibi::moneyText(record->amount), hibi::Backups::folderName());
    if (hibi::MessageBox::show(
            this, QStringLiteral("入金の取り消し"), question, hibi::MessageBox::Icon::Warning,
            hibi::MessageBox::Buttons::OkCancelDefaultCancel) != hibi::MessageBox::Answer::Ok) {
        return;
    }
    const hibi::TakeBackOutcome outcome = plan_.takeBackToday(clock_.now());
    switch (outcome.kind) {
        case hibi::TakeBackOutcome::Kind::TakenBack:
            pendingNotices_.append(outcome.notices);
            showReloadedPlan();
            showPendingMessages();
            break;
        case hibi::TakeBackOutcome::Kind::NothingToTakeBack:
            showError(QStringLiteral("取り消せる今日の入金がありません。"));
            break;
        case hibi::TakeBackOutcome::Kind::NewDay:
            showReloaded(QStringLiteral("日付が変わったため、取り消しませんでした。"),
                         outcome.notices);
            break;
        case hibi::TakeBackOutcome::Kind::ChangedOnDisk:
            showReloaded(QStringLiteral("台帳ファイルが読み込んだあとに変更されていたため、"
                                        "取り消しませんでした。\n今の台帳を読み込み直しました。"),
                         outcome.notices);
            break;
        case hibi::TakeBackOutcome::Kind::Failed:
            showError(takeBackProblemText(*outcome.problem));
            break;
    }
}

}  // namespace hibi
