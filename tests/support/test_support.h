#pragma once

// Helpers shared by the tests: files, ledger lines, stand-in help viewers,
// an unprivileged child process and resource limits.

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <QDate>
#include <QFile>
#include <QStringList>

#include "ledger/code_page.h"

// A test that needs what only POSIX systems have (file modes that bind the
// owner, resource limits, signals, shell scripts) is skipped on Windows.
// The same the other way round for what only Windows does.
#ifdef _WIN32
#define HIBI_POSIX_ONLY(why) QSKIP("POSIX only: " why)
#define HIBI_WINDOWS_ONLY(why) static_cast<void>(0)
#else
#define HIBI_POSIX_ONLY(why) static_cast<void>(0)
#define HIBI_WINDOWS_ONLY(why) QSKIP("Windows only: " why)
#endif

namespace hibi::testing {

// Whether a folder can hold two names that differ in letter case alone.
#ifdef _WIN32
inline constexpr bool kNamesDifferInCase = false;
#else
inline constexpr bool kNamesDifferInCase = true;
#endif

// Bytes of a file, or a null array when it cannot be read.
inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Text as code page 932 bytes (for fixtures with 年月日).
inline QByteArray sjis(const QString& text) {
    return CodePageText().encode(text).value_or(QByteArray());
}

// One ledger line as the program writes it: "YYYY年MM月DD日","hh:mm:ss",amount CR LF.
inline QByteArray ledgerLine(const QDate& date, const QString& time, const QByteArray& amount) {
    return sjis(QStringLiteral("\"%1\",\"%2\",").arg(date.toString(u"yyyy年MM月dd日"), time)) +
           amount + "\r\n";
}

// n deposits made to plan from start: 1 yen, 2 yen, 3 yen...
inline QByteArray toPlan(int n, const QDate& start = QDate(2009, 1, 1)) {
    QByteArray ledger;
    for (int i = 0; i < n; ++i) {
        ledger +=
            ledgerLine(start.addDays(i), QStringLiteral("07:00:00"), QByteArray::number(i + 1));
    }
    return ledger;
}

// A stand-in help viewer script: it appends "<its name>|<argument count>|
// <first argument>" to log and then, unless told otherwise, stays running.
enum class StandInViewer { Stays, Exits, IgnoresTerminate, NotExecutable };
inline bool writeStandInViewer(const QString& path, const QString& log,
                               StandInViewer behaviour = StandInViewer::Stays) {
    QByteArray script = "#!/bin/sh\n";
    if (behaviour == StandInViewer::IgnoresTerminate) {
        script += "trap '' TERM\n";  // inherited by sleep across exec
    }
    script += "printf '%s|%s|%s\\n' \"${0##*/}\" \"$#\" \"$1\" >> '" + log.toUtf8() + "'\n";
    script += behaviour == StandInViewer::Exits ? "exit 0\n" : "exec /bin/sleep 60\n";
    const bool executable = behaviour != StandInViewer::NotExecutable;
    return writeBytes(path, script) &&
           QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner |
                                           (executable ? QFile::ExeOwner : QFile::Permissions()));
}

inline QStringList viewerLog(const QString& log) {
    return QString::fromUtf8(readBytes(log)).split(u'\n', Qt::SkipEmptyParts);
}

#ifndef _WIN32
// Runs body in a child process that, when the tests run as root, has become
// an ordinary user first, so that file permissions apply as they do for a
// user. Returns the body's result, or 98/99 when the child failed.
template <typename Body>
int asUnprivilegedUser(Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(99);
        }
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

// Lowers a resource limit for the life of the object; root is held to it too.
class ResourceLimit {
  public:
    ResourceLimit(int resource, rlim_t limit) : resource_(resource) {
        getrlimit(resource_, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        setrlimit(resource_, &lowered);
    }
    ~ResourceLimit() { setrlimit(resource_, &saved_); }

  private:
    int resource_;
    rlimit saved_{};
};

// Every write past limit bytes fails with "File too large", as on a full disk.
struct FileSizeLimit : ResourceLimit {
    explicit FileSizeLimit(rlim_t limit) : ResourceLimit(RLIMIT_FSIZE, limit) {
        signal(SIGXFSZ, SIG_IGN);
    }
};

// No new file can be opened (too many open files): the limit is the lowest
// descriptor not in use.
struct NoNewFiles : ResourceLimit {
    static rlim_t lowestFree() {
        int fd = 0;
        while (fcntl(fd, F_GETFD) != -1) {
            ++fd;
        }
        return rlim_t(fd);
    }
    NoNewFiles() : ResourceLimit(RLIMIT_NOFILE, lowestFree()) {}
};
#else
// Stand-ins that let the tests build on Windows; the tests that use them
// are skipped there before they are reached.
template <typename Body>
int asUnprivilegedUser(Body body) {
    return body();
}
struct FileSizeLimit {
    explicit FileSizeLimit(long long) {}
};
struct NoNewFiles {};
using rlim_t = long long;
constexpr rlim_t RLIM_INFINITY = -1;
inline int geteuid() {
    return 0;
}
#endif

}  // namespace hibi::testing
