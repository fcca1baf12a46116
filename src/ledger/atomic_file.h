#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace hibi {

// Replaces the file at path with content: a temporary file in the same
// directory is written, flushed to disk and renamed over the old file, and
// the directory entry is flushed too. On failure the old file is left as it
// was and the operating system's reason is returned.
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& content);

// Finds a data file in dir whose name is baseName plus an extension that
// matches extension in any letter case ("ヒビノボリ.TXT" for "ヒビノボリ", "txt").
struct DataFileLookup {
    QString path;  // the one existing file, or the canonical name to create
    bool exists = false;
    QStringList conflictingNames;  // more than one spelling exists: nothing is guessed
};
DataFileLookup findDataFile(const QString& dir, const QString& baseName, const QString& extension);

// Reads the whole file; the operating system's reason on failure.
struct FileBytes {
    QByteArray content;
    std::optional<QString> error;
};
FileBytes readWholeFile(const QString& path);

}  // namespace hibi
