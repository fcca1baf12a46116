#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "ledger/file_platform.h"

class QLockFile;

namespace hibi {

// Makes a compare-and-write on the ledger exclusive among copies of the
// program: a lock file beside the ledger, or, in a folder that takes no new
// file, a lock on the ledger itself. A lock file left by a
// copy that was killed is taken over; one held by a live copy is waited for.
class LedgerLock {
  public:
    LedgerLock(const QString& directory, const QString& ledgerPath);
    ~LedgerLock();
    LedgerLock(const LedgerLock&) = delete;
    LedgerLock& operator=(const LedgerLock&) = delete;

    // Waits up to timeoutMs for the lock; false when another copy keeps it.
    bool acquire(int timeoutMs = 5000);

    static QString lockFileName();  // "ヒビノボリ.lock"

  private:
    QString directory_;
    QString ledgerPath_;
    std::unique_ptr<QLockFile> file_;
    platform::FileLock ledgerLock_;
};

// For tests: runs while the lock is held, between the comparison with the
// file on disk and the write, so that a second copy can be made to race.
std::function<void()>& ledgerPauseBeforeWrite();

}  // namespace hibi
