#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QList>
#include <QSharedData>
#include <QString>
#include <QTime>
#include <optional>

#include "ledger/checked.h"

// The ledger's text form: one record a line, "YYYY年MM月DD日","hh:mm:ss",amount
// and CR LF, in code page 932 (Shift-JIS).
namespace hibi {

// One deposit. The date and time texts are kept as stored, without the
// quotes. A record read from a ledger points into the ledger's bytes, which
// all its records share, instead of holding strings of its own: a long
// history loads without an allocation per field, in 24 bytes a record, and
// the texts are decoded when they are asked for.
class LedgerRecord {
  public:
    LedgerRecord() = default;
    // A new record of a deposit made at that date and time.
    LedgerRecord(const QDate& date, const QTime& time, Amount amount);

    QString dateText() const;
    QString timeText() const;
    // The texts as the ledger stores them, in code page 932.
    QByteArrayView dateBytes() const { return bytesAt(dateBegin_, dateLength_); }
    QByteArrayView timeBytes() const {
        // The time follows the date and the "," between them.
        return bytesAt(dateBegin_ + dateLength_ + 3, timeLength_);
    }

    // The line of the ledger the record was read from (1 for the first).
    int lineInLedger() const;

    Amount amount;

    friend bool operator==(const LedgerRecord& a, const LedgerRecord& b) {
        return a.amount == b.amount && a.dateBytes() == b.dateBytes() &&
               a.timeBytes() == b.timeBytes();
    }

  private:
    friend struct LedgerLineParser;
    struct SharedBytes : QSharedData {
        QByteArray bytes;
    };
    QByteArrayView bytesAt(quint32 begin, quint16 length) const {
        return source_ ? QByteArrayView(source_->bytes).sliced(begin, length) : QByteArrayView();
    }

    QExplicitlySharedDataPointer<SharedBytes> source_;
    quint32 dateBegin_ = 0;
    quint16 dateLength_ = 0;
    quint16 timeLength_ = 0;
};

// The most records a ledger may hold: the history table counts its rows,
// header included, in a 16-bit counter.
inline constexpr int kMaxLedgerRecords = 32766;

enum class LedgerErrorKind {
    Malformed,        // not two double-quoted texts and a number
    InvalidDate,      // first or last date text names no calendar date
    InvalidEncoding,  // bytes that are not code page 932
    AmountOutOfRange,
    TooManyDecimals,  // more than four decimals cannot be kept exactly
    TooManyRecords,
};

struct LedgerError {
    int line = 0;  // 1-based
    LedgerErrorKind kind = LedgerErrorKind::Malformed;

    friend bool operator==(const LedgerError&, const LedgerError&) = default;
};

struct ParsedLedger {
    // Every record before the first bad line (all of them when there is none).
    QList<LedgerRecord> records;
    std::optional<LedgerError> error;
};

// Reads a whole ledger. Never throws. Empty lines are skipped; LF alone is
// accepted as a line end; the last record may lack its CR LF; one Ctrl-Z at
// the very end is the end of the text. A date or time
// text longer than 65,535 bytes makes its line malformed.
ParsedLedger parseLedger(const QByteArray& bytes);

// What parseLedger would find, without keeping the records: how many records
// there are before the first bad line, and that line's error.
struct LedgerCheck {
    qsizetype recordCount = 0;
    std::optional<LedgerError> error;
};
LedgerCheck checkLedger(const QByteArray& bytes);

// A ledger another editor saved as UTF-8, with or without a byte order mark.
struct Utf8Ledger {
    // A byte order mark, or text that reads as UTF-8 and is not plain ASCII.
    bool isUtf8 = false;
    // The same text in code page 932, to read and to write back; null when
    // it is not UTF-8, is empty, or holds a character code page 932 lacks.
    QByteArray asShiftJis;
    // asShiftJis read as a ledger; without it, the first line with a
    // character code page 932 lacks as the error.
    ParsedLedger parsed;
};
Utf8Ledger readUtf8Ledger(const QByteArray& content, const char* encoding);

// The date a date text names ("2009年04月01日"; one-digit month and day are
// read too), or nothing when it names no calendar date.
std::optional<QDate> dateFromText(QStringView text);

// One record as the bytes of a ledger line, CR LF included.
QByteArray encodeRecord(const LedgerRecord& record);

// The end-of-file mark (Ctrl-Z) old Windows editors put after the text.
inline constexpr char kEndOfFileMark = '\x1a';

// The code page of the ledger and goal files.
inline constexpr const char* kLedgerEncoding = "windows-31j";

}  // namespace hibi
