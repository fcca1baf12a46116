#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "ledger/file_system.h"

// The file layer's system calls on POSIX.

namespace hibi::os {

namespace {

SystemError systemError(int code) {
    return {code, QString::fromLocal8Bit(std::strerror(code))};
}

mode_t modeOf(QFileDevice::Permissions permissions) {
    mode_t mode = 0;
    const std::pair<QFileDevice::Permission, mode_t> bits[] = {
        {QFileDevice::ReadOwner, S_IRUSR},  {QFileDevice::WriteOwner, S_IWUSR},
        {QFileDevice::ExeOwner, S_IXUSR},   {QFileDevice::ReadGroup, S_IRGRP},
        {QFileDevice::WriteGroup, S_IWGRP}, {QFileDevice::ExeGroup, S_IXGRP},
        {QFileDevice::ReadOther, S_IROTH},  {QFileDevice::WriteOther, S_IWOTH},
        {QFileDevice::ExeOther, S_IXOTH}};
    for (const auto& [permission, bit] : bits) {
        if (permissions.testFlag(permission)) {
            mode |= bit;
        }
    }
    return mode;
}

}  // namespace

void clearError() {
    errno = 0;
}

SystemError lastError() {
    return systemError(errno);
}

SystemError lastError(const QFileDevice& file) {
    return errno != 0 ? systemError(errno) : SystemError{0, file.errorString()};
}

std::optional<SystemError> restrictOpenFile(QFileDevice& file,
                                            QFileDevice::Permissions permissions) {
    const mode_t umask = ::umask(0);
    ::umask(umask);
    if (::fchmod(file.handle(), modeOf(permissions) & ~umask) != 0) {
        return systemError(errno);
    }
    return std::nullopt;
}

std::optional<SystemError> syncFileData(QFileDevice& file) {
    if (::fdatasync(file.handle()) != 0) {
        return systemError(errno);
    }
    return std::nullopt;
}

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

std::optional<SystemError> checkFolderReadable(const QString& dir) {
    errno = 0;
    DIR* listing = ::opendir(QFile::encodeName(dir).constData());
    if (listing == nullptr) {
        return systemError(errno);
    }
    ::closedir(listing);
    return std::nullopt;
}

InPlaceWrite writeInPlace(const QString& path, qsizetype offset, QByteArrayView bytes,
                          QByteArrayView restoreTail) {
    InPlaceWrite result;
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        result.error = systemError(errno);
        return result;
    }
    errno = 0;
    const ssize_t written = ::pwrite(fd, bytes.data(), size_t(bytes.size()), off_t(offset));
    if (written != bytes.size()) {
        // Short (a full disk) or failed: put the old end back.
        result.error = systemError(errno != 0 ? errno : ENOSPC);
        const bool cut = ::ftruncate(fd, off_t(offset)) == 0;
        result.undoFailed =
            written > 0 && (!cut || (!restoreTail.isEmpty() &&
                                     ::pwrite(fd, restoreTail.data(), size_t(restoreTail.size()),
                                              off_t(offset)) != restoreTail.size()));
    }
    if (::fsync(fd) != 0 && !result.error) {
        result.error = systemError(errno);
        result.written = true;
    }
    ::close(fd);
    return result;
}

bool recoverSteppedAside(const QString&) {
    return false;
}

LockedFileAside::LockedFileAside(const QString&) {}

LockedFileAside::~LockedFileAside() = default;

void LockedFileAside::committed() {}

NoWiderThan::NoWiderThan(const QString& model, const QString& target) {
    struct stat ledger {};
    const mode_t allowed =
        ::stat(QFile::encodeName(model).constData(), &ledger) == 0 ? ledger.st_mode & 0777 : 0777;
    // A file being replaced lends its bits to the new one: narrow it first.
    const QByteArray targetName = QFile::encodeName(target);
    struct stat existing {};
    if (::stat(targetName.constData(), &existing) == 0 &&
        (existing.st_mode & 0777 & ~allowed) != 0) {
        (void)::chmod(targetName.constData(), existing.st_mode & allowed & 0777);
    }
    // A new file is made under the process's mask: narrowed for the while.
    const mode_t mask = ::umask(0777);
    ::umask(mask | (~allowed & 0777));
    savedMask_ = mask;
}

NoWiderThan::~NoWiderThan() {
    ::umask(mode_t(savedMask_));
}

}  // namespace hibi::os
