#include "ledger/backups.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <utility>

namespace hibi {

namespace {

const QString kPrefix = QStringLiteral("ヒビノボリ_");

QString reasonSuffix(BackupReason reason) {
    switch (reason) {
        case BackupReason::Daily:
            return QString();
        case BackupReason::BeforeReset:
            return QStringLiteral("_クリア前");
        case BackupReason::BeforeRestore:
            return QStringLiteral("_復元前");
        case BackupReason::BeforeConversion:
            return QStringLiteral("_変換前");
        case BackupReason::BeforeTakeBack:
            return QStringLiteral("_取消前");
    }
    return QString();
}

}  // namespace

QString Backups::folderName() {
    return QStringLiteral("バックアップ");
}

Backups::Backups(QString ledgerDirectory) : directory_(std::move(ledgerDirectory)) {}

QString Backups::folderPath() const {
    return QDir(directory_).filePath(folderName());
}

Backups::Kept Backups::keep(const QByteArray& content, const QDateTime& now,
                            BackupReason reason) const {
    Kept kept;
    const QDir folder(folderPath());
    if (!folder.exists() && !QDir(directory_).mkdir(folderName())) {
        kept.error =
            SystemError{errno, QStringLiteral("cannot make the folder %1").arg(folderName())};
        return kept;
    }
    const QString stem =
        kPrefix + now.toString(QStringLiteral("yyyyMMdd_HHmmss")) + reasonSuffix(reason);
    QString name = stem + QStringLiteral(".txt");
    for (int n = 2; QFile::exists(folder.filePath(name)); ++n) {
        name = stem + QStringLiteral("_%1.txt").arg(n);
    }
    kept.error = writeFileAtomically(folder.filePath(name), content);
    if (!kept.error) {
        kept.fileName = name;
    }
    return kept;
}

QList<Backups::Entry> Backups::list() const {
    static const QRegularExpression pattern(QStringLiteral(
        "^ヒビノボリ_(\\d{8}_\\d{6})(_クリア前|_復元前|_変換前|_取消前)?(?:_\\d+)?\\.txt$"));
    QList<Entry> entries;
    const QStringList names =
        QDir(folderPath()).entryList(QDir::Files, QDir::Name | QDir::Reversed);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch()) {
            continue;
        }
        Entry entry;
        entry.fileName = name;
        entry.made = QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd_HHmmss"));
        const QString why = match.captured(2);
        for (BackupReason reason : {BackupReason::BeforeReset, BackupReason::BeforeRestore,
                                    BackupReason::BeforeConversion, BackupReason::BeforeTakeBack}) {
            if (why == reasonSuffix(reason)) {
                entry.reason = reason;
            }
        }
        if (entry.made.isValid()) {
            entries.append(entry);
        }
    }
    // Newest first; copies of the same second by their number.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.made > b.made; });
    return entries;
}

bool Backups::hasDailyCopyOn(const QDate& day) const {
    const QList<Entry> entries = list();
    return std::any_of(entries.begin(), entries.end(), [&day](const Entry& e) {
        return e.reason == BackupReason::Daily && e.made.date() == day;
    });
}

void Backups::pruneDaily(int keep) const {
    int daily = 0;
    for (const Entry& entry : list()) {
        if (entry.reason == BackupReason::Daily && ++daily > keep) {
            QFile::remove(QDir(folderPath()).filePath(entry.fileName));
        }
    }
}

}  // namespace hibi
