#include "ledger/ledger_file.h"

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
    if (!lookup.conflictingNames.isEmpty()) {
        file.fileName = lookup.conflictingNames.first();
        file.problem = problem(LedgerFileProblem::Kind::AmbiguousName, file.fileName);
        file.problem->names = lookup.conflictingNames;
    }
    return file;
}

LedgerSnapshot LedgerFile::load() const {
    LedgerSnapshot snapshot;
    const Located file = locate();
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

std::optional<LedgerFileProblem> LedgerFile::createIfMissing() const {
    const Located file = locate();
    if (file.problem || file.exists) {
        return file.problem;
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
    const Located file = locate();
    if (file.problem) {
        return file.problem;
    }
    LedgerLock lock(directory_, file.path);
    if (!lock.acquire()) {
        return problem(LedgerFileProblem::Kind::Busy, file.fileName);
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
    if (ledgerPauseBeforeWrite()) {
        ledgerPauseBeforeWrite()();
    }
    const auto error = file.exists && writesInPlace()
                           ? writeInPlace(file.path, textEnd, added, mark)
                           : writeFileAtomically(file.path, {text, added});
    if (error) {
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
                                                     const KeepCopy& keepCopy) const {
    const Located file = locate();
    if (file.problem) {
        return file.problem;
    }
    if (writesInPlace()) {
        return problem(LedgerFileProblem::Kind::FolderReadOnly, file.fileName);
    }
    LedgerLock lock(directory_, file.path);
    if (!lock.acquire()) {
        return problem(LedgerFileProblem::Kind::Busy, file.fileName);
    }
    if (keepCopy && file.exists) {
        FileBytes old = readWholeFile(file.path);
        if (old.error) {
            return problem(LedgerFileProblem::Kind::ReadFailed, file.fileName, *old.error);
        }
        if (auto error = keepCopy(old.content)) {
            return problem(LedgerFileProblem::Kind::NoBackup, file.fileName, *error);
        }
    }
    if (auto error = writeFileAtomically(file.path, content)) {
        return problem(LedgerFileProblem::Kind::WriteFailed, file.fileName, *error);
    }
    return std::nullopt;
}

}  // namespace hibi
