#pragma once

#include <sys/resource.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace hibi::testing {

// Bytes of a file, or a null array when it cannot be read.
QByteArray readBytes(const QString& path);
// Writes bytes to a file, replacing it; false on failure.
bool writeBytes(const QString& path, const QByteArray& bytes);
// Text as code page 932 bytes (for fixtures with 年月日).
QByteArray sjis(const QString& text);

// A stand-in help viewer script at path: it appends "<its name>|<argument
// count>|<first argument>" to log and then, unless told otherwise, stays
// running as a real viewer window would. False when it cannot be written.
enum class StandInViewer { Stays, Exits, IgnoresTerminate, NotExecutable };
bool writeStandInViewer(const QString& path, const QString& log,
                        StandInViewer behaviour = StandInViewer::Stays);
// The lines a stand-in viewer logged so far.
QStringList viewerLog(const QString& log);

// Makes every write past limit bytes fail with "File too large", as a full
// disk would, for the life of the object. Root is held to it too.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t limit);
    ~FileSizeLimit();

  private:
    rlimit saved_{};
};

// No new file can be opened (too many open files) for the life of the object.
class NoNewFiles {
  public:
    NoNewFiles();
    ~NoNewFiles();

  private:
    rlimit saved_{};
};

}  // namespace hibi::testing
