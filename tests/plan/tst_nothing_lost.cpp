// Ways a money record could be lost or misstated: resets, other copies of
// the program, folders that take no new file, odd dates, other editors.

#include <signal.h>
#include <sys/stat.h>

#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "goal/goal_file.h"
#include "ledger/ledger_lock.h"
#include "plan/plan_model.h"
#include "test_support.h"

using hibi::BackupReason;
using hibi::DepositOutcome;
using hibi::LoadNotice;
using hibi::PlanModel;
using hibi::PlanStatus;
using namespace hibi::testing;

namespace {

const QDate kApril1(2009, 4, 1);

QByteArray yenOn(const QDate& date, long long yen = 1) {
    return ledgerLine(date, QStringLiteral("07:30:15"), QByteArray::number(yen));
}

QDateTime at(const QDate& date, int hour = 21) {
    return {date, QTime(hour, 5, 33)};
}

struct Plan {
    explicit Plan(const QByteArray& ledger) : model(dir.path()) { writeBytes(file(), ledger); }
    QString file() const { return dir.filePath(QStringLiteral("ヒビノボリ.txt")); }
    QByteArray bytes() const { return readBytes(file()); }
    QStringList copies() const {
        return QDir(model.backups().folderPath()).entryList(QDir::Files, QDir::Name);
    }
    QList<LoadNotice::Kind> load(const QDate& today) {
        QList<LoadNotice::Kind> kinds;
        for (const LoadNotice& notice : model.load(today)) {
            kinds << notice.kind;
        }
        return kinds;
    }
    void setFolderMode(mode_t mode) const {
        QVERIFY(chmod(QFile::encodeName(dir.path()).constData(), mode) == 0);
    }

    QTemporaryDir dir;
    PlanModel model;
};

}  // namespace

class NothingLost : public QObject {
    Q_OBJECT
  private slots:
    // A reset keeps the old ledger byte for byte first; without the copy it
    // does not happen.
    void resetKeepsACopyFirst() {
        const QByteArray old = yenOn(kApril1) + yenOn(kApril1.addDays(1), 2) + "\x1a";
        Plan plan(old);
        plan.load(kApril1.addDays(3));
        QVERIFY(plan.model.reset(at(kApril1.addDays(3))).done);
        QCOMPARE(plan.bytes(), QByteArray(""));
        QCOMPARE(plan.copies(), QStringList{"ヒビノボリ_20090404_210533_クリア前.txt"});
        QCOMPARE(readBytes(plan.model.backups().folderPath() + "/" + plan.copies()[0]), old);

        // No room for the copy (a file stands where the folder should be).
        Plan blocked(old);
        writeBytes(blocked.model.backups().folderPath(), "x");
        blocked.load(kApril1.addDays(3));
        const hibi::ResetOutcome refused = blocked.model.reset(at(kApril1.addDays(3)));
        QVERIFY(!refused.done);
        QCOMPARE(refused.problem->kind, hibi::LedgerFileProblem::Kind::NoBackup);
        QCOMPARE(blocked.bytes(), old);
    }

    // The day's first deposit keeps the ledger as it was; the newest ten
    // daily copies stay, and every other copy until the user deletes it.
    void dailyCopies() {
        Plan plan(yenOn(kApril1));
        QDir().mkpath(plan.model.backups().folderPath());
        const auto keep = [&](const QDate& day, BackupReason why) {
            plan.model.backups().keep("old", at(day, 7), why);
        };
        for (int i = 0; i < 12; ++i) {
            keep(kApril1.addDays(-20 + i), BackupReason::Daily);
        }
        keep(kApril1.addDays(-30), BackupReason::BeforeReset);
        keep(kApril1.addDays(-30), BackupReason::BeforeReset);  // the same second
        plan.load(kApril1.addDays(1));
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(1))).kind, DepositOutcome::Kind::Recorded);
        const QStringList copies = plan.copies();
        QCOMPARE(copies.size(), 10 + 2);
        QVERIFY(copies.contains("ヒビノボリ_20090302_070533_クリア前_2.txt"));
        QCOMPARE(readBytes(plan.model.backups().folderPath() + "/ヒビノボリ_20090402_210533.txt"),
                 yenOn(kApril1));
        QVERIFY(!copies.contains("ヒビノボリ_20090312_070533.txt"));  // the oldest daily go
        QCOMPARE(plan.model.backups().list().first().fileName,
                 QStringLiteral("ヒビノボリ_20090402_210533.txt"));

        // A failed copy holds up no deposit.
        QVERIFY(QDir(plan.model.backups().folderPath()).removeRecursively());
        writeBytes(plan.model.backups().folderPath(), "x");
        plan.load(kApril1.addDays(2));
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(2))).kind, DepositOutcome::Kind::Recorded);
    }

    // A folder the user cannot write to, holding files they can: deposits
    // and goals are written in place, a reset is refused, and no copy is made.
    void aFolderThatTakesNoNewFile() {
        HIBI_POSIX_ONLY("a folder's mode that binds its owner");
        Plan plan(yenOn(kApril1) + "\x1a");
        QVERIFY(chmod(QFile::encodeName(plan.file()).constData(), 0666) == 0);
        writeBytes(plan.dir.filePath(QStringLiteral("目標ヒビノボリ.txt")), "365\r\n");
        QVERIFY(chmod(QFile::encodeName(plan.dir.filePath(QStringLiteral("目標ヒビノボリ.txt")))
                          .constData(),
                      0666) == 0);
        plan.setFolderMode(0555);
        const int result = asUnprivilegedUser([&] {
            plan.load(kApril1.addDays(1));
            const bool deposited =
                plan.model.deposit(at(kApril1.addDays(1))).kind == DepositOutcome::Kind::Recorded;
            const bool goal = !plan.model.saveGoal(40);
            const auto reset = plan.model.reset(at(kApril1.addDays(1)));
            return (deposited ? 0 : 1) | (goal ? 0 : 2) |
                   (!reset.done &&
                            reset.problem->kind == hibi::LedgerFileProblem::Kind::FolderReadOnly
                        ? 0
                        : 4);
        });
        plan.setFolderMode(0755);
        QCOMPARE(result, 0);
        // The new record sits before the end-of-file mark, which stays last.
        QCOMPARE(plan.bytes(), yenOn(kApril1) +
                                   sjis(QStringLiteral("\"2009年04月02日\",\"21:05:33\",2\r\n")) +
                                   "\x1a");
        QCOMPARE(readBytes(plan.dir.filePath(QStringLiteral("目標ヒビノボリ.txt"))),
                 QByteArray("40\r\n"));
        QVERIFY(plan.copies().isEmpty());
    }

    // Two copies deposit at once: the second waits for the first, finds the
    // ledger changed, and records nothing; a lock left by a killed copy
    // blocks nobody.
    void twoCopiesNeverLoseADeposit() {
#ifdef _WIN32
        QSKIP("POSIX only: the second copy is a forked process");
#else
        const QByteArray start = yenOn(kApril1);
        Plan plan(start);
        const pid_t first = fork();
        if (first == 0) {
            PlanModel model(plan.dir.path());
            model.load(kApril1.addDays(1));
            hibi::ledgerPauseBeforeWrite() = [] { QThread::msleep(600); };
            _exit(model.deposit(at(kApril1.addDays(1), 8)).kind == DepositOutcome::Kind::Recorded
                      ? 0
                      : 1);
        }
        plan.load(kApril1.addDays(1));
        QThread::msleep(200);  // the first copy holds the lock and sleeps
        const DepositOutcome second = plan.model.deposit(at(kApril1.addDays(1), 9));
        int status = 0;
        waitpid(first, &status, 0);
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(second.kind, DepositOutcome::Kind::ChangedOnDisk);
        QCOMPARE(plan.bytes(),
                 start + sjis(QStringLiteral("\"2009年04月02日\",\"08:05:33\",2\r\n")));
        QCOMPARE(plan.model.status(), PlanStatus::DepositedToday);

        // A copy killed while holding the lock.
        const pid_t killed = fork();
        if (killed == 0) {
            hibi::LedgerLock lock(plan.dir.path(), plan.file());
            lock.acquire();
            ::kill(::getpid(), SIGKILL);
        }
        waitpid(killed, &status, 0);
        QVERIFY(QFile::exists(plan.dir.filePath(hibi::LedgerLock::lockFileName())));
        plan.load(kApril1.addDays(2));
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(2))).kind, DepositOutcome::Kind::Recorded);
#endif
    }

    // A plan cannot start in the future nor end before it began: such a
    // ledger is shown, blocked and left alone. Order in between is the
    // user's business as long as something is due.
    void oddDates() {
        struct Case {
            QByteArray ledger;
            QList<LoadNotice::Kind> notices;
            int line;
        };
        const QDate april10(2009, 4, 10);
        for (const Case& c :
             {Case{yenOn(april10) + yenOn(kApril1), {LoadNotice::Kind::FirstDateAhead}, 1},
              Case{
                  yenOn(kApril1) + "\r\n" + yenOn(april10.addDays(-8)) + yenOn(kApril1.addDays(-3)),
                  {LoadNotice::Kind::DatesBackwards},
                  4},
              Case{
                  yenOn(kApril1) + yenOn(kApril1.addDays(3)) + yenOn(kApril1.addDays(1)), {}, 0}}) {
            Plan plan(c.ledger);
            const QList<LoadNotice> notices = plan.model.load(QDate(2009, 4, 5));
            QList<LoadNotice::Kind> kinds;
            for (const LoadNotice& n : notices) {
                kinds << n.kind;
            }
            QCOMPARE(kinds, c.notices);
            if (!notices.isEmpty()) {
                QCOMPARE(notices[0].line, c.line);
                QCOMPARE(plan.model.deposit(at(QDate(2009, 4, 5))).kind,
                         DepositOutcome::Kind::NothingDue);
                QCOMPARE(plan.bytes(), c.ledger);
            } else {
                QVERIFY(plan.model.schedule().amountDue() > hibi::Amount());
            }
        }
    }

    // A ledger a modern editor saved as UTF-8 is offered for conversion; the
    // original is kept, and deposits then work.
    void utf8Ledgers() {
        const QByteArray sjisLedger = yenOn(kApril1) + yenOn(kApril1.addDays(1), 2);
        const QString text = hibi::CodePageText().decode(sjisLedger).value_or(QString());
        for (const QByteArray& utf8 : {text.toUtf8(), "\xEF\xBB\xBF" + text.toUtf8()}) {
            Plan plan(utf8);
            QCOMPARE(plan.load(kApril1.addDays(2)), QList{LoadNotice::Kind::Utf8Ledger});
            QCOMPARE(plan.model.status(), PlanStatus::Blocked);
            QCOMPARE(plan.bytes(), utf8);  // nothing happens unless asked
            QVERIFY(plan.model.convertFromUtf8(at(kApril1.addDays(2))).done);
            QCOMPARE(plan.bytes(), sjisLedger);
            QCOMPARE(plan.copies(), QStringList{"ヒビノボリ_20090403_210533_変換前.txt"});
            QCOMPARE(plan.model.deposit(at(kApril1.addDays(2))).kind,
                     DepositOutcome::Kind::Recorded);
        }
    }
};

QTEST_GUILESS_MAIN(NothingLost)
#include "tst_nothing_lost.moc"
