#include <QAccessible>

#include "window_fixture.h"

using hibi::MessageBox;
using hibi::testing::ledgerLine;
using hibi::testing::readBytes;
using hibi::testing::ScheduleCloser;
using hibi::testing::WindowFixture;

namespace {

QDateTime at(int year, int month, int day) {
    return QDateTime(QDate(year, month, day), QTime(12, 0, 0));
}

const QStringList kAllStatus{"lblCmnt1_0", "lblEvery_Kingaku", "lblCmnt1_1",
                             "lblCmnt1_2", "lblEvery_Tainou",  "lblCmnt1_3",
                             "lblCmnt1_4", "lblEvery_Goukei",  "lblCmnt1_5"};

QByteArray aprilFirstAndSecond() {
    return ledgerLine(QDate(2009, 4, 1), "07:30:15", "1") +
           ledgerLine(QDate(2009, 4, 2), "07:28:40", "2");
}

// No design-time placeholder may be left on screen after a start-up.
void checkNoPlaceholders(const WindowFixture& f) {
    for (QLabel* label : f.window->findChildren<QLabel*>()) {
        QVERIFY2(
            label->text() != QLatin1String("Label1") && label->text() != QLatin1String("Label2"),
            qPrintable(label->objectName()));
    }
    QVERIFY(f.goalBox()->text() != QLatin1String("Text1"));
}

}  // namespace

class StartUp : public QObject {
    Q_OBJECT
  private slots:
    void firstRunShowsTheScheduleWindowThenDayOne_data() {
        QTest::addColumn<ScheduleCloser::How>("how");
        QTest::addColumn<bool>("ledgerExists");
        QTest::newRow("closed by its button, no ledger yet")
            << ScheduleCloser::How::Button << false;
        QTest::newRow("closed by its close box, empty ledger")
            << ScheduleCloser::How::CloseBox << true;
    }
    void firstRunShowsTheScheduleWindowThenDayOne() {
        QFETCH(ScheduleCloser::How, how);
        QFETCH(bool, ledgerExists);
        WindowFixture f(at(2026, 12, 6));
        if (ledgerExists) {
            f.writeLedger(QByteArray());
        }
        f.start(how);
        QVERIFY(f.closer->sawSchedule);
        QVERIFY(f.closer->mainWindowVisibleMeanwhile);
        QVERIFY(f.closer->statusHiddenMeanwhile);
        QVERIFY(f.closer->buttonHadFocus);
        QCOMPARE(f.closer->scheduleRows, 366);
        QCOMPARE(f.closer->scheduleCells,
                 QStringList({QStringLiteral("日数|貯金額"), QStringLiteral("1日目|¥1"),
                              QStringLiteral("2日目|¥3"), QStringLiteral("3日目|¥6"),
                              QStringLiteral("365日目|¥66,795")}));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(f.visibleStatus(), QStringList({"lblCmnt1_0", "lblEvery_Kingaku", "lblCmnt1_1"}));
        QCOMPARE(f.text("lblCmnt1_0"), QStringLiteral("本日の入金予定は"));
        QCOMPARE(f.text("lblEvery_Kingaku"), QStringLiteral("1円"));
        QVERIFY(f.button("cmdEveryHozon")->isEnabled());
        QCOMPARE(f.text("lblkeika"), QStringLiteral("1日"));
        QCOMPARE(f.text("lblEvery_zen"), QStringLiteral("¥0"));
        QCOMPARE(f.grid()->rows(), 1);
        // A missing ledger is created empty; an existing one is left alone.
        QCOMPARE(readBytes(f.ledgerPath()), QByteArray(""));
        QVERIFY(QFile::exists(f.ledgerPath()));
        QVERIFY(MessageBox::takeShown().isEmpty());
        checkNoPlaceholders(f);
    }

    void depositedTodayDisablesTheButton() {
        WindowFixture f(at(2009, 4, 5));
        f.writeLedger(aprilFirstAndSecond() + ledgerLine(QDate(2009, 4, 5), "21:05:33", "12"));
        f.start();
        QVERIFY(!f.closer->sawSchedule);
        QCOMPARE(f.visibleStatus(), QStringList({"lblCmnt1_2"}));
        QCOMPARE(f.text("lblCmnt1_2"), QStringLiteral("本日入金済みです。"));
        QVERIFY(!f.button("cmdEveryHozon")->isEnabled());
        QCOMPARE(f.text("lblkeika"), QStringLiteral("5日"));  // the true day, not day 1
        QCOMPARE(f.text("lblEvery_zen"), QStringLiteral("¥15"));
        QCOMPARE(f.window->focusWidget(), f.button("cmdEveryClr"));
        checkNoPlaceholders(f);
    }

    void dueWithoutArrears() {
        WindowFixture f(at(2009, 4, 6));
        f.writeLedger(aprilFirstAndSecond() + ledgerLine(QDate(2009, 4, 5), "21:05:33", "12"));
        f.start();
        QCOMPARE(f.visibleStatus(), QStringList({"lblCmnt1_0", "lblEvery_Kingaku", "lblCmnt1_1"}));
        QCOMPARE(f.text("lblEvery_Kingaku"), QStringLiteral("6円"));
        QCOMPARE(f.text("lblkeika"), QStringLiteral("6日"));
        QVERIFY(f.button("cmdEveryHozon")->isEnabled());
        QCOMPARE(f.window->focusWidget(), f.button("cmdEveryHozon"));
        QCOMPARE(f.window->state().curKingaku, hibi::Amount::fromYen(6));
    }

    void dueWithArrears_data() {
        QTest::addColumn<QByteArray>("ledger");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("3 and 4 April missed")
            << aprilFirstAndSecond() << at(2009, 4, 5)
            << QStringList({"5円", "3日からの滞納金が", "7円", "12円", "5日", "¥3"});
        // Day index 10, last deposit on the 7th: 9 + 10 yen of arrears.
        QTest::newRow("from the 8th")
            << ledgerLine(QDate(2024, 6, 30), "08:00:00", "1") +
                   ledgerLine(QDate(2024, 7, 7), "08:00:00", "27")
            << at(2024, 7, 10)
            << QStringList({"11円", "8日からの滞納金が", "19円", "30円", "11日", "¥28"});
        QTest::newRow("after a month's last day")
            << ledgerLine(QDate(2024, 3, 30), "08:00:00", "1") +
                   ledgerLine(QDate(2024, 3, 31), "08:00:00", "2")
            << at(2024, 4, 3)
            << QStringList({"5円", "1日からの滞納金が", "3円+4円=7円", "12円", "5日", "¥3"});
    }
    void dueWithArrears() {
        QFETCH(QByteArray, ledger);
        QFETCH(QDateTime, now);
        QFETCH(QStringList, texts);
        if (texts[2].contains(QLatin1Char('='))) {
            texts[2] = texts[2].section(QLatin1Char('='), 1);
        }
        WindowFixture f(now);
        f.writeLedger(ledger);
        f.start();
        QCOMPARE(f.visibleStatus(), kAllStatus);
        QCOMPARE(f.text("lblCmnt1_0"), QStringLiteral("本日の入金予定は"));
        QCOMPARE(f.text("lblEvery_Kingaku"), texts[0]);
        QCOMPARE(f.text("lblCmnt1_2"), texts[1]);
        QCOMPARE(f.text("lblEvery_Tainou"), texts[2]);
        QCOMPARE(f.text("lblEvery_Goukei"), texts[3]);
        QCOMPARE(f.text("lblkeika"), texts[4]);
        QCOMPARE(f.text("lblEvery_zen"), texts[5]);
        QCOMPARE(f.text("lblCmnt1_1"), QStringLiteral("です。"));
        QCOMPARE(f.text("lblCmnt1_4"), QStringLiteral("計"));
        QVERIFY(f.button("cmdEveryHozon")->isEnabled());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void historyGridShowsEveryRecordWithRunningTotals() {
        WindowFixture f(at(2012, 1, 1));
        QByteArray ledger;
        const QDate first(2009, 1, 1);
        for (int i = 0; i < 1000; ++i) {
            ledger += ledgerLine(first.addDays(i), "07:00:00", QByteArray::number(i + 1));
        }
        f.writeLedger(ledger);
        f.start();
        FlexGrid* grid = f.grid();
        QCOMPARE(grid->rows(), 1001);
        QCOMPARE(grid->cellText(0, 0), QStringLiteral("回"));
        QCOMPARE(grid->cellText(0, 4), QStringLiteral("累積"));
        QCOMPARE(grid->cellText(1, 0), QStringLiteral("1"));
        QCOMPARE(grid->cellText(1, 1), QStringLiteral("2009年01月01日"));
        QCOMPARE(grid->cellText(1, 2), QStringLiteral("07:00:00"));
        QCOMPARE(grid->cellText(1, 3), QStringLiteral("¥1"));
        QCOMPARE(grid->cellText(1000, 0), QStringLiteral("1000"));
        QCOMPARE(grid->cellText(1000, 3), QStringLiteral("¥1,000"));
        QCOMPARE(grid->cellText(1000, 4), QStringLiteral("¥500,500"));
        QCOMPARE(f.text("lblEvery_zen"), QStringLiteral("¥500,500"));
        // The newest record is in view.
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        const QRect last = grid->visualRect(grid->model()->index(1000, 0));
        QVERIFY(last.isValid());
        QVERIFY(grid->viewport()->rect().contains(last));
    }

    void goalBox() {
        WindowFixture f(at(2009, 4, 6));
        f.writeLedger(ledgerLine(QDate(2009, 4, 5), "21:05:33", "1"));
        f.start();
        const QString goalPath = f.path(QStringLiteral("目標ヒビノボリ.txt"));
        QCOMPARE(f.goalBox()->text(), QStringLiteral("365"));  // no goal file yet
        QCOMPARE(f.text("lblSetKingaku"), QStringLiteral("¥66,795"));
        QVERIFY(!QFile::exists(goalPath));

        auto type = [&](const QString& text, bool enter) {
            f.goalBox()->clear();
            QTest::keyClicks(f.goalBox(), text);
            if (enter) {
                QTest::keyClick(f.goalBox(), Qt::Key_Return);
            }
        };
        type(QStringLiteral("30"), false);  // typing alone changes nothing
        QCOMPARE(f.text("lblSetKingaku"), QStringLiteral("¥66,795"));
        QVERIFY(!QFile::exists(goalPath));
        type(QStringLiteral("12.5"), true);
        QCOMPARE(f.text("lblSetKingaku"), QStringLiteral("¥78"));
        QCOMPARE(readBytes(goalPath), QByteArray("12.5\r\n"));
        type(QStringLiteral("13.5"), true);
        QCOMPARE(f.text("lblSetKingaku"), QStringLiteral("¥105"));
        type(QStringLiteral(" 365 "), true);
        QCOMPARE(readBytes(goalPath), QByteArray("365\r\n"));
        QCOMPARE(f.goalBox()->text(), QStringLiteral(" 365 "));
        type(QStringLiteral("1e3"), true);
        QCOMPARE(f.text("lblSetKingaku"), QStringLiteral("¥500,500"));
        QCOMPARE(readBytes(goalPath), QByteArray("1000\r\n"));
        type(QStringLiteral("-5"), true);
        QCOMPARE(f.text("lblSetKingaku"), QStringLiteral("¥0"));
        QCOMPARE(readBytes(goalPath), QByteArray("-5\r\n"));
        type(QStringLiteral("100"), true);
        for (const QString& ignored :
             {QString(), QStringLiteral("abc"), QStringLiteral("40000"), QStringLiteral("1,000")}) {
            type(ignored, true);
            QCOMPARE(f.text("lblSetKingaku"), QStringLiteral("¥5,050"));
            QCOMPARE(readBytes(goalPath), QByteArray("100\r\n"));
        }
        QTest::keyClick(f.goalBox(), Qt::Key_Enter);  // the keypad's Enter too
        QCOMPARE(readBytes(goalPath), QByteArray("100\r\n"));
        QVERIFY(MessageBox::takeShown().isEmpty());

        // The next start shows the saved goal, rounded.
        QVERIFY(hibi::testing::writeBytes(goalPath, "12.5\r\n"));
        WindowFixture g(at(2009, 4, 6));
        g.writeLedger(ledgerLine(QDate(2009, 4, 5), "21:05:33", "1"));
        QVERIFY(
            hibi::testing::writeBytes(g.path(QStringLiteral("目標ヒビノボリ.txt")), "13.5\r\n"));
        g.start();
        QCOMPARE(g.goalBox()->text(), QStringLiteral("14"));
        QCOMPARE(g.text("lblSetKingaku"), QStringLiteral("¥105"));
        QCOMPARE(readBytes(g.path(QStringLiteral("目標ヒビノボリ.txt"))), QByteArray("13.5\r\n"));
    }

    void anUnreadableLedgerIsShownButNeverChanged() {
        WindowFixture f(at(2009, 4, 6));
        const QByteArray bad = aprilFirstAndSecond() + "this is not a record\r\n" +
                               ledgerLine(QDate(2009, 4, 5), "21:05:33", "12");
        f.writeLedger(bad);
        f.start();
        QVERIFY(!f.closer->sawSchedule);
        QCOMPARE(f.grid()->rows(), 3);
        QCOMPARE(f.grid()->cellText(2, 4), QStringLiteral("¥3"));
        QVERIFY(!f.button("cmdEveryHozon")->isEnabled());
        QVERIFY(f.button("cmdEveryClr")->isEnabled());
        QVERIFY(f.visibleStatus().isEmpty());
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("ヒビノボリ.txt")));
        QVERIFY(shown[0].text.contains(QStringLiteral("3 行目")));
        QVERIFY(shown[0].text.contains(QStringLiteral("変更していません")));
        QCOMPARE(readBytes(f.ledgerPath()), bad);
        // A press on the disabled button, or a click sent anyway, records nothing.
        QTest::mouseClick(f.button("cmdEveryHozon"), Qt::LeftButton);
        QMetaObject::invokeMethod(f.window.get(), "cmdEveryHozon_Click");
        QCOMPARE(readBytes(f.ledgerPath()), bad);
        checkNoPlaceholders(f);
    }

    void aBadLineAfterAnOddDateIsReportedNotFatal() {
        // Reading stops at the broken third line; the last record it kept
        // has a date text that names no day, so there is nothing to count to.
        WindowFixture f(at(2031, 6, 10));
        const QByteArray bad = ledgerLine(QDate(2031, 6, 1), "08:30:00", "1") +
                               hibi::testing::sjis(QStringLiteral(
                                   "\"2031年06月xx日\",\"08:30:00\",2\r\n\"broken\r\n"));
        f.writeLedger(bad);
        f.start();
        QCOMPARE(f.grid()->rows(), 3);
        QCOMPARE(f.grid()->cellText(2, 4), QStringLiteral("¥3"));
        QVERIFY(!f.button("cmdEveryHozon")->isEnabled());
        QVERIFY(f.button("cmdEveryClr")->isEnabled());
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("3 行目")));
        QCOMPARE(readBytes(f.ledgerPath()), bad);
    }

    void twoSpellingsOfTheLedgerAreReported() {
        WindowFixture f(at(2009, 4, 6));
        f.writeLedger(aprilFirstAndSecond());
        QVERIFY(hibi::testing::writeBytes(f.path(QStringLiteral("ヒビノボリ.TXT")), QByteArray()));
        f.start();
        QVERIFY(!f.closer->sawSchedule);
        QVERIFY(!f.button("cmdEveryHozon")->isEnabled());
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("ヒビノボリ.TXT")));
        QCOMPARE(readBytes(f.ledgerPath()), aprilFirstAndSecond());
    }

    void aClockBehindTheLastDepositBlocksDeposits() {
        WindowFixture f(at(2009, 4, 3));
        const QByteArray ledger =
            aprilFirstAndSecond() + ledgerLine(QDate(2009, 4, 5), "21:05:33", "12");
        f.writeLedger(ledger);
        f.start();
        QVERIFY(!f.button("cmdEveryHozon")->isEnabled());
        QVERIFY(f.visibleStatus().isEmpty());
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("2009年04月05日")));
        QVERIFY(shown[0].text.contains(QStringLiteral("日付")));
        QMetaObject::invokeMethod(f.window.get(), "cmdEveryHozon_Click");
        QCOMPARE(readBytes(f.ledgerPath()), ledger);
    }

    void dayNumbersBeyondTheCounterAreReported() {
        WindowFixture f(at(2026, 12, 6));
        const QByteArray ledger = ledgerLine(QDate(1900, 1, 1), "07:00:00", "1");
        f.writeLedger(ledger);
        f.start();
        QVERIFY(!f.button("cmdEveryHozon")->isEnabled());
        QCOMPARE(f.grid()->rows(), 2);
        const auto shown = MessageBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].text.contains(QStringLiteral("範囲")));
        QCOMPARE(readBytes(f.ledgerPath()), ledger);
        checkNoPlaceholders(f);
    }

    void layoutAndAccessibility() {
        WindowFixture f(at(2009, 4, 6));
        f.writeLedger(aprilFirstAndSecond());
        fraMain& window = f.start();
        QCOMPARE(window.size(), QSize(631, 452));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QCOMPARE(window.windowTitle(), QStringLiteral("ヌピカ貯めよう！"));
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(f.button("cmdEveryHozon")->geometry(), QRect(345, 5, 56, 66));
        QCOMPARE(f.button("cmdEnd")->geometry(), QRect(565, 5, 56, 66));
        QCOMPARE(f.grid()->geometry(), QRect(5, 90, 454, 357));
        QCOMPARE(f.label("lblkeika")->geometry(), QRect(525, 90, 96, 26));
        QCOMPARE(f.button("cmdEveryClr")->toolTip(),
                 QStringLiteral("ギブアップして最初から始めます"));
        QCOMPARE(f.label("Label1_1")->toolTip(),
                 QStringLiteral("目標日数を入れてＥｎｔｅｒキーを押してください"));
        // Tab order: the five buttons, the history, the goal box.
        QStringList order;
        QWidget* w = f.button("cmdEveryHozon");
        for (int i = 0; i < 7; ++i) {
            order << w->objectName();
            w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus)) {
                w = w->nextInFocusChain();
            }
        }
        QCOMPARE(order, QStringList({"cmdEveryHozon", "cmdEveryClr", "cmdHelp", "cmdsyoukai",
                                     "cmdEnd", "msgEvery", "txtSetNissuu"}));
        // A screen reader finds a name for every control.
        for (QWidget* child : window.findChildren<QWidget*>()) {
            if (child->objectName().isEmpty() || child->parentWidget() != &window) {
                continue;
            }
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(child);
            QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(),
                     qPrintable(child->objectName()));
        }
    }
};

QTEST_MAIN(StartUp)
#include "tst_start_up.moc"
