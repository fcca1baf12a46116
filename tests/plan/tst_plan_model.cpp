#include <QtTest>

#include "plan_fixture.h"

using hibi::Amount;
using hibi::DepositBlock;
using hibi::DepositOutcome;
using hibi::LoadNotice;
using hibi::PlanStatus;
using namespace hibi::testing;

namespace {

// 1 yen on each of the given days after start.
QByteArray onDays(const QDate& start, const QList<int>& days) {
    QByteArray ledger;
    for (int day : days) {
        ledger += yenOn(start.addDays(day));
    }
    return ledger;
}

}  // namespace

class PlanModelTest : public QObject {
    Q_OBJECT
  private slots:
    // What a load finds: day number, today's amount, arrears and status.
    void schedule_data() {
        QTest::addColumn<QByteArray>("ledger");
        QTest::addColumn<int>("today");         // days after 1 April 2009
        QTest::addColumn<QString>("schedule");  // day number, today's yen, arrears
        QTest::addColumn<PlanStatus>("status");
        const QDate leap(2024, 2, 27);
        const QByteArray toDay4 = onDays(kApril1, {0, 1, 4});
        QTest::newRow("first run") << QByteArray("") << 4 << "1 1 0" << PlanStatus::FirstDay;
        QTest::newRow("3rd and 4th missed")
            << onDays(kApril1, {0, 1}) << 4 << "5 5 7" << PlanStatus::DueWithArrears;
        QTest::newRow("deposited today") << toDay4 << 4 << "5 1 0" << PlanStatus::DepositedToday;
        QTest::newRow("the day after") << toDay4 << 5 << "6 6 0" << PlanStatus::Due;
        QTest::newRow("three days later") << toDay4 << 8 << "9 9 21" << PlanStatus::DueWithArrears;
        QTest::newRow("one record, today") << onDays(leap, {0}) << int(kApril1.daysTo(leap))
                                           << "1 1 0" << PlanStatus::DepositedToday;
        QTest::newRow("across a leap day") << onDays(leap, {0}) << int(kApril1.daysTo(leap)) + 3
                                           << "4 4 5" << PlanStatus::DueWithArrears;
    }
    void schedule() {
        QFETCH(QByteArray, ledger);
        QFETCH(int, today);
        QFETCH(QString, schedule);
        QFETCH(PlanStatus, status);
        Plan plan(ledger);
        QVERIFY(plan.load(kApril1.addDays(today)).isEmpty());
        const hibi::Schedule& s = plan.model.schedule();
        QCOMPARE(QStringLiteral("%1 %2 %3")
                     .arg(s.dayNumber.value())
                     .arg(s.curKingaku.units() / Amount::kScale)
                     .arg(s.curTainou.units() / Amount::kScale),
                 schedule);
        QCOMPARE(plan.model.status(), status);
        const qsizetype records = plan.model.records().size();
        QCOMPARE(plan.model.runningTotals().size(), records);
        QCOMPARE(s.curRuikei, Amount::fromYen(records));
    }

    // Day numbers and sums that leave their range block deposits; nothing wraps.
    void outOfRange() {
        const QDate start(1950, 1, 1);
        Plan plan(yenOn(start));
        // Day index 32,766 is the last whose day number fits.
        QVERIFY(plan.load(start.addDays(32766)).isEmpty());
        QCOMPARE(plan.model.schedule().curKingaku, Amount::fromYen(32767));
        QCOMPARE(plan.model.schedule().curTainou, Amount::fromYen(32766LL * 32767 / 2 - 1));
        QCOMPARE(plan.load(start.addDays(32767)), QList{LoadNotice::Kind::OutOfRange});
        QCOMPARE(plan.model.block(), DepositBlock::OutOfRange);

        // Totals past the first that no longer fits are not made up.
        Plan huge(ledgerLine(kApril1, QStringLiteral("07:00:00"), "922337203685477") +
                  yenOn(kApril1.addDays(1), 1000));
        QCOMPARE(huge.load(kApril1.addDays(4)), QList{LoadNotice::Kind::OutOfRange});
        QCOMPARE(huge.model.runningTotals().size(), 1);
        QCOMPARE(huge.model.deposit(at(kApril1.addDays(4))).kind, DepositOutcome::Kind::NothingDue);
    }

    // A deposit is written once, byte for byte, and the plan then reads as a
    // load would find it.
    void depositRecordsOnce() {
        Plan plan(onDays(kApril1, {0, 1}));
        plan.load(kApril1.addDays(4));
        const DepositOutcome outcome = plan.model.deposit(at(kApril1.addDays(4)));
        QCOMPARE(outcome.kind, DepositOutcome::Kind::Recorded);
        QCOMPARE(plan.bytes(), onDays(kApril1, {0, 1}) +
                                   sjis(QStringLiteral("\"2009年04月05日\",\"21:05:33\",12\r\n")));
        QCOMPARE(plan.model.status(), PlanStatus::DepositedToday);
        QCOMPARE(plan.model.schedule().curRuikei, Amount::fromYen(14));
        QCOMPARE(plan.model.runningTotals().constLast(), Amount::fromYen(14));
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(4))).kind, DepositOutcome::Kind::NothingDue);
        QCOMPARE(plan.bytes().count('\n'), 3);

        // A first load creates the missing ledger empty; a ledger deleted
        // since counts as empty.
        Plan fresh{QByteArray()};
        QCOMPARE(fresh.load(kApril1), QList<LoadNotice::Kind>());
        QVERIFY(QFile::exists(fresh.file()) && fresh.bytes().isEmpty());
        QVERIFY(QFile::remove(fresh.file()));
        QCOMPARE(fresh.model.deposit(at(kApril1)).kind, DepositOutcome::Kind::Recorded);
        QCOMPARE(fresh.bytes(), sjis(QStringLiteral("\"2009年04月01日\",\"21:05:33\",1\r\n")));

        // A last line without its line end gets one before the new record.
        Plan cut(yenOn(kApril1).chopped(2));
        cut.load(kApril1.addDays(1));
        QCOMPARE(cut.model.deposit(at(kApril1.addDays(1))).kind, DepositOutcome::Kind::Recorded);
        QCOMPARE(cut.bytes(), yenOn(kApril1) + depositLine(kApril1.addDays(1), 2));
    }

    // The amount due belongs to the day of the load: a press after midnight
    // records nothing and works the plan out again.
    void aPressAfterMidnightRecordsNothing() {
        Plan plan(onDays(kApril1, {0, 1}));
        plan.load(kApril1.addDays(4));
        const DepositOutcome outcome = plan.model.deposit(at(kApril1.addDays(5), 0, 0, 1));
        QCOMPARE(outcome.kind, DepositOutcome::Kind::NewDay);
        QCOMPARE(plan.bytes(), onDays(kApril1, {0, 1}));
        QCOMPARE(plan.model.schedule().amountDue(), Amount::fromYen(6 + 3 + 4 + 5));
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(5), 0, 0, 2)).kind,
                 DepositOutcome::Kind::Recorded);
    }

    // A ledger that another copy of the program, or an editor, changed after
    // the load is not written: the model loads it again. A long ledger is
    // compared in pieces, so a change past the first piece, a shorter and a
    // longer file are all told apart.
    void aLedgerChangedSinceTheLoadIsNotWritten_data() {
        QTest::addColumn<QByteArray>("loaded");
        QTest::addColumn<QByteArray>("onDisk");                       // null: deleted
        const QByteArray longLedger = yenOn(kApril1).repeated(3000);  // 93,000 bytes
        QByteArray changedLate = longLedger;
        changedLate[80000] = changedLate[80000] == '1' ? '2' : '1';
        QTest::newRow("another deposit") << QByteArray("") << yenOn(kApril1);
        QTest::newRow("deleted") << yenOn(kApril1) << QByteArray();
        QTest::newRow("changed late") << longLedger << changedLate;
        QTest::newRow("shorter") << longLedger << longLedger.chopped(31);
        QTest::newRow("longer") << longLedger << longLedger + yenOn(kApril1);
    }
    void aLedgerChangedSinceTheLoadIsNotWritten() {
        QFETCH(QByteArray, loaded);
        QFETCH(QByteArray, onDisk);
        Plan plan(loaded);
        plan.load(kApril1.addDays(1));
        QVERIFY(onDisk.isNull() ? QFile::remove(plan.file()) : writeBytes(plan.file(), onDisk));
        const DepositOutcome outcome = plan.model.deposit(at(kApril1.addDays(1)));
        QCOMPARE(outcome.kind, DepositOutcome::Kind::ChangedOnDisk);
        QCOMPARE(plan.bytes(), onDisk);
        QCOMPARE(plan.model.records().size(), onDisk.count('\n'));
        // What was loaded again takes the next press.
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(1))).kind, DepositOutcome::Kind::Recorded);
        QVERIFY(plan.bytes().startsWith(onDisk));
    }

    // A total that would leave the amount range is refused before anything
    // is written: the deposit could never be shown.
    void aDepositThatWouldOverflowTheTotalIsRefused() {
        const QByteArray nearMax =
            ledgerLine(kApril1, QStringLiteral("07:00:00"), "922337203685475.0000");
        Plan plan(nearMax);
        QVERIFY(plan.load(kApril1.addDays(2)).isEmpty());
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(2))).kind, DepositOutcome::Kind::OutOfRange);
        QCOMPARE(plan.bytes(), nearMax);
        QCOMPARE(plan.model.records().size(), 1);
    }

    // Ledgers that cannot take a deposit are shown as read and left alone.
    void blockedLedgersAreLeftAlone_data() {
        QTest::addColumn<QByteArray>("ledger");
        QTest::addColumn<QString>("otherSpelling");
        QTest::addColumn<LoadNotice::Kind>("notice");
        QTest::addColumn<int>("records");
        const QByteArray twoDays = onDays(kApril1, {0, 1});
        QTest::newRow("bad line") << twoDays + "garbage\r\n" + yenOn(kApril1.addDays(2))
                                  << QString() << LoadNotice::Kind::BadLine << 2;
        // Reading stops at the broken third line; the last record it kept
        // names no day, so there is nothing to count to.
        QTest::newRow("bad line after an odd date")
            << yenOn(kApril1) + sjis(QStringLiteral("\"2009年04月xx日\",\"08:30:00\",2\r\n\"x\r\n"))
            << QString() << LoadNotice::Kind::BadLine << 2;
        QTest::newRow("two spellings")
            << twoDays << QStringLiteral("ヒビノボリ.TXT") << LoadNotice::Kind::AmbiguousName << 0;
        QTest::newRow("clock behind")
            << onDays(kApril1, {0, 9}) << QString() << LoadNotice::Kind::ClockBehind << 2;
    }
    void blockedLedgersAreLeftAlone() {
        QFETCH(QByteArray, ledger);
        QFETCH(QString, otherSpelling);
        QFETCH(LoadNotice::Kind, notice);
        QFETCH(int, records);
        Plan plan(ledger);
        if (!otherSpelling.isEmpty()) {
            writeBytes(plan.file(otherSpelling), "x");
        }
        QCOMPARE(plan.load(kApril1.addDays(4)), QList{notice});
        QCOMPARE(plan.model.status(), PlanStatus::Blocked);
        QCOMPARE(plan.model.records().size(), records);
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(4))).kind, DepositOutcome::Kind::NothingDue);
        QCOMPARE(plan.bytes(), ledger);
    }

    // Without the Shift-JIS converter nothing is read, created or written.
    void aMissingCodecWritesNothing() {
        Plan plan(QByteArray(), "no-such-code-page");
        QCOMPARE(plan.load(kApril1), QList{LoadNotice::Kind::CodecMissing});
        QVERIFY(!plan.model.canReset());
        QCOMPARE(plan.model.deposit(at(kApril1)).kind, DepositOutcome::Kind::NothingDue);
        QVERIFY(!plan.model.reset(kApril1).done);
        QVERIFY(!QFile::exists(plan.file()));
    }
};

QTEST_GUILESS_MAIN(PlanModelTest)
#include "tst_plan_model.moc"
