#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include "ledger/backups.h"
#include "ledger/checked.h"
#include "ledger/ledger_codec.h"

// The history as other programs take it, and the copies it can come back from.
namespace hibi {

// The history as CSV for a spreadsheet: UTF-8 with a byte order mark, CR LF,
// the header "回,日付,時刻,入金,累積" and rows like "1,2009-04-01,07:30:15,1,1":
// ISO dates (a date text that names no date as it stands), amounts and
// running totals without "¥" or grouping. Texts that hold a comma or a quote
// are quoted.
QByteArray historyCsv(const QList<LedgerRecord>& records, const QList<Amount>& totals);

// The name the export offers: "ヒビノボリ_YYYYMMDD.csv".
QString csvFileName(const QDate& today);

// A kept copy as the restore list shows it.
struct BackupSummary {
    Backups::Entry entry;
    bool readable = false;  // reads whole as a ledger: it may be restored
    // The last line has no line end, so the copy may have been cut inside
    // its last amount ("…,12" reading as "…,1"): restored only when confirmed twice.
    bool possiblyCut = false;
    qsizetype records = 0;
    QDate lastDate;  // null without records
    Amount total;
};
QList<BackupSummary> backupSummaries(const Backups& backups);

}  // namespace hibi
