// Feeds arbitrary bytes to the ledger reader and, when they read as a ledger,
// to the schedule, checking what the reader promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ledger/ledger_codec.h"
#include "ledger/schedule.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const hibi::ParsedLedger parsed = hibi::parseLedger(bytes);
    if (parsed.records.size() > hibi::kMaxLedgerRecords) {
        std::abort();
    }
    if (parsed.error && parsed.error->line < 1) {
        std::abort();
    }
    // The check that keeps no records must agree with the reader.
    const hibi::LedgerCheck check = hibi::checkLedger(bytes);
    if (check.recordCount != parsed.records.size() || check.error != parsed.error) {
        std::abort();
    }
    // Whatever the reader accepts must survive being written and read back.
    QByteArray rewritten;
    for (const hibi::LedgerRecord& record : parsed.records) {
        rewritten += hibi::encodeRecord(record);
    }
    const hibi::ParsedLedger again = hibi::parseLedger(rewritten);
    if (!parsed.records.isEmpty() && !parsed.error &&
        (again.error || again.records != parsed.records)) {
        std::abort();
    }
    if (!parsed.records.isEmpty()) {
        // A day index or sum out of range is reported, never wrapped; a
        // record without a date only where the reader stopped.
        const QList<hibi::Amount> totals = hibi::runningTotals(parsed.records);
        const hibi::ScheduleResult result =
            hibi::computeSchedule(parsed.records, totals, QDate(2024, 2, 29));
        if (result.error == hibi::ScheduleError::NoDate && !parsed.error) {
            std::abort();
        }
        if (!result.error && result.schedule.curRuikei != totals.last()) {
            std::abort();
        }
    }
    return 0;
}
