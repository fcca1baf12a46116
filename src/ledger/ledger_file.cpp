#include "ledger/ledger_file.h"

#include <QFileInfo>
#include <utility>

#include "ledger/atomic_file.h"

namespace hibi {

namespace {

LedgerFileProblem problem(LedgerFileProblem::Kind kind, QString fileName, QString reason) {
    LedgerFileProblem p;
    p.kind = kind;
    p.fileName = std::move(fileName);
    p.reason = std::move(reason);
    return p;
}

LedgerFileProblem changedOnDisk(const QString& fileName) {
    return problem(LedgerFileProblem::Kind::ChangedOnDisk, fileName,
                   QStringLiteral("台帳が読み込み後に変更されています"));
}

}  // namespace

QString LedgerFile::baseName() {
    return QStringLiteral("ヒビノボリ");
}

QString LedgerFile::canonicalName() {
    return baseName() + QStringLiteral(".txt");
}

LedgerFile::LedgerFile(QString directory) : directory_(std::move(directory)) {}

std::variant<LedgerFile::Located, LedgerFileProblem> LedgerFile::locate() const {
    const DataFileLookup lookup = findDataFile(directory_, baseName(), QStringLiteral("txt"));
    if (!lookup.conflictingNames.isEmpty()) {
        LedgerFileProblem p = problem(LedgerFileProblem::Kind::AmbiguousName,
                                      lookup.conflictingNames.first(), QString());
        p.names = lookup.conflictingNames;
        p.reason = QStringLiteral("同じ名前の台帳が複数あります: ") +
                   lookup.conflictingNames.join(QStringLiteral("、"));
        return p;
    }
    return Located{lookup.path, QFileInfo(lookup.path).fileName(), lookup.exists};
}

LedgerSnapshot LedgerFile::load() const {
    LedgerSnapshot snapshot;
    auto located = locate();
    if (auto* p = std::get_if<LedgerFileProblem>(&located)) {
        snapshot.fileName = p->fileName;
        snapshot.problem = *p;
        return snapshot;
    }
    const Located& file = std::get<Located>(located);
    snapshot.fileName = file.fileName;
    snapshot.existed = file.exists;
    if (!file.exists) {
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
    auto located = locate();
    if (auto* p = std::get_if<LedgerFileProblem>(&located)) {
        return *p;
    }
    const Located& file = std::get<Located>(located);
    if (file.exists) {
        return std::nullopt;
    }
    if (auto error = writeFileAtomically(file.path, QByteArray())) {
        return problem(LedgerFileProblem::Kind::WriteFailed, file.fileName, *error);
    }
    return std::nullopt;
}

std::optional<LedgerFileProblem> LedgerFile::append(
    const LedgerRecord& record, const std::optional<QByteArray>& expectedContent,
    QByteArray* newContent) const {
    auto located = locate();
    if (auto* p = std::get_if<LedgerFileProblem>(&located)) {
        return *p;
    }
    const Located& file = std::get<Located>(located);
    QByteArray content;
    if (expectedContent) {
        // The file must still hold what the caller loaded (a missing file
        // counts as empty). Comparing in pieces spares a second copy of a
        // long ledger.
        if (file.exists) {
            const FileComparison comparison = compareWithFile(file.path, *expectedContent);
            if (comparison.error) {
                return problem(LedgerFileProblem::Kind::ReadFailed, file.fileName,
                               *comparison.error);
            }
            if (!comparison.same) {
                return changedOnDisk(file.fileName);
            }
        } else if (!expectedContent->isEmpty()) {
            return changedOnDisk(file.fileName);
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
    const LedgerCheck check = checkLedger(content);
    if (check.error) {
        return problem(
            LedgerFileProblem::Kind::NotReadable, file.fileName,
            QStringLiteral("%1 行目: %2").arg(check.error->line).arg(check.error->reason()));
    }
    if (check.recordCount >= kMaxLedgerRecords) {
        return problem(
            LedgerFileProblem::Kind::NotReadable, file.fileName,
            LedgerError{static_cast<int>(check.recordCount + 1), LedgerErrorKind::TooManyRecords}
                .reason());
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
    auto located = locate();
    if (auto* p = std::get_if<LedgerFileProblem>(&located)) {
        return *p;
    }
    const Located& file = std::get<Located>(located);
    if (auto error = writeFileAtomically(file.path, QByteArray())) {
        return problem(LedgerFileProblem::Kind::WriteFailed, file.fileName, *error);
    }
    return std::nullopt;
}

}  // namespace hibi
