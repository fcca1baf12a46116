#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFileDevice>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <optional>

namespace hibi {

// A failure the operating system reported: its error number (0 when there
// was none to read) and its own text, for the log. The windows put the
// number into words.
struct SystemError {
    int code = 0;
    QString text;
};
// A Windows error with no errno of its own comes as this plus its number.
constexpr int kWindowsErrorBase = 0x10000;

// Replaces the file at path with content: a temporary file in the same
// directory is written, flushed to disk and renamed over the old file, and
// the directory entry is flushed too. On failure the old file is left as it
// was and the operating system's reason is returned.
// With inPlaceWhereNeeded, a folder that takes no new file gets the file
// rewritten in place instead (a crash may then leave it cut short).
// permissions, when given, are the new file's from the start (owner, group
// and others; the process's umask still applies).
std::optional<SystemError> writeFileAtomically(
    const QString& path, const QByteArray& content, bool inPlaceWhereNeeded = false,
    std::optional<QFileDevice::Permissions> permissions = std::nullopt);
// The same, with the content given in pieces that are written one after the
// other, so that a long file plus a line needs no copy of the whole.
std::optional<SystemError> writeFileAtomically(
    const QString& path, std::initializer_list<QByteArrayView> pieces,
    bool inPlaceWhereNeeded = false,
    std::optional<QFileDevice::Permissions> permissions = std::nullopt);

// Whether new files can be made in dir (an atomic save needs one beside its
// target).
bool folderTakesNewFiles(const QString& dir);

// On Windows, a file that stepped aside for a replace and was left under its
// aside name by a process that ended takes path's name back, when path is
// missing. Returns whether it did.
bool recoverSteppedAside(const QString& path);

// Writes bytes into the file at offset with a single write, as the one
// deliberate exception to the atomic rule, for a folder that takes no new
// file: a write that comes up short is undone (the file is cut back to
// offset and restoreTail written there again) before the error is returned.
// The data is synced to disk before it returns.
struct InPlaceWrite {
    std::optional<SystemError> error;
    // With an error: every byte is in the file and only the flush to disk
    // failed, so the file holds the new content (which the disk may yet lose).
    bool written = false;
    // With an error: the short write could not be undone, so the file may
    // end in part of the new bytes.
    bool undoFailed = false;
};
InPlaceWrite writeInPlace(const QString& path, qsizetype offset, QByteArrayView bytes,
                          QByteArrayView restoreTail);

// Finds a data file in dir whose name is baseName plus an extension that
// matches extension in any letter case ("ヒビノボリ.TXT" for "ヒビノボリ", "txt"),
// in composed or decomposed Unicode (a Mac writes "ビ" as "ヒ" and a mark).
struct DataFileLookup {
    QString path;  // the one existing file, or the canonical name to create
    bool exists = false;
    QStringList conflictingNames;      // more than one spelling exists: nothing is guessed
    std::optional<SystemError> error;  // the folder could not be listed: nothing is known
};
DataFileLookup findDataFile(const QString& dir, const QString& baseName, const QString& extension);

// Reads the whole file; the operating system's reason on failure.
struct FileBytes {
    QByteArray content;
    std::optional<SystemError> error;
};
FileBytes readWholeFile(const QString& path);

// Whether the file holds exactly the expected bytes. It is read in small
// pieces, so a long file is compared without a copy of it in memory.
struct FileComparison {
    bool same = false;
    std::optional<SystemError> error;
};
FileComparison compareWithFile(const QString& path, QByteArrayView expected);

}  // namespace hibi
