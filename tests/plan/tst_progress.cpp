#include <QtTest>

#include "ledger/schedule.h"
#include "plan/progress.h"
#include "test_support.h"

using hibi::Amount;
using hibi::DayKind;
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

std::vector<DayKind> kinds(const ProgressFigures& f) {
    std::vector<DayKind> out;
    for (qint64 k = 0; k < f.days.size(); ++k) {
        out.push_back(f.days.kindAt(k));
    }
    return out;
}

constexpr DayKind D = DayKind::Deposited, L = DayKind::PaidLate, U = DayKind::Unpaid,
                  T = DayKind::DueToday;

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
        // The chart shows the plan's first week, not a single day.
        QCOMPARE(f.planSeries, (std::vector<std::int64_t>{1, 3, 6, 10, 15, 21, 28}));
        QVERIFY(f.savedSeries.empty());
        QCOMPARE(kinds(f), std::vector<DayKind>{T});
        QCOMPARE(f.goalDate, QDate(2010, 3, 31));
        QVERIFY(!f.milestones.reached);
        QCOMPARE(f.milestones.next->day, 100);
        QCOMPARE(f.milestones.next->date, QDate(2009, 7, 9));
        QCOMPARE(f.milestones.next->amount, yen(5050));
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
        QCOMPARE(kinds(f), (std::vector<DayKind>{D, D, L, L, D, U, T}));
        QCOMPARE(f.planSeries.back(), 28);
        QCOMPARE(f.shortfall, yen(13));
        QCOMPARE(f.days.info(kStart.addDays(3)).paidOn, kStart.addDays(4));
    }

    void aDepositPaysTheMissedDaysOldestFirstAsFarAsItGoes() {
        // Days 2 to 4 missed (2 + 3 + 4 yen owed); day 5's two records hold
        // 5 + 6: its own 5 pays nothing late, the 6 pays days 2 and 3.
        const ProgressFigures f = on(6, {{0, 1}, {4, 5}, {4, 6}, {6, 7}});
        QCOMPARE(kinds(f), (std::vector<DayKind>{D, L, L, U, D, U, D}));
        QCOMPARE(f.days.info(kStart.addDays(4)).recorded, yen(11));
        // A deposit short of its own day pays no arrears.
        QCOMPARE(kinds(on(3, {{0, 1}, {2, 2}, {3, 4}})), (std::vector<DayKind>{D, U, D, D}));
        const auto counts = f.days.counts(kStart.addDays(-10), kStart.addDays(100));
        QCOMPARE(counts.deposited + counts.paidLate * 10 + counts.unpaid * 100, 3 + 20 + 200);
    }

    void aDayReadsAsDateDayNumberAndAmount() {
        const ProgressFigures f = on(6, {{0, 1}, {1, 2}, {4, 12}});
        const QDate today = kStart.addDays(6);
        auto text = [&](int day) {
            return hibi::dayDescription(f.days.info(kStart.addDays(day)), today);
        };
        QCOMPARE(text(0), QStringLiteral("2009年04月01日（水）\n1日目\n入金 ¥1"));
        QCOMPARE(text(4), QStringLiteral("2009年04月05日（日）\n5日目\n入金 ¥12（この日の分 ¥5）"));
        QCOMPARE(text(2), QStringLiteral(
                              "2009年04月03日（金）\n3日目 ¥3\n2009年04月05日に滞納金として入金"));
        QCOMPARE(text(5), QStringLiteral("2009年04月06日（月）\n6日目 ¥6\n未入金"));
        QCOMPARE(text(6),
                 QStringLiteral("2009年04月07日（火） 今日\n7日目 ¥7\nまだ入金していません"));
        QCOMPARE(text(9), QStringLiteral("2009年04月10日（金）\n10日目 ¥10\nこれからの日"));
        QCOMPARE(text(-1), QStringLiteral("2009年03月31日（火）\n計画の開始前"));
    }

    void theChartTellsASpanByItsMissedDaysAndTheGap() {
        // Days 2 to 9 missed and paid with day 10; today, day 12, is not yet paid.
        const ProgressFigures f = on(11, {{0, 1}, {9, 54}, {10, 11}});
        const QString span = hibi::chartSpanText(f, 0, 10);
        QVERIFY2(span.startsWith(QStringLiteral(
                     "2009年04月01日〜2009年04月10日\n計画の累計 ¥55、貯金の累計 ¥55（差なし）\n"
                     "入金しなかった日 8日\n・2009年04月02日（木） 2009年04月10日に入金\n")),
                 qPrintable(span));
        QVERIFY2(span.endsWith(
                     QStringLiteral("\n・2009年04月07日（火） 2009年04月10日に入金\n・ほか 2日")),
                 qPrintable(span));
        QCOMPARE(hibi::chartSpanText(f, 11, 12),
                 QStringLiteral("2009年04月12日（日） 今日\n12日目 ¥12\nまだ入金していません\n"
                                "計画の累計 ¥78、貯金の累計 ¥66（¥12 不足）"));
        QCOMPARE(hibi::gapText(on(1, {{0, 10}}).shortfall), QStringLiteral("¥7 先行"));
    }

    void milestonesFollowTheSavingsNotTheCalendar() {
        QCOMPARE((std::vector<qint64>{hibi::milestoneAfter(0), hibi::milestoneAfter(100),
                                      hibi::milestoneAfter(729), hibi::milestoneAfter(730),
                                      hibi::milestoneAfter(1000), hibi::milestoneAfter(2000)}),
                 (std::vector<qint64>{100, 365, 730, 1000, 1095, 2190}));
        // Day 100 missed, paid with day 101: 100日 (¥5,050) is reached on day 101.
        QList<QPair<int, int>> deposits;
        for (int day = 0; day < 99; ++day) {
            deposits.append({day, day + 1});
        }
        deposits.append({100, 201});
        const ProgressFigures f = on(101, deposits);
        QCOMPARE(f.milestones.reached->day, 100);
        QCOMPARE(f.milestones.reached->reachedOn, kStart.addDays(100));
        QCOMPARE(f.milestones.next->day, 365);
        QCOMPARE(f.milestones.next->date, QDate(2010, 3, 31));
        QCOMPARE(f.milestones.next->amount, yen(66795));
        // One yen short of 100日 is not there yet, even long after its day.
        deposits.last().second = 99;
        QCOMPARE(on(400, deposits).milestones.next->day, 100);
        QVERIFY(!on(400, deposits).milestones.reached);
        // Past 1,000日 (¥500,500): the next is 1,095日, the last reached 1,000日.
        QCOMPARE(on(0, {{0, 500500}}).milestones.next->day, 1095);
        QCOMPARE(on(0, {{0, 500500}}).milestones.reached->day, 1000);
        QCOMPARE(on(0, {{0, 500499}}).milestones.reached->day, 730);
    }

    void theAxisEndsAtTheFirstRoundStepAboveTheLargestValue() {
        QCOMPARE(hibi::axisScale(0, 501501).high, 600000);
        QCOMPARE(hibi::axisScale(0, 28).high, 30);
        QCOMPARE(hibi::axisScale(0, 600000).high, 800000);
        for (std::int64_t largest = 1; largest < 2'000'000'000'000; largest = largest * 3 + 7) {
            for (const std::int64_t smallest : {std::int64_t{0}, -largest / 3}) {
                const hibi::AxisScale s = hibi::axisScale(smallest, largest);
                QVERIFY2(s.high > largest && s.high - s.step <= largest,
                         qPrintable(QString::number(largest)));
                QVERIFY(s.low <= smallest && s.low + s.step > smallest);
                const std::int64_t steps = (s.high - s.low) / s.step;
                QVERIFY2(steps >= 2 && steps <= 7, qPrintable(QString::number(largest)));
            }
        }
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

    void datesAreReadInEveryFormTheLedgerAccepts() {
        // A one-digit month and day; a date that names no day is no deposit.
        const QByteArray bytes = hibi::testing::sjis(QStringLiteral(
            "\"2009年4月1日\",\"07:30:00\",1\r\n\"2009年04月02日\",\"07:30:00\",2\r\n"
            "\"2009年02月30日\",\"07:30:00\",3\r\n\"2009年04月04日\",\"07:30:00\",6\r\n"));
        const QList<LedgerRecord> records = hibi::parseLedger(bytes).records;
        QCOMPARE(records.size(), 4);
        const ProgressFigures f = hibi::progressFigures(records, hibi::runningTotals(records),
                                                        *Integer::of(365), kStart.addDays(3));
        QCOMPARE(f.start, kStart);
        QCOMPARE(f.daysWithDeposit, 3);
        QCOMPARE(kinds(f), (std::vector<DayKind>{D, D, U, D}));
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
