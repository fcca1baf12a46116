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

// A quoted field starting at pos: '"', text without quotes, '"'.
bool takeQuoted(QStringView line, qsizetype& pos, QString& out) {
    if (pos >= line.size() || line[pos] != QLatin1Char('"')) {
        return false;
    }
    const qsizetype close = line.indexOf(QLatin1Char('"'), pos + 1);
    if (close < 0) {
        return false;
    }
    out = line.mid(pos + 1, close - pos - 1).toString();
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

std::optional<LedgerErrorKind> parseLine(QStringView line, LedgerRecord& record) {
    qsizetype pos = 0;
    if (!takeQuoted(line, pos, record.dateText) || pos >= line.size() ||
        line[pos] != QLatin1Char(',')) {
        return LedgerErrorKind::Malformed;
    }
    ++pos;
    if (!takeQuoted(line, pos, record.timeText) || pos >= line.size() ||
        line[pos] != QLatin1Char(',')) {
        return LedgerErrorKind::Malformed;
    }
    ++pos;
    return parseAmount(line.mid(pos), record.amount);
}

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
    const QList<Line> lines = splitLines(bytes);

    // Decode everything at once; only when that fails, find the bad line.
    QStringDecoder decoder(kLedgerEncoding, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    qsizetype badEncodingLine = -1;
    if (decoder.hasError()) {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QStringDecoder lineDecoder(kLedgerEncoding, QStringDecoder::Flag::Stateless);
            const QString decoded =
                lineDecoder.decode(bytes.sliced(lines[i].begin, lines[i].length));
            if (lineDecoder.hasError()) {
                badEncodingLine = i;
                break;
            }
        }
        if (badEncodingLine < 0) {
            // The error lies across a line end; blame the last line.
            badEncodingLine = std::max<qsizetype>(0, lines.size() - 1);
        }
        text.clear();
    }

    // Code page 932 maps every byte below 0x80 to the same character, and
    // no trail byte is below 0x40, so line ends in the text stand where
    // they stand in the bytes. The text is walked line by line.
    qsizetype textPos = 0;
    QList<qsizetype> recordLines;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNumber = static_cast<int>(i + 1);
        if (i == badEncodingLine) {
            result.error = LedgerError{lineNumber, LedgerErrorKind::InvalidEncoding};
            break;
        }
        QString decodedLine;
        QStringView lineText;
        if (badEncodingLine < 0) {
            qsizetype end = text.indexOf(QLatin1Char('\n'), textPos);
            const qsizetype next = end < 0 ? text.size() : end + 1;
            if (end < 0) {
                end = text.size();
            }
            if (end > textPos && text[end - 1] == QLatin1Char('\r')) {
                --end;
            }
            lineText = QStringView(text).sliced(textPos, end - textPos);
            textPos = next;
        } else {
            QStringDecoder lineDecoder(kLedgerEncoding, QStringDecoder::Flag::Stateless);
            decodedLine = lineDecoder(bytes.sliced(lines[i].begin, lines[i].length));
            lineText = decodedLine;
        }
        if (lineText.isEmpty()) {
            continue;
        }
        if (result.records.size() >= kMaxLedgerRecords) {
            result.error = LedgerError{lineNumber, LedgerErrorKind::TooManyRecords};
            break;
        }
        LedgerRecord record;
        if (auto kind = parseLine(lineText, record)) {
            result.error = LedgerError{lineNumber, *kind};
            break;
        }
        if (result.records.isEmpty() && !dateFromText(record.dateText)) {
            result.error = LedgerError{lineNumber, LedgerErrorKind::InvalidDate};
            break;
        }
        result.records.append(std::move(record));
        recordLines.append(lineNumber);
    }

    // The schedule counts from the first and to the last date; the dates in
    // between are only shown, as they stand.
    if (!result.error && !result.records.isEmpty() &&
        !dateFromText(result.records.last().dateText)) {
        result.error =
            LedgerError{static_cast<int>(recordLines.last()), LedgerErrorKind::InvalidDate};
        result.records.removeLast();
    }
    return result;
}

QByteArray encodeRecord(const LedgerRecord& record) {
    QStringEncoder encoder(kLedgerEncoding, QStringEncoder::Flag::Stateless);
    QByteArray line;
    line.reserve(40);
    line += '"';
    line += encoder(record.dateText);
    line += "\",\"";
    line += encoder(record.timeText);
    line += "\",";
    line += decimalText(record.amount).toLatin1();
    line += "\r\n";
    return line;
}

}  // namespace hibi
