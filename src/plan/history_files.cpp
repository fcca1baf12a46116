#include "plan/history_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "goal/goal_file.h"
#include "ledger/atomic_file.h"
#include "ledger/file_system.h"
#include "ledger/ledger_file.h"
#include "ledger/ledger_lock.h"
#include "ledger/schedule.h"
#include "ledger/text_formats.h"

namespace hibi {

namespace {

// A text cell. One that starts like a formula gets an apostrophe, inside
// quotes, so that a spreadsheet shows it instead of running it.
QByteArray csvText(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    const bool formula = !utf8.isEmpty() && QByteArrayView("=+-@\t\r").contains(utf8.front());
    if (formula || utf8.contains(',') || utf8.contains('"') || utf8.contains('\n') ||
        utf8.contains('\r')) {
        utf8.replace("\"", "\"\"");
        return (formula ? "\"'" : "\"") + utf8 + '"';
    }
    return utf8;
}

// A name as a file system that ignores case and Unicode form compares it.
QString comparable(const QString& name) {
    return name.normalized(QString::NormalizationForm_C).toCaseFolded();
}

}  // namespace

QByteArray historyCsv(const QList<LedgerRecord>& records, const QList<Amount>& totals) {
    QByteArray csv = "\xEF\xBB\xBF";
    csv += QStringLiteral("回,日付,時刻,入金,累積\r\n").toUtf8();
    for (qsizetype i = 0; i < records.size(); ++i) {
        const LedgerRecord& record = records[i];
        const auto date = dateFromText(record.dateText());
        csv += QByteArray::number(i + 1) + ',';
        csv += csvText(date ? date->toString(Qt::ISODate) : record.dateText()) + ',';
        csv += csvText(record.timeText()) + ',';
        csv += decimalText(record.amount).toUtf8() + ',';
        // A total that no longer fits is left empty, as in the history.
        csv += (i < totals.size() ? decimalText(totals[i]).toUtf8() : QByteArray()) + "\r\n";
    }
    return csv;
}

std::optional<SystemError> writeHistoryCsv(const QString& path, const QByteArray& csv,
                                           const QString& ledgerPath) {
    const os::NoWiderThan narrowed(ledgerPath, path);
    return writeFileAtomically(path, csv);
}

bool isProgramDataPath(const QString& path, const QString& directory) {
    const QString home = QFileInfo(directory).canonicalFilePath();
    // The folder the file would go into, as the system finds it: through
    // links and "..". One that does not exist takes no file at all.
    const QString folder = QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath();
    if (home.isEmpty() || folder.isEmpty()) {
        return false;
    }
    const QString backups = comparable(Backups::folderName());
    if (folder == home) {
        const QString name = comparable(QFileInfo(path).fileName());
        for (const QString& kept : {LedgerFile::canonicalName(), GoalFile::canonicalName(),
                                    LedgerLock::lockFileName(), Backups::folderName()}) {
            if (name == comparable(kept)) {
                return true;
            }
        }
        return false;
    }
    // Anything in the backup folder, however deep.
    for (QFileInfo inner(folder); inner.absolutePath() != inner.absoluteFilePath();
         inner = QFileInfo(inner.absolutePath())) {
        if (inner.absolutePath() == home) {
            return comparable(inner.fileName()) == backups;
        }
    }
    return false;
}

QString csvFileName(const QDate& today) {
    return QStringLiteral("ヒビノボリ_%1.csv").arg(today.toString(QStringLiteral("yyyyMMdd")));
}

QList<BackupSummary> backupSummaries(const Backups& backups) {
    QList<BackupSummary> summaries;
    for (const Backups::Entry& entry : backups.list()) {
        BackupSummary summary;
        summary.entry = entry;
        const FileBytes bytes = readWholeFile(QDir(backups.folderPath()).filePath(entry.fileName));
        const ParsedLedger parsed = parseLedger(bytes.content);
        const QList<Amount> totals = runningTotals(parsed.records);
        summary.readable = !bytes.error && !parsed.error && totals.size() == parsed.records.size();
        summary.records = parsed.records.size();
        QByteArrayView text(bytes.content);
        if (text.endsWith(kEndOfFileMark)) {
            text.chop(1);
        }
        summary.possiblyCut = !parsed.records.isEmpty() && !text.endsWith('\n');
        if (summary.readable && !parsed.records.isEmpty()) {
            summary.lastDate = dateFromText(parsed.records.last().dateText()).value_or(QDate());
            summary.total = totals.last();
        }
        summaries.append(summary);
    }
    return summaries;
}

}  // namespace hibi
