#include "ledger/backups.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <utility>

#include "ledger/file_system.h"

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

Backups::Kept Backups::keep(const QByteArray& content, QFileDevice::Permissions ledgerPermissions,
                            const QDateTime& now, BackupReason reason) const {
    Kept kept;
    // The folder opens to those who may read the ledger, and to no one else.
    const QFileDevice::Permissions owner{QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                         QFileDevice::ExeOwner};
    QFileDevice::Permissions folderPermissions = owner;
    if (ledgerPermissions & QFileDevice::ReadGroup) {
        folderPermissions |= QFileDevice::ReadGroup | QFileDevice::ExeGroup;
    }
    if (ledgerPermissions & QFileDevice::ReadOther) {
        folderPermissions |= QFileDevice::ReadOther | QFileDevice::ExeOther;
    }
    const QFileInfo info(folderPath());
    os::clearError();
    if (info.exists() && !info.isDir()) {
        kept.error = SystemError{ENOTDIR, QString()};  // a file of that name stands there
        return kept;
    }
    if (!info.exists() && !QDir(directory_).mkdir(folderName(), folderPermissions)) {
        kept.error = os::lastError();
        return kept;
    }
    const QFileDevice::Permissions current =
        info.permissions() &
        ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    // A folder an older version made wider is narrowed.
    if (info.exists() && (current & ~folderPermissions)) {
        QFile::setPermissions(folderPath(), current & folderPermissions);
    }
    const QDir folder(folderPath());
    // Numbered after every copy of that second, so that the list can tell
    // which came last.
    const QString second = now.toString(QStringLiteral("yyyyMMdd_HHmmss"));
    int number = 1;
    for (const Entry& entry : list()) {
        if (entry.made.toString(QStringLiteral("yyyyMMdd_HHmmss")) == second) {
            number = std::max(number, entry.number + 1);
        }
    }
    const QString stem = kPrefix + second + reasonSuffix(reason);
    QString name;
    do {
        name = stem + (number > 1 ? QStringLiteral("_%1.txt").arg(number) : QStringLiteral(".txt"));
        ++number;
    } while (QFile::exists(folder.filePath(name)));
    kept.error = writeFileAtomically(
        folder.filePath(name), content, false,
        ledgerPermissions & (owner | QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                             QFileDevice::ReadOther | QFileDevice::WriteOther));
    if (!kept.error) {
        kept.fileName = name;
    }
    return kept;
}

QList<Backups::Entry> Backups::list() const {
    static const QRegularExpression pattern(QStringLiteral(
        "^ヒビノボリ_(\\d{8}_\\d{6})(_クリア前|_復元前|_変換前|_取消前)?(?:_(\\d+))?\\.txt$"));
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
        entry.number = match.captured(3).isEmpty() ? 1 : match.captured(3).toInt();
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
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.made != b.made ? a.made > b.made : a.number > b.number;
    });
    return entries;
}

bool Backups::hasDailyCopyOn(const QDate& day) const {
    const QList<Entry> entries = list();
    return std::any_of(entries.begin(), entries.end(), [&day](const Entry& e) {
        return e.reason == BackupReason::Daily && e.made.date() == day;
    });
}

void Backups::pruneDaily(int keep, const QString& justMade) const {
    int daily = justMade.isEmpty() ? 0 : 1;
    for (const Entry& entry : list()) {
        if (entry.reason == BackupReason::Daily && entry.fileName != justMade && ++daily > keep) {
            QFile::remove(QDir(folderPath()).filePath(entry.fileName));
        }
    }
}

}  // namespace hibi
