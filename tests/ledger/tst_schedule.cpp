#include <QtTest>

#include "ledger/schedule.h"
#include "ledger/text_formats.h"

using hibi::Amount;
using hibi::computeSchedule;
using hibi::Integer;
using hibi::LedgerRecord;
using hibi::OverflowError;

namespace {

LedgerRecord on(const QDate& date, long long yen) {
    return {hibi::dateText(date), QStringLiteral("07:30:15"), Amount::fromYen(yen)};
}

Amount yen(long long value) {
    return Amount::fromYen(value);
}

const QDate kApril1(2009, 4, 1);
const QDate kApril2(2009, 4, 2);
const QDate kApril5(2009, 4, 5);

}  // namespace

class ScheduleTest : public QObject {
    Q_OBJECT
  private slots:
    void emptyHistoryIsTheFirstDay() {
        const hibi::Schedule s = computeSchedule({}, kApril5);
        QVERIFY(!s.hasRecords);
        QCOMPARE(s.intKeika, Integer::of(0));
        QCOMPARE(s.intKeikaHyouji, Integer::of(0));
        QCOMPARE(s.curKingaku, yen(1));
        QCOMPARE(s.curTainou, yen(0));
        QCOMPARE(s.curRuikei, yen(0));
        QCOMPARE(s.dayNumber(), Integer::of(1));
        QVERIFY(!s.depositedToday());
        QVERIFY(!s.clockBehind(kApril5));
    }

    void twoRecordsThenThreeMissedDays() {
        const hibi::Schedule s = computeSchedule({on(kApril1, 1), on(kApril2, 2)}, kApril5);
        QCOMPARE(s.curRuikei, yen(3));
        QCOMPARE(s.runningTotals, QList<Amount>({yen(1), yen(3)}));
        QCOMPARE(s.dtKaishi, kApril1);
        QCOMPARE(s.dtZenkai, kApril2);
        QCOMPARE(s.intKeika, Integer::of(4));
        QCOMPARE(s.intKeikaHyouji, Integer::of(4));
        QCOMPARE(s.curTainou, yen(7));  // 3 + 4 for the 3rd and 4th
        QCOMPARE(s.curKingaku, yen(5));
        QCOMPARE(s.amountDue(), yen(12));
        QVERIFY(!s.depositedToday());
    }

    void depositedTodayKeepsTheTrueDayForTheLabel() {
        const hibi::Schedule s =
            computeSchedule({on(kApril1, 1), on(kApril2, 2), on(kApril5, 12)}, kApril5);
        QCOMPARE(s.curRuikei, yen(15));
        QCOMPARE(s.intKeika, Integer::of(0));
        QCOMPARE(s.intKeikaHyouji, Integer::of(4));
        QCOMPARE(s.dayNumber(), Integer::of(5));
        QCOMPARE(s.curKingaku, yen(1));
        QCOMPARE(s.curTainou, yen(0));
        QVERIFY(s.depositedToday());
    }

    void theDayAfterAndLater() {
        const QList<LedgerRecord> three{on(kApril1, 1), on(kApril2, 2), on(kApril5, 12)};
        hibi::Schedule s = computeSchedule(three, QDate(2009, 4, 6));
        QCOMPARE(s.intKeika, Integer::of(5));
        QCOMPARE(s.curKingaku, yen(6));
        QCOMPARE(s.curTainou, yen(0));
        s = computeSchedule(three, QDate(2009, 4, 9));
        QCOMPARE(s.intKeika, Integer::of(8));
        QCOMPARE(s.curTainou, yen(21));  // 6 + 7 + 8
        QCOMPARE(s.curKingaku, yen(9));
        QCOMPARE(s.amountDue(), yen(30));
    }

    void oneRecordAtVariousDistances() {
        const QDate today(2024, 3, 1);
        hibi::Schedule s = computeSchedule({on(today, 1)}, today);
        QCOMPARE(s.intKeika, Integer::of(0));
        QCOMPARE(s.intKeikaHyouji, Integer::of(0));
        QVERIFY(s.depositedToday());
        s = computeSchedule({on(today.addDays(-1), 1)}, today);
        QCOMPARE(s.curKingaku, yen(2));
        QCOMPARE(s.curTainou, yen(0));
        // Across a leap day: 28 and 29 February to 1 March.
        s = computeSchedule({on(QDate(2024, 2, 27), 1)}, today);
        QCOMPARE(s.intKeika, Integer::of(3));
        QCOMPARE(s.curTainou, yen(5));  // 2 + 3
        QCOMPARE(s.curKingaku, yen(4));
    }

    void aYearWithoutGaps() {
        QList<LedgerRecord> records;
        for (int i = 0; i < 366; ++i) {
            records.append(on(kApril1.addDays(i), i + 1));
        }
        const hibi::Schedule s = computeSchedule(records, kApril1.addDays(366));
        QCOMPARE(s.intKeika, Integer::of(366));
        QCOMPARE(s.curKingaku, yen(367));
        QCOMPARE(s.curTainou, yen(0));
        QCOMPARE(s.curRuikei, yen(366 * 367 / 2));
        QCOMPARE(s.runningTotals.size(), 366);
        QCOMPARE(s.runningTotals[364], yen(66795));
    }

    void aClockSetBack() {
        // The last record is dated after today: no arrears, no deposited-today.
        hibi::Schedule s = computeSchedule({on(kApril1, 1), on(kApril5, 5)}, QDate(2009, 4, 3));
        QVERIFY(s.clockBehind(QDate(2009, 4, 3)));
        QCOMPARE(s.intKeika, Integer::of(2));
        QCOMPARE(s.curTainou, yen(0));
        QCOMPARE(s.curKingaku, yen(3));
        QVERIFY(!s.depositedToday());
        // Even the first record lies ahead: a negative day index.
        s = computeSchedule({on(kApril5, 1)}, QDate(2009, 4, 3));
        QCOMPARE(s.intKeika, Integer::of(-2));
        QCOMPARE(s.curKingaku, yen(-1));
        s = computeSchedule({on(kApril5, 1)}, QDate(2009, 4, 4));
        QCOMPARE(s.curKingaku, yen(0));
    }

    void dayIndexLimits() {
        const QDate start(1950, 1, 1);
        // Day index 32,766 is the last whose day number fits.
        hibi::Schedule s = computeSchedule({on(start, 1)}, start.addDays(32766));
        QCOMPARE(s.intKeika, Integer::of(32766));
        QCOMPARE(s.curKingaku, yen(32767));
        QCOMPARE(s.curTainou, yen(32766LL * 32767 / 2 - 1));  // days 2 to 32,766
        QVERIFY_THROWS_EXCEPTION(OverflowError,
                                 computeSchedule({on(start, 1)}, start.addDays(32767)));
        QVERIFY_THROWS_EXCEPTION(OverflowError,
                                 computeSchedule({on(start, 1)}, start.addDays(40000)));
        // Deposited today on day index 32,767: the day label cannot count it.
        const QDate today = start.addDays(32767);
        QVERIFY_THROWS_EXCEPTION(OverflowError,
                                 computeSchedule({on(start, 1), on(today, 1)}, today));
        QVERIFY_THROWS_EXCEPTION(OverflowError,
                                 computeSchedule({on(start.addDays(40000), 1)}, start));
    }

    void sumsAreCheckedNeverWrapped() {
        const QList<LedgerRecord> huge{
            {QStringLiteral("2009年04月01日"), QStringLiteral("07:00:00"),
             Amount::fromUnits(std::numeric_limits<std::int64_t>::max())},
            on(kApril2, 1)};
        QVERIFY_THROWS_EXCEPTION(OverflowError, computeSchedule(huge, kApril5));
    }
};

QTEST_GUILESS_MAIN(ScheduleTest)
#include "tst_schedule.moc"
