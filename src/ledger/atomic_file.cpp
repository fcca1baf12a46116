#include "ledger/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>

#include "ledger/file_system.h"

namespace hibi {

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
    os::clearError();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return os::lastError(file);
    }
    // Narrowed before the first byte, so that no one else can read it meanwhile.
    if (permissions) {
        if (auto reason = os::restrictOpenFile(file, *permissions)) {
            file.cancelWriting();
            return reason;
        }
    }
    for (const QByteArrayView piece : pieces) {
        os::clearError();
        if (file.write(piece.data(), piece.size()) != piece.size()) {
            const SystemError reason = os::lastError(file);
            file.cancelWriting();
            return reason;
        }
    }
    // QSaveFile does not look at the result of its own sync; a disk that
    // cannot keep the data must stop the save before the rename.
    if (auto reason = os::syncFileData(file)) {
        file.cancelWriting();
        return reason;
    }
    os::LockedFileAside aside(path);
    if (aside.error()) {
        file.cancelWriting();
        return aside.error();
    }
    os::clearError();
    if (!file.commit()) {
        return os::lastError(file);
    }
    aside.committed();
    os::syncDirectory(QFileInfo(path).absolutePath());
    return std::nullopt;
}

bool folderTakesNewFiles(const QString& dir) {
    return os::folderTakesNewFiles(dir);
}

bool recoverSteppedAside(const QString& path) {
    return os::recoverSteppedAside(path);
}

InPlaceWrite writeInPlace(const QString& path, qsizetype offset, QByteArrayView bytes,
                          QByteArrayView restoreTail) {
    return os::writeInPlace(path, offset, bytes, restoreTail);
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
        lookup.error = os::checkFolderReadable(dir);
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
    os::clearError();
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = os::lastError(file);
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
    os::clearError();
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        result.error = os::lastError(file);
        return result;
    }
    constexpr qsizetype kPiece = 64 * 1024;
    QByteArray piece(kPiece, Qt::Uninitialized);
    qsizetype offset = 0;
    for (;;) {
        os::clearError();
        const qint64 got = file.read(piece.data(), kPiece);
        if (got < 0) {
            result.error = os::lastError(file);
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
