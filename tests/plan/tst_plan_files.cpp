#include <sys/stat.h>

#include <QtTest>

#include "plan_fixture.h"

using hibi::DepositOutcome;
using hibi::Integer;
using hibi::LoadNotice;
using hibi::PlanStatus;
using Problem = hibi::LedgerFileProblem::Kind;
using namespace hibi::testing;

namespace {

const QString kGoal = QStringLiteral("目標ヒビノボリ.txt");

bool setMode(const QString& path, int mode) {
    return chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

bool denied(const std::optional<hibi::LedgerFileProblem>& problem) {
    return problem && (problem->error.code == EACCES || problem->error.code == EPERM);
}

}  // namespace

// The ledger and goal files: names, writes that fail, reset.
class PlanFilesTest : public QObject {
    Q_OBJECT
  private slots:
    // A deposit, a reset or a goal that cannot be written changes nothing,
    // leaves no temporary file and says why; the deposit goes through once
    // there is room again.
    void failedWritesChangeNothing() {
        const QByteArray old = yenOn(kApril1) + yenOn(kApril1.addDays(1), 2);
        Plan plan(old);
        QVERIFY(writeBytes(plan.file(kGoal), "30\r\n"));
        plan.load(kApril1.addDays(4));
        DepositOutcome outcome;
        {
            const FileSizeLimit full(static_cast<rlim_t>(old.size() + 4));
            outcome = plan.model.deposit(at(kApril1.addDays(4)));
        }
        QCOMPARE(outcome.kind, DepositOutcome::Kind::Failed);
        QVERIFY(outcome.problem->fileName == kName && outcome.problem->error.code == EFBIG);
        std::optional<hibi::LedgerFileProblem> reset;
        std::optional<hibi::GoalFile::SaveProblem> goal;
        {
            const NoNewFiles exhausted;
            reset = plan.model.reset(kApril1.addDays(4)).problem;
            goal = plan.model.saveGoal(100);
        }
        QVERIFY(reset && reset->error.code == EMFILE);
        QVERIFY(goal && goal->fileName == kGoal && goal->error.code == EMFILE);
        QCOMPARE(plan.bytes(), old);
        QCOMPARE(readBytes(plan.file(kGoal)), QByteArray("30\r\n"));
        QCOMPARE(plan.files(), QStringList({kName, kGoal}));
        QCOMPARE(plan.model.status(), PlanStatus::DueWithArrears);
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(4))).kind, DepositOutcome::Kind::Recorded);
        QCOMPARE(plan.bytes(), old + depositLine(kApril1.addDays(4), 12));
    }

    // File and directory modes a user cannot get past: the ledger is left
    // whole and the failure named. A sticky shared directory lets the user
    // create files but not replace one that belongs to root.
    void permissionsThatStopTheUser_data() {
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<int>("dirMode");
        QTest::addColumn<bool>("canRead");
        QTest::newRow("read-only directory") << 0644 << 0555 << true;
        QTest::newRow("sticky shared directory") << 0666 << 01777 << true;
        QTest::newRow("unreadable file") << 0200 << 0755 << false;
    }
    void permissionsThatStopTheUser() {
        QFETCH(int, fileMode);
        QFETCH(int, dirMode);
        QFETCH(bool, canRead);
        if (dirMode == 01777 && geteuid() != 0) {
            QSKIP("needs root to leave a file owned by another user");
        }
        const QByteArray old = yenOn(kApril1);
        Plan plan(old);
        QVERIFY(setMode(plan.file(), fileMode) && setMode(plan.dir.path(), dirMode));
        const int code = asUnprivilegedUser([&] {
            const QList<LoadNotice::Kind> notices = plan.load(kApril1.addDays(1));
            if (!canRead) {
                return notices == QList{LoadNotice::Kind::ReadFailed} ? 0 : 1;
            }
            const auto deposit = plan.model.deposit(at(kApril1.addDays(1))).problem;
            const auto reset = plan.model.reset(kApril1.addDays(1)).problem;
            return notices.isEmpty() && denied(deposit) && denied(reset) ? 0 : 2;
        });
        QVERIFY(setMode(plan.dir.path(), 0755) && setMode(plan.file(), 0644));
        QCOMPARE(code, 0);
        QCOMPARE(plan.bytes(), old);
        QCOMPARE(plan.files(), QStringList({kName}));
    }

    // An existing ledger keeps the case of its extension; names that only
    // begin like it are not ledgers.
    void ledgerNames() {
        const QString upper = QStringLiteral("ヒビノボリ.TXT");
        Plan plan{QByteArray()};
        QVERIFY(writeBytes(plan.file(upper), yenOn(kApril1)));
        for (const QString& other : {QStringLiteral("ヒビノボリ.txt.bak"), u"ヒビノボリ2.txt"_qs}) {
            QVERIFY(writeBytes(plan.file(other), "x"));
        }
        QVERIFY(plan.load(kApril1.addDays(1)).isEmpty());
        QCOMPARE(plan.model.ledgerFileName(), upper);
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(1))).kind, DepositOutcome::Kind::Recorded);
        QCOMPARE(readBytes(plan.file(upper)), yenOn(kApril1) + depositLine(kApril1.addDays(1), 2));
        QVERIFY(plan.model.reset(kApril1.addDays(1)).done);
        QCOMPARE(readBytes(plan.file(upper)), QByteArray(""));
        QVERIFY(!QFile::exists(plan.file()));

        // Two spellings: neither is guessed at, not even to empty it.
        QVERIFY(writeBytes(plan.file(), "x"));
        plan.load(kApril1.addDays(1));
        const hibi::ResetOutcome reset = plan.model.reset(kApril1.addDays(1));
        QVERIFY(!reset.done && reset.problem->kind == Problem::AmbiguousName);
        QCOMPARE(reset.problem->names, QStringList({upper, kName}));
        QCOMPARE(plan.bytes(), QByteArray("x"));
    }

    // A deposit that would take the ledger past the records the history can
    // hold is refused.
    void aFullLedgerTakesNoMoreRecords() {
        const QByteArray full = yenOn(kApril1).repeated(hibi::kMaxLedgerRecords);
        Plan plan(full);
        QVERIFY(plan.load(kApril1.addDays(1)).isEmpty());
        const auto problem = plan.model.deposit(at(kApril1.addDays(1))).problem;
        QVERIFY(problem && problem->where->kind == hibi::LedgerErrorKind::TooManyRecords);
        QCOMPARE(plan.bytes().size(), full.size());
    }

    // A reset empties the ledger, even one that does not read, and starts a
    // new plan; a missing ledger is created empty.
    void reset() {
        Plan plan(yenOn(kApril1) + "garbage\r\n");
        QCOMPARE(plan.load(kApril1.addDays(4)), QList{LoadNotice::Kind::BadLine});
        QVERIFY(plan.model.reset(kApril1.addDays(4)).done);
        QCOMPARE(plan.bytes(), QByteArray(""));
        QCOMPARE(plan.model.status(), PlanStatus::FirstDay);
        QCOMPARE(plan.model.records().size(), 0);
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(4))).kind, DepositOutcome::Kind::Recorded);

        QVERIFY(QFile::remove(plan.file()));
        QVERIFY(plan.model.reset(kApril1.addDays(4)).done);
        QVERIFY(QFile::exists(plan.file()) && plan.bytes().isEmpty());
    }

    void goalFile() {
        Plan plan{QByteArray()};
        const QString upper = plan.file(QStringLiteral("目標ヒビノボリ.TXT"));
        QCOMPARE(plan.model.loadGoal(), Integer::of(365));
        QVERIFY(!QFile::exists(plan.file(kGoal)));  // the default is not written back
        QVERIFY(!plan.model.saveGoal(12.5));
        QCOMPARE(readBytes(plan.file(kGoal)), QByteArray("12.5\r\n"));

        // An existing file with another case of extension is used and kept.
        QVERIFY(QFile::rename(plan.file(kGoal), upper));
        QVERIFY(!plan.model.saveGoal(-5));
        QCOMPARE(readBytes(upper), QByteArray("-5\r\n"));
        QVERIFY(!QFile::exists(plan.file(kGoal)));

        // Two spellings: the default goal is read, nothing is written.
        QVERIFY(writeBytes(plan.file(kGoal), "30\r\n"));
        QCOMPARE(plan.model.loadGoal(), Integer::of(365));
        const auto problem = plan.model.saveGoal(10);
        QVERIFY(problem && problem->names.size() == 2);
        QCOMPARE(readBytes(plan.file(kGoal)), QByteArray("30\r\n"));
        QCOMPARE(readBytes(upper), QByteArray("-5\r\n"));
    }
};

QTEST_GUILESS_MAIN(PlanFilesTest)
#include "tst_plan_files.moc"
