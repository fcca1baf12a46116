// Ways a money record could be lost or misstated: resets, other copies of
// the program, folders that take no new file, odd dates, other editors.

#include <signal.h>
#include <sys/stat.h>

#include <QDir>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "goal/goal_file.h"
#include "ledger/atomic_file.h"
#include "ledger/ledger_lock.h"
#include "plan/history_files.h"
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

int modeOf(const QString& path) {
    struct stat st {};
    return stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QDateTime at(const QDate& date, int hour = 21) {
    return {date, QTime(hour, 5, 33)};
}

// A child process, as an ordinary user when asked, that tells the parent
// through a pipe when it has got as far as it must: no head start is guessed.
class Child {
  public:
    template <typename Body>
    explicit Child(Body body, bool unprivileged = false) {
        int fds[2];
        QVERIFY(pipe(fds) == 0);
        pid_ = fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            pipe_ = fds[1];
            if (unprivileged && (setgid(65534) != 0 || setuid(65534) != 0)) {
                _exit(99);
            }
            _exit(body(*this));
        }
        ::close(fds[1]);
        pipe_ = fds[0];
        waitForSignal();
    }
    ~Child() { ::close(pipe_); }
    void signal() const { (void)!::write(pipe_, "!", 1); }
    // Returns at the child's next signal, or when it has ended.
    void waitForSignal() const {
        char byte;
        (void)!::read(pipe_, &byte, 1);
    }
    int exitCode() const {
        int status = 0;
        waitpid(pid_, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
    }

  private:
    pid_t pid_ = -1;
    int pipe_ = -1;
};

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

    // The day's first deposit keeps the ledger as it was, no more open to
    // others than the ledger; the newest ten daily copies stay, the one just
    // made among them whatever the others are named, and every other copy
    // until the user deletes it. Copies of one second list in the order made.
    void dailyCopies() {
        Plan plan(yenOn(kApril1));
        QVERIFY(chmod(QFile::encodeName(plan.file()).constData(), 0600) == 0);
        const auto keep = [&](const QDate& day, BackupReason why) {
            plan.model.backups().keep("old", QFile::ReadOwner | QFile::WriteOwner, at(day, 7), why);
        };
        keep(kApril1.addDays(-30), BackupReason::BeforeReset);
        keep(kApril1.addDays(-30), BackupReason::Daily);  // the same second, made later
        for (int i = 0; i < 10; ++i) {
            keep(kApril1.addYears(1).addDays(i), BackupReason::Daily);  // a clock set ahead
        }
        const QList<hibi::Backups::Entry> listed = plan.model.backups().list();
        QCOMPARE(listed.constLast().fileName,
                 QStringLiteral("ヒビノボリ_20090302_070533_クリア前.txt"));
        QCOMPARE(listed[listed.size() - 2].fileName,
                 QStringLiteral("ヒビノボリ_20090302_070533_2.txt"));
        plan.load(kApril1.addDays(1));
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(1))).kind, DepositOutcome::Kind::Recorded);
        const QString justMade =
            plan.model.backups().folderPath() + QStringLiteral("/ヒビノボリ_20090402_210533.txt");
        QCOMPARE(readBytes(justMade), yenOn(kApril1));
        QCOMPARE(modeOf(justMade), 0600);
        QCOMPARE(modeOf(plan.model.backups().folderPath()), 0700);
        const QStringList copies = plan.copies();
        QCOMPARE(copies.size(), 10 + 1);
        QVERIFY(copies.contains("ヒビノボリ_20090302_070533_クリア前.txt"));
        QVERIFY(!copies.contains("ヒビノボリ_20100401_070533.txt"));  // the oldest daily go

        // A failed copy holds up no deposit, and is told once that day.
        QVERIFY(QDir(plan.model.backups().folderPath()).removeRecursively());
        writeBytes(plan.model.backups().folderPath(), "x");
        const QByteArray before = plan.bytes();
        plan.load(kApril1.addDays(2));
        const DepositOutcome told = plan.model.deposit(at(kApril1.addDays(2)));
        QCOMPARE(told.kind, DepositOutcome::Kind::Recorded);
        QVERIFY(told.backupError && told.backupError->code == ENOTDIR);
        writeBytes(plan.file(), before);  // that deposit taken back by hand
        plan.load(kApril1.addDays(2));
        const DepositOutcome again = plan.model.deposit(at(kApril1.addDays(2), 22));
        QVERIFY(again.kind == DepositOutcome::Kind::Recorded && !again.backupError);
    }

    // A folder the user cannot write to, holding files they can: deposits
    // and goals are written in place, a reset is refused, and no copy is made.
    void aFolderThatTakesNoNewFile() {
        Plan plan(yenOn(kApril1) + "\x1a");
        QVERIFY(chmod(QFile::encodeName(plan.file()).constData(), 0666) == 0);
        writeBytes(plan.dir.filePath(QStringLiteral("目標ヒビノボリ.txt")), "365\r\n");
        QVERIFY(chmod(QFile::encodeName(plan.dir.filePath(QStringLiteral("目標ヒビノボリ.txt")))
                          .constData(),
                      0666) == 0);
        plan.setFolderMode(0555);
        const int result = asUnprivilegedUser([&] {
            // That no copy can be kept is told at the first load of a run only.
            const bool told =
                plan.load(kApril1.addDays(1)) == QList{LoadNotice::Kind::NoBackupsHere} &&
                plan.load(kApril1.addDays(1)).isEmpty();
            const bool deposited =
                plan.model.deposit(at(kApril1.addDays(1))).kind == DepositOutcome::Kind::Recorded;
            const bool goal = !plan.model.saveGoal(40);
            const auto reset = plan.model.reset(at(kApril1.addDays(1)));
            return (deposited ? 0 : 1) | (goal ? 0 : 2) | (told ? 0 : 8) |
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

    // Another copy holds the lock and writes: a deposit waits for it, reads
    // the ledger under the lock, finds the other copy's record of today and
    // records nothing; a lock left by a killed copy blocks nobody.
    void aDepositDecidesUnderTheLock() {
        const QByteArray start = yenOn(kApril1);
        const QByteArray other = sjis(QStringLiteral("\"2009年04月02日\",\"08:05:33\",2\r\n"));
        Plan plan(start);
        plan.load(kApril1.addDays(1));
        Child writer([&](Child& self) {
            hibi::LedgerLock lock(plan.dir.path());
            lock.acquire([&] { return plan.file(); });
            self.signal();
            QThread::msleep(300);
            return hibi::writeFileAtomically(plan.file(), start + other) ? 1 : 0;
        });
        const DepositOutcome second = plan.model.deposit(at(kApril1.addDays(1), 9));
        QCOMPARE(writer.exitCode(), 0);
        QCOMPARE(second.kind, DepositOutcome::Kind::ChangedOnDisk);
        QCOMPARE(second.statusAfter, PlanStatus::DepositedToday);
        QCOMPARE(plan.bytes(), start + other);

        Child killed([&](Child&) {
            hibi::LedgerLock lock(plan.dir.path());
            lock.acquire([&] { return plan.file(); });
            ::kill(::getpid(), SIGKILL);
            return 0;
        });
        QCOMPARE(killed.exitCode(), 98);
        QVERIFY(QFile::exists(plan.dir.filePath(hibi::LedgerLock::lockFileName())));
        plan.load(kApril1.addDays(2));
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(2))).kind, DepositOutcome::Kind::Recorded);
    }

    // A user who may write the ledger but not its folder appends in place
    // under the ledger's own lock; one who may write the folder renames, and
    // takes that lock too. Each waits for the other, and one who waited on a
    // file renamed away meanwhile locks the file that has the name now.
    void everyWriterTakesTheSameLock() {
        if (geteuid() != 0) {
            QSKIP("needs root to act as a second user");
        }
        const QByteArray start = yenOn(kApril1);
        const QByteArray other = sjis(QStringLiteral("\"2009年04月02日\",\"08:05:33\",2\r\n"));
        Plan plan(start);
        QVERIFY(chmod(QFile::encodeName(plan.file()).constData(), 0666) == 0);
        plan.setFolderMode(0555);
        plan.load(kApril1.addDays(1));
        Child inPlace(
            [&](Child& self) {
                hibi::LedgerLock lock(plan.dir.path());
                if (lock.acquire([&] { return plan.file(); }) != hibi::LedgerLock::Result::Locked) {
                    return 1;
                }
                self.signal();
                QThread::msleep(300);
                return hibi::writeInPlace(plan.file(), start.size(), other, {}).error ? 2 : 0;
            },
            true);
        const DepositOutcome renamer = plan.model.deposit(at(kApril1.addDays(1), 9));
        QCOMPARE(inPlace.exitCode(), 0);
        QCOMPARE(renamer.kind, DepositOutcome::Kind::ChangedOnDisk);
        QCOMPARE(plan.bytes(), start + other);

        std::optional<hibi::FileLock> held(std::in_place);
        hibi::SystemError error;
        QCOMPARE(held->lock(plan.file(), QDeadlineTimer(1000), error),
                 hibi::FileLock::Result::Locked);
        Child waiter(
            [&](Child& self) {
                self.signal();
                hibi::LedgerLock lock(plan.dir.path());
                lock.acquire([&] { return plan.file(); });
                self.signal();
                QThread::msleep(1000);
                return 0;
            },
            true);
        QThread::msleep(300);  // the waiter is then waiting on the old file's lock
        QVERIFY(!hibi::writeFileAtomically(plan.file(), start));
        held.reset();
        waiter.waitForSignal();
        hibi::LedgerLock mine(plan.dir.path());
        QCOMPARE(mine.acquire([&] { return plan.file(); }, 300), hibi::LedgerLock::Result::Busy);
        QCOMPARE(waiter.exitCode(), 0);
        plan.setFolderMode(0755);
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
                // Day 5; the arrears run from the day after the last line's date.
                QCOMPARE(plan.model.schedule().amountDue(), hibi::Amount::fromYen(5 + 3 + 4));
            }
        }
    }

    // A ledger a modern editor saved as UTF-8 is offered for conversion; the
    // original is kept, and deposits then work.
    void utf8Ledgers() {
        const QByteArray sjisLedger = yenOn(kApril1) + yenOn(kApril1.addDays(1), 2);
        QStringDecoder fromShiftJis("windows-31j");
        const QString text = fromShiftJis.decode(sjisLedger);
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
        // Changed since it was offered: left as it is now.
        Plan plan(text.toUtf8());
        plan.load(kApril1.addDays(2));
        writeBytes(plan.file(), "\xEF\xBB\xBF" + text.toUtf8());
        const hibi::ResetOutcome refused = plan.model.convertFromUtf8(at(kApril1.addDays(2)));
        QVERIFY(!refused.done &&
                refused.problem->kind == hibi::LedgerFileProblem::Kind::ChangedOnDisk);
        QCOMPARE(plan.bytes(), "\xEF\xBB\xBF" + text.toUtf8());
    }

    // A restore puts the copy back byte for byte after keeping the ledger it
    // replaces; the list shows the newest first, marks what cannot be
    // restored and what may have been cut short.
    void restoreRoundTrip() {
        const QByteArray old = yenOn(kApril1) + yenOn(kApril1.addDays(1), 2);
        Plan plan(old);
        plan.load(kApril1.addDays(3));
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(3))).kind, DepositOutcome::Kind::Recorded);
        const QByteArray deposited = plan.bytes();
        const QString folder = plan.model.backups().folderPath() + QLatin1Char('/');
        writeBytes(folder + "ヒビノボリ_20090301_070000.txt", "garbage\r\n");
        writeBytes(folder + "ヒビノボリ_20090302_070000.txt",
                   yenOn(kApril1) + yenOn(kApril1, 12).chopped(3));
        const QList<hibi::BackupSummary> listed = hibi::backupSummaries(plan.model.backups());
        QCOMPARE(listed.size(), 3);
        QCOMPARE(listed[0].entry.fileName, QStringLiteral("ヒビノボリ_20090404_210533.txt"));
        QVERIFY(listed[0].readable && !listed[0].possiblyCut && listed[0].records == 2);
        QVERIFY(listed[1].readable && listed[1].possiblyCut);
        QVERIFY(!listed[2].readable);
        QVERIFY(!plan.model.restore(listed[2].entry.fileName, at(kApril1.addDays(3), 22)).done);

        const hibi::ResetOutcome restored =
            plan.model.restore(listed[0].entry.fileName, at(kApril1.addDays(3), 22));
        QVERIFY(restored.done);
        QCOMPARE(plan.bytes(), old);
        QCOMPARE(readBytes(folder + "ヒビノボリ_20090404_220533_復元前.txt"), deposited);
        QCOMPARE(plan.model.status(), PlanStatus::DueWithArrears);
    }

    // Names a Mac wrote in decomposed form are the same files, and keep
    // their names.
    void decomposedNames() {
        const QString ledger =
            QStringLiteral("ヒビノボリ.txt").normalized(QString::NormalizationForm_D);
        const QString goal =
            QStringLiteral("目標ヒビノボリ.txt").normalized(QString::NormalizationForm_D);
        QVERIFY(ledger != QStringLiteral("ヒビノボリ.txt"));
        Plan plan(QByteArray{});
        QVERIFY(QFile::remove(plan.file()));
        writeBytes(plan.dir.filePath(ledger), yenOn(kApril1));
        writeBytes(plan.dir.filePath(goal), "30\r\n");
        QVERIFY(plan.load(kApril1.addDays(1)).isEmpty());
        QCOMPARE(plan.model.records().size(), 1);
        QCOMPARE(plan.model.loadGoal(), hibi::Integer::of(30));
        QCOMPARE(plan.model.deposit(at(kApril1.addDays(1))).kind, DepositOutcome::Kind::Recorded);
        QVERIFY(!plan.model.saveGoal(40));
        QCOMPARE(QDir(plan.dir.path()).entryList(QDir::Files), (QStringList{ledger, goal}));
        QCOMPARE(readBytes(plan.dir.filePath(goal)), QByteArray("40\r\n"));
    }
};

QTEST_GUILESS_MAIN(NothingLost)
#include "tst_nothing_lost.moc"
