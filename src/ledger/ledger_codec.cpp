#include "ledger/ledger_codec.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

#include "ledger/text_formats.h"

namespace hibi {

namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// A quoted field starting at pos: '"', text without quotes, '"'. Gives the
// text's place within the line.
bool takeQuoted(QStringView line, qsizetype& pos, qsizetype& begin, qsizetype& length) {
    if (pos >= line.size() || line[pos] != QLatin1Char('"')) {
        return false;
    }
    const qsizetype close = line.indexOf(QLatin1Char('"'), pos + 1);
    if (close < 0) {
        return false;
    }
    begin = pos + 1;
    length = close - pos - 1;
    pos = close + 1;
    return true;
}

// "-?digits[.digits]" with at least one digit, up to four decimals.
std::optional<LedgerErrorKind> parseAmount(QStringView text, Amount& out) {
    qsizetype pos = 0;
    const bool negative = !text.isEmpty() && text[0] == QLatin1Char('-');
    if (negative) {
        ++pos;
    }
    std::int64_t units = 0;
    int digits = 0;
    bool overflow = false;
    auto addDigit = [&](QChar c, std::int64_t scale) {
        std::int64_t next = 0;
        if (__builtin_mul_overflow(units, scale, &next) ||
            __builtin_add_overflow(next, static_cast<std::int64_t>(c.unicode() - u'0'), &next)) {
            overflow = true;
        }
        units = next;
        ++digits;
    };
    while (pos < text.size() && isDigit(text[pos])) {
        addDigit(text[pos++], 10);
    }
    int decimals = 0;
    if (pos < text.size() && text[pos] == QLatin1Char('.')) {
        ++pos;
        while (pos < text.size() && isDigit(text[pos])) {
            if (++decimals > 4) {
                return LedgerErrorKind::TooManyDecimals;
            }
            addDigit(text[pos++], 10);
        }
    }
    if (digits == 0 || pos != text.size()) {
        return LedgerErrorKind::Malformed;
    }
    for (int i = decimals; i < 4 && !overflow; ++i) {
        overflow = __builtin_mul_overflow(units, std::int64_t{10}, &units);
    }
    // The magnitude is parsed as a positive value, so the most negative
    // amount is out of reach; no ledger gets near it.
    if (overflow) {
        return LedgerErrorKind::AmountOutOfRange;
    }
    out = Amount::fromUnits(negative ? -units : units);
    return std::nullopt;
}

}  // namespace

// Reads one line of source (starting at lineBegin) into a record that
// shares source.
struct LedgerLineParser {
    static std::optional<LedgerErrorKind> parse(const QString& source, qsizetype lineBegin,
                                                QStringView line, LedgerRecord& record) {
        qsizetype pos = 0;
        qsizetype dateBegin = 0;
        qsizetype dateLength = 0;
        qsizetype timeBegin = 0;
        qsizetype timeLength = 0;
        if (!takeQuoted(line, pos, dateBegin, dateLength) || pos >= line.size() ||
            line[pos] != QLatin1Char(',')) {
            return LedgerErrorKind::Malformed;
        }
        ++pos;
        if (!takeQuoted(line, pos, timeBegin, timeLength) || pos >= line.size() ||
            line[pos] != QLatin1Char(',')) {
            return LedgerErrorKind::Malformed;
        }
        ++pos;
        if (auto kind = parseAmount(line.sliced(pos), record.amount)) {
            return kind;
        }
        record.source_ = source;
        record.dateBegin_ = lineBegin + dateBegin;
        record.dateLength_ = dateLength;
        record.timeBegin_ = lineBegin + timeBegin;
        record.timeLength_ = timeLength;
        return std::nullopt;
    }
};

namespace {

struct Line {
    qsizetype begin;
    qsizetype length;  // without the line end
};

QList<Line> splitLines(QByteArrayView bytes) {
    QList<Line> lines;
    lines.reserve(bytes.size() / 30 + 1);
    qsizetype begin = 0;
    while (begin < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', begin);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0) {
            end = bytes.size();
        }
        qsizetype length = end - begin;
        if (length > 0 && bytes[begin + length - 1] == '\r') {
            --length;  // CR LF, or a CR the file ends with
        }
        lines.append({begin, length});
        begin = next;
    }
    return lines;
}

}  // namespace

QString LedgerError::reason() const {
    switch (kind) {
        case LedgerErrorKind::Malformed:
            return QStringLiteral("日付・時刻・金額の形式になっていません");
        case LedgerErrorKind::InvalidDate:
            return QStringLiteral("日付が正しくありません");
        case LedgerErrorKind::InvalidEncoding:
            return QStringLiteral("Shift-JIS として読めない文字があります");
        case LedgerErrorKind::AmountOutOfRange:
            return QStringLiteral("金額が大きすぎます");
        case LedgerErrorKind::TooManyDecimals:
            return QStringLiteral("金額の小数が4桁を超えています");
        case LedgerErrorKind::TooManyRecords:
            return QStringLiteral("記録が %1 件を超えています").arg(kMaxLedgerRecords);
    }
    return {};
}

std::optional<QDate> dateFromText(QStringView text) {
    // YYYY年M(M)月D(D)日
    auto number = [&](qsizetype& pos, int minDigits, int maxDigits, int& out) {
        int count = 0;
        out = 0;
        while (pos < text.size() && isDigit(text[pos]) && count < maxDigits) {
            out = out * 10 + (text[pos].unicode() - u'0');
            ++pos;
            ++count;
        }
        return count >= minDigits;
    };
    auto literal = [&](qsizetype& pos, char16_t c) {
        if (pos < text.size() && text[pos] == QChar(c)) {
            ++pos;
            return true;
        }
        return false;
    };
    qsizetype pos = 0;
    int year = 0;
    int month = 0;
    int day = 0;
    if (!number(pos, 4, 4, year) || !literal(pos, u'年') || !number(pos, 1, 2, month) ||
        !literal(pos, u'月') || !number(pos, 1, 2, day) || !literal(pos, u'日') ||
        pos != text.size() || year == 0) {
        return std::nullopt;
    }
    const QDate date(year, month, day);
    if (!date.isValid()) {
        return std::nullopt;
    }
    return date;
}

ParsedLedger parseLedger(QByteArrayView bytes) {
    ParsedLedger result;
    QStringDecoder decoder(kLedgerEncoding, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);

    // Only bytes that do not decode need the lines found in the bytes: the
    // lines before the bad one are decoded one by one, and reading stops
    // there.
    qsizetype badEncodingLine = -1;
    QList<Line> byteLines;
    if (decoder.hasError()) {
        byteLines = splitLines(bytes);
        for (qsizetype i = 0; i < byteLines.size(); ++i) {
            QStringDecoder lineDecoder(kLedgerEncoding, QStringDecoder::Flag::Stateless);
            const QString decoded =
                lineDecoder.decode(bytes.sliced(byteLines[i].begin, byteLines[i].length));
            if (lineDecoder.hasError()) {
                badEncodingLine = i;
                break;
            }
        }
        if (badEncodingLine < 0) {
            badEncodingLine = std::max<qsizetype>(0, byteLines.size() - 1);
        }
        text.clear();
    }

    result.records.reserve(bytes.size() / 30 + 1);
    int lastRecordLine = 0;
    qsizetype textPos = 0;
    for (int lineNumber = 1;; ++lineNumber) {
        QString lineSource;
        qsizetype lineBegin = 0;
        qsizetype lineLength = 0;
        if (badEncodingLine < 0) {
            if (textPos >= text.size()) {
                break;
            }
            // Code page 932 maps every byte below 0x80 to itself and no trail
            // byte is below 0x40, so the decoded text breaks into lines where
            // the bytes do.
            qsizetype end = text.indexOf(QLatin1Char('\n'), textPos);
            const qsizetype next = end < 0 ? text.size() : end + 1;
            if (end < 0) {
                end = text.size();
            }
            if (end > textPos && text.at(end - 1) == QLatin1Char('\r')) {
                --end;
            }
            lineSource = text;
            lineBegin = textPos;
            lineLength = end - textPos;
            textPos = next;
        } else {
            const qsizetype i = lineNumber - 1;
            if (i == badEncodingLine) {
                result.error = LedgerError{lineNumber, LedgerErrorKind::InvalidEncoding};
                break;
            }
            QStringDecoder lineDecoder(kLedgerEncoding, QStringDecoder::Flag::Stateless);
            lineSource = lineDecoder.decode(bytes.sliced(byteLines[i].begin, byteLines[i].length));
            lineLength = lineSource.size();
        }
        const QStringView line = QStringView(lineSource).sliced(lineBegin, lineLength);
        if (line.isEmpty()) {
            continue;
        }
        if (result.records.size() >= kMaxLedgerRecords) {
            result.error = LedgerError{lineNumber, LedgerErrorKind::TooManyRecords};
            break;
        }
        LedgerRecord record;
        if (auto kind = LedgerLineParser::parse(lineSource, lineBegin, line, record)) {
            result.error = LedgerError{lineNumber, *kind};
            break;
        }
        if (result.records.isEmpty() && !dateFromText(record.dateText())) {
            result.error = LedgerError{lineNumber, LedgerErrorKind::InvalidDate};
            break;
        }
        result.records.append(std::move(record));
        lastRecordLine = lineNumber;
    }

    // The schedule counts from the first and to the last date; the dates in
    // between are only shown, as they stand.
    if (!result.error && !result.records.isEmpty() &&
        !dateFromText(result.records.last().dateText())) {
        result.error = LedgerError{lastRecordLine, LedgerErrorKind::InvalidDate};
        result.records.removeLast();
    }
    return result;
}

LedgerRecord::LedgerRecord(const QString& dateText, const QString& timeText, Amount amountValue)
    : amount(amountValue),
      source_(dateText + timeText),
      dateLength_(dateText.size()),
      timeBegin_(dateText.size()),
      timeLength_(timeText.size()) {}

QByteArray encodeRecord(const LedgerRecord& record) {
    QStringEncoder encoder(kLedgerEncoding, QStringEncoder::Flag::Stateless);
    QByteArray line;
    line.reserve(40);
    line += '"';
    line += encoder.encode(record.dateText());
    line += "\",\"";
    line += encoder.encode(record.timeText());
    line += "\",";
    line += decimalText(record.amount).toLatin1();
    line += "\r\n";
    return line;
}

}  // namespace hibi
