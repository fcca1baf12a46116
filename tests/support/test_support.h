#pragma once

#include <QByteArray>
#include <QString>

namespace hibi::testing {

// Bytes of a file, or a null array when it cannot be read.
QByteArray readBytes(const QString& path);
// Writes bytes to a file, replacing it; false on failure.
bool writeBytes(const QString& path, const QByteArray& bytes);
// Text as code page 932 bytes (for fixtures with 年月日).
QByteArray sjis(const QString& text);

}  // namespace hibi::testing
