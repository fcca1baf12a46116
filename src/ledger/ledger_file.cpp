#include "ledger/ledger_file.h"

#include <QFile>
#include <QFileInfo>
#include <utility>

#include "ledger/ledger_lock.h"

namespace hibi {

namespace {

LedgerFileProblem problem(LedgerFileProblem::Kind kind, QString fileName, SystemError error = {}) {
    LedgerFileProblem p;
    p.kind = kind;
    p.fileName = std::move(fileName);
    p.error = std::move(error);
    return p;
}

}  // namespace

QString LedgerFile::baseName() {
    return QStringLiteral("ヒビノボリ");
}

QString LedgerFile::canonicalName() {
    return baseName() + QStringLiteral(".txt");
}

LedgerFile::LedgerFile(QString directory) : directory_(std::move(directory)) {}

LedgerFile::Located LedgerFile::locate() const {
    const DataFileLookup lookup = findDataFile(directory_, baseName(), QStringLiteral("txt"));
    Located file{lookup.path, QFileInfo(lookup.path).fileName(), lookup.exists, std::nullopt};
    if (lookup.error) {
        file.problem = problem(LedgerFileProblem::Kind::ReadFailed, file.fileName, *lookup.error);
    } else if (!lookup.conflictingNames.isEmpty()) {
        file.fileName = lookup.conflictingNames.first();
        file.problem = problem(LedgerFileProblem::Kind::AmbiguousName, file.fileName);
        file.problem->names = lookup.conflictingNames;
    }
    return file;
}

LedgerSnapshot LedgerFile::load() const {
    LedgerSnapshot snapshot;
    Located file = locate();
    if (!file.exists && !file.problem && recoverSteppedAside(file.path)) {
        file = locate();
    }
    snapshot.fileName = file.fileName;
    snapshot.problem = file.problem;
    snapshot.existed = file.exists;
    if (file.problem || !file.exists) {
        return snapshot;
    }
    FileBytes bytes = readWholeFile(file.path);
    if (bytes.error) {
        snapshot.problem =
            problem(LedgerFileProblem::Kind::ReadFailed, file.fileName, *bytes.error);
        return snapshot;
    }
    snapshot.content = std::move(bytes.content);
    snapshot.parsed = parseLedger(snapshot.content);
    return snapshot;
}

std::optional<LedgerFileProblem> LedgerFile::lockAndLocate(LedgerLock& lock, Located& file) const {
    const LedgerLock::Result result = lock.acquire([&] {
        file = locate();
        return file.exists && !file.problem ? file.path : QString();
    });
    if (result == LedgerLock::Result::Busy) {
        return problem(LedgerFileProblem::Kind::Busy, file.fileName);
    }
    if (result == LedgerLock::Result::Failed) {
        return problem(LedgerFileProblem::Kind::ReadFailed, file.fileName, lock.error());
    }
    return file.problem;
}

std::optional<LedgerFileProblem> LedgerFile::createIfMissing() const {
    LedgerLock lock(directory_);
    Located file;
    if (auto trouble = lockAndLocate(lock, file); trouble || file.exists) {
        return trouble;
    }
    if (auto error = writeFileAtomically(file.path, QByteArray())) {
        return problem(LedgerFileProblem::Kind::WriteFailed, file.fileName, *error);
    }
    return std::nullopt;
}

bool LedgerFile::writesInPlace() const {
    return !folderTakesNewFiles(directory_);
}

std::optional<LedgerFileProblem> LedgerFile::append(
    const LedgerRecord& record, const std::optional<QByteArray>& expectedContent,
    QByteArray* newContent) const {
    LedgerLock lock(directory_);
    Located file;
    if (auto trouble = lockAndLocate(lock, file)) {
        return trouble;
    }
    QByteArray content;
    if (expectedContent) {
        // The file must still hold what the caller loaded (a missing file
        // counts as empty). Comparing in pieces spares a second copy of a
        // long ledger.
        bool same = expectedContent->isEmpty();
        if (file.exists) {
            const FileComparison comparison = compareWithFile(file.path, *expectedContent);
            if (comparison.error) {
                return problem(LedgerFileProblem::Kind::ReadFailed, file.fileName,
                               *comparison.error);
            }
            same = comparison.same;
        }
        if (!same) {
            return problem(LedgerFileProblem::Kind::ChangedOnDisk, file.fileName);
        }
        content = *expectedContent;
    } else if (file.exists) {
        FileBytes bytes = readWholeFile(file.path);
        if (bytes.error) {
            return problem(LedgerFileProblem::Kind::ReadFailed, file.fileName, *bytes.error);
        }
        content = std::move(bytes.content);
    }
    // The records themselves are not needed, only that they all read.
    LedgerCheck check = checkLedger(content);
    if (!check.error && check.recordCount >= kMaxLedgerRecords) {
        check.error =
            LedgerError{static_cast<int>(check.recordCount + 1), LedgerErrorKind::TooManyRecords};
    }
    if (check.error) {
        LedgerFileProblem p = problem(LedgerFileProblem::Kind::NotReadable, file.fileName);
        p.where = check.error;
        return p;
    }
    // The new record goes before an end-of-file mark, which stays last; a
    // last line without its line end gets one first.
    const qsizetype textEnd = content.size() - (content.endsWith(kEndOfFileMark) ? 1 : 0);
    const QByteArrayView text = QByteArrayView(content).first(textEnd);
    const QByteArrayView mark = QByteArrayView(content).sliced(textEnd);
    QByteArray added;
    if (!text.isEmpty() && !text.endsWith('\n')) {
        added = text.endsWith('\r') ? "\n" : "\r\n";
    }
    added += encodeRecord(record);
    added += mark.toByteArray();
    if (file.exists && writesInPlace()) {
        const InPlaceWrite written = writeInPlace(file.path, textEnd, added, mark);
        if (written.error) {
            LedgerFileProblem p = problem(written.written ? LedgerFileProblem::Kind::NotSynced
                                                          : LedgerFileProblem::Kind::WriteFailed,
                                          file.fileName, *written.error);
            p.partWritten = written.undoFailed;
            return p;
        }
    } else if (auto error = writeFileAtomically(file.path, {text, added})) {
        return problem(LedgerFileProblem::Kind::WriteFailed, file.fileName, *error);
    }
    if (newContent) {
        content.truncate(textEnd);
        content.append(added);
        *newContent = std::move(content);
    }
    return std::nullopt;
}

std::optional<LedgerFileProblem> LedgerFile::replace(const QByteArray& content,
                                                     const KeepCopy& keepCopy,
                                                     const QByteArray* onlyIfStill) const {
    if (writesInPlace()) {
        return problem(LedgerFileProblem::Kind::FolderReadOnly, locate().fileName);
    }
    LedgerLock lock(directory_);
    Located file;
    if (auto trouble = lockAndLocate(lock, file)) {
        return trouble;
    }
    if (file.exists && (keepCopy || onlyIfStill)) {
        FileBytes old = readWholeFile(file.path);
        if (old.error) {
            return problem(LedgerFileProblem::Kind::ReadFailed, file.fileName, *old.error);
        }
        if (onlyIfStill && old.content != *onlyIfStill) {
            return problem(LedgerFileProblem::Kind::ChangedOnDisk, file.fileName);
        }
        if (keepCopy) {
            if (auto error = keepCopy(old.content, QFile::permissions(file.path))) {
                return problem(LedgerFileProblem::Kind::NoBackup, file.fileName, *error);
            }
        }
    } else if (onlyIfStill && !onlyIfStill->isEmpty()) {
        return problem(LedgerFileProblem::Kind::ChangedOnDisk, file.fileName);
    }
    if (auto error = writeFileAtomically(file.path, content)) {
        return problem(LedgerFileProblem::Kind::WriteFailed, file.fileName, *error);
    }
    return std::nullopt;
}

}  // namespace hibi
