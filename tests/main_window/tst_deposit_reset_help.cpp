#include <signal.h>

#include <QDir>
#include <QSignalSpy>

#include "help/help_viewer.h"
#include "ledger/ledger_file.h"
#include "window_fixture.h"

using hibi::MessageBox;
using namespace hibi::testing;

namespace {

// What the window shows, to compare before and after an operation that must
// change nothing: the panel, the newest history row, the row count and
// whether a deposit can be made.
QStringList screenOf(const WindowFixture& f) {
    const int rows = f.grid()->rows();
    return f.panel() + f.row(rows - 1) +
           QStringList{QString::number(rows),
                       f.button("cmdEveryHozon")->isEnabled() ? "on" : "off"};
}

}  // namespace

class DepositResetHelp : public QObject {
    Q_OBJECT
  private slots:
    void depositRecordsOnceAndShowsTheRow_data() {
        QTest::addColumn<QByteArray>("ledger");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QStringList>("newRow");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QString>("day");
        QTest::newRow("first deposit")
            << QByteArray() << at(2026, 12, 6, 7, 5, 9)
            << QStringList({"1", "2026年12月06日", "07:05:09", "¥1", "¥1"})
            << sjis(QStringLiteral("\"2026年12月06日\",\"07:05:09\",1\r\n")) << "1日";
        QTest::newRow("with arrears")
            << kApril1 + kApril2 << at(2009, 4, 5, 21, 5, 33)
            << QStringList({"3", "2009年04月05日", "21:05:33", "¥12", "¥15"}) << kApril5 << "5日";
        QTest::newRow("a long history, scrolled away from the end")
            << toPlan(500) << at(2010, 5, 16)
            << QStringList({"501", "2010年05月16日", "12:00:00", "¥501", "¥125,751"})
            << sjis(QStringLiteral("\"2010年05月16日\",\"12:00:00\",501\r\n")) << "501日";
    }
    void depositRecordsOnceAndShowsTheRow() {
        QFETCH(QByteArray, ledger);
        QFETCH(QDateTime, now);
        QFETCH(QStringList, newRow);
        QFETCH(QByteArray, written);
        QFETCH(QString, day);
        WindowFixture f(now);
        f.writeLedger(ledger);
        f.start();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        f.grid()->scrollToTop();
        f.press("cmdEveryHozon");
        const int rows = int(ledger.count('\n')) + 2;
        QVERIFY(f.newestRowInView());
        QCOMPARE(f.grid()->rows(), rows);
        QCOMPARE(f.row(rows - 1), newRow);
        QCOMPARE(f.ledger(), ledger + written);
        // Only the deposited note stays, the arrears lines go too; the day
        // label does not move.
        QCOMPARE(f.panel(), depositedPanel(day, newRow[4]));
        QVERIFY(MessageBox::takeShown().isEmpty());

        // A second press, a double click or a key repeat records nothing.
        f.press("cmdEveryHozon");
        QTest::mouseDClick(f.button("cmdEveryHozon"), Qt::LeftButton);
        QTest::keyClick(f.button("cmdEveryHozon"), Qt::Key_Space);
        QMetaObject::invokeMethod(f.window.get(), "cmdEveryHozon_Click");
        QCOMPARE(f.ledger(), ledger + written);
        QCOMPARE(f.grid()->rows(), rows);
    }

    // A deposit, a reset or a goal that cannot be written changes nothing
    // and says why; the deposit goes through once there is room again.
    void failedWritesChangeNothing() {
        WindowFixture f(at(2009, 4, 5, 21, 5, 33));
        f.writeLedger(kApril1 + kApril2);
        QVERIFY(writeBytes(f.goalPath(), "30\r\n"));
        f.start();
        const QStringList before = screenOf(f);
        {
            const FileSizeLimit full(static_cast<rlim_t>((kApril1 + kApril2).size() + 4));
            f.press("cmdEveryHozon");
        }
        QVERIFY(oneMessageWith({"ヒビノボリ.txt", "File too large"}));
        {
            const NoNewFiles exhausted;
            f.press("cmdEveryClr");
            const auto shown = MessageBox::takeShown();  // the question, then why
            QCOMPARE(shown.size(), 2);
            QVERIFY(
                shown[1].text.contains(QStringLiteral("ヒビノボリ.txt」を空にできませんでした")));
            f.goalBox()->clear();
            QTest::keyClicks(f.goalBox(), QStringLiteral("100"));
            QTest::keyClick(f.goalBox(), Qt::Key_Return);
        }
        QVERIFY(oneMessageWith({"目標ヒビノボリ.txt"}));
        QCOMPARE(readBytes(f.goalPath()), QByteArray("30\r\n"));
        QCOMPARE(f.ledger(), kApril1 + kApril2);
        QCOMPARE(screenOf(f), before);
        f.press("cmdEveryHozon");
        QCOMPARE(f.ledger(), kApril1 + kApril2 + kApril5);
        QCOMPARE(f.grid()->cellText(3, 4), QStringLiteral("¥15"));
    }

    // A press after the date or the ledger changed under the window records
    // nothing: it says why and shows what is due now.
    void aStaleAmountIsWorkedOutAgain_data() {
        QTest::addColumn<bool>("otherCopy");  // another copy deposits first; else midnight passes
        QTest::addColumn<QString>("why");
        QTest::addColumn<QStringList>("panel");
        QTest::addColumn<QByteArray>("next");             // what the next press records
        QTest::newRow("midnight between load and press")  // arrears 3 + 4 + 5
            << false << "日付が変わった"
            << arrearsPanel("6円", "3日からの滞納金が", "12円", "18円", "6日", "¥3")
            << sjis(QStringLiteral("\"2009年04月06日\",\"00:00:01\",18\r\n"));
        QTest::newRow("a ledger changed by another copy")  // today's deposit is there
            << true << "変更されていた" << depositedPanel("5日", "¥15") << QByteArray();
    }
    void aStaleAmountIsWorkedOutAgain() {
        QFETCH(bool, otherCopy);
        QFETCH(QString, why);
        QFETCH(QStringList, panel);
        QFETCH(QByteArray, next);
        WindowFixture f(at(2009, 4, 5, 23, 59, 59));
        f.writeLedger(kApril1 + kApril2);
        f.start();
        if (otherCopy) {
            QVERIFY(!hibi::LedgerFile(f.dir.path())
                         .append({QDate(2009, 4, 5), QTime(20, 0), hibi::Amount::fromYen(12)},
                                 std::nullopt));
        } else {
            f.clock.set(at(2009, 4, 6, 0, 0, 1));
        }
        const QByteArray before = f.ledger();
        f.press("cmdEveryHozon");
        QCOMPARE(f.ledger(), before);
        QVERIFY(oneMessageWith({why}));
        QCOMPARE(f.grid()->rows(), before.count('\n') + 1);
        QCOMPARE(f.panel(), panel);
        QCOMPARE(f.button("cmdEveryHozon")->isEnabled(), !next.isEmpty());
        f.press("cmdEveryHozon");
        QCOMPARE(f.ledger(), before + next);
    }

    void resetAskedAndAnswered_data() {
        QTest::addColumn<QByteArray>("ledger");
        QTest::addColumn<bool>("missing");
        QTest::addColumn<MessageBox::Answer>("answer");
        const QList<std::pair<const char*, QByteArray>> ledgers{
            {"deposited today", kApril1 + kApril2 + kApril5},
            {"arrears due", kApril1 + kApril2},
            {"empty", QByteArray()},
            {"missing file", QByteArray()},
            {"unreadable", kApril1 + "garbage\r\n"}};
        for (const auto& [name, ledger] : ledgers) {
            const bool missing = QByteArray(name) == "missing file";
            QTest::addRow("%s, cancelled", name) << ledger << missing << MessageBox::Answer::Cancel;
            QTest::addRow("%s, confirmed", name) << ledger << missing << MessageBox::Answer::Ok;
        }
    }
    void resetAskedAndAnswered() {
        QFETCH(QByteArray, ledger);
        QFETCH(bool, missing);
        QFETCH(MessageBox::Answer, answer);
        WindowFixture f(at(2009, 4, 5, 22));
        f.writeLedger(ledger);
        f.start();
        (void)MessageBox::takeShown();
        if (missing) {
            QVERIFY(QFile::remove(f.ledgerPath()));
        }
        const QStringList before = screenOf(f);
        f.scheduleShown = false;
        MessageBox::answerNext(answer);
        f.press("cmdEveryClr");
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("削除確認"));
        QCOMPARE(shown[0].text,
                 QStringLiteral("現在でギブアップして、また１円から始めますか？\r\n"));
        QCOMPARE(shown[0].icon, MessageBox::Icon::None);
        QCOMPARE(shown[0].buttons, MessageBox::Buttons::OkCancel);
        if (answer == MessageBox::Answer::Cancel) {
            QCOMPARE(screenOf(f), before);
            QCOMPARE(QFile::exists(f.ledgerPath()), !missing);
            QCOMPARE(f.ledger(), ledger);
            return;
        }
        QVERIFY(!f.scheduleShown);  // no introduction this time
        QCOMPARE(f.ledger(), QByteArray(""));
        QCOMPARE(f.grid()->rows(), 1);
        QCOMPARE(f.panel(), duePanel("1円", "1日", "¥0"));
        // The new plan starts with 1 yen today.
        f.press("cmdEveryHozon");
        QCOMPARE(f.ledger(), sjis(QStringLiteral("\"2009年04月05日\",\"22:00:00\",1\r\n")));
        QCOMPARE(f.grid()->cellText(1, 0), QStringLiteral("1"));
    }

    void helpNoteAndExit() {
        WindowFixture f(at(2009, 4, 5, 22));
        f.writeLedger(kApril1 + kApril2);
        const QString log = f.path(QStringLiteral("viewer.log"));
        const QString viewer = f.path(QStringLiteral("viewer.sh"));
        QVERIFY(writeStandInViewer(viewer, log));
        f.start();
        HelpViewer& help = f.window->helpViewer();
        QStringList errors;
        help.setErrorSink([&](const QString& line) { errors << line; });
        help.setViewerProgram(viewer);

        f.press("cmdsyoukai");
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("ヌピカ貯金！ウェクサルのご紹介"));
        QCOMPARE(shown[0].icon, MessageBox::Icon::Information);
        QCOMPARE(shown[0].buttons, MessageBox::Buttons::Ok);
        const QStringList lines = shown[0].text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 7);
        QCOMPARE(
            lines[3],
            QStringLiteral(
                "それぞれの貯金データを利用して、グラフや一覧で貯蓄状況を表示できる機能があり"));
        QCOMPARE(lines[4], QStringLiteral("やる気と継続する力をより強力にサポートします。"));
        // No help file here yet: one line, and the program says nothing itself.
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0].contains(QStringLiteral("WexalHelp.chm")));

        for (const char* name : {"zkHelp.chm", "WexalHelp.chm"}) {
            QVERIFY(writeBytes(f.path(QString::fromLatin1(name)), "help"));
        }
        f.press("cmdHelp");
        QTRY_COMPARE(viewerLog(log).size(), 1);
        f.press("cmdsyoukai");
        QTRY_COMPARE(viewerLog(log), QStringList({"viewer.sh|1|" + f.path("zkHelp.chm"),
                                                  "viewer.sh|1|" + f.path("WexalHelp.chm")}));
        const QList<qint64> viewers = help.viewerProcessIds();

        QSignalSpy exiting(f.window.get(), &fraMain::exitRequested);
        f.press("cmdEnd");
        QCOMPARE(exiting.size(), 1);
        QVERIFY(!f.window->isVisible());
        QCOMPARE(viewers.size(), 2);
        for (qint64 pid : viewers) {
            QVERIFY(kill(static_cast<pid_t>(pid), 0) != 0);
        }
        QCOMPARE(f.ledger(), kApril1 + kApril2);
    }
};

QTEST_MAIN(DepositResetHelp)
#include "tst_deposit_reset_help.moc"
