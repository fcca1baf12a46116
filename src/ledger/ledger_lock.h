#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <functional>
#include <memory>

#include "ledger/atomic_file.h"

class QLockFile;

namespace hibi {

// An exclusive advisory lock on one open file, and whether a path still
// names that file: the platform's part of the ledger lock. POSIX: flock and
// the device and inode numbers (ledger_lock_posix.cpp); Windows: LockFileEx
// and the volume and file index (ledger_lock_win.cpp).
class FileLock {
  public:
    enum class Result { Locked, Missing, Busy, Failed };

    FileLock() = default;
    ~FileLock() { unlock(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Opens the file at path and waits until deadline for its lock; the
    // reason in error when it Failed.
    Result lock(const QString& path, const QDeadlineTimer& deadline, SystemError& error);
    // Whether path names the locked file, not one renamed over it since.
    bool isNamedBy(const QString& path) const;
    void unlock();

  private:
    long long handle_ = -1;
};

// Makes a read-decide-write on the ledger exclusive among copies of the
// program. Every copy locks the ledger file itself; a copy that can create
// files in the folder takes the lock file "ヒビノボリ.lock" beside it first,
// so that it may replace the ledger by renaming. A copy that cannot (it
// writes in place) holds the ledger's own lock alone, and a copy about to
// rename waits for it. A lock file left by a copy that was killed is taken
// over; one held by a live copy is waited for.
class LedgerLock {
  public:
    enum class Result { Locked, Busy, Failed };

    explicit LedgerLock(QString directory);
    ~LedgerLock();
    LedgerLock(const LedgerLock&) = delete;
    LedgerLock& operator=(const LedgerLock&) = delete;

    // ledgerPath is asked under the lock file for the ledger's path (empty
    // when there is none yet), and again whenever the file it named was
    // replaced before its lock was taken. Waits up to timeoutMs in all.
    Result acquire(const std::function<QString()>& ledgerPath, int timeoutMs = 5000);
    // Why the ledger could not be opened to lock it (Failed).
    const SystemError& error() const { return error_; }

    static QString lockFileName();  // "ヒビノボリ.lock"

  private:
    QString directory_;
    std::unique_ptr<QLockFile> lockFile_;
    FileLock ledger_;
    SystemError error_;
};

}  // namespace hibi
