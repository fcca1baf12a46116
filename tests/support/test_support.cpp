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

QByteArray ledgerLine(const QDate& date, const QString& time, const QByteArray& amount) {
    return sjis(QStringLiteral("\"%1年%2月%3日\",\"%4\",")
                    .arg(date.year(), 4, 10, QLatin1Char('0'))
                    .arg(date.month(), 2, 10, QLatin1Char('0'))
                    .arg(date.day(), 2, 10, QLatin1Char('0'))
                    .arg(time)) +
           amount + "\r\n";
}

QByteArray toPlan(int n, const QDate& start) {
    QByteArray ledger;
    for (int i = 0; i < n; ++i) {
        ledger +=
            ledgerLine(start.addDays(i), QStringLiteral("07:00:00"), QByteArray::number(i + 1));
    }
    return ledger;
}

bool writeStandInViewer(const QString& path, const QString& log, StandInViewer behaviour) {
    QByteArray script = "#!/bin/sh\n";
    if (behaviour == StandInViewer::IgnoresTerminate) {
        script += "trap '' TERM\n";  // inherited by sleep across exec
    }
    script += "printf '%s|%s|%s\\n' \"${0##*/}\" \"$#\" \"$1\" >> '" + log.toUtf8() + "'\n";
    script += behaviour == StandInViewer::Exits ? "exit 0\n" : "exec /bin/sleep 60\n";
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (behaviour != StandInViewer::NotExecutable) {
        permissions |= QFile::ExeOwner;
    }
    return writeBytes(path, script) && QFile::setPermissions(path, permissions);
}

QStringList viewerLog(const QString& log) {
    return QString::fromUtf8(readBytes(log)).split(u'\n', Qt::SkipEmptyParts);
}

ResourceLimit::ResourceLimit(int resource, rlim_t limit) : resource_(resource) {
    getrlimit(resource_, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = limit;
    setrlimit(resource_, &lowered);
}

ResourceLimit::~ResourceLimit() {
    setrlimit(resource_, &saved_);
}

FileSizeLimit::FileSizeLimit(rlim_t limit) : ResourceLimit(RLIMIT_FSIZE, limit) {
    signal(SIGXFSZ, SIG_IGN);
}

static rlim_t lowestFreeDescriptor() {
    rlim_t fd = 0;
    while (fcntl(static_cast<int>(fd), F_GETFD) != -1) {
        ++fd;
    }
    return fd;
}

NoNewFiles::NoNewFiles() : ResourceLimit(RLIMIT_NOFILE, lowestFreeDescriptor()) {}

}  // namespace hibi::testing
