#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "ledger/atomic_file.h"
#include "ledger/checked.h"

namespace hibi {

// The goal file "目標ヒビノボリ.txt": one line, the goal days and CR LF.
class GoalFile {
  public:
    static QString canonicalName();  // "目標ヒビノボリ.txt"

    explicit GoalFile(QString directory);

    // The name the goal file goes by in the directory: the spelling it
    // exists under (目標ヒビノボリ.TXT, say), else the canonical name.
    QString fileName() const;

    // The saved goal days; the default goal when the file is missing, cannot
    // be read, holds no number or one out of range. Never creates the file.
    Integer load() const;

    // Why a goal was not saved; the old file is left as it was.
    struct SaveProblem {
        QString fileName;
        SystemError error;
        QStringList names;  // more than one spelling of the name exists
    };
    // Writes value followed by CR LF, atomically.
    std::optional<SaveProblem> save(double value) const;

  private:
    QString directory_;
};

}  // namespace hibi
