#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QThread>
#include <cerrno>
#include <cstring>

#include "ledger/ledger_lock.h"

// The ledger lock's platform part on POSIX: flock on a descriptor, and the
// device and inode numbers to tell whether a path still names the file.

namespace hibi {

FileLock::Result FileLock::lock(const QString& path, const QDeadlineTimer& deadline,
                                SystemError& error) {
    unlock();
    const QByteArray name = QFile::encodeName(path);
    int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
        fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);  // a ledger one may only write
    }
    if (fd < 0) {
        if (errno == ENOENT) {
            return Result::Missing;
        }
        error = SystemError{errno, QString::fromLocal8Bit(std::strerror(errno))};
        return Result::Failed;
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = SystemError{errno, QString::fromLocal8Bit(std::strerror(errno))};
            ::close(fd);
            return Result::Failed;  // no such lock here (some network file systems)
        }
        if (deadline.hasExpired()) {
            ::close(fd);
            return Result::Busy;
        }
        QThread::msleep(10);
    }
    handle_ = fd;
    return Result::Locked;
}

bool FileLock::isNamedBy(const QString& path) const {
    struct stat locked {};
    struct stat named {};
    return handle_ >= 0 && ::fstat(int(handle_), &locked) == 0 &&
           ::stat(QFile::encodeName(path).constData(), &named) == 0 &&
           locked.st_dev == named.st_dev && locked.st_ino == named.st_ino;
}

void FileLock::unlock() {
    if (handle_ >= 0) {
        ::flock(int(handle_), LOCK_UN);
        ::close(int(handle_));
        handle_ = -1;
    }
}

}  // namespace hibi
