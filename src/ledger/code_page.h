#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringView>
#include <optional>

#include "ledger/ledger_codec.h"

namespace hibi {

// Converts between text and the ledger's code page 932 (Shift-JIS), refusing
// bytes the code page does not define and characters it cannot hold (no
// replacement character, no best-fit guess). Windows converts with its own
// code page 932, the one the ledgers were written in; elsewhere Qt's
// converter (ICU) does. Another encoding name is always Qt's.
// One converter is meant to be made once and used for many texts.
class CodePageText {
  public:
    explicit CodePageText(const QByteArray& encoding = kLedgerEncoding);

    // Whether this system can convert the encoding at all.
    bool isValid() const;
    std::optional<QString> decode(QByteArrayView bytes);
    std::optional<QByteArray> encode(QStringView text);

  private:
    QByteArray encoding_;
    bool system_ = false;
    // Made on first use, in place: Qt 6.4's ICU converters lose their error reporting
    // when moved.
    std::optional<QStringDecoder> decoder_;
    std::optional<QStringEncoder> encoder_;
};

// The operating system's own code page 932, where it has one (Windows).
bool systemHasCodePage932();
std::optional<QString> systemDecode932(QByteArrayView bytes);
std::optional<QByteArray> systemEncode932(QStringView text);

}  // namespace hibi
