// The history as a spreadsheet takes it, and where the export may not write.

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "ledger/schedule.h"
#include "plan/history_files.h"
#include "test_support.h"

using namespace hibi::testing;

class HistoryCsv : public QObject {
    Q_OBJECT
  private slots:
    // Byte for byte: BOM, header, CR LF, ISO dates, texts that look like
    // formulas defused, and no total made up where it no longer fits.
    void bytes() {
        const QByteArray ledger = ledgerLine(QDate(2009, 4, 1), QStringLiteral("07:30:15"), "1") +
                                  sjis(QStringLiteral("\"=HYPERLINK(1)\",\"+81 3,4\",-3\r\n"
                                                      "\"2009年4月,2日\",\"@SUM(A1)\",2.5\r\n"
                                                      "\"x\",\"-1\",922337203685477\r\n")) +
                                  ledgerLine(QDate(2009, 4, 5), QStringLiteral("\t1"), "12");
        const hibi::ParsedLedger parsed = hibi::parseLedger(ledger);
        QVERIFY(!parsed.error);
        const QByteArray expected =
            "\xEF\xBB\xBF" + QStringLiteral(
                                 "回,日付,時刻,入金,累積\r\n"
                                 "1,2009-04-01,07:30:15,1,1\r\n"
                                 "2,\"'=HYPERLINK(1)\",\"'+81 3,4\",-3,-2\r\n"
                                 "3,\"2009年4月,2日\",\"'@SUM(A1)\",2.5,0.5\r\n"
                                 "4,x,\"'-1\",922337203685477,922337203685477.5\r\n"
                                 "5,2009-04-05,\"'\t1\",12,\r\n")
                                 .toUtf8();
        QCOMPARE(hibi::historyCsv(parsed.records, hibi::runningTotals(parsed.records)), expected);
    }

    // An export is no more open than the ledger: new, or replacing a file
    // that was.
    void asPrivateAsTheLedger() {
        HIBI_POSIX_ONLY("file modes; a Windows file takes its folder's access list");
#ifndef _WIN32
        QTemporaryDir data;
        const QString ledger = QDir(data.path()).filePath(QStringLiteral("ヒビノボリ.txt"));
        const QString csv = QDir(data.path()).filePath(QStringLiteral("a.csv"));
        const auto mode = [](const QString& path) {
            struct stat st {};
            return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 0777 : 0u;
        };
        const mode_t mask = ::umask(022);
        QVERIFY(writeBytes(ledger, "") &&
                ::chmod(QFile::encodeName(ledger).constData(), 0600) == 0);
        QVERIFY(!hibi::writeHistoryCsv(csv, "x", ledger));
        QCOMPARE(mode(csv), 0600u);
        QVERIFY(::chmod(QFile::encodeName(csv).constData(), 0664) == 0);
        QVERIFY(!hibi::writeHistoryCsv(csv, "y", ledger));
        QCOMPARE(mode(csv), 0600u);
        QCOMPARE(readBytes(csv), QByteArray("y"));
        // A ledger open to others gives what the mask allows, no more.
        QVERIFY(::chmod(QFile::encodeName(ledger).constData(), 0666) == 0);
        QVERIFY(QFile::remove(csv) && !hibi::writeHistoryCsv(csv, "z", ledger));
        QCOMPARE(mode(csv), 0644u);
        QCOMPARE(::umask(mask), mode_t{022});
#endif
    }

    // The export never replaces the ledger, the goal, the lock or a kept
    // copy, however the name is spelt or the folder reached.
    void neverOverTheProgramsFiles() {
        QTemporaryDir data;
        QDir dir(data.path());
        // A backup folder copied from a Mac keeps its decomposed name.
        const QString nfdBackups =
            QStringLiteral("バックアップ").normalized(QString::NormalizationForm_D);
        QVERIFY(dir.mkpath(QStringLiteral("バックアップ/古い")) && dir.mkpath(nfdBackups) &&
                dir.mkpath(QStringLiteral("sub")));
        // A Windows link is a shortcut file the system does not follow.
        const bool links = QFile::link(data.path(), dir.filePath(QStringLiteral("link"))) &&
                           QFileInfo(dir.filePath(QStringLiteral("link"))).isDir();
#ifndef _WIN32
        QVERIFY(links);
#endif
        const QString nfd =
            QStringLiteral("ヒビノボリ.txt").normalized(QString::NormalizationForm_D);
        for (const QString& name :
             {QStringLiteral("ヒビノボリ.txt"), QStringLiteral("ヒビノボリ.TXT"), nfd,
              QStringLiteral("目標ヒビノボリ.Txt"), QStringLiteral("ヒビノボリ.LOCK"),
              QStringLiteral("バックアップ"), QStringLiteral("バックアップ/a.csv"),
              QStringLiteral("バックアップ/古い/a.csv"), nfdBackups + "/a.txt",
              QStringLiteral("sub/../ヒビノボリ.txt"), QStringLiteral("link/目標ヒビノボリ.txt")}) {
            if (links || !name.startsWith(QStringLiteral("link/"))) {
                QVERIFY2(hibi::isProgramDataPath(dir.filePath(name), data.path()),
                         qPrintable(name));
            }
        }
        for (const QString& name :
             {QStringLiteral("ヒビノボリ_20090405.csv"), QStringLiteral("sub/ヒビノボリ.txt"),
              QStringLiteral("ヒビノボリ.csv")}) {
            QVERIFY2(!hibi::isProgramDataPath(dir.filePath(name), data.path()), qPrintable(name));
        }
    }
};

QTEST_GUILESS_MAIN(HistoryCsv)
#include "tst_history_csv.moc"
