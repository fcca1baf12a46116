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
        try {
            const hibi::Schedule s = hibi::computeSchedule(parsed.records, QDate(2024, 2, 29));
            if (s.runningTotals.size() != parsed.records.size()) {
                std::abort();
            }
        } catch (const hibi::OverflowError&) {
            // A day index or sum out of range is reported, never wrapped.
        } catch (const std::invalid_argument&) {
            // Only when the reader stopped at the last record's date.
            if (!parsed.error) {
                std::abort();
            }
        }
    }
    return 0;
}
