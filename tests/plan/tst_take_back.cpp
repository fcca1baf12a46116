#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "plan/plan_model.h"
#include "test_support.h"

using hibi::PlanModel;
using hibi::PlanStatus;
using hibi::TakeBackOutcome;
using namespace hibi::testing;

namespace {

const QDate kToday(2010, 6, 10);
const QDateTime kNow(kToday, QTime(21, 5, 33));
const QString kName = QStringLiteral("ヒビノボリ.txt");

QByteArray line(const QDate& date, const QByteArray& yen, const QByteArray& end = "\r\n") {
    return ledgerLine(date, QStringLiteral("07:30:15"), yen).chopped(2) + end;
}

struct Plan {
    explicit Plan(const QByteArray& ledger) : model(dir.path()) {
        writeBytes(file(), ledger);
        model.load(kToday);
    }
    QString file() const { return dir.filePath(kName); }
    QByteArray bytes() const { return readBytes(file()); }
    QStringList copies() const {
        return QDir(dir.filePath(QStringLiteral("バックアップ")))
            .entryList({QStringLiteral("*_取消前.txt")}, QDir::Files);
    }

    QTemporaryDir dir;
    PlanModel model;
};

}  // namespace

class TakeBackTest : public QObject {
    Q_OBJECT
  private slots:
    void aDepositTakenBackLeavesTheLedgerAsBefore_data() {
        QTest::addColumn<QByteArray>("ledger");
        const QByteArray earlier = line(kToday.addDays(-3), "1") + line(kToday.addDays(-2), "2");
        QTest::newRow("CR LF") << earlier;
        QTest::newRow("end mark") << earlier + "\x1a";
        QTest::newRow("LF alone") << QByteArray(earlier).replace("\r\n", "\n");
        QTest::newRow("empty line after") << earlier + "\r\n";
    }
    void aDepositTakenBackLeavesTheLedgerAsBefore() {
        QFETCH(QByteArray, ledger);
        Plan plan(ledger);
        const auto due = plan.model.schedule().amountDue;
        QCOMPARE(plan.model.deposit(kNow).kind, hibi::DepositOutcome::Kind::Recorded);
        const QByteArray deposited = plan.bytes();
        QVERIFY(plan.model.todaysDeposit());

        const TakeBackOutcome outcome = plan.model.takeBackToday(kNow.addSecs(60));
        QCOMPARE(outcome.kind, TakeBackOutcome::Kind::TakenBack);
        QCOMPARE(outcome.record.amount, due);
        QCOMPARE(plan.bytes(), ledger);
        QCOMPARE(plan.copies(),
                 QStringList{QStringLiteral("ヒビノボリ_20100610_210633_取消前.txt")});
        QCOMPARE(readBytes(plan.dir.filePath(QStringLiteral("バックアップ/") + plan.copies()[0])),
                 deposited);
        QCOMPARE(plan.model.backups().list().first().reason, hibi::BackupReason::BeforeTakeBack);
        // Due again, as before the deposit.
        QCOMPARE(plan.model.status(), PlanStatus::DueWithArrears);
        QCOMPARE(plan.model.schedule().amountDue, due);
        QVERIFY(!plan.model.todaysDeposit());
    }

    void onlyTheLastLineGoes() {
        // Written by another editor: no line end, then the end mark.
        const QByteArray kept = line(kToday.addDays(-1), "1") + line(kToday, "2");
        Plan plan(kept + line(kToday, "3", "") + "\x1a");
        QCOMPARE(plan.model.takeBackToday(kNow).kind, TakeBackOutcome::Kind::TakenBack);
        QCOMPARE(plan.bytes(), kept + "\x1a");
        // The day's earlier record is today's deposit now.
        QCOMPARE(plan.model.todaysDeposit()->amount, hibi::Amount::fromYen(2));
    }

    void refusedUnlessTheLoadedLedgerStillHoldsToday() {
        const QByteArray ledger = line(kToday.addDays(-1), "1") + line(kToday, "2");
        {
            Plan plan(line(kToday.addDays(-1), "1"));
            QCOMPARE(plan.model.takeBackToday(kNow).kind, TakeBackOutcome::Kind::NothingToTakeBack);
        }
        {
            Plan plan(ledger);
            QCOMPARE(plan.model.takeBackToday(kNow.addDays(1)).kind, TakeBackOutcome::Kind::NewDay);
            QCOMPARE(plan.bytes(), ledger);
            QCOMPARE(plan.model.loadedOn(), kToday.addDays(1));
        }
        {
            // Another copy of the program recorded more since the load.
            Plan plan(ledger);
            const QByteArray changed = ledger + line(kToday, "5");
            writeBytes(plan.file(), changed);
            QCOMPARE(plan.model.takeBackToday(kNow).kind, TakeBackOutcome::Kind::ChangedOnDisk);
            QCOMPARE(plan.bytes(), changed);
            QCOMPARE(plan.model.records().size(), 3);  // loaded again
            QVERIFY(plan.copies().isEmpty());
        }
        {
            Plan plan(ledger);
            QFile::remove(plan.file());
            QCOMPARE(plan.model.takeBackToday(kNow).kind, TakeBackOutcome::Kind::ChangedOnDisk);
            QVERIFY(plan.copies().isEmpty());
        }
    }

    void withoutItsCopyNothingChanges() {
        const QByteArray ledger = line(kToday.addDays(-1), "1") + line(kToday, "2");
        Plan plan(ledger);
        writeBytes(plan.dir.filePath(QStringLiteral("バックアップ")), "a file, not a folder");
        const TakeBackOutcome outcome = plan.model.takeBackToday(kNow);
        QCOMPARE(outcome.kind, TakeBackOutcome::Kind::Failed);
        QCOMPARE(outcome.problem->kind, hibi::LedgerFileProblem::Kind::NoBackup);
        QCOMPARE(plan.bytes(), ledger);
        QVERIFY(plan.model.todaysDeposit());
    }
};

QTEST_GUILESS_MAIN(TakeBackTest)
#include "tst_take_back.moc"
