#include "ledger/atomic_file.h"

#include <fcntl.h>
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

}  // namespace

std::optional<SystemError> writeFileAtomically(const QString& path, const QByteArray& content,
                                               bool inPlaceWhereNeeded) {
    return writeFileAtomically(path, {QByteArrayView(content)}, inPlaceWhereNeeded);
}

std::optional<SystemError> writeFileAtomically(const QString& path,
                                               std::initializer_list<QByteArrayView> pieces,
                                               bool inPlaceWhereNeeded) {
    QSaveFile file(path);
    file.setDirectWriteFallback(inPlaceWhereNeeded);
    // Unbuffered, so that a short write (a full disk) shows in write()'s
    // count: a buffered QSaveFile can commit a truncated file.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return lastError(file);
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

DataFileLookup findDataFile(const QString& dir, const QString& baseName, const QString& extension) {
    DataFileLookup lookup;
    const QDir directory(dir);
    const QStringList candidates =
        directory.entryList({baseName + QStringLiteral(".*")},
                            QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : candidates) {
        if (name.size() == baseName.size() + 1 + extension.size() && name.startsWith(baseName) &&
            name.at(baseName.size()) == QLatin1Char('.') &&
            name.endsWith(extension, Qt::CaseInsensitive)) {
            lookup.conflictingNames.append(name);
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
