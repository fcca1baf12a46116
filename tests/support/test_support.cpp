#include "test_support.h"

#include <fcntl.h>
#include <signal.h>

#include <QFile>
#include <QStringEncoder>

namespace hibi::testing {

QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray sjis(const QString& text) {
    QStringEncoder encoder("windows-31j", QStringEncoder::Flag::Stateless);
    return encoder(text);
}

FileSizeLimit::FileSizeLimit(rlim_t limit) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved_;
    lowered.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &lowered);
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
}

NoNewFiles::NoNewFiles() {
    getrlimit(RLIMIT_NOFILE, &saved_);
    rlim_t lowestFree = 0;
    while (fcntl(static_cast<int>(lowestFree), F_GETFD) != -1) {
        ++lowestFree;
    }
    rlimit lowered = saved_;
    lowered.rlim_cur = lowestFree;
    setrlimit(RLIMIT_NOFILE, &lowered);
}

NoNewFiles::~NoNewFiles() {
    setrlimit(RLIMIT_NOFILE, &saved_);
}

}  // namespace hibi::testing
