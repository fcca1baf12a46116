#include <sys/stat.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "ledger/file_system.h"
#include "plan/plan_model.h"
#include "test_support.h"

using hibi::Amount;
using hibi::DepositOutcome;
using hibi::Integer;
using hibi::LoadNotice;
using hibi::PlanModel;
using hibi::PlanStatus;
using Problem = hibi::LedgerFileProblem::Kind;
using namespace hibi::testing;

namespace {

const QDate kApril1(2009, 4, 1);
const QString kName = QStringLiteral("ヒビノボリ.txt");

// yen deposited early on date.
QByteArray yenOn(const QDate& date, long long yen = 1) {
    return ledgerLine(date, QStringLiteral("07:30:15"), QByteArray::number(yen));
}

// The moment the tests press the button on a day.
QDateTime at(const QDate& date, int hour = 21, int minute = 5, int second = 33) {
    return {date, QTime(hour, minute, second)};
}

// The line a press on date at the default moment writes.
QByteArray depositLine(const QDate& date, long long yen) {
    return ledgerLine(date, QStringLiteral("21:05:33"), QByteArray::number(yen));
}

// A model over a temporary folder holding the given ledger (none when null).
struct Plan {
    explicit Plan(const QByteArray& ledger, QByteArray encoding = hibi::kLedgerEncoding)
        : model(dir.path(), std::move(encoding)) {
        if (!ledger.isNull()) {
            writeBytes(file(), ledger);
        }
    }
    QString file(const QString& name = kName) const { return dir.filePath(name); }
    QByteArray bytes() const { return readBytes(file()); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files); }
    QList<LoadNotice::Kind> load(const QDate& today) {
        QList<LoadNotice::Kind> kinds;
        for (const LoadNotice& notice : model.load(today)) {
            kinds << notice.kind;
        }
        return kinds;
    }

    QTemporaryDir dir;
    PlanModel model;
};

const QString kGoal = QStringLiteral("目標ヒビノボリ.txt");

// 1 yen on each of the given days after start.
QByteArray onDays(const QDate& start, const QList<int>& days) {
    QByteArray ledger;
    for (int day : days) {
        ledger += yenOn(start.addDays(day));
    }
    return ledger;
}

bool setMode(const QString& path, int mode) {
    return chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

bool denied(const std::optional<hibi::LedgerFileProblem>& problem) {
    // A reset in a folder that takes no new file is refused before trying.
    return problem && (problem->error.code == EACCES || problem->error.code == EPERM ||
                       problem->kind == hibi::LedgerFileProblem::Kind::FolderReadOnly);
}

}  // namespace

// The plan over its ledger and goal files: the schedule a load finds, the
// deposit, the reset, file names and writes that fail.
class PlanTest : public QObject {
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
        QCOMPARE(s.curRuikei, Amount::fromYen(static_cast<int>(records)));
    }

    // Day numbers and sums that leave their range block deposits and name
    // the line to blame; no label shows a figure the ledger does not hold,
    // and a deposit that would take the total out of range is refused.
    void outOfRange() {
        const QDate start(1950, 1, 1);
        Plan plan(yenOn(start));
        // Day index 32,766 is the last whose day number fits.
        QVERIFY(plan.load(start.addDays(32766)).isEmpty());
        QCOMPARE(plan.model.schedule().curKingaku, Amount::fromYen(32767));
        QCOMPARE(plan.model.schedule().curTainou, Amount::fromYen(32766 * 32767 / 2 - 1));
        QCOMPARE(plan.model.shownDayNumber(), Integer::of(32767));
        QCOMPARE(plan.load(start.addDays(32767)), QList{LoadNotice::Kind::DaysOutOfRange});

        // A typo in the first year, or a last date far ahead: the day count
        // is out of range, the total is still right.
        const QDate today(2026, 1, 1);
        struct Case {
            QByteArray ledger;
            int line;
        };
        for (const Case& c :
             {Case{yenOn(QDate(1910, 4, 1)) + yenOn(QDate(2010, 4, 2), 5), 1},
              Case{yenOn(QDate(2010, 4, 1)) + "\r\n" + yenOn(QDate(2120, 1, 1), 5), 3}}) {
            Plan typo(c.ledger);
            const QList<LoadNotice> notices = typo.model.load(today);
            QCOMPARE(notices.size(), 1);
            QCOMPARE(notices[0].kind, LoadNotice::Kind::DaysOutOfRange);
            QCOMPARE(notices[0].line, c.line);
            QCOMPARE(typo.model.shownDayNumber(), std::nullopt);
            QCOMPARE(typo.model.shownTotal(), Amount::fromYen(6));
        }

        // Totals past the first that no longer fits are not made up.
        Plan huge(yenOn(kApril1) +
                  ledgerLine(kApril1, QStringLiteral("07:00:00"), "922337203685477") +
                  yenOn(kApril1.addDays(1), 1000));
        const QList<LoadNotice> notices = huge.model.load(kApril1.addDays(4));
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices[0].kind, LoadNotice::Kind::TotalOutOfRange);
        QCOMPARE(notices[0].line, 2);
        QCOMPARE(huge.model.runningTotals().size(), 1);
        QCOMPARE(huge.model.shownTotal(), std::nullopt);
        QCOMPARE(huge.model.deposit(at(kApril1.addDays(4))).kind, DepositOutcome::Kind::NothingDue);

        // A deposit whose new total would leave the range is refused before
        // anything is written: it could never be shown.
        const QByteArray nearMax =
            ledgerLine(kApril1, QStringLiteral("07:00:00"), "922337203685475.0000");
        Plan full(nearMax);
        QVERIFY(full.load(kApril1.addDays(2)).isEmpty());
        QCOMPARE(full.model.deposit(at(kApril1.addDays(2))).kind, DepositOutcome::Kind::OutOfRange);
        QVERIFY(full.bytes() == nearMax && full.model.records().size() == 1);
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
        QCOMPARE(plan.model.schedule().amountDue, Amount::fromYen(6 + 3 + 4 + 5));
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
        if (kNamesDifferInCase) {
            QTest::newRow("two spellings") << twoDays << QStringLiteral("ヒビノボリ.TXT")
                                           << LoadNotice::Kind::AmbiguousName << 0;
        }
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

    // A copy that crashed between moving its locked ledger aside and the
    // replace left the ledger under the aside name: the next start takes it
    // back. One of a copy still running is in the middle of its replace.
    void aLedgerLeftAsideIsTakenBack() {
        HIBI_WINDOWS_ONLY("a ledger steps aside for a replace only there");
        Plan plan{QByteArray()};
        const QByteArray ledger = onDays(kApril1, {0, 1});
        writeBytes(plan.file(hibi::os::asideName(kName, 4'000'000'000)), ledger);
        const QString running = plan.file(hibi::os::asideName(kName, qApp->applicationPid()));
        writeBytes(running, "x");
        QCOMPARE(plan.load(kApril1.addDays(2)), QList<LoadNotice::Kind>{});
        QCOMPARE(plan.model.records().size(), 2);
        QCOMPARE(plan.bytes(), ledger);
        QCOMPARE(readBytes(running), QByteArray("x"));
    }

    // Without the Shift-JIS converter nothing is read, created or written.
    void aMissingCodecWritesNothing() {
        Plan plan(QByteArray(), "no-such-code-page");
        QCOMPARE(plan.load(kApril1), QList{LoadNotice::Kind::CodecMissing});
        QVERIFY(!plan.model.canReset());
        QCOMPARE(plan.model.deposit(at(kApril1)).kind, DepositOutcome::Kind::NothingDue);
        QVERIFY(!plan.model.reset(at(kApril1)).done);
        QVERIFY(!QFile::exists(plan.file()));
    }

    // A deposit, a reset or a goal that cannot be written changes nothing,
    // leaves no temporary file and says why; the deposit goes through once
    // there is room again.
    void failedWritesChangeNothing() {
        HIBI_POSIX_ONLY("file size and open-file limits");
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
            [[maybe_unused]] const NoNewFiles exhausted;
            reset = plan.model.reset(at(kApril1.addDays(4))).problem;
            goal = plan.model.saveGoal(100);
        }
        QVERIFY(reset && reset->error.code == EMFILE);
        QVERIFY(goal && goal->fileName == kGoal && goal->error.code == EMFILE);
        QCOMPARE(plan.bytes(), old);
        QCOMPARE(plan.model.status(), PlanStatus::Blocked);  // read again: not even that could
        plan.load(kApril1.addDays(4));
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
        HIBI_POSIX_ONLY("file and folder modes");
        if (dirMode == 01777 && geteuid() != 0) {
            QSKIP("needs root to leave a file owned by another user");
        }
        const QByteArray old = yenOn(kApril1);
        Plan plan(old);
        QVERIFY(setMode(plan.file(), fileMode) && setMode(plan.dir.path(), dirMode));
        const int code = asUnprivilegedUser([&] {
            const QList<LoadNotice::Kind> notices = plan.load(kApril1.addDays(1));
            if (!canRead) {
                return notices.contains(LoadNotice::Kind::ReadFailed) ? 0 : 1;
            }
            const auto deposit = plan.model.deposit(at(kApril1.addDays(1))).problem;
            const auto reset = plan.model.reset(at(kApril1.addDays(1))).problem;
            // Told once that no copy can be kept where the folder takes no new file.
            const bool told = notices == QList{LoadNotice::Kind::NoBackupsHere};
            return told == (dirMode == 0555) && denied(deposit) && denied(reset) ? 0 : 2;
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
        QVERIFY(plan.model.reset(at(kApril1.addDays(1))).done);
        QCOMPARE(readBytes(plan.file(upper)), QByteArray(""));
        QVERIFY(!plan.files().contains(kName));

        // Two spellings: neither is guessed at, not even to empty it.
        if (!kNamesDifferInCase) {
            return;
        }
        QVERIFY(writeBytes(plan.file(), "x"));
        plan.load(kApril1.addDays(1));
        const hibi::ResetOutcome reset = plan.model.reset(at(kApril1.addDays(1)));
        QVERIFY(!reset.done && reset.problem->kind == Problem::AmbiguousName);
        QCOMPARE(reset.problem->names, QStringList({upper, kName}));
        QCOMPARE(plan.bytes(), QByteArray("x"));
    }

    // A ledger with as many records as the history can hold is told at the
    // start and takes no deposit, on the last day as on any after.
    void aFullLedgerIsToldAtTheStart() {
        const QByteArray full = yenOn(kApril1).repeated(hibi::kMaxLedgerRecords);
        Plan plan(full);
        QCOMPARE(plan.load(kApril1.addDays(1)), QList{LoadNotice::Kind::LedgerFull});
        QCOMPARE(plan.model.status(), PlanStatus::Blocked);
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(1))).kind, DepositOutcome::Kind::NothingDue);
        QCOMPARE(plan.bytes().size(), full.size());
        QVERIFY(plan.model.canReset());
        // Today's deposit was the last that fitted: it stays shown as made.
        writeBytes(plan.file(), full.chopped(31) + yenOn(kApril1.addDays(1)));
        QCOMPARE(plan.load(kApril1.addDays(1)), QList{LoadNotice::Kind::LedgerFull});
        QCOMPARE(plan.model.status(), PlanStatus::DepositedToday);
    }

    // A reset empties the ledger, even one that does not read, and starts a
    // new plan; a missing ledger is created empty.
    void reset() {
        Plan plan(yenOn(kApril1) + "garbage\r\n");
        QCOMPARE(plan.load(kApril1.addDays(4)), QList{LoadNotice::Kind::BadLine});
        QVERIFY(plan.model.reset(at(kApril1.addDays(4))).done);
        QCOMPARE(plan.bytes(), QByteArray(""));
        QCOMPARE(plan.model.status(), PlanStatus::FirstDay);
        QCOMPARE(plan.model.records().size(), 0);
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(4))).kind, DepositOutcome::Kind::Recorded);

        QVERIFY(QFile::remove(plan.file()));
        QVERIFY(plan.model.reset(at(kApril1.addDays(4))).done);
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
        // By way of another name: a case-only rename may keep the old case.
        QVERIFY(QFile::rename(plan.file(kGoal), plan.file(QStringLiteral("goal"))) &&
                QFile::rename(plan.file(QStringLiteral("goal")), upper));
        QVERIFY(!plan.model.saveGoal(-5));
        QCOMPARE(readBytes(upper), QByteArray("-5\r\n"));
        QVERIFY(!plan.files().contains(kGoal));

        // Two spellings: the default goal is read, nothing is written.
        if (!kNamesDifferInCase) {
            return;
        }
        QVERIFY(writeBytes(plan.file(kGoal), "30\r\n"));
        QCOMPARE(plan.model.loadGoal(), Integer::of(365));
        const auto problem = plan.model.saveGoal(10);
        QVERIFY(problem && problem->names.size() == 2);
        QCOMPARE(readBytes(plan.file(kGoal)), QByteArray("30\r\n"));
        QCOMPARE(readBytes(upper), QByteArray("-5\r\n"));
    }
};

QTEST_GUILESS_MAIN(PlanTest)
#include "tst_plan.moc"
