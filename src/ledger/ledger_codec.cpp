#include "ledger/ledger_codec.h"

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <limits>

#include "ledger/code_page.h"
#include "ledger/text_formats.h"

namespace hibi {

namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}
bool isDigitByte(char c) {
    return c >= '0' && c <= '9';
}

// Code page 932 keeps every byte below 0x80 for itself: a lead byte is 0x81
// or above and a trail byte 0x40 or above, so quotes, commas and line ends
// can be found in the bytes without decoding them.
QString decode(QByteArrayView bytes) {
    return CodePageText().decode(bytes).value_or(QString());
}

// Checks that bytes are valid code page 932 the quick way: ASCII passes as
// it stands and each two-byte character is checked by the real converter
// the first time it is seen. A ledger holds few distinct two-byte characters
// (年, 月, 日). Returns false when it cannot tell (other characters, or more
// of them), and the caller asks the converter.
bool quickValid(QByteArrayView bytes) {
    constexpr int kMaxPairs = 16;
    constexpr std::uint64_t kTopBits = 0x8080808080808080u;
    std::bitset<65536> known;
    int knownCount = 0;
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        // A ledger is nearly all ASCII: eight bytes at a time while none has
        // its top bit set.
        for (std::uint64_t word = 0; i + qsizetype{sizeof word} <= size; i += sizeof word) {
            std::memcpy(&word, src + i, sizeof word);
            if ((word & kTopBits) != 0) {
                break;
            }
        }
        if (i >= size) {
            break;
        }
        const unsigned char b = src[i];
        if (b < 0x80) {
            continue;
        }
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        if (!lead || i + 1 >= size) {
            return false;
        }
        const unsigned key = (unsigned{b} << 8) | src[i + 1];
        if (!known[key]) {
            if (knownCount == kMaxPairs) {
                return false;
            }
            const auto decoded = CodePageText().decode(bytes.sliced(i, 2));
            if (!decoded || decoded->size() != 1) {
                return false;
            }
            known.set(key);
            ++knownCount;
        }
        ++i;
    }
    return true;
}

bool isValidEncoding(QByteArrayView bytes) {
    if (quickValid(bytes)) {
        return true;
    }
    return CodePageText().decode(bytes).has_value();
}

// A quoted field starting at pos: '"', text without quotes, '"'.
bool takeQuoted(QByteArrayView line, qsizetype& pos, qsizetype& begin, qsizetype& length) {
    if (pos >= line.size() || line[pos] != '"') {
        return false;
    }
    const void* found = std::memchr(line.data() + pos + 1, '"', size_t(line.size() - pos - 1));
    if (!found) {
        return false;
    }
    const qsizetype close = static_cast<const char*>(found) - line.data();
    begin = pos + 1;
    length = close - pos - 1;
    pos = close + 1;
    return true;
}

// "-?digits[.digits]" with at least one digit, up to four decimals.
std::optional<LedgerErrorKind> parseAmount(QByteArrayView text, Amount& out) {
    qsizetype pos = 0;
    const bool negative = !text.isEmpty() && text[0] == '-';
    if (negative) {
        ++pos;
    }
    std::int64_t units = 0;
    int digits = 0;
    bool overflow = false;
    auto addDigit = [&](char c) {
        std::int64_t next = 0;
        if (__builtin_mul_overflow(units, std::int64_t{10}, &next) ||
            __builtin_add_overflow(next, static_cast<std::int64_t>(c - '0'), &next)) {
            overflow = true;
        }
        units = next;
        ++digits;
    };
    while (pos < text.size() && isDigitByte(text[pos])) {
        addDigit(text[pos++]);
    }
    int decimals = 0;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && isDigitByte(text[pos])) {
            if (++decimals > 4) {
                return LedgerErrorKind::TooManyDecimals;
            }
            addDigit(text[pos++]);
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

std::optional<QDate> dateFromBytes(QByteArrayView bytes) {
    return dateFromText(decode(bytes));
}

}  // namespace

// Reads one line of a ledger into a record that points into the ledger's
// shared bytes, or reports why the line is not a record.
struct LedgerLineParser {
    using Shared = QExplicitlySharedDataPointer<LedgerRecord::SharedBytes>;

    // Where a line's fields are, as offsets into the whole ledger.
    struct Fields {
        quint32 dateBegin = 0;
        quint16 dateLength = 0;
        quint16 timeLength = 0;
        Amount amount;
    };

    static std::optional<LedgerErrorKind> parse(QByteArrayView line, qsizetype lineBegin,
                                                Fields& fields) {
        qsizetype pos = 0;
        qsizetype dateBegin = 0;
        qsizetype dateLength = 0;
        qsizetype timeBegin = 0;
        qsizetype timeLength = 0;
        // The time must follow the date's closing quote and a comma at once,
        // which is how a record finds it again.
        if (!takeQuoted(line, pos, dateBegin, dateLength) || pos >= line.size() ||
            line[pos] != ',') {
            return LedgerErrorKind::Malformed;
        }
        ++pos;
        if (!takeQuoted(line, pos, timeBegin, timeLength) || pos >= line.size() ||
            line[pos] != ',') {
            return LedgerErrorKind::Malformed;
        }
        ++pos;
        constexpr qsizetype kMaxField = std::numeric_limits<quint16>::max();
        if (dateLength > kMaxField || timeLength > kMaxField) {
            return LedgerErrorKind::Malformed;
        }
        if (auto kind = parseAmount(line.sliced(pos), fields.amount)) {
            return kind;
        }
        fields.dateBegin = static_cast<quint32>(lineBegin + dateBegin);
        fields.dateLength = static_cast<quint16>(dateLength);
        fields.timeLength = static_cast<quint16>(timeLength);
        return std::nullopt;
    }

    static LedgerRecord record(const Shared& source, const Fields& fields) {
        LedgerRecord record;
        record.amount = fields.amount;
        record.source_ = source;
        record.dateBegin_ = fields.dateBegin;
        record.dateLength_ = fields.dateLength;
        record.timeLength_ = fields.timeLength;
        return record;
    }

    static QByteArrayView dateBytes(const QByteArray& source, const Fields& fields) {
        return QByteArrayView(source).sliced(fields.dateBegin, fields.dateLength);
    }

    static Shared share(const QByteArray& bytes) {
        auto* shared = new LedgerRecord::SharedBytes;
        shared->bytes = bytes;
        return Shared(shared);
    }
};

static_assert(sizeof(LedgerRecord) == 24, "a long history is held as 24 bytes a record");

LedgerRecord::LedgerRecord(const QDate& date, const QTime& time, Amount amountValue)
    : amount(amountValue) {
    // Both texts are short ASCII apart from 年月日, far within the 16-bit lengths.
    CodePageText codePage;
    const QByteArray dateBytes = codePage.encode(hibi::dateText(date)).value_or(QByteArray());
    const QByteArray timeBytes = codePage.encode(hibi::timeText(time)).value_or(QByteArray());
    source_ = LedgerLineParser::share(dateBytes + "\",\"" + timeBytes);
    dateLength_ = static_cast<quint16>(dateBytes.size());
    timeLength_ = static_cast<quint16>(timeBytes.size());
}

int LedgerRecord::lineInLedger() const {
    const QByteArrayView before =
        source_ ? QByteArrayView(source_->bytes).first(dateBegin_) : QByteArrayView();
    return static_cast<int>(before.count('\n')) + 1;
}

QString LedgerRecord::dateText() const {
    return decode(dateBytes());
}

QString LedgerRecord::timeText() const {
    return decode(timeBytes());
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

namespace {

// Reads a ledger line by line and hands each record's fields to the sink
// (add, dropLast, count). Returns the first bad line's error.
template <typename Sink>
std::optional<LedgerError> scanLedger(const QByteArray& source, Sink& sink) {
    // Offsets into a ledger are 32-bit; a file of 4 GiB is no ledger.
    if (source.size() >= static_cast<qsizetype>(std::numeric_limits<quint32>::max())) {
        return LedgerError{1, LedgerErrorKind::TooManyRecords};
    }
    // When the bytes are not all code page 932, reading stops at the first
    // line that is not.
    const bool validEncoding = isValidEncoding(source);

    std::optional<LedgerError> error;
    LedgerLineParser::Fields last;
    int lastRecordLine = 0;
    // Old Windows editors end a file with one Ctrl-Z: the text ends before it.
    const qsizetype size = source.size() - (source.endsWith(kEndOfFileMark) ? 1 : 0);
    qsizetype begin = 0;
    for (int lineNumber = 1; begin < size; ++lineNumber) {
        const void* newline = std::memchr(source.constData() + begin, '\n', size_t(size - begin));
        qsizetype end = newline ? static_cast<const char*>(newline) - source.constData() : size;
        const qsizetype next = newline ? end + 1 : size;
        if (end > begin && source.at(end - 1) == '\r') {
            --end;  // CR LF, or a CR the file ends with
        }
        const QByteArrayView line = QByteArrayView(source).sliced(begin, end - begin);
        const qsizetype lineBegin = begin;
        begin = next;
        if (!validEncoding && !isValidEncoding(line)) {
            error = LedgerError{lineNumber, LedgerErrorKind::InvalidEncoding};
            break;
        }
        if (line.isEmpty()) {
            continue;
        }
        if (sink.count() >= kMaxLedgerRecords) {
            error = LedgerError{lineNumber, LedgerErrorKind::TooManyRecords};
            break;
        }
        LedgerLineParser::Fields fields;
        if (auto kind = LedgerLineParser::parse(line, lineBegin, fields)) {
            error = LedgerError{lineNumber, *kind};
            break;
        }
        if (sink.count() == 0 && !dateFromBytes(LedgerLineParser::dateBytes(source, fields))) {
            error = LedgerError{lineNumber, LedgerErrorKind::InvalidDate};
            break;
        }
        sink.add(fields);
        last = fields;
        lastRecordLine = lineNumber;
    }
    if (!validEncoding && !error) {
        // Invalid bytes that no single line shows (a character cut by a
        // line end): blame the last line.
        if (sink.count() > 0) {
            sink.dropLast();
        }
        return LedgerError{std::max(1, lastRecordLine), LedgerErrorKind::InvalidEncoding};
    }
    // The schedule counts from the first and to the last date; the dates in
    // between are only shown, as they stand.
    if (!error && sink.count() > 0 && !dateFromBytes(LedgerLineParser::dateBytes(source, last))) {
        sink.dropLast();
        return LedgerError{lastRecordLine, LedgerErrorKind::InvalidDate};
    }
    return error;
}

}  // namespace

ParsedLedger parseLedger(const QByteArray& source) {
    struct Records {
        QList<LedgerRecord>& list;
        LedgerLineParser::Shared shared;
        qsizetype count() const { return list.size(); }
        void add(const LedgerLineParser::Fields& fields) {
            list.append(LedgerLineParser::record(shared, fields));
        }
        void dropLast() { list.removeLast(); }
    };
    ParsedLedger result;
    result.records.reserve(source.size() / 30 + 1);
    Records records{result.records, LedgerLineParser::share(source)};
    result.error = scanLedger(source, records);
    return result;
}

LedgerCheck checkLedger(const QByteArray& source) {
    struct Counter {
        qsizetype n = 0;
        qsizetype count() const { return n; }
        void add(const LedgerLineParser::Fields&) { ++n; }
        void dropLast() { --n; }
    };
    Counter counter;
    LedgerCheck check;
    check.error = scanLedger(source, counter);
    check.recordCount = counter.n;
    return check;
}

Utf8Ledger readUtf8Ledger(const QByteArray& content, const char* encoding) {
    Utf8Ledger ledger;
    QByteArrayView text(content);
    const bool marked = text.startsWith("\xEF\xBB\xBF");
    if (marked) {
        text = text.sliced(3);
    }
    QStringDecoder fromUtf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = fromUtf8.decode(text);
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    ledger.isUtf8 = marked || (!fromUtf8.hasError() && !ascii);
    if (!ledger.isUtf8 || fromUtf8.hasError() || decoded.isEmpty()) {
        return ledger;
    }
    if (const auto converted = CodePageText(QByteArray(encoding)).encode(decoded)) {
        ledger.asShiftJis = *converted;
        ledger.parsed = parseLedger(*converted);
        return ledger;
    }
    // The line (as line ends count them) with the character that has no place.
    const QStringList lines = decoded.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!CodePageText(QByteArray(encoding)).encode(lines[i])) {
            ledger.parsed.error =
                LedgerError{static_cast<int>(i) + 1, LedgerErrorKind::InvalidEncoding};
            break;
        }
    }
    return ledger;
}

QByteArray encodeRecord(const LedgerRecord& record) {
    QByteArray line;
    line.reserve(40);
    line += '"';
    line += record.dateBytes();
    line += "\",\"";
    line += record.timeBytes();
    line += "\",";
    line += decimalText(record.amount).toLatin1();
    line += "\r\n";
    return line;
}

}  // namespace hibi
