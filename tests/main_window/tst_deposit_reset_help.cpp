#include <signal.h>

#include <QSignalSpy>

#include "help/help_viewer.h"
#include "ledger/ledger_file.h"
#include "window_fixture.h"

using hibi::MessageBox;
using namespace hibi::testing;

namespace {

// The panel, the history's newest row and size and whether a deposit can be
// made.
QString screenOf(const WindowFixture& f) {
    return QStringLiteral("%1 %2 %3 %4")
        .arg(f.panel(), f.newestRow())
        .arg(f.grid()->rows())
        .arg(f.canDeposit() ? "on" : "off");
}

enum class Refusal { FullDisk, Midnight, OtherCopy };

}  // namespace

class DepositResetHelp : public QObject {
    Q_OBJECT
  private slots:
    // The new row is shown and scrolled into view; the panel then says only
    // that today's deposit is made, and the button is off.
    void depositShowsTheRow_data() {
        QTest::addColumn<QByteArray>("ledger");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("newRow");
        QTest::addColumn<QString>("panel");
        QTest::newRow("first deposit")
            << QByteArray() << at(2026, 12, 6, 7, 5, 9) << "1|2026年12月06日|07:05:09|¥1|¥1"
            << "1日 ¥1";
        QTest::newRow("with arrears")
            << kApril1 + kApril2 << at(2009, 4, 5, 21, 5, 33) << "3|2009年04月05日|21:05:33|¥12|¥15"
            << "5日 ¥15";
        QTest::newRow("a long history, scrolled away from the end")
            << toPlan(500) << at(2010, 5, 16) << "501|2010年05月16日|12:00:00|¥501|¥125,751"
            << "501日 ¥125,751";
    }
    void depositShowsTheRow() {
        QFETCH(QByteArray, ledger);
        QFETCH(QDateTime, now);
        QFETCH(QString, newRow);
        QFETCH(QString, panel);
        WindowFixture f(now, ledger);
        f.start();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        f.grid()->scrollToTop();
        f.press("cmdEveryHozon");
        QCOMPARE(f.grid()->rows(), ledger.count('\n') + 2);
        QCOMPARE(f.newestRow(), newRow);
        QVERIFY(f.newestRowInView());
        QCOMPARE(f.panel(), QStringLiteral("本日入金済みです。 ") + panel);
        QVERIFY(!f.canDeposit());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // A press the plan does not record says why and shows what is due now.
    void aRefusedPressSaysWhy_data() {
        QTest::addColumn<Refusal>("cause");
        QTest::addColumn<QString>("phrase");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<int>("rows");
        QTest::newRow("full disk")
            << Refusal::FullDisk << "ファイルが大きすぎます"
            << "本日の入金予定は5円です。3日からの滞納金が7円です。計12円です。 5日 ¥3" << 3;
        QTest::newRow("midnight between load and press")  // arrears 3 + 4 + 5
            << Refusal::Midnight << "日付が変わった"
            << "本日の入金予定は6円です。3日からの滞納金が12円です。計18円です。 6日 ¥3" << 3;
        QTest::newRow("a ledger changed by another copy") << Refusal::OtherCopy << "変更されていた"
                                                          << "本日入金済みです。 5日 ¥15" << 4;
    }
    void aRefusedPressSaysWhy() {
        QFETCH(Refusal, cause);
        QFETCH(QString, phrase);
        QFETCH(QString, panel);
        QFETCH(int, rows);
        WindowFixture f(at(2009, 4, 5, 23, 59, 59), kApril1 + kApril2);
        f.start();
        if (cause == Refusal::Midnight) {
            f.clock.set(at(2009, 4, 6, 0, 0, 1));
        } else if (cause == Refusal::OtherCopy) {
            QVERIFY(!hibi::LedgerFile(f.dir.path())
                         .append({QDate(2009, 4, 5), QTime(20, 0), hibi::Amount::fromYen(12)},
                                 std::nullopt));
        }
        {
            const FileSizeLimit full(cause == Refusal::FullDisk ? f.ledger().size() + 4
                                                                : RLIM_INFINITY);
            f.press("cmdEveryHozon");
        }
        QVERIFY(oneMessageWith(phrase));
        QCOMPARE(f.panel(), panel);
        QCOMPARE(f.grid()->rows(), rows);
        QCOMPARE(f.canDeposit(), cause != Refusal::OtherCopy);
    }

    // The question comes first; Cancel changes nothing, OK starts a new plan
    // at 1 yen, without the introduction, even from a ledger that did not read.
    void resetAskedAndAnswered() {
        const QByteArray ledger = kApril1 + "garbage\r\n";
        WindowFixture f(at(2009, 4, 5, 22), ledger);
        f.start();
        QVERIFY(oneMessageWith(QStringLiteral("2 行目")));
        const QString before = screenOf(f);
        for (const MessageBox::Answer answer :
             {MessageBox::Answer::Cancel, MessageBox::Answer::Ok}) {
            MessageBox::answerNext(answer);
            f.press("cmdEveryClr");
            const auto shown = MessageBox::takeShown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].title, QStringLiteral("削除確認"));
            QVERIFY(shown[0].text.contains(QStringLiteral("１円から始めますか")));
            QCOMPARE(shown[0].buttons, MessageBox::Buttons::OkCancel);
            if (answer == MessageBox::Answer::Cancel) {
                QCOMPARE(screenOf(f), before);
                QCOMPARE(f.ledger(), ledger);
            }
        }
        QVERIFY(!f.scheduleShown);
        QCOMPARE(f.ledger(), QByteArray(""));
        QCOMPARE(screenOf(f),
                 QStringLiteral("本日の入金予定は1円です。 1日 ¥0 回|日付|時間|入金|累積 1 on"));
    }

    // The companion note, help for this program and the companion's, and an
    // exit that ends the viewers and writes nothing.
    void helpNoteAndExit() {
        WindowFixture f(at(2009, 4, 5, 22), kApril1 + kApril2);
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
        QVERIFY(shown[0].text.contains(QStringLiteral("4つの貯金ソフト")));
        QCOMPARE(shown[0].icon, MessageBox::Icon::Information);
        QCOMPARE(errors.size(), 1);  // no help file yet: the program says nothing itself

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
