#include <QtTest>

#include "ledger/schedule.h"
#include "plan/progress.h"

using hibi::Amount;
using hibi::Integer;
using hibi::LedgerRecord;
using hibi::ProgressFigures;

namespace {

const QDate kStart(2009, 4, 1);

// Deposits of the given yen on the given days after kStart, then the figures on today.
ProgressFigures on(int today, const QList<QPair<int, int>>& deposits, int goal = 365) {
    QList<LedgerRecord> records;
    for (const auto& [day, yen] : deposits) {
        records.append({kStart.addDays(day), QTime(7, 30), Amount::fromYen(yen)});
    }
    return hibi::progressFigures(records, hibi::runningTotals(records), *Integer::of(goal),
                                 kStart.addDays(today));
}

Amount yen(qint64 n) {
    return *Amount::fromWideYen(n);
}

}  // namespace

class ProgressTest : public QObject {
    Q_OBJECT
  private slots:
    void emptyLedgerStartsTodayAsDayOne() {
        const ProgressFigures f = hibi::progressFigures({}, {}, Integer::constant(365), kStart);
        QCOMPARE(f.start, kStart);
        QCOMPARE(f.dayNumber, 1);
        QCOMPARE(f.planned, yen(1));
        QCOMPARE(f.daysWithoutDeposit + f.daysWithDeposit + f.currentRun + f.longestRun, 0);
        QCOMPARE(f.planSeries, std::vector<std::int64_t>{1});
        QVERIFY(f.savedSeries.empty());
        QCOMPARE(f.missed, std::vector<bool>{false});
        QCOMPARE(f.goalDate, QDate(2010, 3, 31));
    }

    void arrearsPaidLaterStillLeaveTheDaysMissed() {
        // Days 2 and 3 are paid on day 4 with day 4's own amount; today is day 6.
        const ProgressFigures f = on(6, {{0, 1}, {1, 2}, {4, 12}});
        QCOMPARE(f.dayNumber, 7);
        QCOMPARE(f.saved, yen(15));
        QCOMPARE(f.planned, yen(28));
        QCOMPARE(f.daysWithDeposit, 3);
        QCOMPARE(f.daysWithoutDeposit, 3);  // days 2, 3 and 5; today is not over
        QCOMPARE(f.currentRun, 0);
        QCOMPARE(f.longestRun, 2);
        QCOMPARE(f.savedSeries, (std::vector<std::int64_t>{1, 3, 3, 3, 15, 15, 15}));
        QCOMPARE(f.missed, (std::vector<bool>{false, false, true, true, false, true, false}));
        QCOMPARE(f.planSeries.back(), 28);
    }

    void twoRecordsOnOneDayCountOnceAndRunsEndTodayOrYesterday() {
        const QList<QPair<int, int>> deposits{{0, 1}, {1, 2}, {1, 5}, {2, 3}, {5, 1}, {6, 1}};
        const ProgressFigures today = on(6, deposits);
        QCOMPARE(today.daysWithDeposit, 5);
        QCOMPARE(today.daysWithoutDeposit, 2);
        QCOMPARE(today.currentRun, 2);
        QCOMPARE(today.longestRun, 3);
        QCOMPARE(today.savedSeries[1], 8);
        QCOMPARE(on(7, deposits).currentRun, 2);  // the run ended yesterday
        QCOMPARE(on(8, deposits).currentRun, 0);  // two days ago
        QCOMPARE(on(3, {{0, 1}, {1, 2}, {2, 3}}).currentRun, 3);
    }

    void goalReachedOrStillToGo() {
        const ProgressFigures short1 = on(2, {{0, 1}, {1, 2}, {2, 2}}, 3);
        QVERIFY(!short1.goalReached);
        QCOMPARE(short1.toGo, yen(1));
        QCOMPARE(short1.goalDate, kStart.addDays(2));
        const ProgressFigures exact = on(2, {{0, 1}, {1, 2}, {2, 3}}, 3);
        QVERIFY(exact.goalReached);
        QCOMPARE(exact.toGo, yen(0));
        QCOMPARE(on(2, {{0, 1}, {1, 2}, {2, 3}}, 2).toGo, yen(0));  // past the goal
    }

    void planTotalOverAFullLedger() {
        const ProgressFigures f = on(32765, {{0, 1}});
        QCOMPARE(f.planned, yen(qint64{32766} * 32767 / 2));
        QCOMPARE(f.planSeries.size(), size_t{32766});
        QCOMPARE(f.daysWithoutDeposit, 32764);
    }
};

QTEST_GUILESS_MAIN(ProgressTest)
#include "tst_progress.moc"
