#include "ledger/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstring>

#include "ledger/file_platform.h"

namespace hibi {

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
    platform::clearError();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return platform::fileError(file);
    }
    for (const QByteArrayView piece : pieces) {
        platform::clearError();
        if (file.write(piece.data(), piece.size()) != piece.size()) {
            const SystemError reason = platform::fileError(file);
            file.cancelWriting();
            return reason;
        }
    }
    // QSaveFile does not look at the result of its own sync; a disk that
    // cannot keep the data must stop the save before the rename.
    if (const auto reason = platform::syncFileData(file)) {
        file.cancelWriting();
        return reason;
    }
    platform::clearError();
    if (!file.commit()) {
        return platform::fileError(file);
    }
    platform::syncDirectory(QFileInfo(path).absolutePath());
    return std::nullopt;
}

bool folderTakesNewFiles(const QString& dir) {
    return platform::folderTakesNewFiles(dir);
}

std::optional<SystemError> writeInPlace(const QString& path, qsizetype offset, QByteArrayView bytes,
                                        QByteArrayView restoreTail) {
    return platform::writeInPlace(path, offset, bytes, restoreTail);
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
    platform::clearError();
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = platform::fileError(file);
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
    platform::clearError();
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        result.error = platform::fileError(file);
        return result;
    }
    constexpr qsizetype kPiece = 64 * 1024;
    QByteArray piece(kPiece, Qt::Uninitialized);
    qsizetype offset = 0;
    for (;;) {
        platform::clearError();
        const qint64 got = file.read(piece.data(), kPiece);
        if (got < 0) {
            result.error = platform::fileError(file);
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
