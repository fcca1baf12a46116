#include <io.h>
#include <windows.h>

#include <QDir>
#include <cerrno>

#include "ledger/file_system.h"

// The file layer's system calls on Windows.

namespace hibi::os {

namespace {

// The errno value the messages know for a Windows error, so that both
// systems' reasons are put into the same words; the error's own number (past
// any errno value) for the rest, so that the message can still name it.
int errnoFor(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return 0;
        case ERROR_ACCESS_DENIED:
        case ERROR_NETWORK_ACCESS_DENIED:
            return EACCES;
        case ERROR_WRITE_PROTECT:
            return EROFS;
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
        case ERROR_TOO_MANY_OPEN_FILES:
            return EMFILE;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_GEN_FAILURE:
            return EIO;
        default:
            return kWindowsErrorBase + int(error & 0xFFFF);
    }
}

// The system's own text, in the language Windows speaks.
SystemError systemError(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const QString text = length > 0 ? QString::fromWCharArray(buffer, int(length)).trimmed()
                                    : QStringLiteral("Windows error %1").arg(error);
    LocalFree(buffer);
    return {errnoFor(error), text};
}

std::wstring nativePath(const QString& path) {
    return QDir::toNativeSeparators(QDir::cleanPath(QDir(path).absolutePath())).toStdWString();
}

bool writeAt(HANDLE file, qsizetype offset, QByteArrayView bytes, DWORD& written) {
    OVERLAPPED at{};
    at.Offset = DWORD(quint64(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = DWORD(quint64(offset) >> 32);
    written = 0;
    return WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, &at) != 0;
}

}  // namespace

void clearError() {
    SetLastError(ERROR_SUCCESS);
    errno = 0;
}

SystemError lastError() {
    return systemError(GetLastError());
}

SystemError lastError(const QFileDevice& file) {
    const DWORD error = GetLastError();
    if (error == ERROR_SUCCESS) {
        return {0, file.errorString()};
    }
    return {errnoFor(error), file.errorString()};
}

std::optional<SystemError> restrictOpenFile(QFileDevice&, QFileDevice::Permissions) {
    return std::nullopt;
}

std::optional<SystemError> syncFileData(QFileDevice& file) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file.handle()));
    if (handle == INVALID_HANDLE_VALUE || !FlushFileBuffers(handle)) {
        return systemError(GetLastError());
    }
    return std::nullopt;
}

// NTFS journals the rename itself, and a folder has no handle to flush.
void syncDirectory(const QString&) {}

// Windows has no access() that answers for a folder's rights (access lists,
// read-only media, a synced folder that refuses new names): try to make a
// file there, which is gone again as its handle closes.
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

std::optional<SystemError> checkFolderReadable(const QString& dir) {
    WIN32_FIND_DATAW found;
    const std::wstring pattern = nativePath(dir) + L"\\*";
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return systemError(GetLastError());
    }
    FindClose(search);
    return std::nullopt;
}

InPlaceWrite writeInPlace(const QString& path, qsizetype offset, QByteArrayView bytes,
                          QByteArrayView restoreTail) {
    InPlaceWrite result;
    const HANDLE file = CreateFileW(nativePath(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        result.error = systemError(GetLastError());
        return result;
    }
    DWORD written = 0;
    SetLastError(ERROR_SUCCESS);
    if (bytes.size() > 0x7FFFFFFF || !writeAt(file, offset, bytes, written) ||
        written != DWORD(bytes.size())) {
        // Short (a full disk) or failed: put the old end back.
        const DWORD reason = GetLastError();
        result.error = systemError(reason != ERROR_SUCCESS ? reason : ERROR_DISK_FULL);
        LARGE_INTEGER position;
        position.QuadPart = offset;
        const bool cut =
            SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && SetEndOfFile(file);
        DWORD restored = 0;
        result.undoFailed =
            written > 0 &&
            (!cut || (!restoreTail.isEmpty() && (!writeAt(file, offset, restoreTail, restored) ||
                                                 restored != DWORD(restoreTail.size()))));
    }
    if (!FlushFileBuffers(file) && !result.error) {
        result.error = systemError(GetLastError());
        result.written = true;
    }
    CloseHandle(file);
    return result;
}

// Windows gives a new file its folder's access list; there is no mask to set.
NoWiderThan::NoWiderThan(const QString&, const QString&) {}

NoWiderThan::~NoWiderThan() = default;

}  // namespace hibi::os
