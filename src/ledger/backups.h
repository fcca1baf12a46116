#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFileDevice>
#include <QList>
#include <QString>
#include <optional>

#include "ledger/atomic_file.h"

namespace hibi {

// Why a copy of the ledger was kept.
enum class BackupReason {
    Daily,             // before the first deposit of a day
    BeforeReset,       // "_クリア前"
    BeforeRestore,     // "_復元前"
    BeforeConversion,  // "_変換前"
};

// Copies of the ledger in the folder "バックアップ" beside it, each named
// after the moment it was made and why: "ヒビノボリ_20090405_210533.txt",
// "ヒビノボリ_20090405_210533_クリア前.txt", with "_2", "_3", ... for the
// second, third... copy of the same second, whatever their kinds. The
// folder and the copies are no more open to others than the ledger.
class Backups {
  public:
    static QString folderName();  // "バックアップ"

    explicit Backups(QString ledgerDirectory);
    QString folderPath() const;

    struct Kept {
        QString fileName;  // on success
        std::optional<SystemError> error;
    };
    // Writes content as a new copy, atomically, with no wider permissions
    // than the ledger's; the folder is made if need be.
    Kept keep(const QByteArray& content, QFileDevice::Permissions ledgerPermissions,
              const QDateTime& now, BackupReason reason) const;

    struct Entry {
        QString fileName;
        QDateTime made;
        BackupReason reason = BackupReason::Daily;
        int number = 1;  // the copy's place among those of the same second
    };
    // Every copy in the folder, newest first.
    QList<Entry> list() const;

    bool hasDailyCopyOn(const QDate& day) const;
    // Deletes all but the newest `keep` daily copies, justMade counting as
    // the newest whatever its name says (a clock once set ahead may have
    // named others later); the others are kept until the user deletes them.
    void pruneDaily(int keep, const QString& justMade) const;

  private:
    QString directory_;
};

}  // namespace hibi
