#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <optional>

#include "ledger/atomic_file.h"

class QFileDevice;

// What the ledger's file layer asks of the operating system, in one place:
// file_platform_posix.cpp on Linux, file_platform_win.cpp on Windows.
namespace hibi::platform {

// The reason the last failed call on file gave: the system's error number
// where it left one (on Windows its error, as the matching errno value),
// else Qt's description. clearError() comes before the call.
void clearError();
SystemError fileError(const QFileDevice& file);

// Flushes the data written through file to the disk.
std::optional<SystemError> syncFileData(QFileDevice& file);
// After a rename, flushes the folder's entries (where the system needs it).
void syncDirectory(const QString& dir);

bool folderTakesNewFiles(const QString& dir);

std::optional<SystemError> writeInPlace(const QString& path, qsizetype offset, QByteArrayView bytes,
                                        QByteArrayView restoreTail);

// An exclusive lock on a file among copies of the program, held until
// unlock() or destruction; the file stays readable and writable through
// other handles (POSIX flock; on Windows LockFileEx on a byte far beyond any
// data, since Windows' locks would otherwise bar the locked range to every
// other handle).
class FileLock {
  public:
    enum class Result { Locked, Busy, CannotOpen };

    FileLock() = default;
    ~FileLock() { unlock(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    Result tryLock(const QString& path);  // does not wait
    void unlock();
    bool isLocked() const { return handle_ != kNoHandle; }

  private:
    static constexpr qintptr kNoHandle = -1;
    qintptr handle_ = kNoHandle;
};

}  // namespace hibi::platform
