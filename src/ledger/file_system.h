#pragma once

#include <QByteArrayView>
#include <QFileDevice>
#include <QString>
#include <optional>

#include "ledger/atomic_file.h"

// What the file layer asks of the operating system, in one place:
// file_system_posix.cpp on Linux, file_system_win.cpp on Windows. Errors come
// back with the errno value the messages know (a Windows error is mapped to
// the nearest one) and the system's own text for the log.
namespace hibi::os {

// The reason the last failed call left: clearError() comes before the call.
void clearError();
SystemError lastError();
// The same for a call through file, with Qt's description where the system
// left no number.
SystemError lastError(const QFileDevice& file);

// Narrows an open, still empty file to permissions (less the process's mask).
// Windows files take the folder's access list instead: nothing to do there.
std::optional<SystemError> restrictOpenFile(QFileDevice& file,
                                            QFileDevice::Permissions permissions);
// Brings what was written through file to the disk.
std::optional<SystemError> syncFileData(QFileDevice& file);
// After a rename, brings the folder's new entry to the disk where the system
// needs to be asked.
void syncDirectory(const QString& dir);

bool folderTakesNewFiles(const QString& dir);
// Whether the folder can be listed: an empty listing proves nothing otherwise.
std::optional<SystemError> checkFolderReadable(const QString& dir);

InPlaceWrite writeInPlace(const QString& path, qsizetype offset, QByteArrayView bytes,
                          QByteArrayView restoreTail);

// The name a file steps aside to for a replace (below): ".NAME.PID.old"
// beside it, all such names starting with asidePrefix.
inline QString asidePrefix(const QString& fileName) {
    return QStringLiteral(".%1.").arg(fileName);
}
inline QString asideName(const QString& fileName, qint64 pid) {
    return asidePrefix(fileName) + QString::number(pid) + QStringLiteral(".old");
}
// A process that ended between the step aside and the replace (a crash, a
// power cut) leaves the file under that name. With target missing, the
// newest such file of a process no longer running takes its name back.
// Returns whether one did. Nothing to do on POSIX.
bool recoverSteppedAside(const QString& target);

// Windows renames no file over one that is open, and the ledger lock holds
// the ledger open. Before a replace, a file this process holds locked steps
// aside: it is renamed to its aside name, still locked. committed() then
// deletes it (it goes when the lock closes); otherwise it is put back.
// Nothing to do on POSIX, where a rename replaces an open file.
class LockedFileAside {
  public:
    explicit LockedFileAside(const QString& target);
    ~LockedFileAside();
    LockedFileAside(const LockedFileAside&) = delete;
    LockedFileAside& operator=(const LockedFileAside&) = delete;

    // Why the file could not step aside; the replace must not go on.
    const std::optional<SystemError>& error() const { return error_; }
    void committed();

  private:
    void* handle_ = nullptr;  // the stepped-aside file, opened to move it
    void* locked_ = nullptr;  // the lock's own handle on it
    QString target_;
    std::optional<SystemError> error_;
};

// While it lives, files this process creates and the file at target (when it
// exists) are open to no more people than the file at model is: an export
// of the ledger is as private as the ledger. Nothing on Windows, where a new
// file takes its folder's access list.
class NoWiderThan {
  public:
    NoWiderThan(const QString& model, const QString& target);
    ~NoWiderThan();
    NoWiderThan(const NoWiderThan&) = delete;
    NoWiderThan& operator=(const NoWiderThan&) = delete;

  private:
    unsigned savedMask_ = 0;
};

}  // namespace hibi::os
