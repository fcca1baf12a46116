#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

namespace hibi::testing {

// Bytes of a file, or a null array when it cannot be read.
QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);
// Text as code page 932 bytes (for fixtures with 年月日).
QByteArray sjis(const QString& text);

// One ledger line as the program writes it: "YYYY年MM月DD日","hh:mm:ss",amount CR LF.
QByteArray ledgerLine(const QDate& date, const QString& time, const QByteArray& amount);
// n deposits made to plan from start: 1 yen, 2 yen, 3 yen...
QByteArray toPlan(int n, const QDate& start = QDate(2009, 1, 1));

// A stand-in help viewer script: it appends "<its name>|<argument count>|
// <first argument>" to log and then, unless told otherwise, stays running.
enum class StandInViewer { Stays, Exits, IgnoresTerminate, NotExecutable };
bool writeStandInViewer(const QString& path, const QString& log,
                        StandInViewer behaviour = StandInViewer::Stays);
QStringList viewerLog(const QString& log);

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
    ResourceLimit(int resource, rlim_t limit);
    ~ResourceLimit();

  private:
    int resource_;
    rlimit saved_{};
};

// Every write past limit bytes fails with "File too large", as on a full disk.
struct FileSizeLimit : ResourceLimit {
    explicit FileSizeLimit(rlim_t limit);
};

// No new file can be opened (too many open files).
struct NoNewFiles : ResourceLimit {
    NoNewFiles();
};

}  // namespace hibi::testing
