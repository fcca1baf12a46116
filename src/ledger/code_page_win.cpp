#include <windows.h>

#include <limits>

#include "ledger/code_page.h"

namespace hibi {

namespace {
constexpr UINT kShiftJis = 932;
constexpr qsizetype kLongest = std::numeric_limits<int>::max() / 2;

// Windows' table gives five single bytes that code page 932 leaves undefined
// characters of their own (0x80 as U+0080, 0xA0 and 0xFD to 0xFF in the
// private use area). Other converters refuse them, and so does the ledger.
bool isUndefinedSingleByte(unsigned char byte) {
    return byte == 0x80 || byte == 0xA0 || byte >= 0xFD;
}
bool isLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
bool hasUndefinedSingleByte(QByteArrayView bytes) {
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (isLeadByte(byte)) {
            ++i;  // its trail byte, which the converter checks
        } else if (isUndefinedSingleByte(byte)) {
            return true;
        }
    }
    return false;
}
bool hasCharacterOfUndefinedByte(QStringView text) {
    for (const QChar c : text) {
        if (c.unicode() == 0x0080 || c.unicode() == 0xF8F0 || c.unicode() == 0xF8F1 ||
            c.unicode() == 0xF8F2 || c.unicode() == 0xF8F3) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool systemHasCodePage932() {
    return IsValidCodePage(kShiftJis) != 0;
}

std::optional<QString> systemDecode932(QByteArrayView bytes) {
    if (bytes.isEmpty()) {
        return QString();
    }
    if (bytes.size() > kLongest || hasUndefinedSingleByte(bytes)) {
        return std::nullopt;
    }
    const int size = int(bytes.size());
    // MB_ERR_INVALID_CHARS: a byte the code page does not define fails the
    // whole call instead of becoming a replacement character.
    const int length =
        MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    QString text(length, Qt::Uninitialized);
    if (MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, bytes.data(), size,
                            reinterpret_cast<wchar_t*>(text.data()), length) != length) {
        return std::nullopt;
    }
    return text;
}

std::optional<QByteArray> systemEncode932(QStringView text) {
    if (text.isEmpty()) {
        return QByteArray();
    }
    if (text.size() > kLongest || hasCharacterOfUndefinedByte(text)) {
        return std::nullopt;
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int size = int(text.size());
    // WC_NO_BEST_FIT_CHARS: no look-alike for a character the code page
    // lacks; the default character it would use instead is reported.
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide, size, nullptr, 0,
                                           nullptr, &usedDefault);
    if (length <= 0 || usedDefault) {
        return std::nullopt;
    }
    QByteArray bytes(length, Qt::Uninitialized);
    if (WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide, size, bytes.data(), length,
                            nullptr, &usedDefault) != length ||
        usedDefault) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace hibi
