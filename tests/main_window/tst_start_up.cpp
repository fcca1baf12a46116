#include <QMenuBar>
#include <QAccessible>

#include "window_fixture.h"

using hibi::MessageBox;
using namespace hibi::testing;

class StartUp : public QObject {
    Q_OBJECT
  private slots:
    // A first run shows the schedule window over the main window, then day
    // one; later starts show what is due today and the whole history.
    void startUp_data() {
        QTest::addColumn<QByteArray>("ledger");  // null: no ledger file yet
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<CloseBy>("how");        // the schedule window is closed by
        QTest::addColumn<QStringList>("panel");  // as WindowFixture::panel() gives it
        QTest::addColumn<bool>("canDeposit");
        QTest::addColumn<QStringList>("newest");  // the newest history row, if checked
        const QByteArray toApril5 = kApril1 + kApril2 + kApril5;
        const auto row = [](const char* name, const QByteArray& ledger, const QDateTime& now,
                            const QStringList& panel, const QStringList& newest = {},
                            CloseBy how = CloseBy::Button) {
            QTest::newRow(name) << ledger << now << how << panel
                                << !panel[0].startsWith("lblCmnt1_2") << newest;
        };
        row("first run, no ledger yet", QByteArray(), at(2026, 12, 6), duePanel("1円", "1日", "¥0"),
            {"回", "日付", "時間", "入金", "累積"});
        row("first run, empty ledger, schedule closed by its close box", "", at(2026, 12, 6),
            duePanel("1円", "1日", "¥0"), {}, CloseBy::CloseBox);
        row("deposited today", toApril5, at(2009, 4, 5), depositedPanel("5日", "¥15"),
            {"3", "2009年04月05日", "21:05:33", "¥12", "¥15"});  // the true day, not day 1
        row("due without arrears", toApril5, at(2009, 4, 6), duePanel("6円", "6日", "¥15"));
        row("3 and 4 April missed", kApril1 + kApril2, at(2009, 4, 5),
            arrearsPanel("5円", "3日からの滞納金が", "7円", "12円", "5日", "¥3"));
        row("after a month's last day",  // 3 + 4 yen owed since the month's last day
            ledgerLine(QDate(2024, 3, 30), "08:00:00", "1") +
                ledgerLine(QDate(2024, 3, 31), "08:00:00", "2"),
            at(2024, 4, 3), arrearsPanel("5円", "1日からの滞納金が", "7円", "12円", "5日", "¥3"));
        row("a thousand deposits to plan", toPlan(1000), at(2011, 9, 28),
            duePanel("1001円", "1001日", "¥500,500"),
            {"1000", "2011年09月27日", "07:00:00", "¥1,000", "¥500,500"});
    }
    void startUp() {
        QFETCH(QByteArray, ledger);
        QFETCH(QDateTime, now);
        QFETCH(CloseBy, how);
        QFETCH(QStringList, panel);
        QFETCH(bool, canDeposit);
        QFETCH(QStringList, newest);
        WindowFixture f(now);
        if (!ledger.isNull()) {
            f.writeLedger(ledger);
        }
        f.start(how);
        QCOMPARE(f.scheduleShown, ledger.isEmpty());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(f.panel(), panel);
        QCOMPARE(f.button("cmdEveryHozon")->isEnabled(), canDeposit);
        QCOMPARE(f.window->focusWidget(), f.button(canDeposit ? "cmdEveryHozon" : "cmdHelp"));
        QCOMPARE(f.grid()->rows(), ledger.count('\n') + 1);
        if (!newest.isEmpty()) {
            QCOMPARE(f.row(f.grid()->rows() - 1), newest);
        }
        if (f.grid()->rows() > 1) {
            QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
            QVERIFY(f.newestRowInView());
        }
        // A missing ledger is created empty; an existing one is left alone.
        QVERIFY(QFile::exists(f.ledgerPath()));
        QCOMPARE(f.ledger(), ledger);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void goalBox() {
        WindowFixture f(at(2009, 4, 6));
        const QByteArray ledger = ledgerLine(QDate(2009, 4, 5), "21:05:33", "1");
        f.writeLedger(ledger);
        f.start();
        QCOMPARE(f.goalBox()->text(), QStringLiteral("365"));  // no goal file yet
        QCOMPARE(f.text("lblSetKingaku"), QStringLiteral("¥66,795"));

        // Enter, or the keypad's, takes the number: the amount follows it,
        // rounded half to even, and the goal file keeps it as typed. Typing
        // alone, or a text that is no goal, changes nothing. (What counts as a
        // goal is the goal rules' business.)
        const struct {
            const char16_t* typed;
            Qt::Key key;
            const char16_t* amount;
            QByteArray saved;
        } steps[] = {
            {u"30", Qt::Key_unknown, u"¥66,795", QByteArray()},
            {u"12.5", Qt::Key_Return, u"¥78", "12.5\r\n"},
            {u"abc", Qt::Key_Return, u"¥78", "12.5\r\n"},
            {u"7", Qt::Key_Enter, u"¥28", "7\r\n"},
            {u"", Qt::Key_Return, u"¥28", "7\r\n"},
            {u" 1e3 ", Qt::Key_Return, u"¥500,500", "1000\r\n"},
            {u"40000", Qt::Key_Return, u"¥500,500", "1000\r\n"},  // out of range
        };
        for (const auto& step : steps) {
            const QString typed = QString::fromUtf16(step.typed);
            f.goalBox()->clear();
            QTest::keyClicks(f.goalBox(), typed);
            if (step.key != Qt::Key_unknown) {
                QTest::keyClick(f.goalBox(), step.key);
            }
            QCOMPARE(f.goalBox()->text(), typed);
            QCOMPARE(f.text("lblSetKingaku"), QString::fromUtf16(step.amount));
            QCOMPARE(readBytes(f.goalPath()), step.saved);
        }
        QVERIFY(MessageBox::takeShown().isEmpty());

        // The next start shows the saved goal, rounded, and leaves the file be.
        WindowFixture g(at(2009, 4, 6));
        g.writeLedger(ledger);
        QVERIFY(writeBytes(g.goalPath(), "13.5\r\n"));
        g.start();
        QCOMPARE(g.goalBox()->text(), QStringLiteral("14"));
        QCOMPARE(g.text("lblSetKingaku"), QStringLiteral("¥105"));
        QCOMPARE(readBytes(g.goalPath()), QByteArray("13.5\r\n"));
    }

    void aLedgerThatCannotTakeADepositIsLeftAlone_data() {
        QTest::addColumn<QByteArray>("ledger");
        QTest::addColumn<bool>("otherSpelling");  // ヒビノボリ.TXT beside it
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("lastTotal");
        QTest::addColumn<QStringList>("mentioned");
        const auto row = [](const char* name, const QByteArray& ledger, const QDateTime& now,
                            int rows, const char* lastTotal, const QStringList& mentioned,
                            bool otherSpelling = false) {
            QTest::newRow(name) << ledger << otherSpelling << now << rows
                                << QString::fromUtf8(lastTotal) << mentioned;
        };
        row("a line that is no record", kApril1 + kApril2 + "this is not a record\r\n" + kApril5,
            at(2009, 4, 6), 3, "¥3", {"ヒビノボリ.txt", "3 行目", "変更していません"});
        // Reading stops at the broken third line; the last record it kept has
        // a date text that names no day, so there is nothing to count to.
        row("a bad line after an odd date",
            ledgerLine(QDate(2031, 6, 1), "08:30:00", "1") +
                sjis(QStringLiteral("\"2031年06月xx日\",\"08:30:00\",2\r\n\"broken\r\n")),
            at(2031, 6, 10), 3, "¥3", {"3 行目"});
        row("two spellings of the ledger", kApril1 + kApril2, at(2009, 4, 6), 1, "累積",
            {"ヒビノボリ.TXT"}, true);
        row("a clock behind the last deposit", kApril1 + kApril2 + kApril5, at(2009, 4, 3), 4,
            "¥15", {"2009年04月05日", "日付"});
        row("day numbers beyond the counter", ledgerLine(QDate(1900, 1, 1), "07:00:00", "1"),
            at(2026, 12, 6), 2, "¥1", {"範囲"});
    }
    void aLedgerThatCannotTakeADepositIsLeftAlone() {
        QFETCH(QByteArray, ledger);
        QFETCH(bool, otherSpelling);
        QFETCH(QDateTime, now);
        QFETCH(int, rows);
        QFETCH(QString, lastTotal);
        QFETCH(QStringList, mentioned);
        WindowFixture f(now);
        f.writeLedger(ledger);
        if (otherSpelling) {
            QVERIFY(writeBytes(f.path(QStringLiteral("ヒビノボリ.TXT")), QByteArray()));
        }
        f.start();
        QVERIFY(!f.scheduleShown);
        QCOMPARE(f.grid()->rows(), rows);
        QCOMPARE(f.grid()->cellText(rows - 1, 4), lastTotal);
        QVERIFY(!f.button("cmdEveryHozon")->isEnabled());
        QVERIFY(f.visibleStatus().isEmpty());
        QVERIFY(oneMessageWith(mentioned));
        // A press on the disabled button, or a click sent anyway, records nothing.
        f.press("cmdEveryHozon");
        QMetaObject::invokeMethod(f.window.get(), "cmdEveryHozon_Click");
        QCOMPARE(f.ledger(), ledger);
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    void layoutAndAccessibility() {
        WindowFixture f(at(2009, 4, 6));
        f.writeLedger(kApril1 + kApril2);
        fraMain& window = f.start();
        // The original content, below the menu bar that the window grows by.
        const QWidget* body = f.grid()->parentWidget();
        QCOMPARE(body->geometry(), QRect(0, window.height() - 452, 631, 452));
        QVERIFY(window.findChild<QMenuBar*>()->height() == window.height() - 452);
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QCOMPARE(window.windowTitle(), QStringLiteral("ヌピカ貯めよう！"));
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(f.grid()->geometry(), QRect(5, 90, 454, 357));
        // Tab order: the five buttons, the history, the goal box.
        QStringList order;
        QWidget* w = f.button("cmdEveryHozon");
        for (int i = 0; i < 7; ++i) {
            order << w->objectName();
            do {
                w = w->nextInFocusChain();
            } while (w->focusPolicy() == Qt::NoFocus && w != f.button("cmdEveryClr"));
        }
        // クリア keeps its place but is passed over by the keyboard.
        QCOMPARE(order, QStringList({"cmdEveryHozon", "cmdEveryClr", "cmdHelp", "cmdsyoukai",
                                     "cmdEnd", "msgEvery", "txtSetNissuu"}));
        QCOMPARE(f.button("cmdEveryClr")->focusPolicy(), Qt::NoFocus);
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
