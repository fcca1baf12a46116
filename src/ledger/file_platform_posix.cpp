#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFile>
#include <QFileDevice>
#include <cerrno>
#include <cstring>

#include "ledger/file_platform.h"

namespace hibi::platform {

namespace {

SystemError systemError(int code) {
    return {code, QString::fromLocal8Bit(std::strerror(code))};
}

}  // namespace

void clearError() {
    errno = 0;
}

SystemError fileError(const QFileDevice& file) {
    return errno != 0 ? systemError(errno) : SystemError{0, file.errorString()};
}

std::optional<SystemError> syncFileData(QFileDevice& file) {
    if (::fdatasync(file.handle()) != 0) {
        return systemError(errno);
    }
    return std::nullopt;
}

// After the rename the new directory entry must reach the disk as well, or a
// power cut could bring the old file back.
void syncDirectory(const QString& dir) {
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
}

bool folderTakesNewFiles(const QString& dir) {
    return ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
}

std::optional<SystemError> writeInPlace(const QString& path, qsizetype offset, QByteArrayView bytes,
                                        QByteArrayView restoreTail) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return systemError(errno);
    }
    std::optional<SystemError> error;
    errno = 0;
    const ssize_t written = ::pwrite(fd, bytes.data(), size_t(bytes.size()), off_t(offset));
    if (written != bytes.size()) {
        // Short (a full disk) or failed: put the old end back.
        error = systemError(errno != 0 ? errno : ENOSPC);
        if (::ftruncate(fd, off_t(offset)) == 0 && !restoreTail.isEmpty()) {
            (void)!::pwrite(fd, restoreTail.data(), size_t(restoreTail.size()), off_t(offset));
        }
    }
    if (::fsync(fd) != 0 && !error) {
        error = systemError(errno);
    }
    ::close(fd);
    return error;
}

FileLock::Result FileLock::tryLock(const QString& path) {
    unlock();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return Result::CannotOpen;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return Result::Busy;
    }
    handle_ = fd;
    return Result::Locked;
}

void FileLock::unlock() {
    if (handle_ != kNoHandle) {
        ::flock(int(handle_), LOCK_UN);
        ::close(int(handle_));
        handle_ = kNoHandle;
    }
}

}  // namespace hibi::platform
