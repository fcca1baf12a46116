#pragma once

#include <QString>
#include <optional>

#include "ledger/checked.h"

namespace hibi {

// The goal file "目標ヒビノボリ.txt": one line, the goal days and CR LF.
class GoalFile {
  public:
    static QString canonicalName();  // "目標ヒビノボリ.txt"

    explicit GoalFile(QString directory);

    // The saved goal days; the default goal when the file is missing, cannot
    // be read, holds no number or one out of range. Never creates the file.
    Integer load() const;

    // Writes value followed by CR LF, atomically. On failure, a message in
    // Japanese naming the file and the operating system's reason; the old
    // file is left as it was.
    std::optional<QString> save(double value) const;

  private:
    QString directory_;
};

}  // namespace hibi
