#include "ledger/ledger_lock.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QThread>

namespace hibi {

QString LedgerLock::lockFileName() {
    return QStringLiteral("ヒビノボリ.lock");
}

LedgerLock::LedgerLock(const QString& directory, const QString& ledgerPath)
    : directory_(directory), ledgerPath_(ledgerPath) {}

LedgerLock::~LedgerLock() {
    if (file_) {
        file_->unlock();
    }
}

bool LedgerLock::acquire(int timeoutMs) {
    file_ = std::make_unique<QLockFile>(QDir(directory_).filePath(lockFileName()));
    // A deposit holds the lock for milliseconds; one older than this belongs
    // to a copy that hangs.
    file_->setStaleLockTime(10000);
    if (file_->tryLock(timeoutMs)) {
        return true;
    }
    if (file_->error() == QLockFile::LockFailedError) {
        file_.reset();
        return false;  // another copy holds it
    }
    // No lock file can be made here (a folder that takes no new file, or a
    // full disk): lock the ledger itself.
    file_.reset();
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        switch (ledgerLock_.tryLock(ledgerPath_)) {
            case platform::FileLock::Result::Locked:
                return true;
            case platform::FileLock::Result::CannotOpen:
                return true;  // nothing to lock: a missing ledger is created atomically
            case platform::FileLock::Result::Busy:
                break;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(20);
    }
}

std::function<void()>& ledgerPauseBeforeWrite() {
    static std::function<void()> pause;
    return pause;
}

}  // namespace hibi
