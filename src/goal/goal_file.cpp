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

QString GoalFile::fileName() const {
    const DataFileLookup lookup = findDataFile(directory_, kBaseName, QStringLiteral("txt"));
    return lookup.exists ? QFileInfo(lookup.path).fileName() : canonicalName();
}

Integer GoalFile::load() const {
    const DataFileLookup lookup = findDataFile(directory_, kBaseName, QStringLiteral("txt"));
    if (!lookup.exists) {
        return Integer::constant(kDefaultGoalDays);
    }
    const FileBytes bytes = readWholeFile(lookup.path);
    if (bytes.error) {
        return Integer::constant(kDefaultGoalDays);
    }
    return goalDaysFromFileContent(bytes.content);
}

std::optional<GoalFile::SaveProblem> GoalFile::save(double value) const {
    const DataFileLookup lookup = findDataFile(directory_, kBaseName, QStringLiteral("txt"));
    if (!lookup.conflictingNames.isEmpty()) {
        return SaveProblem{lookup.conflictingNames.first(), {}, lookup.conflictingNames};
    }
    const QByteArray content = goalValueText(value).toLatin1() + "\r\n";
    // In a folder that takes no new file the goal is rewritten in place: cut
    // short by a crash, it reads as no goal (365).
    if (auto error = writeFileAtomically(lookup.path, content, true)) {
        return SaveProblem{QFileInfo(lookup.path).fileName(), *error, {}};
    }
    return std::nullopt;
}

}  // namespace hibi
