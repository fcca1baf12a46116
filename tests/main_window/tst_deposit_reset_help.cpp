#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>

#include <QDir>
#include <QSignalSpy>

#include "help/help_viewer.h"
#include "ledger/ledger_file.h"
#include "window_fixture.h"

using hibi::MessageBox;
using hibi::testing::FileSizeLimit;
using hibi::testing::ledgerLine;
using hibi::testing::NoNewFiles;
using hibi::testing::readBytes;
using hibi::testing::sjis;
using hibi::testing::WindowFixture;
using hibi::testing::writeBytes;

namespace {

QDateTime at(int year, int month, int day, int hour = 12, int minute = 0, int second = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

const QByteArray kApril1 = ledgerLine(QDate(2009, 4, 1), "07:30:15", "1");
const QByteArray kApril2 = ledgerLine(QDate(2009, 4, 2), "07:28:40", "2");
const QByteArray kApril5 = sjis(QStringLiteral("\"2009年04月05日\",\"21:05:33\",12\r\n"));

// What the window shows, to compare before and after an operation that must
// change nothing.
struct Screen {
    int rows;
    QStringList lastRow;
    QString day, total;
    QStringList visibleStatus;
    QStringList statusTexts;
    bool depositEnabled;
    bool operator==(const Screen&) const = default;
};

Screen screenOf(const WindowFixture& f) {
    Screen s;
    s.rows = f.grid()->rows();
    for (int c = 0; c < 5; ++c) {
        s.lastRow << f.grid()->cellText(s.rows - 1, c);
    }
    s.day = f.text("lblkeika");
    s.total = f.text("lblEvery_zen");
    s.visibleStatus = f.visibleStatus();
    for (const QString& name : s.visibleStatus) {
        s.statusTexts << f.text(name);
    }
    s.depositEnabled = f.button("cmdEveryHozon")->isEnabled();
    return s;
}

void press(const WindowFixture& f, const char* button) {
    QTest::mouseClick(f.button(QString::fromLatin1(button)), Qt::LeftButton);
}

}  // namespace

class DepositResetHelp : public QObject {
    Q_OBJECT
  private slots:
    void firstDeposit() {
        WindowFixture f(at(2026, 12, 6, 7, 5, 9));
        f.start();
        press(f, "cmdEveryHozon");
        QCOMPARE(f.grid()->rows(), 2);
        QCOMPARE(f.grid()->cellText(1, 0), QStringLiteral("1"));
        QCOMPARE(f.grid()->cellText(1, 1), QStringLiteral("2026年12月06日"));
        QCOMPARE(f.grid()->cellText(1, 2), QStringLiteral("07:05:09"));
        QCOMPARE(f.grid()->cellText(1, 3), QStringLiteral("¥1"));
        QCOMPARE(f.grid()->cellText(1, 4), QStringLiteral("¥1"));
        QCOMPARE(readBytes(f.ledgerPath()),
                 sjis(QStringLiteral("\"2026年12月06日\",\"07:05:09\",1\r\n")));
        QCOMPARE(f.visibleStatus(), QStringList({"lblCmnt1_2"}));
        QCOMPARE(f.text("lblCmnt1_2"), QStringLiteral("本日入金済みです。"));
        QVERIFY(!f.button("cmdEveryHozon")->isEnabled());
        QCOMPARE(f.text("lblEvery_zen"), QStringLiteral("¥1"));
        QCOMPARE(f.text("lblkeika"), QStringLiteral("1日"));
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void depositWithArrearsAndNoSecondPress() {
        WindowFixture f(at(2009, 4, 5, 21, 5, 33));
        f.writeLedger(kApril1 + kApril2);
        f.start();
        QCOMPARE(f.text("lblkeika"), QStringLiteral("5日"));
        press(f, "cmdEveryHozon");
        QCOMPARE(f.grid()->rows(), 4);
        QCOMPARE(f.grid()->cellText(3, 0), QStringLiteral("3"));
        QCOMPARE(f.grid()->cellText(3, 1), QStringLiteral("2009年04月05日"));
        QCOMPARE(f.grid()->cellText(3, 3), QStringLiteral("¥12"));
        QCOMPARE(f.grid()->cellText(3, 4), QStringLiteral("¥15"));
        QCOMPARE(readBytes(f.ledgerPath()), kApril1 + kApril2 + kApril5);
        QCOMPARE(f.text("lblkeika"), QStringLiteral("5日"));  // the day label does not move
        QCOMPARE(f.text("lblEvery_zen"), QStringLiteral("¥15"));
        QCOMPARE(f.visibleStatus(), QStringList({"lblCmnt1_2"}));  // the arrears lines go too

        // A second press, a double click or a key repeat records nothing.
        press(f, "cmdEveryHozon");
        QTest::mouseDClick(f.button("cmdEveryHozon"), Qt::LeftButton);
        QTest::keyClick(f.button("cmdEveryHozon"), Qt::Key_Space);
        QMetaObject::invokeMethod(f.window.get(), "cmdEveryHozon_Click");
        QCOMPARE(readBytes(f.ledgerPath()), kApril1 + kApril2 + kApril5);
        QCOMPARE(f.grid()->rows(), 4);
    }

    void depositScrollsToTheNewRow() {
        WindowFixture f(at(2012, 1, 1));
        QByteArray ledger;
        for (int i = 0; i < 500; ++i) {
            ledger += ledgerLine(QDate(2009, 1, 1).addDays(i), "07:00:00", "1");
        }
        f.writeLedger(ledger);
        f.start();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        f.grid()->scrollToTop();
        press(f, "cmdEveryHozon");
        QCOMPARE(f.grid()->rows(), 502);
        const QRect last = f.grid()->visualRect(f.grid()->model()->index(501, 0));
        QVERIFY(last.isValid());
        QVERIFY(f.grid()->viewport()->rect().contains(last));
    }

    void aFailedWriteChangesNothingAndCanBeRetried() {
        WindowFixture f(at(2009, 4, 5, 21, 5, 33));
        f.writeLedger(kApril1 + kApril2);
        f.start();
        const Screen before = screenOf(f);
        {
            const FileSizeLimit full(static_cast<rlim_t>((kApril1 + kApril2).size() + 4));
            press(f, "cmdEveryHozon");
        }
        QCOMPARE(readBytes(f.ledgerPath()), kApril1 + kApril2);
        QVERIFY(screenOf(f) == before);
        QCOMPARE(f.window->state().curRuikei, hibi::Amount::fromYen(3));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("ヒビノボリ.txt")));
        QVERIFY2(shown[0].text.contains(QStringLiteral("File too large")),
                 qPrintable(shown[0].text));
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files),
                 QStringList({QStringLiteral("ヒビノボリ.txt")}));
        // Room on the disk again: the same press records the deposit.
        press(f, "cmdEveryHozon");
        QCOMPARE(readBytes(f.ledgerPath()), kApril1 + kApril2 + kApril5);
        QCOMPARE(f.grid()->cellText(3, 4), QStringLiteral("¥15"));
    }

    void midnightBetweenLoadAndPress() {
        WindowFixture f(at(2009, 4, 5, 23, 59, 59));
        f.writeLedger(kApril1 + kApril2);
        f.start();
        QCOMPARE(f.text("lblEvery_Goukei"), QStringLiteral("12円"));
        f.clock.set(at(2009, 4, 6, 0, 0, 1));
        press(f, "cmdEveryHozon");
        QCOMPARE(readBytes(f.ledgerPath()), kApril1 + kApril2);  // nothing recorded yet
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("日付が変わった")));
        // Brought up to date: day 6, arrears 3 + 4 + 5.
        QCOMPARE(f.text("lblkeika"), QStringLiteral("6日"));
        QCOMPARE(f.text("lblEvery_Kingaku"), QStringLiteral("6円"));
        QCOMPARE(f.text("lblCmnt1_2"), QStringLiteral("3日からの滞納金が"));
        QCOMPARE(f.text("lblEvery_Goukei"), QStringLiteral("18円"));
        QVERIFY(f.button("cmdEveryHozon")->isEnabled());
        press(f, "cmdEveryHozon");
        QCOMPARE(
            readBytes(f.ledgerPath()),
            kApril1 + kApril2 + sjis(QStringLiteral("\"2009年04月06日\",\"00:00:01\",18\r\n")));
    }

    void aLedgerChangedByAnotherCopy() {
        WindowFixture f(at(2009, 4, 5, 21, 5, 33));
        f.writeLedger(kApril1 + kApril2);
        f.start();
        // Another copy of the program deposits first.
        QVERIFY(!hibi::LedgerFile(f.dir.path())
                     .append({QStringLiteral("2009年04月05日"), QStringLiteral("20:00:00"),
                              hibi::Amount::fromYen(12)},
                             std::nullopt));
        const QByteArray theirs = readBytes(f.ledgerPath());
        press(f, "cmdEveryHozon");
        QCOMPARE(readBytes(f.ledgerPath()), theirs);
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("変更されていた")));
        // Reloaded: today's deposit is already there.
        QCOMPARE(f.grid()->rows(), 4);
        QCOMPARE(f.visibleStatus(), QStringList({"lblCmnt1_2"}));
        QVERIFY(!f.button("cmdEveryHozon")->isEnabled());
    }

    void resetAskedAndAnswered_data() {
        QTest::addColumn<QByteArray>("ledger");
        QTest::addColumn<bool>("missing");
        QTest::addColumn<QDateTime>("now");
        QTest::newRow("deposited today")
            << kApril1 + kApril2 + kApril5 << false << at(2009, 4, 5, 22);
        QTest::newRow("arrears due") << kApril1 + kApril2 << false << at(2009, 4, 5, 22);
        QTest::newRow("empty") << QByteArray() << false << at(2009, 4, 5, 22);
        QTest::newRow("missing file") << QByteArray() << true << at(2009, 4, 5, 22);
        QTest::newRow("unreadable") << kApril1 + "garbage\r\n" << false << at(2009, 4, 5, 22);
    }
    void resetAskedAndAnswered() {
        QFETCH(QByteArray, ledger);
        QFETCH(bool, missing);
        QFETCH(QDateTime, now);
        for (MessageBox::Answer answer : {MessageBox::Answer::Cancel, MessageBox::Answer::Ok}) {
            WindowFixture f(now);
            if (!missing) {
                f.writeLedger(ledger);
            }
            f.start();
            (void)MessageBox::takeShown();
            if (missing) {  // gone again after start-up created it
                QVERIFY(QFile::remove(f.ledgerPath()));
            }
            const Screen before = screenOf(f);
            MessageBox::answerNext(answer);
            press(f, "cmdEveryClr");
            const auto shown = MessageBox::takeShown();
            QVERIFY(!shown.isEmpty());
            QCOMPARE(shown[0].title, QStringLiteral("削除確認"));
            QCOMPARE(shown[0].text,
                     QStringLiteral("現在でギブアップして、また１円から始めますか？\r\n"));
            QCOMPARE(shown[0].buttons, MessageBox::Buttons::OkCancel);
            QCOMPARE(shown[0].icon, MessageBox::Icon::None);
            if (answer == MessageBox::Answer::Cancel) {
                QCOMPARE(shown.size(), 1);
                QVERIFY(screenOf(f) == before);
                QCOMPARE(QFile::exists(f.ledgerPath()), !missing);
                if (!missing) {
                    QCOMPARE(readBytes(f.ledgerPath()), ledger);
                }
                continue;
            }
            QCOMPARE(shown.size(), 1);
            QVERIFY(!f.closer->sawSchedule || ledger.isEmpty());
            QCOMPARE(readBytes(f.ledgerPath()), QByteArray(""));
            QVERIFY(QFile::exists(f.ledgerPath()));
            QCOMPARE(f.grid()->rows(), 1);
            QCOMPARE(f.text("lblkeika"), QStringLiteral("1日"));
            QCOMPARE(f.text("lblEvery_zen"), QStringLiteral("¥0"));
            QCOMPARE(f.visibleStatus(),
                     QStringList({"lblCmnt1_0", "lblEvery_Kingaku", "lblCmnt1_1"}));
            QCOMPARE(f.text("lblEvery_Kingaku"), QStringLiteral("1円"));
            QVERIFY(f.button("cmdEveryHozon")->isEnabled());
            QVERIFY(QApplication::activeModalWidget() == nullptr);
            // The new plan starts with 1 yen today.
            press(f, "cmdEveryHozon");
            QCOMPARE(readBytes(f.ledgerPath()),
                     sjis(QStringLiteral("\"2009年04月05日\",\"22:00:00\",1\r\n")));
            QCOMPARE(f.grid()->cellText(1, 0), QStringLiteral("1"));
        }
    }

    void aResetThatCannotEmptyTheLedgerChangesNothing() {
        WindowFixture f(at(2009, 4, 5, 22));
        f.writeLedger(kApril1 + kApril2);
        f.start();
        const Screen before = screenOf(f);
        {
            const NoNewFiles exhausted;
            press(f, "cmdEveryClr");
        }
        QCOMPARE(readBytes(f.ledgerPath()), kApril1 + kApril2);
        QVERIFY(screenOf(f) == before);
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 2);  // the question, then why nothing happened
        QVERIFY(shown[1].text.contains(QStringLiteral("ヒビノボリ.txt")));
        QVERIFY(shown[1].text.contains(QStringLiteral("空にできませんでした")));
    }

    void aGoalThatCannotBeSavedIsReported() {
        WindowFixture f(at(2009, 4, 5, 22));
        f.writeLedger(kApril1 + kApril2);
        QVERIFY(writeBytes(f.path(QStringLiteral("目標ヒビノボリ.txt")), "30\r\n"));
        f.start();
        f.goalBox()->clear();
        QTest::keyClicks(f.goalBox(), QStringLiteral("100"));
        {
            const NoNewFiles exhausted;
            QTest::keyClick(f.goalBox(), Qt::Key_Return);
        }
        QCOMPARE(readBytes(f.path(QStringLiteral("目標ヒビノボリ.txt"))), QByteArray("30\r\n"));
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("目標ヒビノボリ.txt")));
    }

    void companionNoteThenItsHelp() {
        WindowFixture f(at(2009, 4, 5, 22));
        f.writeLedger(kApril1 + kApril2);
        f.start();
        HelpViewer& help = f.window->helpViewer();
        QStringList errors;
        help.setErrorSink([&](const QString& line) { errors << line; });
        help.setViewerProgram(QStringLiteral("/bin/true"));
        press(f, "cmdsyoukai");
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("ヌピカ貯金！ウェクサルのご紹介"));
        QCOMPARE(shown[0].icon, MessageBox::Icon::Information);
        QCOMPARE(shown[0].buttons, MessageBox::Buttons::Ok);
        const QStringList lines = shown[0].text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 7);
        QVERIFY(lines[0].contains(QStringLiteral("「")) && lines[0].endsWith(QStringLiteral("！")));
        QVERIFY(lines[1].isEmpty());
        QCOMPARE(
            lines[3],
            QStringLiteral(
                "それぞれの貯金データを利用して、グラフや一覧で貯蓄状況を表示できる機能があり"));
        QCOMPARE(lines[4], QStringLiteral("やる気と継続する力をより強力にサポートします。"));
        QVERIFY(lines[5].isEmpty());
        QVERIFY(lines[6].contains(QStringLiteral("ヘルプ")));
        QVERIFY(!shown[0].text.endsWith(QStringLiteral("\r\n")));
        // No companion help file here: the program says nothing itself.
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0].contains(QStringLiteral("WexalHelp.chm")));
        QCOMPARE(f.window->state().strHelp, QStringLiteral("WexalHelp.chm"));
    }

    void helpAndExitWithAStandInViewer() {
        WindowFixture f(at(2009, 4, 5, 22));
        f.writeLedger(kApril1 + kApril2);
        for (const char* name : {"zkHelp.chm", "WexalHelp.chm"}) {
            QVERIFY(writeBytes(f.path(QString::fromLatin1(name)), "help"));
        }
        const QString log = f.path(QStringLiteral("viewer.log"));
        const QString viewer = f.path(QStringLiteral("viewer.sh"));
        QVERIFY(writeBytes(
            viewer,
            QStringLiteral("#!/bin/sh\necho \"$@\" >> '%1'\nexec sleep 60\n").arg(log).toUtf8()));
        QVERIFY(
            QFile::setPermissions(viewer, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        f.start();
        HelpViewer& help = f.window->helpViewer();
        help.setViewerProgram(viewer);
        press(f, "cmdHelp");
        QTRY_COMPARE(readBytes(log).count('\n'), 1);
        press(f, "cmdsyoukai");
        QTRY_COMPARE(readBytes(log).count('\n'), 2);
        QCOMPARE(QString::fromUtf8(readBytes(log)),
                 f.path(QStringLiteral("zkHelp.chm")) + QLatin1Char('\n') +
                     f.path(QStringLiteral("WexalHelp.chm")) + QLatin1Char('\n'));
        const QList<qint64> viewers = help.viewerProcessIds();
        QCOMPARE(viewers.size(), 2);

        QSignalSpy exiting(f.window.get(), &fraMain::exitRequested);
        press(f, "cmdEnd");
        QCOMPARE(exiting.size(), 1);
        QVERIFY(!f.window->isVisible());
        for (qint64 pid : viewers) {
            QVERIFY(kill(static_cast<pid_t>(pid), 0) != 0);
        }
        QVERIFY(help.viewerProcessIds().isEmpty());
        QCOMPARE(readBytes(f.ledgerPath()), kApril1 + kApril2);
    }
};

QTEST_MAIN(DepositResetHelp)
#include "tst_deposit_reset_help.moc"
