#include "main_window/plan_messages.h"

#include <cerrno>

#include "ledger/text_formats.h"

namespace hibi {

namespace {

const QString kTryAgain = QStringLiteral(
    "入金はまだ記録していません。金額を確かめてから、もう一度「入金」を押してください。");

QString ledgerProblemReason(const LedgerFileProblem& problem) {
    switch (problem.kind) {
        case LedgerFileProblem::Kind::AmbiguousName:
            return QStringLiteral("同じ名前の台帳が複数あります: ") +
                   problem.names.join(QStringLiteral("、"));
        case LedgerFileProblem::Kind::NotReadable:
            return problem.where ? QStringLiteral("%1 行目: %2")
                                       .arg(problem.where->line)
                                       .arg(ledgerErrorText(problem.where->kind))
                                 : QString();
        case LedgerFileProblem::Kind::ChangedOnDisk:
            return QStringLiteral("台帳が読み込み後に変更されています");
        case LedgerFileProblem::Kind::Busy:
            return QStringLiteral(
                "ほかで起動している「ヌピカ貯めよう！」が台帳を使っています。"
                "しばらくしてからもう一度お試しください");
        case LedgerFileProblem::Kind::NoBackup:
            return QStringLiteral("フォルダー「%1」にバックアップを保存できません（%2）")
                .arg(Backups::folderName(), systemErrorText(problem.error));
        case LedgerFileProblem::Kind::FolderReadOnly:
            return QStringLiteral(
                "台帳のあるフォルダーに新しいファイルを作れないため、バックアップを残せません");
        case LedgerFileProblem::Kind::ReadFailed:
        case LedgerFileProblem::Kind::WriteFailed:
            break;
    }
    return systemErrorText(problem.error);
}

}  // namespace

QString systemErrorText(const SystemError& error) {
    QString words;
    switch (error.code) {
        case EACCES:
        case EPERM:
            words = QStringLiteral("アクセスする権限がありません");
            break;
        case ENOSPC:
#ifdef EDQUOT  // no disk quotas in Windows' errno
        case EDQUOT:
#endif
            words = QStringLiteral("ディスクの空きが足りません");
            break;
        case EFBIG:
            words = QStringLiteral("ファイルが大きすぎます");
            break;
        case ENOENT:
            words = QStringLiteral("ファイルまたはフォルダーが見つかりません");
            break;
        case EROFS:
            words = QStringLiteral("読み取り専用のファイルシステムです");
            break;
        case EMFILE:
        case ENFILE:
            words = QStringLiteral("開いているファイルが多すぎます");
            break;
        case EIO:
            words = QStringLiteral("入出力エラーが起きました");
            break;
        default:
            return error.text;
    }
    return error.text.isEmpty() ? words : QStringLiteral("%1（%2）").arg(words, error.text);
}

QString ledgerErrorText(LedgerErrorKind kind) {
    switch (kind) {
        case LedgerErrorKind::Malformed:
            return QStringLiteral("日付・時刻・金額の形式になっていません");
        case LedgerErrorKind::InvalidDate:
            return QStringLiteral("日付が正しくありません");
        case LedgerErrorKind::InvalidEncoding:
            return QStringLiteral("Shift-JIS として読めない文字があります");
        case LedgerErrorKind::AmountOutOfRange:
            return QStringLiteral("金額が大きすぎます");
        case LedgerErrorKind::TooManyDecimals:
            return QStringLiteral("金額の小数が4桁を超えています");
        case LedgerErrorKind::TooManyRecords:
            return QStringLiteral("記録が %1 件を超えています").arg(kMaxLedgerRecords);
    }
    return {};
}

QString loadNoticeText(const LoadNotice& notice) {
    switch (notice.kind) {
        case LoadNotice::Kind::CodecMissing:
            return QStringLiteral(
                "Shift-JIS の文字コードを変換できないため、台帳ファイルを読み書きできません。\n\n"
                "ファイルは変更していません。入金とクリアはできません。");
        case LoadNotice::Kind::CreateFailed:
            return QStringLiteral("台帳ファイル「%1」を作成できませんでした。\n理由: %2")
                .arg(notice.fileName, systemErrorText(notice.error));
        case LoadNotice::Kind::AmbiguousName:
            return QStringLiteral(
                       "台帳ファイルが複数あります（%1）。\nどれを使うか決められないため、"
                       "どのファイルも変更していません。使わないファイルを別の場所へ移して"
                       "から、起動し直してください。")
                .arg(notice.names.join(QStringLiteral("、")));
        case LoadNotice::Kind::ReadFailed:
            return QStringLiteral(
                       "台帳ファイル「%1」を読み込めませんでした。\n理由: %2\n\n"
                       "ファイルは変更していません。")
                .arg(notice.fileName, systemErrorText(notice.error));
        case LoadNotice::Kind::BadLine:
            return QStringLiteral(
                       "台帳ファイル「%1」の %2 行目を読み込めませんでした（%3）。\n\n"
                       "ファイルは変更していません。読み込めた %4 件の記録だけを表示します。\n\n"
                       "入金するには、台帳ファイルをテキストエディターで開き、%2 行目を直して"
                       "Shift-JIS（シフトJIS）で保存してから、起動し直してください。")
                .arg(notice.fileName)
                .arg(notice.badLine ? notice.badLine->line : 0)
                .arg(notice.badLine ? ledgerErrorText(notice.badLine->kind) : QString())
                .arg(notice.recordsRead);
        case LoadNotice::Kind::OutOfRange:
            return QStringLiteral(
                       "日数か金額が扱える範囲を超えたため、今日の入金額を計算できません。\n"
                       "台帳ファイル「%1」は変更していません。")
                .arg(notice.fileName);
        case LoadNotice::Kind::FirstDateAhead:
        case LoadNotice::Kind::DatesBackwards:
            return QStringLiteral(
                       "台帳ファイル「%1」の %2 行目の日付（%3）が、%4（%5）より%6になっています。"
                       "\n\nこのままでは入金額を正しく計算できないため、入金できません。"
                       "ファイルは変更していません。コンピューターの日付の設定と、"
                       "台帳ファイルの日付を確かめてください。")
                .arg(notice.fileName)
                .arg(notice.line)
                .arg(dateText(notice.kind == LoadNotice::Kind::FirstDateAhead ? notice.firstDate
                                                                              : notice.lastDate),
                     notice.kind == LoadNotice::Kind::FirstDateAhead
                         ? QStringLiteral("今日の日付")
                         : QStringLiteral("最初の入金日"),
                     dateText(notice.kind == LoadNotice::Kind::FirstDateAhead ? notice.today
                                                                              : notice.firstDate),
                     notice.kind == LoadNotice::Kind::FirstDateAhead ? QStringLiteral("後")
                                                                     : QStringLiteral("前"));
        case LoadNotice::Kind::Utf8Ledger:
            return QStringLiteral(
                       "台帳ファイル「%1」は UTF-8 で保存されています。このプログラムの台帳は"
                       " Shift-JIS（シフトJIS）です。\n\nShift-JIS に変換しますか？"
                       "元のファイルはフォルダー「%2」に残します。\n"
                       "変換しない場合は、記録を表示するだけで入金はできません。")
                .arg(notice.fileName, Backups::folderName());
        case LoadNotice::Kind::ClockBehind:
            return QStringLiteral(
                       "コンピューターの日付（%1）が、最後の入金日（%2）より前になっています。\n\n"
                       "日付の設定を確かめてから起動し直してください。それまでは入金できません。")
                .arg(dateText(notice.today), dateText(notice.lastDate));
    }
    return {};
}

QString depositOutcomeText(const DepositOutcome& outcome) {
    switch (outcome.kind) {
        case DepositOutcome::Kind::Recorded:
        case DepositOutcome::Kind::NothingDue:
            return {};
        case DepositOutcome::Kind::NewDay:
            return QStringLiteral("日付が変わったため、今日の入金額を計算し直しました。\n\n") +
                   kTryAgain;
        case DepositOutcome::Kind::ChangedOnDisk:
            return QStringLiteral(
                       "台帳ファイル「%1」がほかで変更されていたため、読み込み直して今日の"
                       "入金額を計算し直しました。\n\n")
                       .arg(outcome.problem ? outcome.problem->fileName : QString()) +
                   kTryAgain;
        case DepositOutcome::Kind::OutOfRange:
            return QStringLiteral("金額が扱える範囲を超えたため、入金を記録できません。");
        case DepositOutcome::Kind::Failed:
            break;
    }
    const LedgerFileProblem problem = outcome.problem.value_or(LedgerFileProblem{});
    return QStringLiteral(
               "入金を記録できませんでした。\n台帳ファイル「%1」に書き込めません。\n"
               "理由: %2\n\n記録は変更していません。もう一度お試しください。")
        .arg(problem.fileName, ledgerProblemReason(problem));
}

QString resetProblemText(const LedgerFileProblem& problem) {
    if (problem.kind == LedgerFileProblem::Kind::FolderReadOnly ||
        problem.kind == LedgerFileProblem::Kind::NoBackup) {
        return QStringLiteral(
                   "クリアする前に、台帳ファイル「%1」のバックアップを残せませんでした。\n"
                   "理由: %2\n\n記録を守るため、クリアしていません。")
            .arg(problem.fileName, ledgerProblemReason(problem));
    }
    return QStringLiteral(
               "台帳ファイル「%1」を空にできませんでした。\n理由: %2\n\n記録は変更していません。")
        .arg(problem.fileName, ledgerProblemReason(problem));
}

QString conversionProblemText(const LedgerFileProblem& problem) {
    return QStringLiteral(
               "台帳ファイル「%1」を Shift-JIS に変換できませんでした。\n理由: %2\n\n"
               "ファイルは変更していません。")
        .arg(problem.fileName, ledgerProblemReason(problem));
}

QString restoreProblemText(const LedgerFileProblem& problem) {
    return QStringLiteral(
               "バックアップから戻せませんでした。\n理由: %1\n\n台帳は変更していません。")
        .arg(problem.kind == LedgerFileProblem::Kind::NotReadable
                 ? QStringLiteral("バックアップ「%1」を台帳として読み込めません")
                       .arg(problem.fileName)
                 : ledgerProblemReason(problem));
}

QString goalSaveProblemText(const GoalFile::SaveProblem& problem) {
    if (!problem.names.isEmpty()) {
        return QStringLiteral(
                   "目標ファイルを保存できませんでした。\n同じ名前のファイルが複数あります: %1")
            .arg(problem.names.join(QStringLiteral("、")));
    }
    return QStringLiteral("目標ファイル「%1」を保存できませんでした。\n理由: %2")
        .arg(problem.fileName, systemErrorText(problem.error));
}

}  // namespace hibi
