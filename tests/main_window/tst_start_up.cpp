#include <QAccessible>

#include "window_fixture.h"

using hibi::MessageBox;
using namespace hibi::testing;

class StartUp : public QObject {
    Q_OBJECT
  private slots:
    // A first run shows the schedule window over the main window, then day
    // one; later starts show what is due today and the whole history, the
    // newest row in view.
    void startUp_data() {
        QTest::addColumn<QByteArray>("ledger");  // null: no ledger file yet
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<CloseBy>("how");    // the schedule window is closed by
        QTest::addColumn<QString>("panel");  // as WindowFixture::panel() gives it
        QTest::addColumn<QString>("newest");
        const QByteArray toApril5 = kApril1 + kApril2 + kApril5;
        const auto row = [](const char* name, const QByteArray& ledger, const QDateTime& now,
                            const char* panel, const char* newest, CloseBy how = CloseBy::Button) {
            QTest::newRow(name) << ledger << now << how << QString::fromUtf8(panel)
                                << QString::fromUtf8(newest);
        };
        row("first run, no ledger yet", QByteArray(), at(2026, 12, 6),
            "本日の入金予定は1円です。 1日 ¥0", "回|日付|時間|入金|累積");
        row("first run, empty ledger, schedule closed by its close box", "", at(2026, 12, 6),
            "本日の入金予定は1円です。 1日 ¥0", "回|日付|時間|入金|累積", CloseBy::CloseBox);
        row("deposited today", toApril5, at(2009, 4, 5), "本日入金済みです。 5日 ¥15",
            "3|2009年04月05日|21:05:33|¥12|¥15");
        row("due without arrears", toApril5, at(2009, 4, 6), "本日の入金予定は6円です。 6日 ¥15",
            "3|2009年04月05日|21:05:33|¥12|¥15");
        row("3 and 4 April missed", kApril1 + kApril2, at(2009, 4, 5),
            "本日の入金予定は5円です。3日からの滞納金が7円です。計12円です。 5日 ¥3",
            "2|2009年04月02日|07:28:40|¥2|¥3");
        row("after a month's last day",  // 3 + 4 yen owed since the month's last day
            ledgerLine(QDate(2024, 3, 30), "08:00:00", "1") +
                ledgerLine(QDate(2024, 3, 31), "08:00:00", "2"),
            at(2024, 4, 3),
            "本日の入金予定は5円です。1日からの滞納金が7円です。計12円です。 5日 ¥3",
            "2|2024年03月31日|08:00:00|¥2|¥3");
        row("a thousand deposits to plan", toPlan(1000), at(2011, 9, 28),
            "本日の入金予定は1001円です。 1001日 ¥500,500",
            "1000|2011年09月27日|07:00:00|¥1,000|¥500,500");
    }
    void startUp() {
        QFETCH(QByteArray, ledger);
        QFETCH(QDateTime, now);
        QFETCH(CloseBy, how);
        QFETCH(QString, panel);
        QFETCH(QString, newest);
        WindowFixture f(now, ledger);
        f.start(how);
        QCOMPARE(f.scheduleShown, ledger.isEmpty());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(f.panel(), panel);
        QCOMPARE(f.canDeposit(), !panel.startsWith(QStringLiteral("本日入金済み")));
        QCOMPARE(f.grid()->rows(), ledger.count('\n') + 1);
        QCOMPARE(f.newestRow(), newest);
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QVERIFY(f.grid()->rows() == 1 || f.newestRowInView());
        QVERIFY(MessageBox::takeShown().isEmpty());
    }

    // Enter, or the keypad's, takes the number: the amount follows it and
    // the goal file keeps it. Typing alone, or a text that is no goal,
    // changes nothing.
    void goalBox() {
        WindowFixture f(at(2009, 4, 6), ledgerLine(QDate(2009, 4, 5), "21:05:33", "1"));
        QVERIFY(writeBytes(f.goalPath(), "13.5\r\n"));
        f.start();
        QCOMPARE(f.goalBox()->text(), QStringLiteral("14"));  // the saved goal, rounded
        QCOMPARE(f.text("lblSetKingaku"), QStringLiteral("¥105"));
        const struct {
            const char16_t* typed;
            Qt::Key key;
            const char16_t* amount;
            QByteArray saved;
        } steps[] = {
            {u"30", Qt::Key_unknown, u"¥105", "13.5\r\n"},
            {u"12.5", Qt::Key_Return, u"¥78", "12.5\r\n"},
            {u"abc", Qt::Key_Return, u"¥78", "12.5\r\n"},
            {u"7", Qt::Key_Enter, u"¥28", "7\r\n"},
            {u"40000", Qt::Key_Return, u"¥28", "7\r\n"},  // out of range
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
    }

    // A ledger the plan will not take a deposit on is shown as far as it
    // reads, with a message that says why, the status hidden and the
    // deposit button off.
    void aLedgerThatCannotTakeADeposit_data() {
        QTest::addColumn<QByteArray>("ledger");
        QTest::addColumn<bool>("otherSpelling");  // ヒビノボリ.TXT beside it
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("phrase");
        QTest::newRow("a line that is no record")
            << kApril1 + kApril2 + "this is not a record\r\n" + kApril5 << false << at(2009, 4, 6)
            << 3 << "3 行目";
        QTest::newRow("two spellings of the ledger")
            << kApril1 + kApril2 << true << at(2009, 4, 6) << 1 << "ヒビノボリ.TXT";
        QTest::newRow("a clock behind the last deposit")
            << kApril1 + kApril2 + kApril5 << false << at(2009, 4, 3) << 4
            << "最後の入金日（2009年04月05日）";
        QTest::newRow("day numbers beyond the counter")
            << ledgerLine(QDate(1900, 1, 1), "07:00:00", "1") << false << at(2026, 12, 6) << 2
            << "範囲";
    }
    void aLedgerThatCannotTakeADeposit() {
        QFETCH(QByteArray, ledger);
        QFETCH(bool, otherSpelling);
        QFETCH(QDateTime, now);
        QFETCH(int, rows);
        QFETCH(QString, phrase);
        WindowFixture f(now, ledger);
        if (otherSpelling) {
            QVERIFY(writeBytes(f.path(QStringLiteral("ヒビノボリ.TXT")), QByteArray()));
        }
        f.start();
        QVERIFY(!f.scheduleShown);
        QVERIFY(oneMessageWith(phrase));
        QCOMPARE(f.grid()->rows(), rows);
        QVERIFY(!f.canDeposit());
        QVERIFY(f.panel().startsWith(' '));  // the day and the total only
    }

    // A screen reader finds a name for every control.
    void accessibleNames() {
        WindowFixture f(at(2009, 4, 6), kApril1);
        f.start();
        for (QWidget* child : f.window->findChildren<QWidget*>()) {
            if (child->parentWidget() != f.window.get()) {
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
