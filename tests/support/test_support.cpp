#include "test_support.h"

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

}  // namespace hibi::testing
