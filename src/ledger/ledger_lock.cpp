#include "ledger/ledger_lock.h"

#include <QDir>
#include <QLockFile>
#include <QThread>
#include <cerrno>
#include <utility>

namespace hibi {

QString LedgerLock::lockFileName() {
    return QStringLiteral("ヒビノボリ.lock");
}

LedgerLock::LedgerLock(QString directory) : directory_(std::move(directory)) {}

LedgerLock::~LedgerLock() {
    if (lockFile_) {
        lockFile_->unlock();
    }
    ledger_.unlock();
}

LedgerLock::Result LedgerLock::acquire(const std::function<QString()>& ledgerPath, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    lockFile_ = std::make_unique<QLockFile>(QDir(directory_).filePath(lockFileName()));
    // A deposit holds the lock for milliseconds; one older than this belongs
    // to a copy that hangs.
    lockFile_->setStaleLockTime(10000);
    if (!lockFile_->tryLock(timeoutMs)) {
        const bool held = lockFile_->error() == QLockFile::LockFailedError;
        lockFile_.reset();
        if (held) {
            return Result::Busy;
        }
        // No lock file can be made here (a folder that takes no new file,
        // or a full disk): the ledger's own lock alone.
    }
    int misses = 0;
    for (;;) {
        const QString path = ledgerPath();
        if (path.isEmpty()) {
            // No ledger yet. Only a copy holding the lock file can create one.
            return Result::Locked;
        }
        switch (ledger_.lock(path, deadline, error_)) {
            case FileLock::Result::Locked:
                if (ledger_.isNamedBy(path)) {
                    return Result::Locked;
                }
                // Replaced while we waited: lock the file that has the name now.
                ledger_.unlock();
                break;
            case FileLock::Result::Missing:
                // Removed or renamed meanwhile: look again. A name that stays
                // and leads nowhere (a broken link) is left to the read to report.
                if (++misses > 3) {
                    error_ = SystemError{ENOENT, QString()};
                    return lockFile_ ? Result::Locked : Result::Failed;
                }
                QThread::msleep(10);
                break;
            case FileLock::Result::Busy:
                return Result::Busy;
            case FileLock::Result::Failed:
                // Not even openable, or no lock to be had on this file system:
                // a copy with the lock file goes on, and reading the ledger
                // then says what is wrong.
                return lockFile_ ? Result::Locked : Result::Failed;
        }
    }
}

}  // namespace hibi
