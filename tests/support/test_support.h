#pragma once

#include <sys/resource.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace hibi::testing {

// Bytes of a file, or a null array when it cannot be read.
QByteArray readBytes(const QString& path);
bool writeBytes(const QString& path, const QByteArray& bytes);
// Text as code page 932 bytes (for fixtures with 年月日).
QByteArray sjis(const QString& text);

// A stand-in help viewer script: it appends "<its name>|<argument count>|
// <first argument>" to log and then, unless told otherwise, stays running.
enum class StandInViewer { Stays, Exits, IgnoresTerminate, NotExecutable };
bool writeStandInViewer(const QString& path, const QString& log,
                        StandInViewer behaviour = StandInViewer::Stays);
QStringList viewerLog(const QString& log);

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
