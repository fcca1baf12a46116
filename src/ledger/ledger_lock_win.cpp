#include <windows.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <utility>
#include <vector>

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

// The files this process holds locked, by path, so that a replace can move
// the locked file out of its way.
std::vector<std::pair<QString, HANDLE>>& heldLocks() {
    static std::vector<std::pair<QString, HANDLE>> held;
    return held;
}

QString lockKey(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath()).toCaseFolded();
}

void forget(HANDLE file) {
    std::erase_if(heldLocks(), [file](const auto& entry) { return entry.second == file; });
}

// Renames the open file to path, which must not exist.
bool renameOpenFile(HANDLE file, const QString& path) {
    const std::wstring name = nativePath(path);
    const size_t nameBytes = name.size() * sizeof(wchar_t);
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = DWORD(nameBytes);
    std::copy(name.begin(), name.end(), rename->FileName);
    return SetFileInformationByHandle(file, FileRenameInfo, rename, DWORD(buffer.size())) != 0;
}

bool processRunning(DWORD pid) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) {
        // Running under another user, or no such process.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

}  // namespace

namespace os {

bool recoverSteppedAside(const QString& target) {
    const QFileInfo info(target);
    const QString prefix = asidePrefix(info.fileName());
    // Newest first; the folder's names are matched without regard to case,
    // as the ledger's own name is.
    const QFileInfoList asides = info.dir().entryInfoList(
        {prefix + QStringLiteral("*.old")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Time);
    for (const QFileInfo& aside : asides) {
        bool isNumber = false;
        const QString pidText = aside.fileName().mid(prefix.size()).chopped(4);
        const DWORD pid = pidText.toULong(&isNumber);
        if (!isNumber || processRunning(pid)) {
            continue;  // another copy is in the middle of its replace
        }
        // Under the name it had; never over a ledger that is there by now.
        const QString original = aside.fileName().mid(1, prefix.size() - 2);
        if (MoveFileExW(nativePath(aside.absoluteFilePath()).c_str(),
                        nativePath(info.dir().filePath(original)).c_str(), 0)) {
            return true;
        }
    }
    return false;
}

LockedFileAside::LockedFileAside(const QString& target) : target_(target) {
    const QString key = lockKey(target);
    for (const auto& [path, file] : heldLocks()) {
        if (path != key) {
            continue;
        }
        const QFileInfo info(target);
        const QString aside = info.absolutePath() + QLatin1Char('/') +
                              asideName(info.fileName(), QCoreApplication::applicationPid());
        // A handle of its own with the right to delete: the file is read
        // no more by now, so nothing that shares less is open.
        const HANDLE mover = CreateFileW(nativePath(target).c_str(), DELETE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (mover == INVALID_HANDLE_VALUE || !renameOpenFile(mover, aside)) {
            error_ = lastError();
            if (mover != INVALID_HANDLE_VALUE) {
                CloseHandle(mover);
            }
            return;
        }
        handle_ = mover;
        locked_ = file;
        return;
    }
}

LockedFileAside::~LockedFileAside() {
    if (handle_ != nullptr) {
        // The replace failed: the file takes its name back.
        (void)renameOpenFile(static_cast<HANDLE>(handle_), target_);
        CloseHandle(static_cast<HANDLE>(handle_));
    }
}

void LockedFileAside::committed() {
    if (handle_ == nullptr) {
        return;
    }
    const auto mover = static_cast<HANDLE>(handle_);
    // Gone once the lock lets go of it too.
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    (void)SetFileInformationByHandle(mover, FileDispositionInfo, &disposition, sizeof(disposition));
    CloseHandle(mover);
    // The name now belongs to the new file, which this lock does not hold.
    forget(static_cast<HANDLE>(locked_));
    handle_ = nullptr;
}

}  // namespace os

FileLock::Result FileLock::lock(const QString& path, const QDeadlineTimer& deadline,
                                SystemError& error) {
    unlock();
    // Shared for deleting, so that the locked file can step aside for a
    // replace; without the right to delete, so that a plain read may open it.
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
    heldLocks().emplace_back(lockKey(path), file);
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
        forget(file);
        CloseHandle(file);
        handle_ = -1;
    }
}

}  // namespace hibi
