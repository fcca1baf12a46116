#include <io.h>
#include <windows.h>

#include <QDir>
#include <QFileDevice>
#include <cerrno>

#include "ledger/file_platform.h"

namespace hibi::platform {

namespace {

// The errno value the messages know for a Windows error, so that both
// systems' reasons are put into the same words; 0 for the rest.
int errnoFor(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_FILE_TOO_LARGE:
            return EFBIG;
        default:
            return 0;
    }
}

// The system's own text, in the language Windows speaks.
SystemError systemError(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    QString text = length > 0 ? QString::fromWCharArray(buffer, int(length)).trimmed()
                              : QStringLiteral("Windows error %1").arg(error);
    LocalFree(buffer);
    return {errnoFor(error), text};
}

std::wstring nativePath(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

}  // namespace

void clearError() {
    SetLastError(ERROR_SUCCESS);
}

SystemError fileError(const QFileDevice& file) {
    const DWORD error = GetLastError();
    if (error == ERROR_SUCCESS) {
        return {0, file.errorString()};
    }
    return {errnoFor(error), file.errorString()};
}

std::optional<SystemError> syncFileData(QFileDevice& file) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    if (handle == INVALID_HANDLE_VALUE || !FlushFileBuffers(handle)) {
        return systemError(GetLastError());
    }
    return std::nullopt;
}

// NTFS journals the rename itself; a folder has no handle to flush.
void syncDirectory(const QString&) {}

// Windows has no access() that tells of a folder's rights (ACLs, read-only
// media, a synced folder that refuses new names): try to make a file there.
bool folderTakesNewFiles(const QString& dir) {
    const QString probe =
        QDir(dir).filePath(QStringLiteral(".hibinobori-%1.probe").arg(GetCurrentProcessId()));
    const HANDLE handle = CreateFileW(
        nativePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(handle);
    return true;
}

namespace {

bool writeAt(HANDLE file, qsizetype offset, QByteArrayView bytes, DWORD& written) {
    OVERLAPPED at{};
    at.Offset = DWORD(quint64(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = DWORD(quint64(offset) >> 32);
    written = 0;
    return WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, &at) != 0;
}

}  // namespace

std::optional<SystemError> writeInPlace(const QString& path, qsizetype offset, QByteArrayView bytes,
                                        QByteArrayView restoreTail) {
    const HANDLE file = CreateFileW(nativePath(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return systemError(GetLastError());
    }
    std::optional<SystemError> error;
    DWORD written = 0;
    if (bytes.size() > 0x7FFFFFFF || !writeAt(file, offset, bytes, written) ||
        written != DWORD(bytes.size())) {
        // Short (a full disk) or failed: put the old end back.
        const DWORD reason = GetLastError();
        error = systemError(reason != ERROR_SUCCESS ? reason : ERROR_DISK_FULL);
        LARGE_INTEGER position;
        position.QuadPart = offset;
        if (SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && SetEndOfFile(file) &&
            !restoreTail.isEmpty()) {
            (void)writeAt(file, offset, restoreTail, written);
        }
    }
    if (!FlushFileBuffers(file) && !error) {
        error = systemError(GetLastError());
    }
    CloseHandle(file);
    return error;
}

namespace {
// The byte that is locked: far beyond the end of any ledger.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
}  // namespace

FileLock::Result FileLock::tryLock(const QString& path) {
    unlock();
    const HANDLE file = CreateFileW(nativePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return Result::CannotOpen;
    }
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        CloseHandle(file);
        return Result::Busy;
    }
    handle_ = reinterpret_cast<qintptr>(file);
    return Result::Locked;
}

void FileLock::unlock() {
    if (handle_ != kNoHandle) {
        const auto file = reinterpret_cast<HANDLE>(handle_);
        OVERLAPPED at{};
        at.OffsetHigh = kLockOffsetHigh;
        UnlockFileEx(file, 0, 1, 0, &at);
        CloseHandle(file);
        handle_ = kNoHandle;
    }
}

}  // namespace hibi::platform
