#include "plan/reminder.h"

#include <QDir>
#include <QFileInfo>

#include "ledger/ledger_file.h"
#include "ledger/text_formats.h"
#include "plan/plan_model.h"

namespace hibi {

namespace {

ReminderCheck cannotTell(const QString& why) {
    return {ReminderCheck::Kind::CannotTell, why};
}

}  // namespace

QString reminderTitle() {
    return QStringLiteral("ヌピカ貯めよう！");
}

QString reminderText(const Schedule& s) {
    QString text = QStringLiteral("今日は%1の日です").arg(yenText(s.curKingaku));
    if (s.curTainou != Amount()) {
        text += QStringLiteral("（%1からの滞納金 %2、計 %3）")
                    .arg(dayOfMonthText(s.dtZenkai.addDays(1)), yenText(s.curTainou),
                         yenText(s.amountDue));
    }
    return text;
}

ReminderCheck reminderFor(const Schedule& s, const QDate& today) {
    if (s.hasRecords) {
        if (s.dtZenkai > today || s.dtKaishi > today) {
            return cannotTell(
                QStringLiteral(
                    "台帳ファイルに今日（%1）より後の日付の記録があります / the ledger holds "
                    "a record dated after today")
                    .arg(dateText(today)));
        }
        if (s.dtKaishi > s.dtZenkai) {
            return cannotTell(
                QStringLiteral("台帳ファイルの最後の記録が最初の記録より前の日付です / the "
                               "ledger's last record is "
                               "dated before its first"));
        }
        if (s.dtZenkai == today) {
            return {ReminderCheck::Kind::Done, QString()};
        }
    }
    return {ReminderCheck::Kind::Due, reminderText(s)};
}

ReminderCheck checkReminder(const QString& directory, const QDate& today) {
    if (!QFileInfo(directory).isDir()) {
        return cannotTell(QStringLiteral("フォルダーがありません / no such folder: %1")
                              .arg(QDir::toNativeSeparators(directory)));
    }
    if (!codecAvailable(kLedgerEncoding)) {
        return cannotTell(QStringLiteral(
            "Shift-JIS の変換が使えないため台帳ファイルを読めません / no Shift-JIS converter"));
    }
    const LedgerSnapshot snapshot = LedgerFile(directory).load();
    const QString path = QDir::toNativeSeparators(QDir(directory).filePath(snapshot.fileName));
    if (snapshot.problem) {
        return cannotTell(
            QStringLiteral("台帳ファイルを読み込めません / cannot read the ledger: %1%2")
                .arg(path, snapshot.problem->error.text.isEmpty()
                               ? QString()
                               : QStringLiteral(" (%1)").arg(snapshot.problem->error.text)));
    }
    if (!snapshot.existed) {
        return cannotTell(QStringLiteral("台帳ファイルがありません / no ledger: %1").arg(path));
    }
    if (snapshot.parsed.error || snapshot.content.startsWith("\xEF\xBB\xBF")) {
        const int line = snapshot.parsed.error ? snapshot.parsed.error->line : 1;
        return cannotTell(
            QStringLiteral(
                "台帳ファイルの %1 行目を読み込めません / line %1 of the ledger does not read: %2")
                .arg(line)
                .arg(path));
    }
    const QList<LedgerRecord>& records = snapshot.parsed.records;
    const ScheduleResult result = computeSchedule(records, runningTotals(records), today);
    if (result.error) {
        return cannotTell(
            QStringLiteral(
                "台帳ファイルの日数か金額が範囲を超えています / a day number or amount is out "
                "of range: %1")
                .arg(path));
    }
    return reminderFor(result.schedule, today);
}

}  // namespace hibi
