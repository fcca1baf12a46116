#include "plan/history_files.h"

#include <QDir>

#include "ledger/atomic_file.h"
#include "ledger/schedule.h"
#include "ledger/text_formats.h"

namespace hibi {

namespace {

QByteArray csvField(const QString& text) {
    QByteArray utf8 = text.toUtf8();
    if (utf8.contains(',') || utf8.contains('"') || utf8.contains('\n') || utf8.contains('\r')) {
        utf8.replace("\"", "\"\"");
        return '"' + utf8 + '"';
    }
    return utf8;
}

}  // namespace

QByteArray historyCsv(const QList<LedgerRecord>& records, const QList<Amount>& totals) {
    QByteArray csv = "\xEF\xBB\xBF";
    csv += QStringLiteral("回,日付,時刻,入金,累積\r\n").toUtf8();
    for (qsizetype i = 0; i < records.size(); ++i) {
        const LedgerRecord& record = records[i];
        const auto date = dateFromText(record.dateText());
        csv += QByteArray::number(i + 1) + ',';
        csv += csvField(date ? date->toString(Qt::ISODate) : record.dateText()) + ',';
        csv += csvField(record.timeText()) + ',';
        csv += decimalText(record.amount).toUtf8() + ',';
        // A total that no longer fits is left empty, as in the history.
        csv += (i < totals.size() ? decimalText(totals[i]).toUtf8() : QByteArray()) + "\r\n";
    }
    return csv;
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
