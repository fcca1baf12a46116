#include "ledger/ledger_file.h"

#include <QFileInfo>
#include <utility>

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

std::optional<LedgerFileProblem> LedgerFile::append(
    const LedgerRecord& record, const std::optional<QByteArray>& expectedContent,
    QByteArray* newContent) const {
    const Located file = locate();
    if (file.problem) {
        return file.problem;
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
    // A last line without its line end gets one, so the new record starts
    // a line of its own.
    QByteArrayView lineEnd;
    if (!content.isEmpty() && !content.endsWith('\n')) {
        lineEnd = content.endsWith('\r') ? "\n" : "\r\n";
    }
    const QByteArray line = encodeRecord(record);
    if (auto error = writeFileAtomically(file.path, {content, lineEnd, line})) {
        return problem(LedgerFileProblem::Kind::WriteFailed, file.fileName, *error);
    }
    if (newContent) {
        content.reserve(content.size() + lineEnd.size() + line.size());
        content.append(lineEnd).append(line);
        *newContent = std::move(content);
    }
    return std::nullopt;
}

std::optional<LedgerFileProblem> LedgerFile::empty() const {
    const Located file = locate();
    if (file.problem) {
        return file.problem;
    }
    if (auto error = writeFileAtomically(file.path, QByteArray())) {
        return problem(LedgerFileProblem::Kind::WriteFailed, file.fileName, *error);
    }
    return std::nullopt;
}

}  // namespace hibi
