#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "ledger/ledger_file.h"
#include "test_support.h"

using hibi::Amount;
using hibi::LedgerFile;
using hibi::LedgerFileProblem;
using hibi::LedgerRecord;
using hibi::testing::FileSizeLimit;
using hibi::testing::readBytes;
using hibi::testing::sjis;
using hibi::testing::writeBytes;

namespace {

LedgerRecord record(const QString& date, const QString& time, int yen) {
    return {date, time, Amount::fromYen(yen)};
}

const QString kName = QStringLiteral("ヒビノボリ.txt");

// Runs body in a child process that has given up root, so that file
// permissions apply as they do for a user. Returns the child's exit code.
template <typename Body>
int asUnprivilegedUser(Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(99);
        }
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

}  // namespace

class LedgerFileTest : public QObject {
    Q_OBJECT
  private slots:
    void missingAndEmptyFilesAreAnEmptyHistory() {
        QTemporaryDir dir;
        const LedgerFile ledger(dir.path());
        hibi::LedgerSnapshot snapshot = ledger.load();
        QVERIFY(!snapshot.existed);
        QVERIFY(snapshot.isWritable());
        QVERIFY(snapshot.parsed.records.isEmpty());
        QCOMPARE(snapshot.fileName, kName);
        QVERIFY(!QFile::exists(dir.filePath(kName)));  // loading creates nothing

        QVERIFY(!ledger.createIfMissing());
        QCOMPARE(readBytes(dir.filePath(kName)), QByteArray(""));
        QVERIFY(QFile::exists(dir.filePath(kName)));
        snapshot = ledger.load();
        QVERIFY(snapshot.existed);
        QVERIFY(snapshot.isWritable());
        QVERIFY(snapshot.parsed.records.isEmpty());
    }

    void appendReadAndEmptyRoundTrip() {
        QTemporaryDir dir;
        const LedgerFile ledger(dir.path());
        // Appending to a missing file creates it.
        QVERIFY(
            !ledger.append(record(QStringLiteral("2009年04月01日"), "07:30:15", 1), std::nullopt));
        QVERIFY(
            !ledger.append(record(QStringLiteral("2009年04月02日"), "07:28:40", 2), std::nullopt));
        QVERIFY(
            !ledger.append(record(QStringLiteral("2009年04月05日"), "21:05:33", 12), std::nullopt));
        const QByteArray expected =
            sjis(QStringLiteral("\"2009年04月01日\",\"07:30:15\",1\r\n"
                                "\"2009年04月02日\",\"07:28:40\",2\r\n"
                                "\"2009年04月05日\",\"21:05:33\",12\r\n"));
        QCOMPARE(readBytes(dir.filePath(kName)), expected);
        const hibi::LedgerSnapshot snapshot = ledger.load();
        QVERIFY(snapshot.isWritable());
        QCOMPARE(snapshot.content, expected);
        QCOMPARE(snapshot.parsed.records.size(), 3);
        QCOMPARE(snapshot.parsed.records[2].amount, Amount::fromYen(12));

        QVERIFY(!ledger.empty());
        QCOMPARE(readBytes(dir.filePath(kName)), QByteArray(""));
        QVERIFY(QFile::exists(dir.filePath(kName)));
        QVERIFY(ledger.load().parsed.records.isEmpty());

        // Emptying a missing ledger creates it empty.
        QVERIFY(QFile::remove(dir.filePath(kName)));
        QVERIFY(!ledger.empty());
        QCOMPARE(readBytes(dir.filePath(kName)), QByteArray(""));
        QVERIFY(QFile::exists(dir.filePath(kName)));
    }

    void appendEndsAnUnterminatedLastLineFirst() {
        QTemporaryDir dir;
        const QByteArray old = sjis(QStringLiteral("\"2009年04月01日\",\"07:30:15\",1"));
        QVERIFY(writeBytes(dir.filePath(kName), old));
        const LedgerFile ledger(dir.path());
        QVERIFY(!ledger.append(record(QStringLiteral("2009年04月02日"), "07:28:40", 2), old));
        const hibi::LedgerSnapshot snapshot = ledger.load();
        QVERIFY(snapshot.isWritable());
        QCOMPARE(snapshot.parsed.records.size(), 2);
        QVERIFY(snapshot.content.startsWith(old + "\r\n\""));
    }

    void findsTheLedgerWhateverTheCaseOfItsExtension() {
        QTemporaryDir dir;
        const QString upper = QStringLiteral("ヒビノボリ.TXT");
        const QByteArray old = sjis(QStringLiteral("\"2009年04月01日\",\"07:30:15\",1\r\n"));
        QVERIFY(writeBytes(dir.filePath(upper), old));
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("ヒビノボリ.txt.bak")), "x"));
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("ヒビノボリ2.txt")), "x"));
        const LedgerFile ledger(dir.path());
        const hibi::LedgerSnapshot snapshot = ledger.load();
        QCOMPARE(snapshot.fileName, upper);
        QCOMPARE(snapshot.parsed.records.size(), 1);
        QVERIFY(!ledger.append(record(QStringLiteral("2009年04月02日"), "07:28:40", 2), old));
        QVERIFY(!QFile::exists(dir.filePath(kName)));  // the old name is kept
        QCOMPARE(ledger.load().parsed.records.size(), 2);
        QVERIFY(!ledger.empty());
        QCOMPARE(readBytes(dir.filePath(upper)), QByteArray(""));
        QVERIFY(!QFile::exists(dir.filePath(kName)));
    }

    void twoSpellingsAreNeverGuessedBetween() {
        QTemporaryDir dir;
        const QByteArray a = sjis(QStringLiteral("\"2009年04月01日\",\"07:30:15\",1\r\n"));
        const QByteArray b = sjis(QStringLiteral("\"2010年04月01日\",\"07:30:15\",1\r\n"));
        QVERIFY(writeBytes(dir.filePath(kName), a));
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("ヒビノボリ.Txt")), b));
        const LedgerFile ledger(dir.path());
        const hibi::LedgerSnapshot snapshot = ledger.load();
        QVERIFY(snapshot.problem);
        QCOMPARE(snapshot.problem->kind, LedgerFileProblem::Kind::AmbiguousName);
        QCOMPARE(snapshot.problem->names, QStringList({QStringLiteral("ヒビノボリ.Txt"), kName}));
        QVERIFY(snapshot.problem->reason.contains(QStringLiteral("ヒビノボリ.Txt")));
        QVERIFY(!snapshot.isWritable());
        QCOMPARE(
            ledger.append(record(QStringLiteral("2010年04月02日"), "07:00:00", 2), std::nullopt)
                ->kind,
            LedgerFileProblem::Kind::AmbiguousName);
        QCOMPARE(ledger.empty()->kind, LedgerFileProblem::Kind::AmbiguousName);
        QCOMPARE(ledger.createIfMissing()->kind, LedgerFileProblem::Kind::AmbiguousName);
        QCOMPARE(readBytes(dir.filePath(kName)), a);
        QCOMPARE(readBytes(dir.filePath(QStringLiteral("ヒビノボリ.Txt"))), b);
    }

    void neverRewritesALedgerItCouldNotRead() {
        QTemporaryDir dir;
        const QByteArray bad =
            sjis(QStringLiteral("\"2009年04月01日\",\"07:30:15\",1\r\ngarbage\r\n"));
        QVERIFY(writeBytes(dir.filePath(kName), bad));
        const LedgerFile ledger(dir.path());
        const hibi::LedgerSnapshot snapshot = ledger.load();
        QVERIFY(!snapshot.isWritable());
        QCOMPARE(snapshot.parsed.error->line, 2);
        QCOMPARE(snapshot.parsed.records.size(), 1);
        const auto problem =
            ledger.append(record(QStringLiteral("2009年04月02日"), "07:00:00", 2), std::nullopt);
        QVERIFY(problem);
        QCOMPARE(problem->kind, LedgerFileProblem::Kind::NotReadable);
        QVERIFY(problem->reason.contains(QStringLiteral("2 行目")));
        QCOMPARE(readBytes(dir.filePath(kName)), bad);
    }

    void appendRefusesWhenTheFileChangedSinceLoading() {
        QTemporaryDir dir;
        const LedgerFile ledger(dir.path());
        QVERIFY(!ledger.createIfMissing());
        const hibi::LedgerSnapshot loaded = ledger.load();
        // Another copy of the program deposits in between.
        QVERIFY(
            !ledger.append(record(QStringLiteral("2009年04月01日"), "07:00:00", 1), std::nullopt));
        const QByteArray between = readBytes(dir.filePath(kName));
        const auto problem =
            ledger.append(record(QStringLiteral("2009年04月01日"), "08:00:00", 1), loaded.content);
        QVERIFY(problem);
        QCOMPARE(problem->kind, LedgerFileProblem::Kind::ChangedOnDisk);
        QCOMPARE(readBytes(dir.filePath(kName)), between);
        // A missing file is expected to be empty.
        QVERIFY(QFile::remove(dir.filePath(kName)));
        QVERIFY(
            !ledger.append(record(QStringLiteral("2009年04月01日"), "08:00:00", 1), QByteArray()));

        // A long ledger is compared in pieces: a change past the first piece,
        // a shorter file and a longer one are all told from the loaded bytes.
        const QByteArray one = sjis(QStringLiteral("\"2009年04月01日\",\"07:30:15\",1\r\n"));
        const QByteArray longLedger = one.repeated(3000);  // 93,000 bytes
        QByteArray changedLate = longLedger;
        changedLate[80000] = changedLate[80000] == '1' ? '2' : '1';
        for (const QByteArray& onDisk : {changedLate, longLedger.chopped(31), longLedger + one}) {
            QVERIFY(writeBytes(dir.filePath(kName), onDisk));
            const auto changed =
                ledger.append(record(QStringLiteral("2009年04月02日"), "07:00:00", 2), longLedger);
            QVERIFY(changed);
            QCOMPARE(changed->kind, LedgerFileProblem::Kind::ChangedOnDisk);
            QCOMPARE(readBytes(dir.filePath(kName)), onDisk);
        }
        QVERIFY(writeBytes(dir.filePath(kName), longLedger));
        QByteArray written;
        QVERIFY(!ledger.append(record(QStringLiteral("2009年04月02日"), "07:00:00", 2), longLedger,
                               &written));
        QCOMPARE(written, readBytes(dir.filePath(kName)));
        QCOMPARE(written.size(), longLedger.size() + 31);
    }

    void refusesToGrowPastTheRecordLimit() {
        QTemporaryDir dir;
        const QByteArray one = sjis(QStringLiteral("\"2009年04月01日\",\"07:30:15\",1\r\n"));
        const QByteArray full = one.repeated(hibi::kMaxLedgerRecords);
        QVERIFY(writeBytes(dir.filePath(kName), full));
        const LedgerFile ledger(dir.path());
        const auto problem =
            ledger.append(record(QStringLiteral("2009年04月02日"), "07:00:00", 2), full);
        QVERIFY(problem);
        QCOMPARE(problem->kind, LedgerFileProblem::Kind::NotReadable);
        QCOMPARE(readBytes(dir.filePath(kName)).size(), full.size());
    }

    void aFullDiskLeavesTheOldFileWhole() {
        QTemporaryDir dir;
        const QByteArray old = sjis(QStringLiteral("\"2009年04月01日\",\"07:30:15\",1\r\n"));
        QVERIFY(writeBytes(dir.filePath(kName), old));
        const LedgerFile ledger(dir.path());
        std::optional<LedgerFileProblem> problem;
        {
            const FileSizeLimit limit(static_cast<rlim_t>(old.size() + 5));
            problem = ledger.append(record(QStringLiteral("2009年04月02日"), "07:28:40", 2), old);
        }
        QVERIFY(problem);
        QCOMPARE(problem->kind, LedgerFileProblem::Kind::WriteFailed);
        QCOMPARE(problem->fileName, kName);
        QVERIFY2(problem->reason.contains(QStringLiteral("large")), qPrintable(problem->reason));
        QCOMPARE(readBytes(dir.filePath(kName)), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList({kName}));  // no temp file left
        // Once the disk has room again the same append works.
        QVERIFY(!ledger.append(record(QStringLiteral("2009年04月02日"), "07:28:40", 2), old));
        QCOMPARE(ledger.load().parsed.records.size(), 2);
    }

    void aReadOnlyDirectoryLeavesTheOldFileWhole() {
        QTemporaryDir dir;
        const QByteArray old = sjis(QStringLiteral("\"2009年04月01日\",\"07:30:15\",1\r\n"));
        QVERIFY(writeBytes(dir.filePath(kName), old));
        QVERIFY(chmod(QFile::encodeName(dir.filePath(kName)).constData(), 0644) == 0);
        QVERIFY(chmod(QFile::encodeName(dir.path()).constData(), 0555) == 0);
        const QString path = dir.path();
        const int code = asUnprivilegedUser([&] {
            const LedgerFile ledger(path);
            if (!ledger.load().isWritable()) {
                return 1;
            }
            const auto appended = ledger.append(
                record(QStringLiteral("2009年04月02日"), "07:28:40", 2), std::nullopt);
            if (!appended || appended->kind != LedgerFileProblem::Kind::WriteFailed ||
                appended->reason.isEmpty()) {
                return 2;
            }
            const auto emptied = ledger.empty();
            if (!emptied || emptied->kind != LedgerFileProblem::Kind::WriteFailed) {
                return 3;
            }
            return 0;
        });
        QVERIFY(chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        QCOMPARE(code, 0);
        QCOMPARE(readBytes(dir.filePath(kName)), old);
    }

    void aFileThatCannotBeReplacedIsLeftWhole() {
        if (geteuid() != 0) {
            QSKIP("needs root to leave a file owned by another user in a shared directory");
        }
        // A shared directory with the sticky bit: the user may create files
        // but may not replace one that belongs to someone else.
        QTemporaryDir dir;
        const QByteArray old = sjis(QStringLiteral("\"2009年04月01日\",\"07:30:15\",1\r\n"));
        QVERIFY(writeBytes(dir.filePath(kName), old));
        QVERIFY(chmod(QFile::encodeName(dir.filePath(kName)).constData(), 0666) == 0);
        QVERIFY(chmod(QFile::encodeName(dir.path()).constData(), 01777) == 0);
        const QString path = dir.path();
        const int code = asUnprivilegedUser([&] {
            const auto appended = LedgerFile(path).append(
                record(QStringLiteral("2009年04月02日"), "07:28:40", 2), std::nullopt);
            return appended && appended->kind == LedgerFileProblem::Kind::WriteFailed ? 0 : 1;
        });
        QCOMPARE(code, 0);
        QCOMPARE(readBytes(dir.filePath(kName)), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({kName}));
    }

    void anUnreadableFileIsReportedNotReplaced() {
        QTemporaryDir dir;
        const QByteArray old = sjis(QStringLiteral("\"2009年04月01日\",\"07:30:15\",1\r\n"));
        QVERIFY(writeBytes(dir.filePath(kName), old));
        QVERIFY(chmod(QFile::encodeName(dir.filePath(kName)).constData(), 0200) == 0);
        QVERIFY(chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        const QString path = dir.path();
        const int code = asUnprivilegedUser([&] {
            const hibi::LedgerSnapshot snapshot = LedgerFile(path).load();
            if (!snapshot.problem ||
                snapshot.problem->kind != LedgerFileProblem::Kind::ReadFailed ||
                snapshot.isWritable()) {
                return 1;
            }
            return 0;
        });
        QCOMPARE(code, 0);
        QVERIFY(chmod(QFile::encodeName(dir.filePath(kName)).constData(), 0644) == 0);
        QCOMPARE(readBytes(dir.filePath(kName)), old);
    }
};

QTEST_GUILESS_MAIN(LedgerFileTest)
#include "tst_ledger_file.moc"
