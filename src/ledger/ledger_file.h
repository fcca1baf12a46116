#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "ledger/atomic_file.h"
#include "ledger/ledger_codec.h"

namespace hibi {

class LedgerLock;

// Why a ledger operation did not happen. A write replaces the file whole or
// not at all, so the file is as it was, with two exceptions in a folder that
// takes no new file, where a record is written in place: NotSynced, and a
// WriteFailed with partWritten. Read the file again to show what it holds.
struct LedgerFileProblem {
    enum class Kind {
        AmbiguousName,   // more than one spelling of the name exists
        ReadFailed,      // the file exists but could not be read
        WriteFailed,     // the new content could not be written or renamed
        NotSynced,       // the record is in the file, but the disk did not confirm it
        NotReadable,     // the content is not a ledger; it is not rewritten
        ChangedOnDisk,   // the file is not what the caller loaded
        Busy,            // another copy of the program kept the ledger locked
        NoBackup,        // the copy that must come first could not be kept
        FolderReadOnly,  // the folder takes no new file, so no copy can be kept
    };
    Kind kind = Kind::ReadFailed;
    QString fileName;                  // name without directory, as on disk
    SystemError error;                 // ReadFailed, WriteFailed, NotSynced, NoBackup
    std::optional<LedgerError> where;  // NotReadable: the first line that does not read
    QStringList names;                 // AmbiguousName: the spellings found
    bool partWritten = false;          // WriteFailed in place: a short write not undone
};

// What loading found.
struct LedgerSnapshot {
    bool existed = false;
    QString fileName;    // the file used, or the name a new ledger gets
    QByteArray content;  // the bytes read, to tell later whether the file changed
    ParsedLedger parsed;
    std::optional<LedgerFileProblem> problem;
};

// The ledger file "ヒビノボリ.txt" in one directory. An existing ledger is found
// whatever the case of its extension and keeps its name; a new one is made
// as "ヒビノボリ.txt". Every write replaces the file atomically, except a
// record appended in a folder that takes no new file. Each operation finds
// the file and reads it under the ledger lock, so what it decides holds
// until it has written.
class LedgerFile {
  public:
    static QString baseName();       // "ヒビノボリ"
    static QString canonicalName();  // "ヒビノボリ.txt"

    explicit LedgerFile(QString directory);

    LedgerSnapshot load() const;

    // Creates the empty ledger when none exists; does nothing otherwise.
    std::optional<LedgerFileProblem> createIfMissing() const;

    // Appends one record. With expectedContent, the file must still hold
    // exactly those bytes (a missing file counts as empty); otherwise
    // nothing is written and ChangedOnDisk is reported. A file that does not
    // read as a ledger is never rewritten. On success, newContent (when
    // given) receives the bytes now on disk.
    std::optional<LedgerFileProblem> append(const LedgerRecord& record,
                                            const std::optional<QByteArray>& expectedContent,
                                            QByteArray* newContent = nullptr) const;

    // Replaces the whole ledger with content (creates it when missing),
    // after keepCopy has kept the old bytes: when it fails, nothing changes.
    // With onlyIfStill, the file must still hold those bytes (ChangedOnDisk
    // otherwise). Needs a folder that takes new files.
    using KeepCopy = std::function<std::optional<SystemError>(
        const QByteArray& old, QFileDevice::Permissions permissions)>;
    std::optional<LedgerFileProblem> replace(const QByteArray& content, const KeepCopy& keepCopy,
                                             const QByteArray* onlyIfStill = nullptr) const;

    // Whether a deposit is written in place (the folder takes no new file).
    bool writesInPlace() const;

  private:
    struct Located {
        QString path;
        QString fileName;
        bool exists = false;
        std::optional<LedgerFileProblem> problem;
    };
    Located locate() const;
    // Takes the ledger lock and finds the file under it; a problem when the
    // lock could not be had or the name is ambiguous.
    std::optional<LedgerFileProblem> lockAndLocate(LedgerLock& lock, Located& file) const;

    QString directory_;
};

}  // namespace hibi
