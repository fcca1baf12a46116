#include "ledger/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

namespace hibi {

namespace {

SystemError systemError(int code) {
    return {code, QString::fromLocal8Bit(std::strerror(code))};
}

// errno when the call set it, else Qt's own description.
SystemError lastError(const QFileDevice& file) {
    return errno != 0 ? systemError(errno) : SystemError{0, file.errorString()};
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

std::optional<SystemError> writeFileAtomically(
    const QString& path, const QByteArray& content, bool inPlaceWhereNeeded,
    std::optional<QFileDevice::Permissions> permissions) {
    return writeFileAtomically(path, {QByteArrayView(content)}, inPlaceWhereNeeded, permissions);
}

std::optional<SystemError> writeFileAtomically(
    const QString& path, std::initializer_list<QByteArrayView> pieces, bool inPlaceWhereNeeded,
    std::optional<QFileDevice::Permissions> permissions) {
    QSaveFile file(path);
    file.setDirectWriteFallback(inPlaceWhereNeeded);
    // Unbuffered, so that a short write (a full disk) shows in write()'s
    // count: a buffered QSaveFile can commit a truncated file.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return lastError(file);
    }
    // Narrowed before the first byte, so that no one else can read it meanwhile.
    if (permissions) {
        const mode_t umask = ::umask(0);
        ::umask(umask);
        if (::fchmod(file.handle(), modeOf(*permissions) & ~umask) != 0) {
            const SystemError reason = systemError(errno);
            file.cancelWriting();
            return reason;
        }
    }
    for (const QByteArrayView piece : pieces) {
        errno = 0;
        if (file.write(piece.data(), piece.size()) != piece.size()) {
            const SystemError reason = lastError(file);
            file.cancelWriting();
            return reason;
        }
    }
    // QSaveFile does not look at the result of its own sync; a disk that
    // cannot keep the data must stop the save before the rename.
    errno = 0;
    if (::fdatasync(file.handle()) != 0) {
        const SystemError reason = systemError(errno);
        file.cancelWriting();
        return reason;
    }
    errno = 0;
    if (!file.commit()) {
        return lastError(file);
    }
    syncDirectory(QFileInfo(path).absolutePath());
    return std::nullopt;
}

bool folderTakesNewFiles(const QString& dir) {
    return ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
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

DataFileLookup findDataFile(const QString& dir, const QString& baseName, const QString& extension) {
    DataFileLookup lookup;
    const QDir directory(dir);
    const QStringList candidates =
        directory.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : candidates) {
        const QString composed = name.normalized(QString::NormalizationForm_C);
        if (composed.size() == baseName.size() + 1 + extension.size() &&
            composed.startsWith(baseName) && composed.at(baseName.size()) == QLatin1Char('.') &&
            composed.endsWith(extension, Qt::CaseInsensitive)) {
            lookup.conflictingNames.append(name);
        }
    }
    if (candidates.isEmpty()) {
        // An empty list may be a folder that could not be read (no descriptor
        // left, no permission): that is no proof the file is missing.
        errno = 0;
        if (DIR* listing = ::opendir(QFile::encodeName(dir).constData())) {
            ::closedir(listing);
        } else {
            lookup.error = systemError(errno);
        }
    }
    if (lookup.conflictingNames.size() == 1) {
        lookup.path = directory.filePath(lookup.conflictingNames.first());
        lookup.exists = true;
        lookup.conflictingNames.clear();
    } else if (lookup.conflictingNames.isEmpty()) {
        lookup.path = directory.filePath(baseName + QLatin1Char('.') + extension);
    } else {
        lookup.conflictingNames.sort();
    }
    return lookup;
}

FileBytes readWholeFile(const QString& path) {
    FileBytes result;
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = lastError(file);
        return result;
    }
    result.content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = SystemError{0, file.errorString()};
        result.content.clear();
    }
    return result;
}

FileComparison compareWithFile(const QString& path, QByteArrayView expected) {
    FileComparison result;
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        result.error = lastError(file);
        return result;
    }
    constexpr qsizetype kPiece = 64 * 1024;
    QByteArray piece(kPiece, Qt::Uninitialized);
    qsizetype offset = 0;
    for (;;) {
        errno = 0;
        const qint64 got = file.read(piece.data(), kPiece);
        if (got < 0) {
            result.error = lastError(file);
            return result;
        }
        if (got == 0) {
            result.same = offset == expected.size();
            return result;
        }
        if (offset + got > expected.size() ||
            std::memcmp(piece.constData(), expected.data() + offset, size_t(got)) != 0) {
            return result;
        }
        offset += got;
    }
}

}  // namespace hibi
