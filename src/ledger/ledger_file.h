#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "ledger/atomic_file.h"
#include "ledger/ledger_codec.h"

namespace hibi {

// Why a ledger operation did not happen. The old file is never changed when
// one of these is reported.
struct LedgerFileProblem {
    enum class Kind {
        AmbiguousName,   // more than one spelling of the name exists
        ReadFailed,      // the file exists but could not be read
        WriteFailed,     // the new content could not be written or renamed
        NotReadable,     // the content is not a ledger; it is not rewritten
        ChangedOnDisk,   // the file is not what the caller loaded
        Busy,            // another copy of the program kept the ledger locked
        NoBackup,        // the copy that must come first could not be kept
        FolderReadOnly,  // the folder takes no new file, so no copy can be kept
    };
    Kind kind = Kind::ReadFailed;
    QString fileName;                  // name without directory, as on disk
    SystemError error;                 // ReadFailed, WriteFailed
    std::optional<LedgerError> where;  // NotReadable: the first line that does not read
    QStringList names;                 // AmbiguousName: the spellings found
};

// What loading found.
struct LedgerSnapshot {
    bool existed = false;
    QString fileName;    // the file used, or the name a new ledger gets
    QByteArray content;  // the bytes read, to tell later whether the file changed
    ParsedLedger parsed;
    std::optional<LedgerFileProblem> problem;

    // True when every byte was understood and deposits may be written.
};

// The ledger file "ヒビノボリ.txt" in one directory. An existing ledger is found
// whatever the case of its extension and keeps its name; a new one is made
// as "ヒビノボリ.txt". Every write replaces the file atomically.
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
    // Needs a folder that takes new files.
    using KeepCopy = std::function<std::optional<SystemError>(const QByteArray& old)>;
    std::optional<LedgerFileProblem> replace(const QByteArray& content,
                                             const KeepCopy& keepCopy) const;
    std::optional<LedgerFileProblem> empty() const { return replace(QByteArray(), {}); }

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

    QString directory_;
};

}  // namespace hibi
