#include <windows.h>

#include <QDir>
#include <QThread>

#include "ledger/file_system.h"
#include "ledger/ledger_lock.h"

// The ledger lock's platform part on Windows: LockFileEx on one byte far
// beyond any ledger's end (a Windows lock bars its range to every other
// handle, so the data itself stays free for reading), and the volume and
// file index to tell whether a path still names the file.

namespace hibi {

namespace {

constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

std::wstring nativePath(const QString& path) {
    return QDir::toNativeSeparators(QDir::cleanPath(QDir(path).absolutePath())).toStdWString();
}

struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

bool identify(HANDLE file, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information)) {
        return false;
    }
    identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh,
                information.nFileIndexLow};
    return true;
}

}  // namespace

FileLock::Result FileLock::lock(const QString& path, const QDeadlineTimer& deadline,
                                SystemError& error) {
    unlock();
    // Shared for deleting too, so that a copy holding the lock can still
    // rename its new ledger over this one.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE file = CreateFileW(nativePath(path).c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        // A ledger one may only write.
        file = CreateFileW(nativePath(path).c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD reason = GetLastError();
        if (reason == ERROR_FILE_NOT_FOUND || reason == ERROR_PATH_NOT_FOUND) {
            return Result::Missing;
        }
        SetLastError(reason);
        error = os::lastError();
        return Result::Failed;
    }
    for (;;) {
        OVERLAPPED at{};
        at.OffsetHigh = kLockOffsetHigh;
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            break;
        }
        const DWORD reason = GetLastError();
        if (reason != ERROR_LOCK_VIOLATION && reason != ERROR_IO_PENDING) {
            error = os::lastError();
            CloseHandle(file);
            return Result::Failed;  // no such lock here (some network shares)
        }
        if (deadline.hasExpired()) {
            CloseHandle(file);
            return Result::Busy;
        }
        QThread::msleep(10);
    }
    handle_ = static_cast<long long>(reinterpret_cast<intptr_t>(file));
    return Result::Locked;
}

bool FileLock::isNamedBy(const QString& path) const {
    if (handle_ == -1) {
        return false;
    }
    FileIdentity locked;
    FileIdentity named;
    if (!identify(reinterpret_cast<HANDLE>(intptr_t(handle_)), locked)) {
        return false;
    }
    const HANDLE file = CreateFileW(nativePath(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool same = identify(file, named) && named.volume == locked.volume &&
                      named.indexHigh == locked.indexHigh && named.indexLow == locked.indexLow;
    CloseHandle(file);
    return same;
}

void FileLock::unlock() {
    if (handle_ != -1) {
        const auto file = reinterpret_cast<HANDLE>(intptr_t(handle_));
        OVERLAPPED at{};
        at.OffsetHigh = kLockOffsetHigh;
        UnlockFileEx(file, 0, 1, 0, &at);
        CloseHandle(file);
        handle_ = -1;
    }
}

}  // namespace hibi
