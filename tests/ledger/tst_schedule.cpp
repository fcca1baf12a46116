#include <QtTest>
#include <numeric>

#include "ledger/schedule.h"
#include "ledger/text_formats.h"

using hibi::Amount;
using hibi::computeSchedule;
using hibi::Integer;
using hibi::LedgerRecord;
using hibi::OverflowError;

namespace {

LedgerRecord on(const QDate& date, long long yen = 1) {
    return {hibi::dateText(date), QStringLiteral("07:30:15"), Amount::fromYen(yen)};
}

const QDate kApril1(2009, 4, 1);

// One row: 1 yen deposited on each of the given days after start, looked at
// on day `today` after start.
QTestData& row(const char* name, const QDate& start, const QList<int>& days, int today) {
    QList<LedgerRecord> records;
    for (int day : days) {
        records.append(on(start.addDays(day)));
    }
    return QTest::newRow(name) << records << start.addDays(today);
}

}  // namespace

Q_DECLARE_METATYPE(QList<LedgerRecord>)

class ScheduleTest : public QObject {
    Q_OBJECT
  private slots:
    void schedule_data() {
        QTest::addColumn<QList<LedgerRecord>>("records");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<int>("keika");
        QTest::addColumn<int>("day");  // the day label's number
        QTest::addColumn<int>("kingaku");
        QTest::addColumn<int>("tainou");
        QTest::addColumn<bool>("deposited");
        QTest::addColumn<bool>("behind");
        const QDate leap(2024, 2, 27);
        row("empty", kApril1, {}, 4) << 0 << 1 << 1 << 0 << false << false;
        row("3rd and 4th missed", kApril1, {0, 1}, 4) << 4 << 5 << 5 << 7 << false << false;
        row("deposited today", kApril1, {0, 1, 4}, 4) << 0 << 5 << 1 << 0 << true << false;
        row("the day after", kApril1, {0, 1, 4}, 5) << 5 << 6 << 6 << 0 << false << false;
        row("three days later", kApril1, {0, 1, 4}, 8) << 8 << 9 << 9 << 21 << false << false;
        row("one record today", leap, {0}, 0) << 0 << 1 << 1 << 0 << true << false;
        row("across a leap day", leap, {0}, 3) << 3 << 4 << 4 << 5 << false << false;
        row("clock set back", kApril1, {0, 4}, 2) << 2 << 3 << 3 << 0 << false << true;
        row("first record ahead", kApril1, {2}, 0) << -2 << -1 << -1 << 0 << false << true;
        row("first record a day ahead", kApril1, {1}, 0) << -1 << 0 << 0 << 0 << false << true;
        QList<int> year(366);
        std::iota(year.begin(), year.end(), 0);
        row("a year without gaps", kApril1, year, 366) << 366 << 367 << 367 << 0 << false << false;
    }
    void schedule() {
        QFETCH(QList<LedgerRecord>, records);
        QFETCH(QDate, today);
        QFETCH(int, keika);
        QFETCH(int, day);
        QFETCH(int, kingaku);
        QFETCH(int, tainou);
        QFETCH(bool, deposited);
        QFETCH(bool, behind);
        const hibi::Schedule s = computeSchedule(records, today);
        QCOMPARE(s.hasRecords, !records.isEmpty());
        QCOMPARE(s.intKeika, Integer::of(keika));
        QCOMPARE(s.dayNumber(), Integer::of(day));
        QCOMPARE(s.curKingaku, Amount::fromYen(kingaku));
        QCOMPARE(s.curTainou, Amount::fromYen(tainou));
        QCOMPARE(s.amountDue(), Amount::fromYen(kingaku + tainou));
        QCOMPARE(s.depositedToday(), deposited);
        QCOMPARE(s.clockBehind(today), behind);
        QCOMPARE(s.runningTotals.size(), records.size());
        QCOMPARE(s.curRuikei, Amount::fromYen(records.size()));
        if (!records.isEmpty()) {
            QCOMPARE(s.runningTotals.constLast(), s.curRuikei);
            QCOMPARE(hibi::dateText(s.dtKaishi), records.first().dateText());
            QCOMPARE(hibi::dateText(s.dtZenkai), records.last().dateText());
        }
    }

    void overflowIsRaisedNeverWrapped() {
        const QDate start(1950, 1, 1);
        // Day index 32,766 is the last whose day number fits.
        const hibi::Schedule s = computeSchedule({on(start)}, start.addDays(32766));
        QCOMPARE(s.curKingaku, Amount::fromYen(32767));
        QCOMPARE(s.curTainou, Amount::fromYen(32766LL * 32767 / 2 - 1));  // days 2 to 32,766
        const QDate past = start.addDays(32767);
        QVERIFY_THROWS_EXCEPTION(OverflowError, computeSchedule({on(start)}, past));
        // Deposited today on day index 32,767: the day label cannot count it.
        QVERIFY_THROWS_EXCEPTION(OverflowError, computeSchedule({on(start), on(past)}, past));
        QVERIFY_THROWS_EXCEPTION(OverflowError, computeSchedule({on(start.addDays(40000))}, start));
        const QList<LedgerRecord> huge{
            {hibi::dateText(kApril1), QStringLiteral("07:00:00"),
             Amount::fromUnits(std::numeric_limits<std::int64_t>::max())},
            on(kApril1.addDays(1))};
        QVERIFY_THROWS_EXCEPTION(OverflowError, computeSchedule(huge, kApril1.addDays(4)));
    }
};

QTEST_GUILESS_MAIN(ScheduleTest)
#include "tst_schedule.moc"
