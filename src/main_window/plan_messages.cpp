#include "main_window/plan_messages.h"

#include <QLocale>
#include <cerrno>

#include "ledger/text_formats.h"

namespace hibi {

namespace {

const QString kTryAgain = QStringLiteral(
    "入金はまだ記録していません。金額を確かめてから、もう一度「入金」を押してください。");
const QString kShowingFile = QStringLiteral("台帳ファイルの今の内容を表示しています。");

QString fullLedgerText(const QString& fileName) {
    return QStringLiteral(
               "台帳ファイル「%1」の記録が、扱える上限の %2 件に達しました。これ以上の入金は"
               "記録できないため、「入金」は押せません。\n\n続けるには、「クリア」で新しく始めて"
               "ください（今までの記録はフォルダー「%3」に残ります）。または、別のフォルダーで"
               "起動すると、新しい台帳ファイルで始められます（今の台帳ファイルはそのまま残ります）"
               "。")
        .arg(fileName, QLocale(QLocale::Japanese).toString(kMaxLedgerRecords),
             Backups::folderName());
}

QString ledgerProblemReason(const LedgerFileProblem& problem) {
    switch (problem.kind) {
        case LedgerFileProblem::Kind::AmbiguousName:
            return QStringLiteral(
                       "名前の大文字と小文字だけが違う台帳ファイルが複数あります（%1）。"
                       "使わないファイルを別の場所へ移してください")
                .arg(problem.names.join(QStringLiteral("、")));
        case LedgerFileProblem::Kind::NotReadable:
            return problem.where ? QStringLiteral("%1 行目: %2")
                                       .arg(problem.where->line)
                                       .arg(ledgerErrorText(problem.where->kind))
                                 : QString();
        case LedgerFileProblem::Kind::ChangedOnDisk:
            return QStringLiteral("台帳ファイルが読み込み後にほかで変更されています");
        case LedgerFileProblem::Kind::Busy:
            return QStringLiteral(
                "ほかで起動している「ヌピカ貯めよう！」が台帳ファイルを使っています。"
                "しばらくしてからもう一度お試しください");
        case LedgerFileProblem::Kind::NoBackup:
            return QStringLiteral("フォルダー「%1」にバックアップを保存できません（%2）")
                .arg(Backups::folderName(), systemErrorText(problem.error));
        case LedgerFileProblem::Kind::FolderReadOnly:
            return QStringLiteral(
                "台帳ファイルのあるフォルダーに新しいファイルを作れないため、バックアップを残せませ"
                "ん");
        case LedgerFileProblem::Kind::ReadFailed:
        case LedgerFileProblem::Kind::WriteFailed:
        case LedgerFileProblem::Kind::NotSynced:
            break;
    }
    return systemErrorText(problem.error);
}

// Whether the same action may succeed later without the user changing
// anything: a busy lock, a full disk or a passing fault may clear; a
// permission, a broken line, a full ledger or two spellings will not.
bool retryMayHelp(const LedgerFileProblem& problem) {
    switch (problem.kind) {
        case LedgerFileProblem::Kind::AmbiguousName:
        case LedgerFileProblem::Kind::NotReadable:
        case LedgerFileProblem::Kind::FolderReadOnly:
            return false;
        default:
            break;
    }
    switch (problem.error.code) {
        case EACCES:
        case EPERM:
        case EROFS:
        case EFBIG:
        case ENOTDIR:
        case EISDIR:
        case EEXIST:
        case ENAMETOOLONG:
            return false;
        default:
            return true;
    }
}

// What the user can do next, after a failed change that left the ledger as
// it was.
QString nextStep(const LedgerFileProblem& problem) {
    if (problem.kind == LedgerFileProblem::Kind::NotReadable && problem.where &&
        problem.where->kind == LedgerErrorKind::TooManyRecords) {
        return fullLedgerText(problem.fileName);
    }
    if (problem.kind == LedgerFileProblem::Kind::NotReadable) {
        return QStringLiteral(
                   "台帳ファイルをテキストエディターで開き、%1 行目を直して"
                   "Shift-JIS（シフトJIS）で保存してから、起動し直してください。")
            .arg(problem.where ? problem.where->line : 0);
    }
    if (problem.kind == LedgerFileProblem::Kind::AmbiguousName) {
        return QString();  // the reason says what to do
    }
    if (retryMayHelp(problem)) {
        return QStringLiteral("原因が取り除かれたら、もう一度お試しください。");
    }
    return QStringLiteral(
        "台帳ファイルのあるフォルダーとファイルの設定（書き込みの権限など）を"
        "確かめてください。");
}

}  // namespace

QString systemErrorText(const SystemError& error) {
    switch (error.code) {
        case 0:
            return QStringLiteral("原因を特定できないエラーが起きました");
        case EACCES:
        case EPERM:
            return QStringLiteral("アクセスする権限がありません");
        case ENOSPC:
#ifdef EDQUOT  // no disk quotas in Windows' errno
        case EDQUOT:
#endif
            return QStringLiteral("ディスクの空きが足りません");
        case EFBIG:
            return QStringLiteral("ファイルが大きすぎます");
        case ENOENT:
            return QStringLiteral("ファイルまたはフォルダーが見つかりません");
        case EROFS:
            return QStringLiteral("読み取り専用のファイルシステムです");
        case EMFILE:
        case ENFILE:
            return QStringLiteral("開いているファイルが多すぎます");
        case EIO:
            return QStringLiteral("入出力エラーが起きました");
        case ENOTDIR:
            return QStringLiteral("フォルダーがあるべき場所に同じ名前のファイルがあります");
        case EISDIR:
            return QStringLiteral("ファイルがあるべき場所に同じ名前のフォルダーがあります");
        case EEXIST:
            return QStringLiteral("同じ名前のファイルまたはフォルダーがすでにあります");
        case ENAMETOOLONG:
            return QStringLiteral("ファイルの名前が長すぎます");
        case EBUSY:
        case ETXTBSY:
            return QStringLiteral("ファイルがほかのプログラムで使われています");
        default:
            if (error.code >= kWindowsErrorBase) {
                return QStringLiteral("システムのエラーが起きました（Windows のエラー番号 %1）")
                    .arg(error.code - kWindowsErrorBase);
            }
            return QStringLiteral("システムのエラーが起きました（エラー番号 %1）").arg(error.code);
    }
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

QString noBackupsHereText(const QString& fileName) {
    return QStringLiteral(
               "台帳ファイル「%1」のあるフォルダーには新しいファイルを作れないため、台帳ファイルの"
               "バックアップを残せません。入金は台帳ファイルに直接書き足します。クリアと"
               "バックアップからの復元はできません。\n\nバックアップを残すには、このフォルダーに"
               "書き込めるようにするか、台帳ファイルを書き込めるフォルダーへ移して、そこで起動して"
               "ください。")
        .arg(fileName);
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
                       "名前の大文字と小文字だけが違う台帳ファイルが複数あります（%1）。\n"
                       "どれを使うか決められないため、"
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
        case LoadNotice::Kind::DaysOutOfRange:
            return QStringLiteral(
                       "台帳ファイル「%1」の %2 行目の日付（%3）と今日（%4）の間の日数が、"
                       "扱える %5 日を超えています。\n\n今日の入金額を計算できないため、"
                       "入金できません。ファイルは変更していません。%2 行目の日付を確かめて"
                       "ください。")
                .arg(notice.fileName)
                .arg(notice.line)
                .arg(dateText(notice.date), dateText(notice.today))
                .arg(Integer::kMax);
        case LoadNotice::Kind::TotalOutOfRange:
            return QStringLiteral(
                       "台帳ファイル「%1」の %2 行目までの金額の合計が、扱える金額を超えています。"
                       "\n\n合計を表示できないため、入金できません。ファイルは変更していません。"
                       "%2 行目までの金額を確かめてください。")
                .arg(notice.fileName)
                .arg(notice.line);
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
                       "台帳ファイル「%1」は UTF-8 "
                       "で保存されています。このプログラムの台帳ファイルは"
                       " Shift-JIS（シフトJIS）です。\n\nShift-JIS に変換しますか？"
                       "元のファイルはフォルダー「%2」に残します。\n"
                       "変換しない場合は、記録を表示するだけで入金はできません。")
                       .arg(notice.fileName, Backups::folderName()) +
                   (notice.badLine ? QStringLiteral("\n\nなお、%1 行目は読み込めません（%2）。"
                                                    "変換したあとで、この行を直してください。")
                                         .arg(notice.badLine->line)
                                         .arg(ledgerErrorText(notice.badLine->kind))
                                   : QString());
        case LoadNotice::Kind::LedgerFull:
            return fullLedgerText(notice.fileName);
        case LoadNotice::Kind::NoBackupsHere:
            return noBackupsHereText(notice.fileName);
        case LoadNotice::Kind::ClockBehind:
            return QStringLiteral(
                       "コンピューターの日付（%1）が、最後の入金日（%2）より前になっています。\n\n"
                       "日付の設定を確かめてから起動し直してください。それまでは入金できません。")
                .arg(dateText(notice.today), dateText(notice.lastDate));
    }
    return {};
}

QString depositOutcomeText(const DepositOutcome& outcome) {
    const LedgerFileProblem problem = outcome.problem.value_or(LedgerFileProblem{});
    // After a reload: what the ledger now says about today.
    const QString today = outcome.statusAfter == PlanStatus::DepositedToday
                              ? QStringLiteral("今日の入金は、その記録ですでに済んでいます。")
                          : outcome.statusAfter == PlanStatus::Blocked
                              ? QStringLiteral("入金は記録していません。")
                              : kTryAgain;
    switch (outcome.kind) {
        case DepositOutcome::Kind::Recorded:
        case DepositOutcome::Kind::NothingDue:
            return {};
        case DepositOutcome::Kind::NewDay:
            return QStringLiteral(
                       "日付が変わったため、台帳ファイルを読み込み直して今日の入金額を"
                       "計算し直しました。\n\n") +
                   today;
        case DepositOutcome::Kind::ChangedOnDisk:
            return QStringLiteral(
                       "台帳ファイル「%1」がほかで（別に起動している"
                       "「ヌピカ貯めよう！」などで）変更されていたため、読み込み直した"
                       "記録を表示しています。\n\n")
                       .arg(problem.fileName) +
                   today;
        case DepositOutcome::Kind::OutOfRange:
            return QStringLiteral("金額が扱える範囲を超えたため、入金を記録できません。");
        case DepositOutcome::Kind::Failed:
            break;
    }
    if (problem.kind == LedgerFileProblem::Kind::NotSynced) {
        return QStringLiteral(
                   "入金を台帳ファイル「%1」に書き込みましたが、ディスクに保存されたことを"
                   "確かめられませんでした。\n理由: %2\n\n%3電源を切る前に、"
                   "台帳ファイルのあるディスクを確かめてください。")
            .arg(problem.fileName, systemErrorText(problem.error), kShowingFile);
    }
    const QString file =
        problem.partWritten
            ? QStringLiteral("台帳ファイルの最後に、書きかけの行が残った可能性があります。")
            : QStringLiteral("台帳ファイルは変更していません。");
    return QStringLiteral(
               "入金を記録できませんでした。\n台帳ファイル「%1」に書き込めません。\n"
               "理由: %2\n\n%3%4\n\n%5")
        .arg(problem.fileName, ledgerProblemReason(problem), file, kShowingFile, nextStep(problem))
        .trimmed();
}

QString backupFailureText(const SystemError& error) {
    return QStringLiteral(
               "入金は記録しました。\n\nただし、今日の入金の前の台帳ファイルをフォルダー「%1」に"
               "バックアップとして残せませんでした。\n理由: %2\n\nこのままでは、"
               "バックアップのないまま記録を続けることになります。フォルダー「%1」を"
               "確かめてください。")
        .arg(Backups::folderName(), systemErrorText(error));
}

QString resetProblemText(const LedgerFileProblem& problem) {
    if (problem.kind == LedgerFileProblem::Kind::FolderReadOnly ||
        problem.kind == LedgerFileProblem::Kind::NoBackup) {
        return QStringLiteral(
                   "クリアする前に、台帳ファイル「%1」のバックアップを残せませんでした。\n"
                   "理由: %2\n\n記録を守るため、クリアしていません。%3")
            .arg(problem.fileName, ledgerProblemReason(problem), kShowingFile);
    }
    return QStringLiteral(
               "台帳ファイル「%1」を空にできませんでした。\n理由: %2\n\n"
               "記録は変更していません。%3\n\n%4")
        .arg(problem.fileName, ledgerProblemReason(problem), kShowingFile, nextStep(problem))
        .trimmed();
}

QString conversionProblemText(const LedgerFileProblem& problem) {
    if (problem.kind == LedgerFileProblem::Kind::ChangedOnDisk) {
        return QStringLiteral(
                   "台帳ファイル「%1」が、変換を確かめている間にほかで変更されたため、"
                   "変換しませんでした。\n\n%2")
            .arg(problem.fileName, kShowingFile);
    }
    return QStringLiteral(
               "台帳ファイル「%1」を Shift-JIS に変換できませんでした。\n理由: %2\n\n"
               "ファイルは変更していません。%3")
        .arg(problem.fileName, ledgerProblemReason(problem), kShowingFile);
}

QString restoreProblemText(const LedgerFileProblem& problem) {
    if (problem.kind == LedgerFileProblem::Kind::NotReadable) {
        return QStringLiteral(
                   "バックアップ「%1」を台帳ファイルとして読み込めないため、戻せません。\n\n"
                   "台帳ファイルは変更していません。")
            .arg(problem.fileName);
    }
    return QStringLiteral(
               "バックアップから戻せませんでした。\n理由: %1\n\n台帳ファイルは変更して"
               "いません。%2")
        .arg(ledgerProblemReason(problem), kShowingFile);
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
