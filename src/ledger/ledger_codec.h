#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QList>
#include <QString>
#include <optional>

#include "ledger/checked.h"

// The ledger's text form: one record a line, "YYYY年MM月DD日","hh:mm:ss",amount
// and CR LF, in code page 932 (Shift-JIS).
namespace hibi {

// One deposit. The date and time texts are kept as stored, without the
// quotes. A record read from a ledger points into the ledger's bytes instead
// of holding strings of its own, so a long history loads without an
// allocation per field; the texts are decoded when they are asked for.
class LedgerRecord {
  public:
    LedgerRecord() = default;
    LedgerRecord(const QString& dateText, const QString& timeText, Amount amount);

    QString dateText() const;
    QString timeText() const;
    // The texts as the ledger stores them, in code page 932.
    QByteArrayView dateBytes() const {
        return QByteArrayView(source_).sliced(dateBegin_, dateLength_);
    }
    QByteArrayView timeBytes() const {
        return QByteArrayView(source_).sliced(timeBegin_, timeLength_);
    }

    Amount amount;

    friend bool operator==(const LedgerRecord& a, const LedgerRecord& b) {
        return a.amount == b.amount && a.dateBytes() == b.dateBytes() &&
               a.timeBytes() == b.timeBytes();
    }

  private:
    friend struct LedgerLineParser;
    QByteArray source_;
    quint32 dateBegin_ = 0;
    quint32 dateLength_ = 0;
    quint32 timeBegin_ = 0;
    quint32 timeLength_ = 0;
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

    // A short reason in Japanese, for the user.
    QString reason() const;
    friend bool operator==(const LedgerError&, const LedgerError&) = default;
};

struct ParsedLedger {
    // Every record before the first bad line (all of them when there is none).
    QList<LedgerRecord> records;
    std::optional<LedgerError> error;
};

// Reads a whole ledger. Never throws. Empty lines are skipped; LF alone is
// accepted as a line end; the last record may lack its CR LF.
ParsedLedger parseLedger(const QByteArray& bytes);

// The date a date text names ("2009年04月01日"; one-digit month and day are
// read too), or nothing when it names no calendar date.
std::optional<QDate> dateFromText(QStringView text);

// One record as the bytes of a ledger line, CR LF included.
QByteArray encodeRecord(const LedgerRecord& record);

// The code page of the ledger and goal files.
inline constexpr const char* kLedgerEncoding = "windows-31j";

}  // namespace hibi
