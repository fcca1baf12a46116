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
using Kind = hibi::LedgerFileProblem::Kind;
using hibi::testing::readBytes;
using hibi::testing::sjis;
using hibi::testing::writeBytes;

namespace {

const QString kName = QStringLiteral("ヒビノボリ.txt");
const QByteArray kOld = sjis(QStringLiteral("\"2009年04月01日\",\"07:30:15\",1\r\n"));
const hibi::LedgerRecord kNext{QDate(2009, 4, 2), QTime(7, 28, 40), Amount::fromYen(2)};

bool writable(const hibi::LedgerSnapshot& s) {
    return !s.problem && !s.parsed.error;
}
const QByteArray kNextBytes = sjis(QStringLiteral("\"2009年04月02日\",\"07:28:40\",2\r\n"));

// A temporary directory holding a ledger, unless old is null.
struct Folder {
    explicit Folder(const QByteArray& old = kOld, const QString& name = kName) {
        if (!old.isNull()) {
            QVERIFY(writeBytes(file(name), old));
        }
    }
    QString file(const QString& name = kName) const { return dir.filePath(name); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files); }
    QTemporaryDir dir;
    LedgerFile ledger{dir.path()};
};

}  // namespace

class LedgerFileTest : public QObject {
    Q_OBJECT
  private slots:
    void createAppendAndEmpty() {
        Folder f(QByteArray{});
        hibi::LedgerSnapshot snapshot = f.ledger.load();
        QVERIFY(!snapshot.existed && writable(snapshot));
        QCOMPARE(snapshot.fileName, kName);
        QVERIFY(!QFile::exists(f.file()));  // loading creates nothing
        QVERIFY(!f.ledger.createIfMissing());
        QCOMPARE(readBytes(f.file()), QByteArray(""));
        QVERIFY(f.ledger.load().existed);

        QVERIFY(QFile::remove(f.file()));  // a missing file is taken as empty and created
        QVERIFY(!f.ledger.append({QDate(2009, 4, 1), QTime(7, 30, 15), Amount::fromYen(1)},
                                 QByteArray()));
        QVERIFY(!f.ledger.append(kNext, kOld));
        snapshot = f.ledger.load();
        QVERIFY(writable(snapshot));
        QCOMPARE(snapshot.content, kOld + kNextBytes);
        QCOMPARE(readBytes(f.file()), kOld + kNextBytes);
        QCOMPARE(snapshot.parsed.records[1].amount, Amount::fromYen(2));

        QVERIFY(!f.ledger.empty());
        QCOMPARE(readBytes(f.file()), QByteArray(""));
        QVERIFY(QFile::remove(f.file()));  // emptying a missing ledger creates it empty
        QVERIFY(!f.ledger.empty());
        QCOMPARE(readBytes(f.file()), QByteArray(""));
    }

    void appendEndsAnUnterminatedLastLineFirst() {
        Folder f(kOld.chopped(2));
        QVERIFY(!f.ledger.append(kNext, kOld.chopped(2)));
        QCOMPARE(readBytes(f.file()), kOld + kNextBytes);
    }

    void keepsTheCaseOfAnExistingExtension() {
        const QString upper = QStringLiteral("ヒビノボリ.TXT");
        Folder f(kOld, upper);
        QVERIFY(writeBytes(f.file(QStringLiteral("ヒビノボリ.txt.bak")), "x"));
        QVERIFY(writeBytes(f.file(QStringLiteral("ヒビノボリ2.txt")), "x"));
        QCOMPARE(f.ledger.load().fileName, upper);
        QVERIFY(!f.ledger.append(kNext, kOld));
        QCOMPARE(readBytes(f.file(upper)), kOld + kNextBytes);
        QVERIFY(!f.ledger.empty());
        QCOMPARE(readBytes(f.file(upper)), QByteArray(""));
        QVERIFY(!QFile::exists(f.file()));
    }

    void twoSpellingsAreNeverGuessedBetween() {
        const QString other = QStringLiteral("ヒビノボリ.Txt");
        Folder f;
        QVERIFY(writeBytes(f.file(other), "b"));
        const hibi::LedgerSnapshot snapshot = f.ledger.load();
        QCOMPARE(snapshot.problem->kind, Kind::AmbiguousName);
        QCOMPARE(snapshot.problem->names, QStringList({other, kName}));
        QVERIFY(!writable(snapshot));
        QCOMPARE(f.ledger.append(kNext, std::nullopt)->kind, Kind::AmbiguousName);
        QCOMPARE(f.ledger.empty()->kind, Kind::AmbiguousName);
        QCOMPARE(f.ledger.createIfMissing()->kind, Kind::AmbiguousName);
        QCOMPARE(readBytes(f.file()), kOld);
        QCOMPARE(readBytes(f.file(other)), QByteArray("b"));
    }

    void neverRewritesALedgerItCouldNotRead() {
        const QByteArray bad = kOld + "garbage\r\n";
        Folder f(bad);
        const hibi::LedgerSnapshot snapshot = f.ledger.load();
        QVERIFY(!writable(snapshot));
        QCOMPARE(snapshot.parsed.error->line, 2);
        QCOMPARE(snapshot.parsed.records.size(), 1);
        const auto problem = f.ledger.append(kNext, std::nullopt);
        QCOMPARE(problem->kind, Kind::NotReadable);
        QCOMPARE(problem->where->line, 2);
        QCOMPARE(readBytes(f.file()), bad);

        // Nor one that a deposit would take past the record limit.
        const QByteArray full = kOld.repeated(hibi::kMaxLedgerRecords);
        QVERIFY(writeBytes(f.file(), full));
        QCOMPARE(f.ledger.append(kNext, full)->kind, Kind::NotReadable);
        QCOMPARE(readBytes(f.file()).size(), full.size());
    }

    // A long ledger is compared in pieces: a change past the first piece, a
    // shorter file and a longer one are all told from the loaded bytes.
    void appendRefusesWhenTheFileChangedSinceLoading_data() {
        QTest::addColumn<QByteArray>("loaded");
        QTest::addColumn<QByteArray>("onDisk");
        const QByteArray longLedger = kOld.repeated(3000);  // 93,000 bytes
        QByteArray changedLate = longLedger;
        changedLate[80000] = changedLate[80000] == '1' ? '2' : '1';
        QTest::newRow("another deposit") << QByteArray("") << kOld;
        QTest::newRow("missing, loaded with records") << kOld << QByteArray();
        QTest::newRow("changed late") << longLedger << changedLate;
        QTest::newRow("shorter") << longLedger << longLedger.chopped(31);
        QTest::newRow("longer") << longLedger << longLedger + kOld;
    }
    void appendRefusesWhenTheFileChangedSinceLoading() {
        QFETCH(QByteArray, loaded);
        QFETCH(QByteArray, onDisk);
        Folder f(onDisk);
        QCOMPARE(f.ledger.append(kNext, loaded)->kind, Kind::ChangedOnDisk);
        QCOMPARE(readBytes(f.file()), onDisk);
        // Unchanged, the same append goes through and reports what it wrote.
        QVERIFY(writeBytes(f.file(), loaded));
        QByteArray written;
        QVERIFY(!f.ledger.append(kNext, loaded, &written));
        QCOMPARE(written, loaded + kNextBytes);
        QCOMPARE(readBytes(f.file()), written);
    }

    void aFullDiskLeavesTheOldFileWhole() {
        Folder f;
        std::optional<hibi::LedgerFileProblem> problem;
        {
            const hibi::testing::FileSizeLimit limit(static_cast<rlim_t>(kOld.size() + 5));
            problem = f.ledger.append(kNext, kOld);
        }
        QCOMPARE(problem->kind, Kind::WriteFailed);
        QCOMPARE(problem->fileName, kName);
        QCOMPARE(problem->error.code, EFBIG);
        QCOMPARE(readBytes(f.file()), kOld);
        QCOMPARE(f.files(), QStringList({kName}));  // no temporary file left
        QVERIFY(!f.ledger.append(kNext, kOld));     // once there is room again
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
        Folder f;
        QVERIFY(chmod(QFile::encodeName(f.file()).constData(), mode_t(fileMode)) == 0);
        QVERIFY(chmod(QFile::encodeName(f.dir.path()).constData(), mode_t(dirMode)) == 0);
        const int code = hibi::testing::asUnprivilegedUser([&] {
            const hibi::LedgerSnapshot snapshot = f.ledger.load();
            if (!canRead) {
                return snapshot.problem && snapshot.problem->kind == Kind::ReadFailed &&
                               !writable(snapshot)
                           ? 0
                           : 1;
            }
            const auto appended = f.ledger.append(kNext, std::nullopt);
            const auto emptied = f.ledger.empty();
            return writable(snapshot) && appended && appended->kind == Kind::WriteFailed &&
                           appended->error.code != 0 && emptied &&
                           (emptied->kind == Kind::WriteFailed ||
                            emptied->kind == Kind::FolderReadOnly)
                       ? 0
                       : 2;
        });
        QVERIFY(chmod(QFile::encodeName(f.dir.path()).constData(), 0755) == 0);
        QVERIFY(chmod(QFile::encodeName(f.file()).constData(), 0644) == 0);
        QCOMPARE(code, 0);
        QCOMPARE(readBytes(f.file()), kOld);
        QCOMPARE(f.files(), QStringList({kName}));
    }
};

QTEST_GUILESS_MAIN(LedgerFileTest)
#include "tst_ledger_file.moc"
