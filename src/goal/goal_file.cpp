#include "goal/goal_file.h"

#include <QFileInfo>
#include <utility>

#include "goal/goal_rules.h"
#include "ledger/atomic_file.h"

namespace hibi {

namespace {
const QString kBaseName = QStringLiteral("目標ヒビノボリ");
}

QString GoalFile::canonicalName() {
    return kBaseName + QStringLiteral(".txt");
}

GoalFile::GoalFile(QString directory) : directory_(std::move(directory)) {}

Integer GoalFile::load() const {
    const DataFileLookup lookup = findDataFile(directory_, kBaseName, QStringLiteral("txt"));
    if (!lookup.exists) {
        return Integer::of(kDefaultGoalDays);
    }
    const FileBytes bytes = readWholeFile(lookup.path);
    if (bytes.error) {
        return Integer::of(kDefaultGoalDays);
    }
    return goalDaysFromFileContent(bytes.content);
}

std::optional<QString> GoalFile::save(double value) const {
    const DataFileLookup lookup = findDataFile(directory_, kBaseName, QStringLiteral("txt"));
    if (!lookup.conflictingNames.isEmpty()) {
        return QStringLiteral(
                   "目標ファイルを保存できませんでした。\n同じ名前のファイルが複数あります: %1")
            .arg(lookup.conflictingNames.join(QStringLiteral("、")));
    }
    const QByteArray content = goalValueText(value).toLatin1() + "\r\n";
    if (auto error = writeFileAtomically(lookup.path, content)) {
        return QStringLiteral("目標ファイル「%1」を保存できませんでした。\n理由: %2")
            .arg(QFileInfo(lookup.path).fileName(), *error);
    }
    return std::nullopt;
}

}  // namespace hibi
