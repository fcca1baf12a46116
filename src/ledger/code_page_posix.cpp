#include "ledger/code_page.h"

// No code page of the system's own here: Qt's converter does the work.
namespace hibi {

bool systemHasCodePage932() {
    return false;
}

std::optional<QString> systemDecode932(QByteArrayView) {
    return std::nullopt;
}

std::optional<QByteArray> systemEncode932(QStringView) {
    return std::nullopt;
}

}  // namespace hibi
